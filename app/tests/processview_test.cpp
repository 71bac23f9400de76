// The process view on the real viewer, offscreen: Apply through the edit
// path, Cancel in the middle of a run (library calls, the median, AQua2,
// white balance), results dropped when the image changed first, buttons
// 441/442 with the modified flag, Edit > Undo, Red Eye on a selection, a
// library error, and the panels' edit boxes.
#include "process/processview.h"

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/edit/editcommands.h"
#include "viewer/edit/selectionwindow.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

// Red with a blue block at (10, 10), noise in the blue so filters have work.
Magick::Image Picture(unsigned width, unsigned height) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("red"));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  Magick::PixelPacket* p = image.setPixels(0, 0, width, height);
  uint32_t seed = 3;
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x, ++p) {
      seed = seed * 1664525u + 1013904223u;
      p->blue = Magick::Quantum((seed >> 16) & 0x0FFF);
      if (x >= 10 && x < 20 && y >= 10 && y < 20) {
        p->red = 0;
        p->blue = MaxRGB;
      }
    }
  image.syncPixels();
  return image;
}

std::string Signature(const Magick::Image& image) {
  Magick::Image copy(image);
  return copy.signature(true);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pt), widget->mapToGlobal(QPointF(pt)), Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

class ProcessView : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    m_dir = testsupport::NewTempDir("process");
    Picture(80, 60).write((m_dir / "small.png").string());
    Picture(40, 40).write((m_dir / "other.png").string());
    m_stack = new QStackedWidget(&m_frame);
    m_frame.setCentralWidget(m_stack);
    m_view = new CImageView(m_stack);
    m_stack->addWidget(m_view);
    m_view->SetSettings(&m_settings);
    m_view->showMessage = [this](const MyString& text, const MyString& caption) {
      m_messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    };
    m_process = new CProcessView(*m_view, nullptr);
    QObject::connect(m_process, &CProcessView::ApplyFinished,
                     [this](int result) { m_results.push_back(result); });
    m_frame.resize(600, 400);
    m_frame.show();
    m_process->show();
    ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "small.png")), 1);
  }
  void TearDown() override {
    delete m_process;
    ResetOptionRecords();
  }

  CImageDocument& Document() { return m_view->Document(); }
  void Choose(const char16_t* name) { m_process->ChooseFilter(GetFilterCatalogue().Find(name)); }
  // Applies and waits for the result.
  int ApplyAndWait() {
    const size_t before = m_results.size();
    if (!m_process->Apply()) return -100;
    EXPECT_TRUE(
        testsupport::WaitFor([&] { return m_results.size() > before; }, std::chrono::seconds(60)));
    return m_results.empty() ? -100 : m_results.back();
  }
  // Starts on a large image and cancels once the run reported progress.
  int CancelMidRun(const char16_t* name, const std::function<void(CFilterPanel&)>& set = nullptr) {
    Document().ReplaceImage(Picture(1600, 1200));
    const std::string before = Signature(Document().GetImage());
    Choose(name);
    if (set) set(*m_process->Panel());
    const size_t count = m_results.size();
    EXPECT_TRUE(m_process->Apply());
    EXPECT_TRUE(m_process->CancelButton()->isVisible());
    EXPECT_FALSE(m_process->FilterButton()->isEnabled());
    EXPECT_TRUE(testsupport::WaitFor(
        [&] { return m_process->Session().Percent() > 0 || m_results.size() > count; }));
    QTest::mouseClick(m_process->CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(testsupport::WaitFor([&] { return m_results.size() > count; }));
    EXPECT_EQ(Signature(Document().GetImage()), before) << CStrAW::w_toA(name);
    EXPECT_TRUE(m_process->ApplyButton()->isVisible());
    return m_results.back();
  }

  fs::path m_dir;
  CLorimoSettings m_settings;
  QMainWindow m_frame;
  QStackedWidget* m_stack;
  CImageView* m_view;
  CProcessView* m_process;
  std::vector<std::string> m_messages;
  std::vector<int> m_results;
};

}  // namespace

TEST_F(ProcessView, ApplyCommitsLikeAnEditAndTheButtonsSwapWithTheModifiedFlagItHad) {
  EXPECT_EQ(m_process->FilterButton()->toolTip().toStdString(), "No Filter selected ...");
  EXPECT_FALSE(m_process->ApplyButton()->isEnabled());
  Choose(u"Negate");
  EXPECT_EQ(m_process->FilterButton()->toolTip().toStdString(), "Negate colors in image");
  const std::string original = Signature(Document().GetImage());
  ASSERT_FALSE(Document().IsModified());
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  const std::string negated = Signature(Document().GetImage());
  EXPECT_NE(negated, original);
  EXPECT_TRUE(Document().IsModified());
  EXPECT_TRUE(m_view->EditCommands().Edits().CanUndo());
  EXPECT_TRUE(m_process->UndoButton()->isEnabled());

  QTest::mouseClick(m_process->UndoButton(), Qt::LeftButton);
  EXPECT_EQ(Signature(Document().GetImage()), original);
  EXPECT_FALSE(Document().IsModified());
  EXPECT_FALSE(m_process->SaveAsButton()->isEnabled());
  QTest::mouseClick(m_process->RedoButton(), Qt::LeftButton);
  EXPECT_EQ(Signature(Document().GetImage()), negated);
  EXPECT_TRUE(Document().IsModified());
  EXPECT_TRUE(m_process->SaveAsButton()->isEnabled());

  // A second application over the first: its undo keeps the earlier
  // unsaved change marked, so leaving the image still asks.
  Choose(u"Equalize");
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  ASSERT_EQ(m_process->Undo(), 1);
  EXPECT_EQ(Signature(Document().GetImage()), negated);
  EXPECT_TRUE(Document().IsModified());
}

TEST_F(ProcessView, EditUndoAndRedoReachTheViewWhileItIsShown) {
  Choose(u"Negate");
  const std::string original = Signature(Document().GetImage());
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  m_view->OnCommand(IDM_UNDO);
  EXPECT_EQ(Signature(Document().GetImage()), original);
  EXPECT_FALSE(Document().IsModified());
  EXPECT_FALSE(m_process->SaveAsButton()->isEnabled());
  m_view->OnCommand(IDM_REDO);
  EXPECT_TRUE(Document().IsModified());
  EXPECT_TRUE(m_process->SaveAsButton()->isEnabled());
  // Hidden, the view leaves the undo to the viewer: the flag stays.
  m_process->hide();
  m_view->OnCommand(IDM_UNDO);
  EXPECT_EQ(Signature(Document().GetImage()), original);
  EXPECT_TRUE(Document().IsModified());
  // Gone, it leaves nothing behind in the viewer.
  delete m_process;
  m_process = nullptr;
  m_view->repaint();
  m_view->OnCommand(IDM_REDO);
  EXPECT_NE(Signature(Document().GetImage()), original);
}

TEST_F(ProcessView, CancelInTheMiddleLeavesTheImageUnchanged) {
  EXPECT_EQ(CancelMidRun(u"Oil Paint", [](CFilterPanel& p) { p.Slider(0)->setValue(10); }),
            FR_CANCELLED);
  EXPECT_EQ(CancelMidRun(u"Median Filter", [](CFilterPanel& p) { p.Slider(0)->setValue(10); }),
            FR_CANCELLED);
  EXPECT_EQ(CancelMidRun(u"White Balance"), FR_CANCELLED);
  EXPECT_EQ(CancelMidRun(u"AQua2 Enlarge",
                         [](CFilterPanel& p) {
                           p.Edit(0)->setText("400");
                           p.Edit(1)->setText("400");
                         }),
            FR_CANCELLED);
  EXPECT_TRUE(m_messages.empty());
}

TEST_F(ProcessView, AResultArrivingAfterAnotherImageWasShownIsDropped) {
  Document().ReplaceImage(Picture(1600, 1200));
  Document().SetModified(false);  // no save question
  Choose(u"Oil Paint");
  m_process->Panel()->Slider(0)->setValue(10);
  const size_t count = m_results.size();
  ASSERT_TRUE(m_process->Apply());
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "other.png")), 1);
  ASSERT_TRUE(testsupport::WaitFor([&] { return m_results.size() > count; }));
  EXPECT_EQ(m_results.back(), FR_CANCELLED);
  EXPECT_EQ(Document().GetImage().columns(), 40u);
  EXPECT_FALSE(Document().IsModified());
  EXPECT_FALSE(m_process->UndoButton()->isEnabled());
}

TEST_F(ProcessView, AnEditWhileRunningDropsTheResult) {
  Choose(u"Swirl");
  m_process->Panel()->Edit(0)->setText("90");
  ASSERT_TRUE(m_process->Apply());
  // The viewer's own edit lands first (a run on 80 x 60 may already be done
  // but not yet delivered: the event loop has not run).
  Magick::Image rotated = Document().GetImage();
  rotated.rotate(90);
  m_view->EditCommands().Edits().Commit(rotated, ES_NEW_KEEP_ZOOM);
  const std::string edited = Signature(Document().GetImage());
  ASSERT_TRUE(testsupport::WaitFor([&] { return !m_results.empty(); }));
  EXPECT_EQ(m_results.back(), FR_CANCELLED);
  EXPECT_EQ(Signature(Document().GetImage()), edited);
}

TEST_F(ProcessView, ALibraryErrorShowsItsTextAndChangesNothing) {
  Choose(u"Matte Floodfill");
  m_process->Panel()->Edit(1)->setText("5000");
  const std::string before = Signature(Document().GetImage());
  EXPECT_EQ(ApplyAndWait(), FR_NOTHING);
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0], "Lorimo: Process: The point lies outside the image.");
  EXPECT_EQ(Signature(Document().GetImage()), before);
  EXPECT_FALSE(Document().IsModified());
}

TEST_F(ProcessView, RedEyeCorrectsTheSelectionAndDropsIt) {
  Choose(u"Red Eye");
  // Without a selection nothing happens.
  EXPECT_FALSE(m_process->Apply());
  const QRect image = m_view->ImageRect();
  const double zoom = m_view->Geometry().Zoom();
  const QPoint from = image.topLeft() + QPoint(int(2 * zoom), int(2 * zoom));
  const QPoint to = image.topLeft() + QPoint(int(40 * zoom), int(40 * zoom));
  m_view->RunViewerOperation(VOP_EDIT_REGION_START, POINT{from.x(), from.y()});
  SendMouse(m_view, QEvent::MouseMove, to, Qt::LeftButton);
  m_view->RunViewerOperation(VOP_EDIT_REGION_STOP, POINT{to.x(), to.y()});
  tagIMAGESELECTION selection{};
  ASSERT_TRUE(m_view->EditCommands().GetSelection(&selection));
  const Magick::ColorRGB redBefore = Document().GetImage().pixelColor(25, 25);
  const Magick::ColorRGB outside = Document().GetImage().pixelColor(70, 50);
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  EXPECT_LT(Magick::ColorRGB(Document().GetImage().pixelColor(25, 25)).red(), redBefore.red());
  EXPECT_EQ(Magick::ColorRGB(Document().GetImage().pixelColor(70, 50)).red(), outside.red());
  EXPECT_FALSE(m_view->EditCommands().GetSelection(&selection));
}

TEST_F(ProcessView, PanelsBoundTheirValuesAndStartAtTheMinimum) {
  Choose(u"Blur");
  CFilterPanel* blur = m_process->Panel();
  EXPECT_EQ(blur->Edit(0)->text().toStdString(), "0.1");
  blur->Edit(0)->setFocus();
  blur->Edit(0)->selectAll();
  QTest::keyClicks(blur->Edit(0), "1a2");
  EXPECT_EQ(blur->Edit(0)->text().toStdString(), "10");
  EXPECT_EQ(blur->Slider(0)->value(), 10);
  blur->Edit(1)->selectAll();
  QTest::keyClicks(blur->Edit(1), "0.5");
  EXPECT_EQ(blur->Edit(1)->text().toStdString(), "0.5");
  blur->Slider(1)->setValue(3);
  EXPECT_EQ(blur->Edit(1)->text().toStdString(), "3");
  blur->Slider(1)->setValue(0);
  EXPECT_EQ(blur->Edit(1)->text().toStdString(), "0.1");
  Choose(u"Edge");
  EXPECT_EQ(m_process->Panel()->Edit(0)->text().toStdString(), "0");
  // Gamma's channels replace the uniform value.
  Choose(u"Gamma");
  EXPECT_FALSE(m_process->Panel()->Edit(1)->isVisibleTo(m_process->Panel()));
  // White Balance starts at 1500 K on the temperature.
  Choose(u"White Balance");
  auto* wb = static_cast<CWhiteBalancePanel*>(m_process->Panel());
  EXPECT_TRUE(wb->TemperatureButton()->isChecked());
  EXPECT_EQ(wb->Edit(0)->text().toStdString(), "1500");
  // With Pick on, a click on the image takes its colour as white point:
  // the blue block at (10, 10) of the picture.
  wb->PickButton()->setChecked(true);
  const QRect image = m_view->ImageRect();
  const double zoom = m_view->Geometry().Zoom();
  SendMouse(m_view, QEvent::MouseButtonPress,
            image.topLeft() + QPoint(int(15 * zoom), int(15 * zoom)), Qt::LeftButton);
  const tagFILTERARGS args = wb->Args();
  EXPECT_TRUE(args.bWhitePoint);
  EXPECT_TRUE(wb->WhitePointButton()->isChecked());
  EXPECT_FALSE(wb->PickButton()->isChecked());
  EXPECT_NEAR(Magick::ColorRGB(args.colors[0]).blue(), 1.0, 0.01);
  EXPECT_NEAR(Magick::ColorRGB(args.colors[0]).red(), 0.0, 0.01);
}

TEST_F(ProcessView, PreviewsFollowTheParametersAndEndWithTheImageOrApply) {
  Document().ReplaceImage(Picture(1600, 1200));
  Document().SetModified(false);
  Choose(u"Blur");
  int shown = 0;
  QObject::connect(m_process, &CProcessView::PreviewShown, [&] { ++shown; });
  const std::string before = Signature(Document().GetImage());
  // A drag of the slider: each step supersedes the one before, and only
  // the last one's result is drawn.
  for (int radius = 1; radius <= 6; ++radius) m_process->Panel()->Slider(0)->setValue(radius);
  ASSERT_TRUE(testsupport::WaitFor([&] { return shown > 0 && !m_process->IsPreviewRunning(); }));
  EXPECT_EQ(shown, 1);
  EXPECT_TRUE(m_process->HasPreview());
  // The image itself is untouched.
  EXPECT_EQ(Signature(Document().GetImage()), before);
  // Another image ends it.
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "other.png")), 1);
  EXPECT_FALSE(m_process->HasPreview());
  // Preview, then Apply: the overlay goes and the result is the image.
  QTest::mouseClick(m_process->PreviewButton(), Qt::LeftButton);
  ASSERT_TRUE(testsupport::WaitFor([&] { return m_process->HasPreview(); }));
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  EXPECT_FALSE(m_process->HasPreview());
  // A preview still running when the image changes never shows.
  m_process->Panel()->Slider(1)->setValue(5);
  m_view->OnCommand(IDM_UNDO);
  QTest::qWait(300);
  EXPECT_FALSE(m_process->HasPreview());
}

TEST(ProcessPreview, ScalesTheImageAndThePixelSizesAlike) {
  InitializeImageLibrary();
  const CFilterCatalogue& catalogue = GetFilterCatalogue();
  double scale = 0;
  const Magick::Image small =
      CFilterCatalogue::PreviewSource(Magick::Image(Magick::Geometry(4000, 3000), "red"), &scale);
  EXPECT_NEAR(double(small.columns()) * double(small.rows()), 1e6, 1e4);
  EXPECT_NEAR(scale, std::sqrt(1e6 / 12e6), 1e-9);
  const tagFILTERENTRY& blur = catalogue.Entry(catalogue.Find(u"Blur"));
  const tagFILTERARGS args = CFilterCatalogue::PreviewArgs(blur, {{8, 4, 0, 0}}, 0.25);
  EXPECT_DOUBLE_EQ(args.dValues[0], 2);
  EXPECT_DOUBLE_EQ(args.dValues[1], 1);
  // Levels are not sizes; whole-pixel sizes keep one pixel.
  const tagFILTERENTRY& at = catalogue.Entry(catalogue.Find(u"Adaptive Threshold"));
  const tagFILTERARGS t = CFilterCatalogue::PreviewArgs(at, {{2, 3, 200, 0}}, 0.1);
  EXPECT_DOUBLE_EQ(t.dValues[0], 1);
  EXPECT_DOUBLE_EQ(t.dValues[2], 200);
  // Small images are previewed as they are.
  CFilterCatalogue::PreviewSource(Magick::Image(Magick::Geometry(80, 60), "red"), &scale);
  EXPECT_EQ(scale, 1.0);
}

TEST_F(ProcessView, PluginsUseStockFiltersByPositionAndAddTheirOwn) {
  // Stock filters by position with typed arguments, without the view.
  Magick::Image image = Picture(60, 40);
  std::string error;
  tagFILTERARGS args;
  args.dValues = {2, 1, 0, 0};
  EXPECT_EQ(GetFilterCatalogue().ApplyStockFilter(2, args, image, &error), FR_DONE);
  for (int position : {20, 22, 25, 29, 32}) {
    EXPECT_EQ(GetFilterCatalogue().ApplyStockFilter(position, args, image, &error), FR_NOTHING);
    EXPECT_EQ(error, "This filter is not available.");
  }
  // A library failure leaves the image as it was.
  const std::string blurred = Signature(image);
  args.dValues = {0, 900, 900, 0};
  EXPECT_EQ(GetFilterCatalogue().ApplyStockFilter(26, args, image, &error), FR_NOTHING);
  EXPECT_EQ(Signature(image), blurred);

  // A plug-in's filter comes after AQua2 Enlarge, reads its own panel and
  // runs on the GUI thread.
  tagFILTERENTRY own;
  own.pszName = u"Plug-in Negate";
  own.pszDescription = u"Negates through a plug-in";
  QLineEdit* ownEdit = nullptr;
  own.makePanel = [&ownEdit](QWidget* parent) { return ownEdit = new QLineEdit("7", parent); };
  std::thread::id ranOn;
  own.operation = [&](Magick::Image& im, const tagFILTERARGS&) {
    ranOn = std::this_thread::get_id();
    EXPECT_EQ(ownEdit->text().toStdString(), "7");
    im.negate(false);
    return int(FR_DONE);
  };
  const int index = GetFilterCatalogue().AddExternalFilter(own);
  EXPECT_GT(index, GetFilterCatalogue().Find(u"AQua2 Enlarge"));
  m_process->FilterButton()->menu()->popup(QPoint(0, 0));
  EXPECT_EQ(m_process->FilterButton()->menu()->actions().back()->text().toStdString(),
            "Plug-in Negate");
  m_process->FilterButton()->menu()->hide();
  m_process->ChooseFilter(index);
  ASSERT_NE(ownEdit, nullptr);
  const std::string before = Signature(Document().GetImage());
  ASSERT_EQ(ApplyAndWait(), FR_DONE);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_NE(Signature(Document().GetImage()), before);
  ASSERT_EQ(m_process->Undo(), 1);
  EXPECT_EQ(Signature(Document().GetImage()), before);
}

// The library reports from its own threads; the run's progress is found by
// the working image's name, and another thread's progress never sees it.
TEST(ProcessRunner, ReportsFromEveryThreadOfTheRunReachItsOwnProgressOnly) {
  InitializeImageLibrary();
  class CCounting : public CDecodeProgress {
   public:
    bool OnProgress(int64_t, uint64_t) override {
      ++calls;
      return true;
    }
    std::atomic<int> calls{0};
  } other;
  Magick::Image small = Picture(600, 400), large = Picture(1600, 1200);
  CThreadDecodeProgress scope(&other);  // as a viewer decode on this thread would
  CProcessRunner runner;
  const tagFILTERENTRY& paint = GetFilterCatalogue().Entry(GetFilterCatalogue().Find(u"Oil Paint"));
  tagFILTERARGS args;
  args.dValues = {3, 0, 0, 0};
  std::atomic<bool> done{false};
  int result = -100;
  std::string name;
  runner.Start(paint, small, args, [&](tagFILTERRUN run) {
    result = run.nResult;
    name = run.image.fileName();
    done = true;
  });
  while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(result, FR_DONE);
  // The last row is reported before it is done.
  EXPECT_GE(runner.Percent(), 99);
  EXPECT_EQ(other.calls, 0);
  // The working name does not stay on the result.
  EXPECT_EQ(name.find("lorimo-filter"), std::string::npos);

  // Cancel stops it and gives no image.
  done = false;
  runner.Start(paint, large, args, [&](tagFILTERRUN run) {
    result = run.nResult;
    done = true;
  });
  while (runner.Percent() == 0 && !done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  runner.Cancel();
  while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(result, FR_CANCELLED);
  EXPECT_LT(runner.Percent(), 100);
}
