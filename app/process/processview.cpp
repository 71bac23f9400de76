#include "process/processview.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "corekit/queuedcall.h"
#include "viewer/edit/editcommands.h"
#include "viewer/imageview.h"

// Draws the preview over the viewer's image while one is set.
class CPreviewOverlay : public CViewerPart {
 public:
  CPreviewOverlay(CImageView& viewer, std::function<void()> replaced)
      : m_viewer(viewer), m_replaced(std::move(replaced)) {}
  bool OwnsCommand(int) const override { return false; }
  int OnCommand(int) override { return 0; }
  bool IsCommandEnabled(int) const override { return false; }
  bool IsCommandChecked(int) const override { return false; }
  void PaintOverlay(QPainter& painter) override {
    if (m_preview.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(m_viewer.ImageRect(), m_preview);
  }
  void OnImageReplaced() override { m_replaced(); }
  void Set(const QImage& preview) {
    m_preview = preview;
    m_viewer.update();
  }
  bool IsSet() const { return !m_preview.isNull(); }

 private:
  CImageView& m_viewer;
  std::function<void()> m_replaced;
  QImage m_preview;
};

namespace {
// The bar moves on a timer of its own, so a filter that reports rarely
// still shows life.
constexpr int kTickMs = 20;
}  // namespace

CProcessView::CProcessView(CImageView& viewer, QWidget* parent)
    : QWidget(parent),
      m_viewer(viewer),
      m_pViewerAlive(&viewer),
      m_session(viewer.Document(), viewer.EditCommands().Edits(), this) {
  m_session.showMessage = [this](const MyString& text, const MyString& caption) {
    if (m_viewer.showMessage) m_viewer.showMessage(text, caption);
  };
  auto* box = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  m_pFilters = new QToolButton(this);
  m_pFilters->setText(tr("Filters"));
  m_pFilters->setPopupMode(QToolButton::InstantPopup);
  m_pFilters->setToolTip(QString::fromUtf16(kNoFilter));
  auto* menu = new QMenu(m_pFilters);
  menu->setToolTipsVisible(true);
  const auto fillMenu = [this, menu] {
    // Plug-ins add their filters after the catalogue's own, at any time.
    const CFilterCatalogue& catalogue = GetFilterCatalogue();
    for (int i = int(menu->actions().size()); i < catalogue.GetCount(); ++i) {
      QAction* action = menu->addAction(QString::fromUtf16(catalogue.Entry(i).pszName));
      action->setToolTip(QString::fromUtf16(catalogue.Entry(i).pszDescription));
      connect(action, &QAction::triggered, this, [this, i] { ChooseFilter(i); });
    }
  };
  fillMenu();
  connect(menu, &QMenu::aboutToShow, this, fillMenu);
  m_pFilters->setMenu(menu);
  m_pApply = new QPushButton(tr("Apply"), this);
  m_pApply->setEnabled(false);
  m_pCancel = new QPushButton(tr("Cancel"), this);
  m_pCancel->setFlat(true);
  m_pCancel->hide();
  m_pSaveAs = new QPushButton(tr("Save As"), this);
  m_pPreview = new QPushButton(tr("Preview"), this);
  m_pPreview->setEnabled(false);
  m_pUndo = new QToolButton(this);
  m_pUndo->setObjectName(QStringLiteral("ProcessUndo441"));
  m_pUndo->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  m_pUndo->setToolTip(tr("Undo"));
  m_pRedo = new QToolButton(this);
  m_pRedo->setObjectName(QStringLiteral("ProcessRedo442"));
  m_pRedo->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
  m_pRedo->setToolTip(tr("Redo"));
  for (QWidget* w : std::initializer_list<QWidget*>{m_pFilters, m_pApply, m_pCancel, m_pPreview,
                                                    m_pSaveAs, m_pUndo, m_pRedo})
    bar->addWidget(w);
  bar->addStretch(1);
  box->addLayout(bar);
  m_pBar = new QProgressBar(this);
  m_pBar->setRange(0, 100);
  m_pBar->hide();
  box->addWidget(m_pBar);
  // The panels scroll: a wide panel must not push the viewer aside.
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  m_pPanels = new QStackedWidget(scroll);
  m_pPanels->addWidget(new QWidget(m_pPanels));
  scroll->setWidget(m_pPanels);
  box->addWidget(scroll, 1);

  connect(m_pApply, &QPushButton::clicked, this, [this] { Apply(); });
  connect(m_pCancel, &QPushButton::clicked, this, [this] { Cancel(); });
  connect(m_pPreview, &QPushButton::clicked, this, [this] { Preview(); });
  connect(m_pSaveAs, &QPushButton::clicked, this, [this] { m_viewer.SaveAs(); });
  connect(m_pUndo, &QToolButton::clicked, this, [this] { Undo(); });
  connect(m_pRedo, &QToolButton::clicked, this, [this] { Redo(); });
  connect(&m_session, &CProcessSession::StateChanged, this, [this] { UpdateButtons(); });
  connect(&m_session, &CProcessSession::Finished, this, [this](int result) {
    SetBusy(false);
    // The region was used up, whatever came of it.
    if (m_bRedEyeRun) m_viewer.RemoveSelection();
    m_bRedEyeRun = false;
    emit ApplyFinished(result);
  });
  connect(&m_viewer, &CImageView::CurrentImageChanged, this, [this] { m_session.CheckDocument(); });
  m_timer.setInterval(kTickMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { OnTick(); });

  m_viewer.installEventFilter(this);
  m_pOverlay = new CPreviewOverlay(m_viewer, [this] { EndPreview(); });
  m_viewer.AddPart(m_pOverlay);
  connect(&m_viewer, &QObject::destroyed, this, [this] {
    m_previewRunner.Stop();
    m_nPreviewWanted = 0;
    m_session.Detach();
    m_timer.stop();
  });

  CImageEdits& edits = m_viewer.EditCommands().Edits();
  edits.processViewUndo = [this] { return isVisible() && m_session.CanUndo() && Undo() == 1; };
  edits.processViewRedo = [this] { return isVisible() && m_session.CanRedo() && Redo() == 1; };
  UpdateButtons();
}

CProcessView::~CProcessView() {
  m_previewRunner.Stop();
  m_session.Detach();
  if (!m_pViewerAlive) {
    delete m_pOverlay;
    return;
  }
  m_viewer.removeEventFilter(this);
  m_viewer.RemovePart(m_pOverlay);
  delete m_pOverlay;
  CImageEdits& edits = m_viewer.EditCommands().Edits();
  edits.processViewUndo = nullptr;
  edits.processViewRedo = nullptr;
}

void CProcessView::ChooseFilter(int index) {
  const CFilterCatalogue& catalogue = GetFilterCatalogue();
  if (index < 0 || index >= catalogue.GetCount() || index == m_nChosen) return;
  if (m_session.IsRunning()) return;
  if (m_panels.size() < size_t(catalogue.GetCount()))
    m_panels.resize(size_t(catalogue.GetCount()), nullptr);
  CFilterPanel*& panel = m_panels[size_t(index)];
  if (!panel) {
    panel = CFilterPanel::Make(catalogue.Entry(index), m_pPanels);
    m_pPanels->addWidget(panel);
    // Every change of a parameter (slider drags too) previews anew.
    connect(panel, &CFilterPanel::Changed, this, [this, panel] {
      if (panel == Panel()) Preview();
    });
  }
  m_pPanels->setCurrentWidget(panel);
  m_nChosen = index;
  EndPreview();
  m_pFilters->setText(QString::fromUtf16(catalogue.Entry(index).pszName));
  m_pFilters->setToolTip(QString::fromUtf16(catalogue.Entry(index).pszDescription));
  UpdateButtons();
}

CFilterPanel* CProcessView::Panel() const {
  return m_nChosen < 0 ? nullptr : m_panels[size_t(m_nChosen)];
}

bool CProcessView::ReadArgs(tagFILTERARGS* args) {
  CFilterPanel* panel = Panel();
  if (!panel) return false;
  *args = panel->Args();
  if (panel->Entry().kind == FK_RED_EYE) {
    tagIMAGESELECTION selection{};
    // Without a region there is nothing to correct.
    if (!m_viewer.EditCommands().GetSelection(&selection) || selection.nWidth <= 0 ||
        selection.nHeight <= 0)
      return false;
    args->nRegionX = selection.x;
    args->nRegionY = selection.y;
    args->nRegionWidth = selection.nWidth;
    args->nRegionHeight = selection.nHeight;
  }
  // "White Point:" without a chosen colour produces nothing.
  return !(panel->Entry().kind == FK_WHITE_BALANCE && !args->bWhitePoint &&
           static_cast<CWhiteBalancePanel*>(panel)->WhitePointButton()->isChecked());
}

bool CProcessView::Apply() {
  CFilterPanel* panel = Panel();
  tagFILTERARGS args;
  if (!panel || m_session.IsRunning() || !ReadArgs(&args)) return false;
  EndPreview();
  m_bRedEyeRun = panel->Entry().kind == FK_RED_EYE;
  if (!m_session.Apply(panel->Entry(), args)) {
    m_bRedEyeRun = false;
    return false;
  }
  SetBusy(true);
  return true;
}

void CProcessView::Cancel() { m_session.Cancel(); }

void CProcessView::Preview() {
  if (!m_pViewerAlive) return;
  CFilterPanel* panel = Panel();
  tagFILTERARGS args;
  CImageDocument& document = m_viewer.Document();
  // A plug-in's filter reads its panel on the GUI thread: no worker preview.
  if (!panel || panel->Entry().bGuiThread || m_session.IsRunning() || !document.HasImage() ||
      !ReadArgs(&args)) {
    EndPreview();
    return;
  }
  double scale = 1;
  Magick::Image small;
  try {
    small = CFilterCatalogue::PreviewSource(document.GetImage(), &scale);
    small.modifyImage();
  } catch (const std::exception&) {
    return;
  }
  m_nPreviewEdition = document.GetEdition();
  m_bPreviewWaiting = true;
  QPointer<CProcessView> self(this);
  // Start cancels and joins the superseded run; its result never shows.
  m_nPreviewWanted = m_previewRunner.Start(
      panel->Entry(), std::move(small), CFilterCatalogue::PreviewArgs(panel->Entry(), args, scale),
      [self](tagFILTERRUN run) {
        QueueCall(self.data(), [self, run = std::move(run)]() mutable {
          if (self) self->OnPreview(std::move(run));
        });
      });
}

void CProcessView::OnPreview(tagFILTERRUN run) {
  // Superseded or ended: the request counter moved on.
  if (run.nRequest != m_nPreviewWanted) return;
  m_bPreviewWaiting = false;
  if (run.nResult != FR_DONE || m_viewer.Document().GetEdition() != m_nPreviewEdition) return;
  m_pOverlay->Set(CImageDocument::ToQImage(run.image));
  emit PreviewShown();
}

bool CProcessView::eventFilter(QObject* watched, QEvent* event) {
  auto* wb = qobject_cast<CWhiteBalancePanel*>(Panel());
  if (watched != &m_viewer || event->type() != QEvent::MouseButtonPress || !wb ||
      !wb->PickButton()->isChecked() || !m_viewer.Document().HasImage())
    return QWidget::eventFilter(watched, event);
  // The click picks the image's colour there instead of reaching the mouse tool.
  const QPoint pt = static_cast<QMouseEvent*>(event)->position().toPoint();
  const QRect rect = m_viewer.ImageRect();
  const Magick::Image& image = m_viewer.Document().GetImage();
  if (!rect.contains(pt) || rect.width() <= 0 || rect.height() <= 0) return true;
  const size_t x = std::min<size_t>(
      image.columns() - 1, size_t(double(pt.x() - rect.x()) * image.columns() / rect.width()));
  const size_t y = std::min<size_t>(
      image.rows() - 1, size_t(double(pt.y() - rect.y()) * image.rows() / rect.height()));
  const Magick::ColorRGB color = image.pixelColor(x, y);
  wb->SetPickedColor(
      QColor::fromRgbF(float(color.red()), float(color.green()), float(color.blue())));
  return true;
}

bool CProcessView::HasPreview() const { return m_pOverlay->IsSet(); }

void CProcessView::EndPreview() {
  m_previewRunner.Cancel();
  m_bPreviewWaiting = false;
  // A result still on its way no longer matches.
  m_nPreviewWanted = 0;
  if (m_pOverlay->IsSet()) m_pOverlay->Set(QImage());
}

void CProcessView::SetBusy(bool busy) {
  m_pApply->setVisible(!busy);
  m_pCancel->setVisible(busy);
  m_pBar->setVisible(busy);
  m_pBar->setValue(0);
  // One filter at a time: the menu stays shut while one runs.
  m_pFilters->setEnabled(!busy);
  if (busy)
    m_timer.start();
  else
    m_timer.stop();
  UpdateButtons();
}

void CProcessView::OnTick() {
  m_pBar->setValue(m_session.Percent());
  m_session.CheckDocument();
}

void CProcessView::UpdateButtons() {
  const bool busy = m_session.IsRunning();
  m_pApply->setEnabled(m_nChosen >= 0 && !busy);
  m_pPreview->setEnabled(m_nChosen >= 0 && !busy);
  m_pSaveAs->setEnabled(!busy && m_session.CanSaveAs() && m_viewer.Document().HasImage());
  m_pUndo->setEnabled(!busy && m_session.CanUndo());
  m_pRedo->setEnabled(!busy && m_session.CanRedo());
}
