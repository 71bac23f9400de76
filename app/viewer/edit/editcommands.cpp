#include "viewer/edit/editcommands.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

#include "corekit_ui/dialog.h"
#include "pixwork/dlgresize.h"
#include "shell/commandids.h"
#include "viewer/edit/rotationpanel.h"
#include "viewer/edit/selectionwindow.h"
#include "viewer/paintweller.h"

namespace {

constexpr const char16_t* kNeedImage = u"Please Open Image First.";

POINT ToPoint(const QPoint& pt) { return POINT{pt.x(), pt.y()}; }

Magick::Color BackgroundColour() {
  const double red = ((kViewerBackground >> 16) & 0xff) / 255.0;
  const double green = ((kViewerBackground >> 8) & 0xff) / 255.0;
  const double blue = (kViewerBackground & 0xff) / 255.0;
  return Magick::ColorRGB(red, green, blue);
}

}  // namespace

CEditCommands::CEditCommands(CImageView& view) : m_view(view), m_edits(view.Document(), *this) {}

CEditCommands::~CEditCommands() {
  delete m_pPanel;
  delete m_pSelection;
  delete m_pRubberBand;
}

// --- Commands ---

bool CEditCommands::OwnsCommand(int id) const {
  switch (id) {
    case IDM_UNDO:
    case IDM_REDO:
    case IDM_CUT:
    case IDM_COPY:
    case IDM_PASTE:
    case IDM_CROP:
    case IDM_RESIZE_IMAGE:
    case IDM_ARBITRARY_ROTATION:
    case IDM_ARBITRARY_ROTATE:
      return true;
    default:
      return false;
  }
}

bool CEditCommands::HasImage() const {
  CImageDocument& document = m_view.Document();
  return document.HasPixels();
}

bool CEditCommands::IsCommandEnabled(int id) const {
  tagIMAGESELECTION selection;
  switch (id) {
    case IDM_UNDO:
      return m_edits.CanUndo();
    case IDM_REDO:
      return m_edits.CanRedo();
    case IDM_CROP:
    case IDM_CUT:
      return HasImage() && GetSelection(&selection);
    case IDM_COPY:
    case IDM_RESIZE_IMAGE:
    case IDM_ARBITRARY_ROTATION:
      // Open, the panel can always be closed from here.
      return HasImage() || IsRotationPanelOpen();
    case IDM_ARBITRARY_ROTATE:
      return HasImage();
    case IDM_PASTE:
      return CImageEdits::ClipboardHasImage();
    default:
      return false;
  }
}

bool CEditCommands::IsCommandChecked(int id) const {
  return id == IDM_ARBITRARY_ROTATION && IsRotationPanelOpen();
}

bool CEditCommands::IsRotationPanelOpen() const { return m_pPanel && m_pPanel->isVisible(); }

int CEditCommands::OnCommand(int id) {
  if (!OwnsCommand(id)) return 0;
  tagIMAGESELECTION selection;
  const bool bSelection = GetSelection(&selection);
  switch (id) {
    case IDM_UNDO:
      m_edits.Undo();
      return 1;
    case IDM_REDO:
      m_edits.Redo();
      return 1;
    case IDM_CROP:
      // Only while the menu entry is enabled: with a selection.
      if (!bSelection) return 1;
      RemoveSelection();
      m_edits.Crop(selection);
      return 1;
    case IDM_CUT:
      RemoveSelection();
      if (!HasImage()) {
        Message(kNeedImage, u"Lorimo: Cut Image Function");
        return 1;
      }
      if (bSelection) m_edits.Cut(selection);
      return 1;
    case IDM_COPY:
      RemoveSelection();
      m_edits.Copy(bSelection ? &selection : nullptr);
      return 1;
    case IDM_PASTE:
      RemoveSelection();
      m_view.StopAutoplay();
      m_edits.Paste(bSelection ? &selection : nullptr);
      return 1;
    case IDM_RESIZE_IMAGE: {
      if (!HasImage()) {
        Message(kNeedImage, u"Lorimo: Resize Image Function");
        return 1;
      }
      m_view.StopAutoplay();
      m_view.TerminateFullScreen();
      CDlgResize dialog(m_view.window(), m_edits.CurrentImageProp());
      if (dialog.DoModal() != IDOK) return 1;
      RemoveSelection();
      m_edits.Resize(dialog.GetImageProp());
      return 1;
    }
    case IDM_ARBITRARY_ROTATION:
      // The menu entry toggles the panel: without a window manager there
      // may be no other way to close it.
      if (IsRotationPanelOpen())
        m_pPanel->close();
      else
        OpenRotationTool();
      return 1;
    case IDM_ARBITRARY_ROTATE:
      OpenRotationTool();
      return 1;
    default:
      return 0;
  }
}

// --- The selection ---

QPoint CEditCommands::ImageOrigin() const {
  const tagIMAGEDATA& data = m_view.Document().GetData();
  const CViewGeometry& geometry = m_view.Geometry();
  return QPoint(geometry.MarginX() - data.nScrollX, geometry.MarginY() - data.nScrollY);
}

int CEditCommands::GetSelection(tagIMAGESELECTION* selection) const {
  if (!m_pSelection || !HasImage()) return 0;
  const tagIMAGEDATA& data = m_view.Document().GetData();
  return SelectionToImagePixels(m_pSelection->Describe(ImageOrigin()),
                                SIZE{int(ImageColumns(data)), int(ImageRows(data))}, selection);
}

void CEditCommands::RemoveSelection() {
  m_bSelecting = false;
  if (m_pRubberBand) m_pRubberBand->hide();
  delete m_pSelection;
}

void CEditCommands::EditRegionStart(const QPoint& pt) {
  if (!HasImage()) return;
  // One selection at a time: a new drag replaces it.
  RemoveSelection();
  m_bSelecting = true;
  m_ptSelectStart = pt;
  if (!m_pRubberBand) m_pRubberBand = new QRubberBand(QRubberBand::Rectangle, &m_view);
  m_pRubberBand->setGeometry(QRect(pt, QSize(1, 1)));
  m_pRubberBand->show();
}

void CEditCommands::EditRegionStop(const QPoint& pt) {
  if (!m_bSelecting) return;
  m_bSelecting = false;
  if (m_pRubberBand) m_pRubberBand->hide();
  const int width = std::abs(pt.x() - m_ptSelectStart.x());
  const int height = std::abs(pt.y() - m_ptSelectStart.y());
  if (width <= kMinSelection || height <= kMinSelection || !HasImage()) return;
  const QRect rect(std::min(pt.x(), m_ptSelectStart.x()), std::min(pt.y(), m_ptSelectStart.y()),
                   width, height);
  m_pSelection = new CSelectionWindow(&m_view, rect, m_view.Geometry().Zoom());
  m_pSelection->show();
}

// --- The mouse operations ---

QPointF CEditCommands::ToImage(const QPoint& pt) const {
  double x = 0, y = 0;
  m_view.Geometry().ImagePointAt(ToPoint(pt), &x, &y);
  return QPointF(x, y);
}

QPoint CEditCommands::ToClient(const QPointF& pt) const {
  const double zoom = m_view.Geometry().Zoom();
  const QPoint origin = ImageOrigin();
  return QPoint(int(std::lround(pt.x() * zoom)) + origin.x(),
                int(std::lround(pt.y() * zoom)) + origin.y());
}

int CEditCommands::RunViewerOperation(VIEWEROPERATION operation, const POINT& point) {
  const QPoint pt(point.x, point.y);
  switch (operation) {
    case VOP_EDIT_REGION_START:
      EditRegionStart(pt);
      return 1;
    case VOP_EDIT_REGION_STOP:
      EditRegionStop(pt);
      return 1;
    case VOP_MEASURE_START:
      if (!HasImage()) return 1;
      m_bMeasuring = m_bMeasureShown = true;
      m_ptMeasureFrom = m_ptMeasureTo = ToImage(pt);
      m_view.update();
      return 1;
    case VOP_MEASURE_STOP:
      if (m_bMeasuring) m_ptMeasureTo = ToImage(pt);
      m_bMeasuring = false;
      m_view.update();
      return 1;
    case VOP_SET_ANCHOR:
      // The pivot of the rotation tool: a drag from it shows the angle.
      if (!HasImage()) return 1;
      m_bRotating = m_bPivotShown = true;
      m_ptPivot = m_ptRotateTo = ToImage(pt);
      m_view.update();
      return 1;
    default:
      return 0;
  }
}

bool CEditCommands::MouseMove(const QPoint& pt, Qt::MouseButtons buttons) {
  if (m_bSelecting) {
    m_pRubberBand->setGeometry(QRect(m_ptSelectStart, pt).normalized());
    return true;
  }
  if (m_bMeasuring) {
    m_ptMeasureTo = ToImage(pt);
    m_view.update();
    return true;
  }
  if (m_bRotating) {
    // The pivot is set on the press; the drag ends with the button.
    if (!(buttons & Qt::LeftButton)) {
      m_bRotating = false;
      return false;
    }
    m_ptRotateTo = ToImage(pt);
    const QPoint from = ToClient(m_ptPivot);
    const double angle = RotationAngleFromDrag(pt.x() - from.x(), pt.y() - from.y());
    if (m_pPanel) m_pPanel->SetAngleText(FormatRotationAngle(angle));
    m_view.update();
    return true;
  }
  return false;
}

MyString CEditCommands::MeasureLabel() const {
  if (!m_bMeasureShown) return MyString();
  // Whole image pixels at both ends.
  const int dx = int(std::floor(m_ptMeasureTo.x())) - int(std::floor(m_ptMeasureFrom.x()));
  const int dy = int(std::floor(m_ptMeasureTo.y())) - int(std::floor(m_ptMeasureFrom.y()));
  return MeasureText(dx, dy);
}

QPoint CEditCommands::MeasureLabelPosition(const QPoint& a, const QPoint& b, const QSize& text) {
  const QPoint middle = (a + b) / 2;
  const int dx = b.x() - a.x();
  const int dy = b.y() - a.y();
  // Below the middle; the label reaches right from there, so a line that
  // falls to the right would run through it: then it goes to the left, and
  // a steep line leaves room close to it.
  if (dx * dy > 0) {
    const int shift = std::abs(dy) > std::abs(dx) ? 5 : 20;
    return QPoint(middle.x() - text.width() - shift, middle.y() + shift);
  }
  return QPoint(middle.x() + 5, middle.y() + 20);
}

void CEditCommands::PaintOverlay(QPainter& painter) {
  if (!HasImage()) return;
  painter.save();
  if (m_bMeasureShown) {
    const QPoint a = ToClient(m_ptMeasureFrom);
    const QPoint b = ToClient(m_ptMeasureTo);
    // Inverted, so it shows on any image.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawLine(a, b);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QString label = MeasureLabel().ToQString();
    const QFontMetrics metrics = painter.fontMetrics();
    const QSize size(metrics.horizontalAdvance(label) + 6, metrics.height() + 2);
    QRect box(MeasureLabelPosition(a, b, size), size);
    // Kept on the viewer near an edge.
    const QRect client = m_view.rect();
    box.moveLeft(std::clamp(box.left(), 0, std::max(0, client.width() - box.width())));
    box.moveTop(std::clamp(box.top(), 0, std::max(0, client.height() - box.height())));
    painter.fillRect(box, Qt::black);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, label);
  }
  if (m_bPivotShown) {
    const QPoint pivot = ToClient(m_ptPivot);
    const QPoint to = ToClient(m_ptRotateTo);
    const double angle = RotationAngleFromDrag(to.x() - pivot.x(), to.y() - pivot.y());
    const QRect circle(pivot.x() - kPieRadius, pivot.y() - kPieRadius, 2 * kPieRadius,
                       2 * kPieRadius);
    // A light pie from up, clockwise (Qt counts anticlockwise from three
    // o'clock, in 1/16 degrees), then the inverted line over it: drawn both
    // inverted, their shared edge would cancel out.
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawPie(circle, 90 * 16, -int(std::lround(angle * 16)));
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawLine(pivot, to);
  }
  painter.restore();
}

void CEditCommands::ClearOverlays() {
  m_bMeasuring = m_bMeasureShown = false;
  m_bRotating = m_bPivotShown = false;
}

void CEditCommands::OnImageReplaced() {
  RemoveSelection();
  ClearOverlays();
}

// --- Arbitrary rotation ---

void CEditCommands::OpenRotationTool() {
  if (!HasImage()) {
    Message(kNeedImage, u"Lorimo: Arbitrary Rotation Function");
    return;
  }
  if (m_view.selectMouseTool) m_view.selectMouseTool(IDM_TOOL_ANCHOR);
  if (!m_pPanel) {
    m_pPanel = new CRotationPanel(&m_view);
    QObject::connect(m_pPanel, &CRotationPanel::ApplyClicked, m_pPanel,
                     [this] { ApplyRotation(); });
    QObject::connect(m_pPanel, &CRotationPanel::Closed, m_pPanel, [this] {
      m_bRotating = m_bPivotShown = false;
      m_view.update();
    });
    m_pPanel->move(m_view.mapToGlobal(QPoint(20, 20)));
  }
  m_pPanel->show();
  m_pPanel->raise();
}

int CEditCommands::ApplyRotation() {
  if (!m_pPanel) return ER_NOTHING;
  m_view.StopAutoplay();
  RemoveSelection();
  const int result = m_edits.Rotate(m_pPanel->AngleText(), BackgroundColour());
  if (result == ER_DONE || result == ER_NOTHING) {
    if (m_pPanel) m_pPanel->SetAngleText(u"0");
    m_bRotating = m_bPivotShown = false;
    m_view.update();
  }
  return result;
}

// --- CImageEditsUi ---

void CEditCommands::Message(const MyString& text, const MyString& caption) {
  if (m_view.showMessage) m_view.showMessage(text, caption);
}

void CEditCommands::BeginImageChange() {
  // A playing animation would draw its frames over the edit.
  m_view.Document().StopAnimation();
  m_view.HoldImageChanges();
}

void CEditCommands::ShowEdited(EDITSHOW how) {
  if (how != ES_REDRAW && how != ES_PASTED_AREA) ClearOverlays();
  m_view.ShowEditedImage(how);
}
