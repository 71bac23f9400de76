#include "viewer/imageview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QRubberBand>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "browse/thumbnailsetup.h"
#include "pixwork/options.h"
#include "pixwork/sortsettings.h"
#include "shell/commandids.h"
#include "shell/programhooks.h"
#include "shell/settings.h"
#include "viewer/edit/editcommands.h"
#include "viewer/edit/fileeditcommands.h"
#include "viewer/framewindow.h"
#include "viewer/paintweller.h"
#include "viewer/saveas.h"
#include "viewer/viewertitle.h"

namespace {

// The navigator views are told after a zoom and after a hand scroll.
constexpr int kNavigatorZoomed = 1027;
constexpr int kNavigatorScrolled = 3;

// The viewer whose StopAutoplay the program's hook calls.
CImageView* gAutoplayHookOwner = nullptr;

// A magnifying glass with a plus or a minus: the dynamic zoom's cursor.
QCursor ZoomCursor(bool bIn) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::white, 4));
  painter.drawEllipse(QPointF(12, 12), 8, 8);
  painter.drawLine(QPointF(18, 18), QPointF(28, 28));
  painter.setPen(QPen(Qt::black, 2));
  painter.drawEllipse(QPointF(12, 12), 8, 8);
  painter.drawLine(QPointF(18, 18), QPointF(28, 28));
  painter.drawLine(QPointF(8, 12), QPointF(16, 12));
  if (bIn) painter.drawLine(QPointF(12, 8), QPointF(12, 16));
  return QCursor(pixmap, 12, 12);
}

POINT ToPoint(const QPoint& pt) { return POINT{pt.x(), pt.y()}; }

}  // namespace

CImageView::CImageView(QWidget* parent)
    : QWidget(parent),
      m_pSettings(&GetLorimoSettings()),
      m_pDocument(std::make_unique<CImageDocument>()),
      m_geometry(m_pDocument->GetData()),
      m_pStepper(std::make_unique<CImageStepper>()),
      m_slideshow(this),
      m_pHBar(new QScrollBar(Qt::Horizontal, this)),
      m_pVBar(new QScrollBar(Qt::Vertical, this)),
      m_pRubberBand(new QRubberBand(QRubberBand::Rectangle, this)) {
  setObjectName(QStringLiteral("Image"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  m_pHBar->hide();
  m_pVBar->hide();
  m_pHBar->setFocusPolicy(Qt::NoFocus);
  m_pVBar->setFocusPolicy(Qt::NoFocus);

  m_hWnd = CreateMessageReceiver(this, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    return OnMessage(msg, wParam, lParam);
  });
  m_pDocument->SetWindow(m_hWnd);
  m_pDocument->SetChangedHandler([this] { OnDocumentChanged(); });
  m_pDocument->SetAutoplayQuery([this] { return m_slideshow.IsRunning(); });

  m_pStepper->SetTarget(m_hWnd);
  m_pStepper->SetReadAhead(m_pDocument->GetReadAhead());
  m_pStepper->askToSave = [this] { return AskToSave(); };
  m_pStepper->handOver = [this](bool bForward) {
    return favoritesHandOver && favoritesHandOver(bForward);
  };
  m_pStepper->onLoaded = [this](const tagLOADEDIMAGE& loaded) { OnLoaded(loaded); };
  m_pStepper->onListSwapped = [this](bool bReloaded) {
    if (bReloaded && m_pStepper->Position().GetLast() < 0) ShowEmpty();
    emit ListChanged();
  };
  m_pStepper->onFactsRead = [this] { emit ListFactsRead(); };

  // The toolbox's stored states; Best Fit starts on.
  m_geometry.SetLocked(gBO[BO_SEL_ZS].bFlag != 0);
  m_geometry.SetLockStore(&gBO[BO_SEL_ZS].bFlag);
  if (gBO[BO_ON_TOP].bFlag && parent) SetFrameOnTop(window(), true);

  for (QScrollBar* bar : {m_pHBar, m_pVBar}) {
    const SCROLLBARID id = bar == m_pHBar ? SBI_HORZ : SBI_VERT;
    connect(bar, &QScrollBar::valueChanged, this, [this, id](int value) {
      if (m_geometry.Scroll(id, SA_THUMB, value) == GR_CHANGED) update();
    });
  }

  m_slideshow.step = [this](STEPCOMMAND command) { return Step(command); };
  m_slideshow.slideDelay = [this] { return SlideDelay(); };
  m_slideshow.slidePosition = [this] {
    const CListPosition& position = m_pStepper->Position();
    return std::pair<int, int>(position.GetCurrent(), position.GetLast() + 1);
  };
  connect(&m_slideshow, &CSlideshow::RunningChanged, this, &CImageView::AutoplayChanged);

  showMessage = [this](const MyString& text, const MyString& caption) {
    QMessageBox::warning(IsFullScreen() ? this : FrameWindow(), caption.ToQString(),
                         text.ToQString());
  };
  gAutoplayHookOwner = this;
  GetProgramHooks().stopAutoplay = [this] { StopAutoplay(); };

  m_pEditCommands = std::make_unique<CEditCommands>(*this);
  AddPart(m_pEditCommands.get());
  m_pFileEdits = std::make_unique<CFileEditCommands>(*this);
  AddPart(m_pFileEdits.get());
  // A file turned on disk takes the selection with it.
  m_pFileEdits->SetSelectionRemover([this] { RemoveSelection(); });
}

CImageView::~CImageView() {
  RemovePart(m_pFileEdits.get());
  m_pFileEdits.reset();
  RemovePart(m_pEditCommands.get());
  m_pEditCommands.reset();
  m_slideshow.Stop();
  if (gAutoplayHookOwner == this) {
    GetProgramHooks().stopAutoplay = nullptr;
    gAutoplayHookOwner = nullptr;
  }
  // The worker loads into the document: a decode in progress gives up, and
  // the worker is gone before the document.
  m_pDocument->GetMonitor().CancelAndWait();
  m_pStepper.reset();
  // The handler and the document use this object's members.
  DestroyMessageReceiver(m_hWnd);
  m_pDocument->SetChangedHandler(nullptr);
  m_pDocument->SetAutoplayQuery(nullptr);
  m_pDocument->SetWindow(nullptr);
}

void CImageView::SetSettings(CLorimoSettings* settings) {
  m_pSettings = settings ? settings : &GetLorimoSettings();
}

// --- Opening and stepping ---

tagSTEPOPTIONS CImageView::StepOptions() const {
  tagSTEPOPTIONS options;
  options.bRollOver = gVO[VO_ROLL_OVER].bFlag != 0;
  options.bSkipOnFastView = gVSO[VSO_SKIP_ON_FAST_VIEW].bFlag != 0;
  options.bAutoplay = m_slideshow.IsRunning();
  options.bReport = gVO[VO_DIALOG_ERRORS].bFlag;
  if (gVSO[VSO_SAMPLE_VLI].bFlag) {
    const QSize client = FullSize();
    options.szSizeHint = SIZE{client.width(), client.height()};
  }
  return options;
}

void CImageView::SyncOptions() {
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = gVO[VO_AI].bFlag != 0;
  options.bEnlargeAI = gVO[VO_ENLARGE_AI].bFlag != 0;
  options.bShrinkAI = gVO[VO_SHRINK_AI].bFlag != 0;
  options.bEnlargeAW = gVO[VO_ENLARGE_AW].bFlag != 0;
  options.bShrinkAW = gVO[VO_SHRINK_AW].bFlag != 0;
  options.bEnlargeFS = gVO[VO_ENLARGE_FS].bFlag != 0;
  options.bShrinkFS = gVO[VO_SHRINK_FS].bFlag != 0;
  options.bCenterToScreen = gVO[VO_CENTER_TO_SCREEN].bFlag != 0;
  options.bApplyFS = gVO[VO_APPLY_FS].bFlag != 0;
  options.bRestoreFS = gVO[VO_RESTORE_FS].bFlag != 0;
  m_geometry.SetOptions(options);
  m_geometry.SetWindowMetrics(MeasureWindow());
}

bool CImageView::AskToSave() {
  if (!m_pDocument->IsModified() || !askToSaveModified) return true;
  if (!askToSaveModified()) return false;
  // Answered for this image: presses while the next one loads do not ask again.
  m_pDocument->SetModified(false);
  return true;
}

int CImageView::OpenFile(const MyString& path) {
  SyncOptions();
  const int result = m_pStepper->OpenFile(path, StepOptions());
  emit ListChanged();
  return result;
}

int CImageView::ShowFolder(const MyString& folder) {
  SyncOptions();
  const int result = m_pStepper->OpenFolder(folder, StepOptions());
  if (m_pStepper->Position().GetLast() < 0 && !m_pStepper->IsListing()) ShowEmpty();
  emit ListChanged();
  return result;
}

int CImageView::OpenPortfolio(const MyString& path) {
  SyncOptions();
  const int result = m_pStepper->OpenPortfolio(path, StepOptions());
  if (result < 0) return 0;
  emit ListChanged();
  m_pSettings->recent.RememberPortfolio(path);
  if (m_pStepper->Position().GetLast() < 0) ShowEmpty();
  UpdateTitle();
  return result;
}

int CImageView::AddToList(const MyString& path, bool bPortfolio) {
  SyncOptions();
  // The stepper tells of the list change (onListSwapped).
  return m_pStepper->AddGroup(path, bPortfolio, StepOptions());
}

int CImageView::KeepListGroups(const std::vector<MyString>& paths) {
  SyncOptions();
  return m_pStepper->KeepGroups(paths, StepOptions());
}

int CImageView::RelistGroups(const MyString& folder) {
  SyncOptions();
  return m_pStepper->RelistGroups(folder, StepOptions());
}

int CImageView::ShowFiles(const std::vector<MyString>& files) {
  SyncOptions();
  const int result = m_pStepper->OpenFiles(files, StepOptions());
  if (m_pStepper->Position().GetLast() < 0) ShowEmpty();
  emit ListChanged();
  return result;
}

int CImageView::ShowIndex(int index) {
  SyncOptions();
  return m_pStepper->ShowIndex(index, StepOptions());
}

int CImageView::Step(STEPCOMMAND command) {
  SyncOptions();
  const int result = m_pStepper->Step(command, StepOptions());
  // Next at the end without roll-over ends a slideshow.
  if (result == SR_AT_END) m_slideshow.Stop();
  return result;
}

void CImageView::OnLoaded(const tagLOADEDIMAGE& loaded) {
  if (loaded.bSkipped) {
    // An entry that cannot be shown fails a slideshow step.
    m_slideshow.OnImageShown(false);
    return;
  }
  SyncOptions();
  // The load stopped any animation, and the lock it forced goes with it.
  m_geometry.SetLockForced(false);
  m_geometry.PrepareForLoad();
  m_bTakingLoad = true;
  m_pDocument->TakeLoaded(loaded);
  m_bTakingLoad = false;
  for (CViewerPart* part : m_parts) part->OnImageReplaced();
  m_strFailedName = loaded.bLoaded ? MyString() : loaded.strPath.GetStringTitleExt();
  if (loaded.bLoaded) {
    m_pSettings->strLastLoadedImage = loaded.strPath;
    m_pSettings->recent.AddRecentFile(loaded.strPath);
  } else {
    emit LoadFailed(loaded.strPath.ToQString(), loaded.strError.ToQString());
  }

  // The new image is fitted to the whole widget; the bars come after.
  tagIMAGEDATA& data = m_pDocument->GetData();
  const QSize full = FullSize();
  data.nClientWidth = full.width();
  data.nClientHeight = full.height();
  const tagFRAMEREQUEST request = m_geometry.ShowNewImage(loaded.bLoaded);
  // An animated image plays with zoom and scroll locked.
  if (loaded.bLoaded && m_pDocument->GetAnimation().IsRunning()) m_geometry.SetLockForced(true);
  PlaceFrame(request);
  UpdateLayout();
  UpdateTitle();
  update();
  emit CurrentImageChanged(loaded.strPath.ToQString(), loaded.nIndex);
  if (loaded.bLoaded && parentWidget() && !isVisibleTo(parentWidget()) && !IsFullScreen())
    PostMessage(m_hWnd, WM_LORIMO_SHOW_VIEWER, 0, 0);

  m_slideshow.OnImageShown(loaded.bLoaded);
}

void CImageView::ShowEmpty() {
  m_geometry.SetLockForced(false);
  m_geometry.PrepareForLoad();
  m_bTakingLoad = true;
  m_pDocument->Clear();
  m_bTakingLoad = false;
  m_strFailedName = MyString();
  for (CViewerPart* part : m_parts) part->OnImageReplaced();
  m_geometry.ShowNewImage(false);
  UpdateLayout();
  UpdateTitle();
  update();
}

void CImageView::OnDocumentChanged() {
  if (m_bTakingLoad || m_bHoldChanges) return;
  const tagIMAGEDATA& data = m_pDocument->GetData();
  const bool bNewImage = int(ImageColumns(data)) != data.nImageWidth ||
                         int(ImageRows(data)) != data.nImageHeight ||
                         m_pDocument->HasImage() != m_geometry.HasImage();
  // A replaced or edited image of another size is shown as a new one; an
  // animation frame is only drawn.
  if (bNewImage) {
    SyncOptions();
    PlaceFrame(m_geometry.ShowNewImage(m_pDocument->HasImage()));
    UpdateLayout();
    UpdateTitle();
  }
  update();
}

int CImageView::Rescan(bool bSortChanged) {
  SyncOptions();
  // A new order is sorted on the worker: large folders must not stall.
  const int result = m_pStepper->Rescan(StepOptions(), bSortChanged);
  if (result == 2) {
    m_slideshow.UpdatePanel();
    return 1;
  }
  if (result >= 0) emit ListChanged();
  if (result < 0) {
    if (!bSortChanged) showMessage(u"Please Open Image First.", u"Lorimo: Rescan Image Function");
    return result;
  }
  if (result == 0) {
    ShowEmpty();
    showMessage(u"No Lorimo files found in this directory.", u"Lorimo message:");
    return result;
  }
  m_slideshow.UpdatePanel();
  return result;
}

int CImageView::SaveAs() {
  CSaveAsDialogs dialogs(this);
  CSaveAsCommand command(*m_pDocument, dialogs);
  command.updateCachedThumbnail = RefreshCachedThumbnail;
  command.updateFolderViews = [](const MyString& target) {
    if (GetProgramHooks().updateThumbnailEntry) GetProgramHooks().updateThumbnailEntry(target);
  };
  return command.Run();
}

void CImageView::ShowAsNewImage() {
  SyncOptions();
  tagIMAGEDATA& data = m_pDocument->GetData();
  const QSize full = FullSize();
  data.nClientWidth = full.width();
  data.nClientHeight = full.height();
  PlaceFrame(m_geometry.ShowNewImage(m_pDocument->HasImage()));
  UpdateLayout();
  UpdateTitle();
  update();
  emit NavigatorNotify(kNavigatorZoomed);
}

// --- Commands ---

void CImageView::AddPart(CViewerPart* part) {
  if (part && std::find(m_parts.begin(), m_parts.end(), part) == m_parts.end())
    m_parts.push_back(part);
}

void CImageView::RemovePart(CViewerPart* part) { std::erase(m_parts, part); }

CViewerPart* CImageView::PartOf(int id) const {
  for (CViewerPart* part : m_parts)
    if (part->OwnsCommand(id)) return part;
  return nullptr;
}

int CImageView::OnCommand(int id) {
  if (CViewerPart* part = PartOf(id)) return part->OnCommand(id);
  switch (id) {
    case IDM_SAVE_AS:
      // Its dialogs need the main window.
      TerminateFullScreen();
      SaveAs();
      return 1;
    case IDM_NEXT_IMAGE:
      Step(SC_NEXT);
      return 1;
    case IDM_PREVIOUS_IMAGE:
      Step(SC_PREVIOUS);
      return 1;
    case IDM_FIRST_IMAGE:
      Step(SC_FIRST);
      return 1;
    case IDM_LAST_IMAGE:
      Step(SC_LAST);
      return 1;
    case IDM_ZOOM_IN: {
      const QPoint cursor = mapFromGlobal(QCursor::pos());
      const POINT pt = ToPoint(cursor);
      const bool bInside = underMouse() && rect().contains(cursor);
      AfterZoom(m_geometry.ZoomIn(bInside ? &pt : nullptr), ZT_ZOOM_IN);
      return 1;
    }
    case IDM_ZOOM_OUT:
      AfterZoom(m_geometry.ZoomOut(), ZT_ZOOM_OUT);
      return 1;
    case IDM_ACTUAL_SIZE:
      SetActualSize(true);
      return 1;
    case IDM_BEST_FIT:
      SetActualSize(false);
      return 1;
    case IDM_LOCK_ZOOM_SCROLL:
      if (m_geometry.ToggleLock() == GR_CHANGED) UpdateLayout();
      return 1;
    case IDM_AUTOPLAY:
      ToggleAutoplay();
      return 1;
    case IDM_MAXIMIZE_VIEW:
      ToggleMaximizeView();
      return 1;
    case IDM_FULL_SCREEN:
      if (IsFullScreen())
        LeaveFullScreen();
      else
        EnterFullScreen();
      return 1;
    case IDM_ALWAYS_ON_TOP:
      ToggleOnTop();
      return 1;
    case IDM_SORT_NAME:
    case IDM_SORT_EXTENSION:
    case IDM_SORT_SIZE:
    case IDM_SORT_DATE:
    case IDM_SORT_EXIF_DATE:
    case IDM_SORT_ASCENDING:
    case IDM_SORT_DESCENDING:
      Rescan(true);
      return 1;
    case IDM_RESCAN:
      Rescan(false);
      return 1;
    default:
      return 0;
  }
}

bool CImageView::IsCommandEnabled(int id) const {
  if (const CViewerPart* part = PartOf(id)) return part->IsCommandEnabled(id);
  const bool bImage = m_geometry.HasImage();
  const bool bListed = m_pStepper->Position().HasImage();
  switch (id) {
    case IDM_SAVE_AS:
    case IDM_ZOOM_IN:
    case IDM_ZOOM_OUT:
    case IDM_ACTUAL_SIZE:
    case IDM_BEST_FIT:
    case IDM_LOCK_ZOOM_SCROLL:
      return bImage;
    case IDM_FULL_SCREEN:
      return bImage || IsFullScreen();
    case IDM_AUTOPLAY:
      return m_slideshow.IsRunning() || (bImage && m_pStepper->Position().GetLast() > 0);
    case IDM_NEXT_IMAGE:
    case IDM_PREVIOUS_IMAGE:
      return bListed || bool(favoritesHandOver);
    case IDM_FIRST_IMAGE:
    case IDM_LAST_IMAGE:
      return bListed;
    case IDM_MAXIMIZE_VIEW:
      return !IsFullScreen();
    default:
      return true;
  }
}

bool CImageView::IsCommandChecked(int id) const {
  if (const CViewerPart* part = PartOf(id)) return part->IsCommandChecked(id);
  switch (id) {
    case IDM_LOCK_ZOOM_SCROLL:
      return m_geometry.IsLocked();
    case IDM_ALWAYS_ON_TOP:
      return gBO[BO_ON_TOP].bFlag != 0;
    case IDM_ACTUAL_SIZE:
      return m_geometry.IsActualSize();
    case IDM_BEST_FIT:
      return m_geometry.IsBestFit();
    case IDM_AUTOPLAY:
      return m_slideshow.IsRunning();
    case IDM_FULL_SCREEN:
      return IsFullScreen();
    case IDM_MAXIMIZE_VIEW:
      return m_bMaximizeView;
    default:
      return IsSortCommandChecked(id);
  }
}

void CImageView::SetActualSize(bool actualSize) {
  SyncOptions();
  AfterZoom(actualSize ? m_geometry.ActualSize() : m_geometry.BestFit(), ZT_ZOOM_IN);
}

// --- The input mapping's actions ---

void CImageView::ScrollUp() {
  if (m_geometry.Scroll(SBI_VERT, SA_LINE_UP) == GR_CHANGED) SyncBars();
}

void CImageView::ScrollDown() {
  if (m_geometry.Scroll(SBI_VERT, SA_LINE_DOWN) == GR_CHANGED) SyncBars();
}

void CImageView::ScrollLeft() {
  if (m_geometry.Scroll(SBI_HORZ, SA_LINE_UP) == GR_CHANGED) SyncBars();
}

void CImageView::ScrollRight() {
  if (m_geometry.Scroll(SBI_HORZ, SA_LINE_DOWN) == GR_CHANGED) SyncBars();
}

void CImageView::ZoomInOnPixel(const QPoint& pt) {
  AfterZoom(m_geometry.ZoomInOnPixel(ToPoint(pt)), ZT_ZOOM_IN_PIXEL);
}

void CImageView::ZoomOutOnPixel(const QPoint& pt) {
  AfterZoom(m_geometry.ZoomOutOnPixel(ToPoint(pt)), ZT_ZOOM_OUT_PIXEL);
}

void CImageView::ZoomInRegionStart(const QPoint& pt) {
  const int result = m_geometry.RegionZoomStart(ToPoint(pt));
  if (result == GR_NEEDS_IMAGE) return Warn(ZT_HAND);
  if (result != GR_CHANGED) return;
  m_ptPress = pt;
  m_pRubberBand->setGeometry(QRect(pt, QSize(1, 1)));
  m_pRubberBand->show();
  UpdateCursor();
}

void CImageView::ZoomInRegionStop(const QPoint& pt) {
  if (m_geometry.DragTool() != DT_REGION_ZOOM) return;
  m_pRubberBand->hide();
  AfterZoom(m_geometry.RegionZoomStop(ToPoint(pt)), ZT_HAND);
  UpdateCursor();
}

void CImageView::HandStart(const QPoint& pt) {
  const int result = m_geometry.HandStart(ToPoint(pt));
  if (result == GR_NEEDS_IMAGE) return Warn(ZT_HAND);
  UpdateCursor();
}

void CImageView::HandRelease() {
  m_geometry.HandStop();
  UpdateCursor();
}

void CImageView::DynamicZoomStart(const QPoint& pt) {
  const int result = m_geometry.DynamicZoomStart(ToPoint(pt));
  if (result == GR_NEEDS_IMAGE) return Warn(ZT_HAND);
  UpdateCursor();
}

void CImageView::DynamicZoomStop() {
  m_geometry.DynamicZoomStop();
  UpdateCursor();
}

void CImageView::TerminateFullScreen() { LeaveFullScreen(); }

int CImageView::RunViewerOperation(VIEWEROPERATION operation, const POINT& pt) {
  const QPoint point(pt.x, pt.y);
  switch (operation) {
    case VOP_SCROLL_UP:
      ScrollUp();
      return 1;
    case VOP_SCROLL_DOWN:
      ScrollDown();
      return 1;
    case VOP_SCROLL_LEFT:
      ScrollLeft();
      return 1;
    case VOP_SCROLL_RIGHT:
      ScrollRight();
      return 1;
    case VOP_ZOOM_IN_PIXEL:
      ZoomInOnPixel(point);
      return 1;
    case VOP_ZOOM_OUT_PIXEL:
      ZoomOutOnPixel(point);
      return 1;
    case VOP_ZOOM_REGION_START:
      ZoomInRegionStart(point);
      return 1;
    case VOP_ZOOM_REGION_STOP:
      ZoomInRegionStop(point);
      return 1;
    case VOP_HAND_START:
      HandStart(point);
      return 1;
    case VOP_HAND_RELEASE:
      HandRelease();
      return 1;
    case VOP_DYNAMIC_ZOOM_START:
      DynamicZoomStart(point);
      return 1;
    case VOP_DYNAMIC_ZOOM_STOP:
      DynamicZoomStop();
      return 1;
    case VOP_EDIT_REGION_START:
    case VOP_EDIT_REGION_STOP:
    case VOP_MEASURE_START:
    case VOP_MEASURE_STOP:
    case VOP_SET_ANCHOR:
      for (CViewerPart* part : m_parts)
        if (part->RunViewerOperation(operation, pt)) return 1;
      break;
  }
  return 0;
}

void CImageView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pt = event->position().toPoint();
  switch (m_geometry.DragTool()) {
    case DT_REGION_ZOOM:
      m_pRubberBand->setGeometry(QRect(m_ptPress, pt).normalized());
      break;
    case DT_HAND:
      if (m_geometry.HandMove(ToPoint(pt)) == GR_CHANGED) {
        SyncBars();
        emit NavigatorNotify(kNavigatorScrolled);
      }
      break;
    case DT_DYNAMIC_ZOOM:
      if (m_geometry.DynamicZoomMove(ToPoint(pt)) == GR_CHANGED) {
        UpdateLayout();
        update();
        UpdateCursor();
        emit NavigatorNotify(kNavigatorZoomed);
      }
      break;
    case DT_NONE: {
      bool bFollowed = false;
      for (CViewerPart* part : m_parts)
        if (part->MouseMove(pt, event->buttons())) bFollowed = true;
      if (!bFollowed) QWidget::mouseMoveEvent(event);
      break;
    }
  }
}

void CImageView::mouseReleaseEvent(QMouseEvent* event) {
  // A drag tool that nobody ended ends with its button.
  if (event->buttons() == Qt::NoButton) {
    switch (m_geometry.DragTool()) {
      case DT_REGION_ZOOM:
        ZoomInRegionStop(event->position().toPoint());
        return;
      case DT_HAND:
        HandRelease();
        return;
      case DT_DYNAMIC_ZOOM:
        DynamicZoomStop();
        return;
      case DT_NONE:
        break;
    }
  }
  // A part's drag without a release action of its own (the rotation pivot) ends here.
  for (CViewerPart* part : m_parts) part->MouseMove(event->position().toPoint(), event->buttons());
  QWidget::mouseReleaseEvent(event);
}

void CImageView::keyPressEvent(QKeyEvent* event) {
  if (IsFullScreen() && event->key() == Qt::Key_Escape) {
    LeaveFullScreen();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CImageView::closeEvent(QCloseEvent* event) {
  // Closing the full-screen window only leaves full screen.
  if (IsFullScreen()) {
    event->ignore();
    LeaveFullScreen();
    return;
  }
  QWidget::closeEvent(event);
}

void CImageView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange && isWindow() && isMinimized()) m_slideshow.Stop();
  QWidget::changeEvent(event);
}

// --- Geometry results and drawing ---

void CImageView::Warn(ZOOMTOOL tool) {
  const tagVIEWWARNING warning = CViewGeometry::ImageNeededWarning(tool);
  if (showMessage) showMessage(warning.pszText, warning.pszCaption);
}

void CImageView::AfterZoom(int result, ZOOMTOOL tool) {
  if (result == GR_NEEDS_IMAGE) return Warn(tool);
  if (result != GR_CHANGED) return;
  UpdateLayout();
  update();
  emit NavigatorNotify(kNavigatorZoomed);
}

QSize CImageView::FullSize() const {
  // Going full screen, the window takes the screen's size a little later.
  if (IsFullScreen() && screen()) return screen()->geometry().size();
  return size();
}

void CImageView::UpdateLayout() {
  if (m_bLayingOut) return;
  m_bLayingOut = true;
  const QSize full = FullSize();
  const tagIMAGEDATA& data = m_pDocument->GetData();
  m_geometry.OnResize(SIZE{full.width(), full.height()});
  bool bHorz = false, bVert = false;
  const int barWidth = m_pVBar->sizeHint().width();
  const int barHeight = m_pHBar->sizeHint().height();
  if (!IsFullScreen() && m_geometry.HasImage()) {
    // The zoomed size no longer changes here: Best Fit has fitted the image
    // into the whole area, and any other factor stays as it is.
    const int width = ZoomedLength(data.nImageWidth, data.fZoom);
    const int height = ZoomedLength(data.nImageHeight, data.fZoom);
    bHorz = width > full.width();
    bVert = height > full.height();
    if (bVert && !bHorz) bHorz = width > full.width() - barWidth;
    if (bHorz && !bVert) bVert = height > full.height() - barHeight;
  }
  const SIZE client{std::max(0, full.width() - (bVert ? barWidth : 0)),
                    std::max(0, full.height() - (bHorz ? barHeight : 0))};
  if (bHorz || bVert) m_geometry.OnResize(client);
  m_pHBar->setGeometry(0, client.cy, client.cx, barHeight);
  m_pVBar->setGeometry(client.cx, 0, barWidth, client.cy);
  m_pHBar->setVisible(bHorz);
  m_pVBar->setVisible(bVert);
  SyncBars();
  m_bLayingOut = false;
}

void CImageView::SyncBars() {
  for (QScrollBar* bar : {m_pHBar, m_pVBar}) {
    const tagSCROLLBARINFO info = m_geometry.ScrollBar(bar == m_pHBar ? SBI_HORZ : SBI_VERT);
    const QSignalBlocker blocker(bar);
    bar->setRange(0, info.nMaxPos);
    bar->setPageStep(std::max(1, info.nPage));
    bar->setSingleStep(std::max(1, info.nLine));
    bar->setValue(info.nPos);
  }
  update();
}

QSize CImageView::ClientSize() const {
  const tagIMAGEDATA& data = m_pDocument->GetData();
  return QSize(data.nClientWidth, data.nClientHeight);
}

const QImage& CImageView::Image() const {
  static const QImage none;
  return m_pDocument->HasImage() ? m_pDocument->GetDisplayImage() : none;
}

QRect CImageView::ImageRect() const {
  if (Image().isNull()) return QRect();
  return CPaintweller::ImageRect(m_pDocument->GetData());
}

void CImageView::resizeEvent(QResizeEvent* event) {
  // An animation that ran out no longer holds the lock.
  if (!m_pDocument->GetAnimation().IsRunning()) m_geometry.SetLockForced(false);
  SyncOptions();
  UpdateLayout();
  m_slideshow.UpdatePanel();
  QWidget::resizeEvent(event);
}

void CImageView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const tagIMAGEDATA& data = m_pDocument->GetData();
  const QImage& dib = m_pDocument->GetDisplayImage();
  const QRect client(QPoint(0, 0), ClientSize());
  if (!dib.isNull() && HasPixels(data)) {
    tagPAINTDATA paint;
    paint.pDC = &painter;
    paint.rcPaint = event->rect();
    paint.pDib = &dib;
    CPaintweller::DisplayDib2(paint, data, gVSO[VSO_LINEAR_SCALE].bFlag ? PM_SMOOTH : PM_NEAREST);
  } else {
    CPaintweller::PaintRect(&painter, client, kViewerBackground);
    painter.setPen(kEmptyViewerTextColor);
    painter.setFont(QApplication::font());
    const CListPosition& position = m_pStepper->Position();
    if (IsFullScreen()) {
      painter.drawText(client, Qt::AlignCenter | Qt::TextSingleLine, tr("No image loaded."));
    } else if (position.GetLast() < 0 && !position.GetList().GetDirectory().IsEmpty()) {
      painter.drawText(client.adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap,
                       tr("There are no images Lorimo can read in this directory ..."));
    }
  }
  for (CViewerPart* part : m_parts) part->PaintOverlay(painter);
  // The corner between the two bars.
  if (m_pHBar->isVisible() && m_pVBar->isVisible())
    painter.fillRect(QRect(m_pVBar->x(), m_pHBar->y(), m_pVBar->width(), m_pHBar->height()),
                     palette().window());
}

void CImageView::UpdateTitle() {
  const bool bFailed = !m_geometry.HasImage() && !m_strFailedName.IsEmpty();
  const MyString title = BuildViewerTitle(
      m_geometry.HasImage() || bFailed, gVO[VO_SHOW_RGB].bFlag != 0,
      bFailed ? m_strFailedName : m_pDocument->GetName(), m_pStepper->GetPortfolioPath());
  const QString text = title.ToQString();
  if (IsFullScreen()) setWindowTitle(text);
  if (text == m_strTitle) return;
  m_strTitle = text;
  emit TitleChanged(text);
}

void CImageView::UpdateCursor() {
  switch (m_geometry.DragTool()) {
    case DT_HAND:
      setCursor(Qt::ClosedHandCursor);
      return;
    case DT_REGION_ZOOM:
      setCursor(Qt::CrossCursor);
      return;
    case DT_DYNAMIC_ZOOM:
      setCursor(ZoomCursor(m_geometry.DynamicZoomDirection() >= 0));
      return;
    case DT_NONE:
      break;
  }
  if (IsFullScreen() && gVO[VO_SHOW_CRS_FS].bFlag)
    setCursor(Qt::BlankCursor);
  else
    unsetCursor();
}

// --- Windows ---

QWidget* CImageView::FrameWindow() const {
  if (m_fullScreen.IsActive()) return m_fullScreen.Frame();
  return window();
}

tagWINDOWMETRICS CImageView::MeasureWindow() const {
  QWidget* frame = FrameWindow();
  return MeasureFrameWindow(frame, IsFullScreen() ? frame : this,
                            SIZE{m_pVBar->sizeHint().width(), m_pHBar->sizeHint().height()});
}

void CImageView::PlaceFrame(const tagFRAMEREQUEST& request) {
  if (!IsFullScreen()) PlaceFrameWindow(FrameWindow(), request);
}

void CImageView::EnterFullScreen() {
  if (IsFullScreen() || !m_geometry.HasImage()) return;
  if (isEmailDialogVisible && isEmailDialogVisible()) return;
  SyncOptions();
  QWidget* frame = window();
  QScreen* screen = frame->screen();
  m_fullScreen.Enter(this, frame, screen);
  const QSize size = screen ? screen->geometry().size() : this->size();
  m_geometry.EnterFullScreen(SIZE{size.width(), size.height()});
  UpdateCursor();
  UpdateLayout();
  UpdateTitle();
  update();
  m_slideshow.UpdatePanel();
  emit FullScreenChanged(true);
}

void CImageView::LeaveFullScreen() {
  if (!IsFullScreen()) return;
  m_fullScreen.Leave(m_bMaximizeOnLeave);
  m_bMaximizeOnLeave = false;
  SyncOptions();
  const tagFRAMEREQUEST request = m_geometry.LeaveFullScreen(SIZE{width(), height()});
  PlaceFrame(request);
  UpdateCursor();
  UpdateLayout();
  UpdateTitle();
  update();
  m_slideshow.UpdatePanel();
  if (QWidget* frame = window()) frame->activateWindow();
  setFocus();
  emit FullScreenChanged(false);
}

void CImageView::ToggleMaximizeView() {
  if (IsFullScreen()) return;
  m_bMaximizeView = !m_bMaximizeView;
  emit MaximizeViewChanged(m_bMaximizeView);
}

void CImageView::ToggleOnTop() {
  const bool bOnTop = gBO[BO_ON_TOP].bFlag == 0;
  gBO[BO_ON_TOP].bFlag = bOnTop ? 1 : 0;
  SetFrameOnTop(FrameWindow(), bOnTop);
}

// --- Autoplay ---

int CImageView::SlideDelay() const {
  return CAutoplay::SlideDelay(
      int(std::min<uint32_t>(m_pSettings->dwAutoPlayMiliseconds, uint32_t(INT32_MAX))),
      m_pStepper->GetPortfolioDelays(), m_pStepper->Position().GetCurrent());
}

void CImageView::ToggleAutoplay() {
  if (isEmailDialogVisible && isEmailDialogVisible()) return;
  m_slideshow.Toggle(m_geometry.HasImage(), m_pStepper->Position().GetLast() + 1);
}

void CImageView::StopAutoplay() { m_slideshow.Stop(); }

// --- Edits ---

void CImageView::ShowEditedImage(EDITSHOW how) {
  m_bHoldChanges = false;
  switch (how) {
    case ES_REDRAW:
    case ES_PASTED_AREA:
      break;
    case ES_NEW_IMAGE:
      SyncOptions();
      m_geometry.ResetZoomIndex();
      PlaceFrame(m_geometry.ShowNewImage(m_pDocument->HasImage()));
      break;
    case ES_NEW_KEEP_ZOOM:
    case ES_PASTED:
      SyncOptions();
      if (m_geometry.HasImage()) {
        // Only the size is new: the factor, Best Fit and the scroll position
        // (clamped by the layout) stay.
        tagIMAGEDATA& data = m_pDocument->GetData();
        data.nImageWidth = int(std::min<size_t>(ImageColumns(data), INT32_MAX));
        data.nImageHeight = int(std::min<size_t>(ImageRows(data), INT32_MAX));
      } else {
        PlaceFrame(m_geometry.ShowNewImage(m_pDocument->HasImage()));
      }
      break;
  }
  UpdateLayout();
  UpdateTitle();
  if (how == ES_PASTED || how == ES_PASTED_AREA) {
    m_strTitle = QString::fromUtf16(CImageEdits::kPasteName);
    emit TitleChanged(m_strTitle);
  }
  update();
  emit NavigatorNotify(kNavigatorZoomed);
}

void CImageView::RemoveSelection() {
  for (CViewerPart* part : m_parts) part->RemoveSelection();
}

// --- Messages ---

LRESULT CImageView::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_LORIMO_SHOW_FOLDER:
      return wParam ? ShowFolder(MyString(reinterpret_cast<const char16_t*>(wParam))) : 0;
    case WM_LORIMO_OPEN_PORTFOLIO:
      return wParam ? OpenPortfolio(MyString(reinterpret_cast<const char16_t*>(wParam))) : 0;
    case WM_LORIMO_SHOW_VIEWER:
      emit ShowViewerRequested();
      setFocus();
      SyncOptions();
      PlaceFrame(m_geometry.ApplyRule());
      UpdateLayout();
      update();
      return 1;
    default:
      return 0;
  }
}
