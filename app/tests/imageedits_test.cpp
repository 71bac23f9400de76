// The in-memory edits on a real document and image: undo and redo, cut,
// copy and paste through the desktop clipboard, crop, resize (also
// cancelled), rotation by any angle; and in the viewer: the dragged
// selection, crop to it at a zoom factor, the measure label, the menu state.
#include "viewer/edit/imageedits.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStackedWidget>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/edit/editcommands.h"
#include "viewer/edit/rotationpanel.h"
#include "viewer/edit/selectionwindow.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

// 8-bit colour of one pixel, "r,g,b".
std::string PixelAt(const Magick::Image& image, int x, int y) {
  const Magick::ColorRGB colour = image.pixelColor(size_t(x), size_t(y));
  return std::to_string(int(colour.red() * 255 + 0.5)) + "," +
         std::to_string(int(colour.green() * 255 + 0.5)) + "," +
         std::to_string(int(colour.blue() * 255 + 0.5));
}

// An image of width x height in red with a blue block at (bx, by) of 10 x 10.
Magick::Image MarkedImage(int width, int height, int bx = 0, int by = 0) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(unsigned(width), unsigned(height)), Magick::Color("red"));
  // Pixel by pixel: a drawn rectangle would blend its edges.
  for (int y = by; y < by + 10; ++y)
    for (int x = bx; x < bx + 10; ++x)
      image.pixelColor(size_t(x), size_t(y), Magick::Color("blue"));
  return image;
}

class RecordingUi : public CImageEditsUi {
 public:
  void Message(const MyString& text, const MyString& caption) override {
    messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
  }
  void BeginImageChange() override { ++begun; }
  void ShowEdited(EDITSHOW how) override { shown.push_back(how); }

  std::vector<std::string> messages;
  std::vector<EDITSHOW> shown;
  int begun = 0;
};

// A progress strip whose Cancel is pressed as soon as it shows.
class CancellingView : public CProgressView {
 public:
  explicit CancellingView(CProgressMonitor& monitor) : m_monitor(monitor) {}
  void ShowProgress() override {
    shown = true;
    m_monitor.Cancel();
  }
  void SetProgress(int) override {}
  void PumpMessages() override {}
  void HideProgress() override {}
  bool shown = false;

 private:
  CProgressMonitor& m_monitor;
};

class ImageEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    m_document.ReplaceImage(MarkedImage(40, 30, 5, 5));
    m_document.SetPath(u"/pictures/marked.png");
    m_document.SetModified(false);
    QGuiApplication::clipboard()->clear();
  }
  void TearDown() override {
    ResetOptionRecords();
    QGuiApplication::clipboard()->clear();
  }

  const tagIMAGEDATA& Data() const { return m_document.GetData(); }
  const Magick::Image& Image() const { return m_document.GetImage(); }

  CImageDocument m_document;
  RecordingUi m_ui;
  CImageEdits m_edits{m_document, m_ui};
};

// --- Undo and redo ---

TEST_F(ImageEdits, UndoRedoSwapTheEditAndNeverOfferBoth) {
  ASSERT_EQ(m_edits.Crop({0, 0, 20, 10}), ER_DONE);
  EXPECT_EQ(Image().columns(), 20u);
  EXPECT_TRUE(Data().bModified);
  EXPECT_TRUE(m_edits.CanUndo());
  EXPECT_FALSE(m_edits.CanRedo());

  EXPECT_EQ(m_edits.Undo(), ER_DONE);
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_FALSE(m_edits.CanUndo());
  EXPECT_TRUE(m_edits.CanRedo());
  // The modified flag stays as the edit left it.
  EXPECT_TRUE(Data().bModified);
  // The second Undo finds nothing to undo.
  EXPECT_EQ(m_edits.Undo(), ER_NOTHING);
  EXPECT_EQ(Image().columns(), 40u);

  EXPECT_EQ(m_edits.Redo(), ER_DONE);
  EXPECT_EQ(Image().columns(), 20u);
  EXPECT_TRUE(m_edits.CanUndo());
  EXPECT_FALSE(m_edits.CanRedo());
  EXPECT_EQ(m_edits.Redo(), ER_NOTHING);
  EXPECT_EQ(m_ui.begun, int(m_ui.shown.size()));
}

TEST_F(ImageEdits, ANewEditDropsTheRedo) {
  ASSERT_EQ(m_edits.Crop({0, 0, 20, 10}), ER_DONE);
  ASSERT_EQ(m_edits.Undo(), ER_DONE);
  ASSERT_EQ(m_edits.Crop({0, 0, 30, 30}), ER_DONE);
  EXPECT_TRUE(m_edits.CanUndo());
  EXPECT_FALSE(m_edits.CanRedo());
  ASSERT_EQ(m_edits.Undo(), ER_DONE);
  // Back to the image before the second crop: the whole one.
  EXPECT_EQ(Image().columns(), 40u);
}

TEST_F(ImageEdits, TheProcessViewMayTakeTheUndo) {
  ASSERT_EQ(m_edits.Crop({0, 0, 20, 10}), ER_DONE);
  m_edits.processViewUndo = [] { return true; };
  EXPECT_EQ(m_edits.Undo(), ER_DONE);
  EXPECT_EQ(Image().columns(), 20u);
  m_edits.processViewUndo = [] { return false; };
  EXPECT_EQ(m_edits.Undo(), ER_DONE);
  EXPECT_EQ(Image().columns(), 40u);
}

TEST_F(ImageEdits, FailedEditsLeaveImageAndUndoAsTheyWere) {
  ASSERT_EQ(m_edits.Crop({0, 0, 20, 10}), ER_DONE);
  ASSERT_EQ(m_edits.Undo(), ER_DONE);
  // A crop off the image.
  EXPECT_EQ(m_edits.Crop({35, 0, 20, 10}), ER_FAILED);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0], "Crop Function: Cannot generate DIB file!");
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_TRUE(m_edits.CanRedo());
  EXPECT_FALSE(m_edits.CanUndo());
  EXPECT_TRUE(m_document.HasImage());
}

TEST_F(ImageEdits, EditsWithoutAnImageAskForOne) {
  m_document.Clear();
  EXPECT_EQ(m_edits.Crop({0, 0, 5, 5}), ER_NEEDS_IMAGE);
  EXPECT_EQ(m_edits.Copy(nullptr), ER_NEEDS_IMAGE);
  EXPECT_EQ(m_edits.Resize(IMAGEPROP{10, 10, 13}), ER_NEEDS_IMAGE);
  EXPECT_EQ(m_edits.Rotate(u"10", Magick::Color("black")), ER_NEEDS_IMAGE);
  ASSERT_EQ(m_ui.messages.size(), 4u);
  for (const std::string& message : m_ui.messages)
    EXPECT_NE(message.find("Please Open Image First."), std::string::npos) << message;
  EXPECT_EQ(m_ui.messages[3], "Lorimo: Arbitrary Rotation Function: Please Open Image First.");
}

// --- Cut, copy, paste ---

TEST_F(ImageEdits, CutBlackensExactlyTheSelectionAndCopiesIt) {
  // Straddles the blue block's corner at (14, 14).
  ASSERT_EQ(m_edits.Cut({12, 12, 6, 4}), ER_DONE);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool bInside = x >= 12 && x < 18 && y >= 12 && y < 16;
      const bool bBlue = x >= 5 && x < 15 && y >= 5 && y < 15;
      const char* expected = bInside ? "0,0,0" : bBlue ? "0,0,255" : "255,0,0";
      ASSERT_EQ(PixelAt(Image(), x, y), expected) << x << "," << y;
    }
  EXPECT_TRUE(Data().bModified);
  EXPECT_TRUE(m_edits.CanUndo());
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(6, 4));
  EXPECT_EQ(copied.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(copied.pixel(5, 3), qRgb(255, 0, 0));
}

TEST_F(ImageEdits, CopyPutsTheSelectionOrTheWholeImageOnTheClipboard) {
  ASSERT_EQ(m_edits.Copy(nullptr), ER_DONE);
  QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(40, 30));
  EXPECT_EQ(copied.pixel(5, 5), qRgb(0, 0, 255));
  EXPECT_EQ(copied.pixel(39, 29), qRgb(255, 0, 0));

  const tagIMAGESELECTION selection{10, 10, 8, 8};
  ASSERT_EQ(m_edits.Copy(&selection), ER_DONE);
  copied = QGuiApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(8, 8));
  EXPECT_EQ(copied.pixel(4, 4), qRgb(0, 0, 255));
  EXPECT_EQ(copied.pixel(5, 5), qRgb(255, 0, 0));
  // Copying leaves the document alone.
  EXPECT_FALSE(Data().bModified);
  EXPECT_FALSE(m_edits.CanUndo());
}

TEST_F(ImageEdits, PasteWithoutAClipboardImageDoesNothing) {
  QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
  EXPECT_FALSE(CImageEdits::ClipboardHasImage());
  EXPECT_EQ(m_edits.Paste(nullptr), ER_NOTHING);
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_EQ(m_document.GetName().ToUtf8(), "marked.png");
  EXPECT_FALSE(Data().bModified);
  EXPECT_TRUE(m_ui.shown.empty());
}

TEST_F(ImageEdits, PasteWithoutSelectionReplacesTheImageAsNewPaste) {
  QImage bitmap(7, 5, QImage::Format_ARGB32);
  bitmap.fill(qRgba(0, 255, 0, 255));
  QGuiApplication::clipboard()->setImage(bitmap);
  ASSERT_TRUE(CImageEdits::ClipboardHasImage());
  ASSERT_EQ(m_edits.Paste(nullptr), ER_DONE);
  EXPECT_EQ(Image().columns(), 7u);
  EXPECT_EQ(Image().rows(), 5u);
  EXPECT_EQ(PixelAt(Image(), 3, 3), "0,255,0");
  EXPECT_EQ(m_document.GetPath().ToUtf8(), "NewPaste");
  EXPECT_EQ(m_document.GetName().ToUtf8(), "NewPaste");
  EXPECT_TRUE(Data().bModified);
  EXPECT_TRUE(m_document.HasImage());
  ASSERT_FALSE(m_ui.shown.empty());
  EXPECT_EQ(m_ui.shown.back(), ES_PASTED);
  // The pasted image is undone like any edit.
  ASSERT_EQ(m_edits.Undo(), ER_DONE);
  EXPECT_EQ(Image().columns(), 40u);
}

TEST_F(ImageEdits, PasteIntoAnEmptyViewerMakesAnImage) {
  m_document.Clear();
  QImage bitmap(3, 2, QImage::Format_RGB32);
  bitmap.fill(qRgb(10, 20, 30));
  QGuiApplication::clipboard()->setImage(bitmap);
  ASSERT_EQ(m_edits.Paste(nullptr), ER_DONE);
  EXPECT_TRUE(m_document.HasImage());
  EXPECT_EQ(PixelAt(Image(), 1, 1), "10,20,30");
}

struct PASTECASE {
  const char* pszName;
  bool bFitSel;
};

class PasteIntoSelection : public ImageEdits, public ::testing::WithParamInterface<PASTECASE> {};

TEST_P(PasteIntoSelection, FitsOrCropsFromTheTopLeft) {
  gBO[BO_FIT_SEL].bFlag = GetParam().bFitSel;
  // 20 x 20: the top-left 4 x 4 green, the rest yellow.
  QImage bitmap(20, 20, QImage::Format_RGB32);
  bitmap.fill(qRgb(255, 255, 0));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) bitmap.setPixel(x, y, qRgb(0, 255, 0));
  QGuiApplication::clipboard()->setImage(bitmap);

  const tagIMAGESELECTION selection{20, 10, 10, 10};
  ASSERT_EQ(m_edits.Paste(&selection), ER_DONE);
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_EQ(Image().rows(), 30u);
  // Outside the selection the image is untouched.
  EXPECT_EQ(PixelAt(Image(), 19, 10), "255,0,0");
  EXPECT_EQ(PixelAt(Image(), 30, 10), "255,0,0");
  EXPECT_EQ(PixelAt(Image(), 20, 20), "255,0,0");
  EXPECT_EQ(PixelAt(Image(), 7, 7), "0,0,255");
  // Inside: the green corner is 4 pixels wide as it is, 2 when halved to fit.
  EXPECT_EQ(PixelAt(Image(), 20, 10), "0,255,0");
  EXPECT_EQ(PixelAt(Image(), 23, 13), GetParam().bFitSel ? "255,255,0" : "0,255,0");
  EXPECT_EQ(PixelAt(Image(), 29, 19), "255,255,0");
  EXPECT_EQ(m_document.GetName().ToUtf8(), "NewPaste");
  EXPECT_TRUE(Data().bModified);
  EXPECT_EQ(m_ui.shown.back(), ES_PASTED_AREA);
}

INSTANTIATE_TEST_SUITE_P(Options, PasteIntoSelection,
                         ::testing::Values(PASTECASE{"Fit", true}, PASTECASE{"Crop", false}),
                         [](const auto& info) { return std::string(info.param.pszName); });

// --- Resize and rotation ---

TEST_F(ImageEdits, ResizeToExactlyTheChosenSizeWithItsFilter) {
  const IMAGEPROP start = m_edits.CurrentImageProp();
  EXPECT_EQ(start.dwWidth, 40u);
  EXPECT_EQ(start.dwHeight, 30u);
  ASSERT_EQ(m_edits.Resize(IMAGEPROP{57, 11, int(Magick::PointFilter)}), ER_DONE);
  EXPECT_EQ(Image().columns(), 57u);
  EXPECT_EQ(Image().rows(), 11u);
  EXPECT_EQ(Image().filterType(), Magick::PointFilter);
  EXPECT_TRUE(Data().bModified);
  EXPECT_TRUE(m_edits.CanUndo());
  EXPECT_EQ(m_ui.shown.back(), ES_NEW_IMAGE);
  EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(ImageEdits, CancelledResizeChangesNothing) {
  m_document.ReplaceImage(MarkedImage(300, 300));
  m_document.SetModified(false);
  CProgressMonitor& monitor = m_document.GetMonitor();
  CancellingView view(monitor);
  monitor.SetView(&view);
  // Every report is a second later: the strip shows at the second one.
  int64_t now = 0;
  monitor.SetClock([&now] { return now += 1000; });
  const int result = m_edits.Resize(IMAGEPROP{900, 700, int(Magick::LanczosFilter)});
  monitor.SetView(nullptr);
  monitor.SetClock(nullptr);
  EXPECT_TRUE(view.shown);
  EXPECT_EQ(result, ER_CANCELLED);
  EXPECT_EQ(Image().columns(), 300u);
  EXPECT_FALSE(Data().bModified);
  EXPECT_FALSE(m_edits.CanUndo());
  EXPECT_TRUE(m_ui.shown.empty());
  // The load slot was given back.
  ASSERT_EQ(GetLoadSlot().TryAcquire(), 1);
  GetLoadSlot().Release();
}

TEST_F(ImageEdits, WhileALoadHoldsTheSlotResizeAndRotationWait) {
  ASSERT_EQ(GetLoadSlot().TryAcquire(), 1);
  EXPECT_EQ(m_edits.Resize(IMAGEPROP{10, 10, int(Magick::PointFilter)}), ER_BUSY);
  EXPECT_EQ(m_edits.Rotate(u"30", Magick::Color("black")), ER_BUSY);
  GetLoadSlot().Release();
  EXPECT_EQ(m_ui.messages.size(), 2u);
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_FALSE(m_edits.CanUndo());
  EXPECT_EQ(m_edits.Rotate(u"30", Magick::Color("black")), ER_DONE);
}

TEST_F(ImageEdits, RotationGrowsTheCanvasAndTurnsClockwise) {
  m_document.ReplaceImage(MarkedImage(100, 50));
  ASSERT_EQ(m_edits.Rotate(u"45", Magick::Color("black")), ER_DONE);
  // The turned 100 x 50 needs about 106 x 106.
  EXPECT_GT(Image().columns(), 100u);
  EXPECT_GT(Image().rows(), 100u);
  EXPECT_EQ(PixelAt(Image(), 0, 0), "0,0,0");
  EXPECT_EQ(PixelAt(Image(), int(Image().columns()) / 2, int(Image().rows()) / 2), "255,0,0");
  EXPECT_EQ(m_ui.shown.back(), ES_NEW_IMAGE);

  // 90 clockwise: the top-left block goes to the top right.
  m_document.ReplaceImage(MarkedImage(40, 30));
  ASSERT_EQ(m_edits.Rotate(u"90.00", Magick::Color("black")), ER_DONE);
  EXPECT_EQ(Image().columns(), 30u);
  EXPECT_EQ(Image().rows(), 40u);
  EXPECT_EQ(PixelAt(Image(), 25, 3), "0,0,255");
  EXPECT_EQ(PixelAt(Image(), 3, 3), "255,0,0");
}

TEST_F(ImageEdits, RotationByNothingOrByBadTextChangesNothing) {
  EXPECT_EQ(m_edits.Rotate(u"0", Magick::Color("black")), ER_NOTHING);
  EXPECT_EQ(m_edits.Rotate(u" 0.00 ", Magick::Color("black")), ER_NOTHING);
  EXPECT_EQ(m_edits.Rotate(u"360", Magick::Color("black")), ER_NOTHING);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_EQ(m_edits.Rotate(u"twelve", Magick::Color("black")), ER_BAD_INPUT);
  EXPECT_EQ(m_edits.Rotate(u"", Magick::Color("black")), ER_BAD_INPUT);
  EXPECT_EQ(m_ui.messages.size(), 2u);
  EXPECT_EQ(Image().columns(), 40u);
  EXPECT_FALSE(Data().bModified);
  EXPECT_FALSE(m_edits.CanUndo());
  double degrees = 0;
  ASSERT_EQ(CImageEdits::ParseAngle(u"-12,5", &degrees), 1);
  EXPECT_DOUBLE_EQ(degrees, -12.5);
}

// --- In the viewer ---

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pt), widget->mapToGlobal(QPointF(pt)), Qt::LeftButton, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

class ViewerEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    m_dir = testsupport::NewTempDir("edits");
    MarkedImage(60, 40, 10, 10).write((m_dir / "a.png").string());
    MarkedImage(50, 50).write((m_dir / "b.png").string());
    m_stack = new QStackedWidget(&m_frame);
    m_frame.setCentralWidget(m_stack);
    m_view = new CImageView(m_stack);
    m_stack->addWidget(m_view);
    m_view->SetSettings(&m_settings);
    m_view->showMessage = [this](const MyString& text, const MyString& caption) {
      m_messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    };
    m_frame.resize(500, 400);
    m_frame.show();
    ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "a.png")), 1);
    QGuiApplication::clipboard()->clear();
  }
  void TearDown() override {
    ResetOptionRecords();
    QGuiApplication::clipboard()->clear();
  }

  // Client point of an image pixel's top-left corner.
  QPoint At(double x, double y) const {
    const QRect image = m_view->ImageRect();
    const double zoom = m_view->Geometry().Zoom();
    return image.topLeft() + QPoint(int(x * zoom), int(y * zoom));
  }
  void Drag(VIEWEROPERATION start, VIEWEROPERATION stop, QPoint from, QPoint to) {
    m_view->RunViewerOperation(start, POINT{from.x(), from.y()});
    SendMouse(m_view, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    SendMouse(m_view, QEvent::MouseMove, to, Qt::LeftButton);
    m_view->RunViewerOperation(stop, POINT{to.x(), to.y()});
  }
  CEditCommands& Edits() { return m_view->EditCommands(); }
  CSelectionWindow* Selection() const {
    return m_view->findChild<CSelectionWindow*>(QStringLiteral("LorimoSelectRegion"));
  }

  fs::path m_dir;
  CLorimoSettings m_settings;
  QMainWindow m_frame;
  QStackedWidget* m_stack;
  CImageView* m_view;
  std::vector<std::string> m_messages;
};

TEST_F(ViewerEdits, ASelectionNeedsADragLargerThanFiveByFive) {
  const QPoint from = At(2, 2);
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(5, 30));
  EXPECT_EQ(Selection(), nullptr);
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_CROP));
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(30, 5));
  EXPECT_EQ(Selection(), nullptr);
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(6, 6));
  ASSERT_NE(Selection(), nullptr);
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_CROP));
  // A second drag replaces the first: one at a time.
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from + QPoint(10, 10), from);
  EXPECT_EQ(m_view->findChildren<CSelectionWindow*>().size(), 1);
  EXPECT_EQ(Selection()->geometry(), QRect(from, QSize(10, 10)));
}

TEST_F(ViewerEdits, CropToTheSelectionDrawnAtAZoomFactor) {
  m_view->OnCommand(IDM_ZOOM_IN);
  ASSERT_FLOAT_EQ(m_view->Geometry().Zoom(), 1.5f);
  // Outer 30 x 30 from image pixel 10: the inside starts one frame pixel
  // later, (15 + 1) / 1.5 = 10.67, and is 28 / 1.5 = 18.67 wide: truncated.
  const QPoint from = At(10, 10);
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(30, 30));
  ASSERT_NE(Selection(), nullptr);
  EXPECT_DOUBLE_EQ(Selection()->Factor(), 1.5);
  tagIMAGESELECTION selection;
  ASSERT_EQ(Edits().GetSelection(&selection), 1);
  EXPECT_EQ(selection.x, 10);
  EXPECT_EQ(selection.y, 10);
  EXPECT_EQ(selection.nWidth, 18);
  EXPECT_EQ(selection.nHeight, 18);

  ASSERT_EQ(m_view->OnCommand(IDM_CROP), 1);
  EXPECT_EQ(Selection(), nullptr);
  const Magick::Image& image = m_view->Document().GetImage();
  EXPECT_EQ(image.columns(), 18u);
  EXPECT_EQ(image.rows(), 18u);
  // The blue block at 10..19 now starts at the corner.
  EXPECT_EQ(PixelAt(image, 0, 0), "0,0,255");
  EXPECT_EQ(PixelAt(image, 10, 10), "255,0,0");
  EXPECT_TRUE(m_view->Document().IsModified());
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_UNDO));
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_REDO));
  EXPECT_EQ(m_view->ImageRect().size(), QSize(27, 27));

  m_view->OnCommand(IDM_UNDO);
  EXPECT_EQ(m_view->Document().GetImage().columns(), 60u);
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_UNDO));
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_REDO));
}

// A photo is held as its 8-bit screen pixels while it is only looked at
// and selected; the crop makes the 16-bit image from them, and undo gives
// back exactly the image GraphicsMagick reads from the file.
TEST_F(ViewerEdits, APhotoIsHeldAsScreenPixelsUntilAnEditNeedsTheImage) {
  Magick::Image photo = MarkedImage(60, 40, 10, 10);
  photo.quality(95);
  photo.write((m_dir / "photo.jpg").string());
  Magick::Image expected;
  expected.read((m_dir / "photo.jpg").string());
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "photo.jpg")), 1);
  const tagIMAGEDATA& data = m_view->Document().GetData();
  ASSERT_TRUE(data.pPicture);
  EXPECT_FALSE(data.image.isValid());
  // The screen draws the decoded pixels themselves, not a copy.
  EXPECT_EQ(m_view->Document().GetDisplayImage().constBits(), data.pPicture->pPixels.get());
  EXPECT_EQ(m_view->ImageRect().size(), QSize(60, 40));

  const QPoint from = At(10, 10);
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(22, 22));
  ASSERT_NE(Selection(), nullptr);
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_CROP));
  tagIMAGESELECTION selection;
  ASSERT_EQ(Edits().GetSelection(&selection), 1);
  EXPECT_FALSE(data.image.isValid());

  ASSERT_EQ(m_view->OnCommand(IDM_CROP), 1);
  const Magick::Image& cropped = m_view->Document().GetImage();
  ASSERT_EQ(cropped.columns(), size_t(selection.nWidth));
  for (int at : {0, 5, selection.nWidth - 1})
    EXPECT_EQ(PixelAt(cropped, at, at), PixelAt(expected, selection.x + at, selection.y + at));
  m_view->OnCommand(IDM_UNDO);
  const Magick::Image& undone = m_view->Document().GetImage();
  ASSERT_EQ(undone.columns(), 60u);
  // Every pixel at 16 bits, as GraphicsMagick's own read gives them.
  const auto pixels = [](Magick::Image image) {
    std::vector<uint16_t> out(image.columns() * image.rows() * 3);
    image.write(0, 0, image.columns(), image.rows(), "RGB", Magick::ShortPixel, out.data());
    return out;
  };
  EXPECT_EQ(pixels(undone), pixels(expected));
  EXPECT_EQ(Magick::Image(undone).magick(), "JPEG");
}

TEST_F(ViewerEdits, AnotherImageOrTheFileRotationRemovesTheSelection) {
  const QPoint from = At(1, 1);
  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(20, 20));
  ASSERT_NE(Selection(), nullptr);
  m_view->RemoveSelection();
  EXPECT_EQ(Selection(), nullptr);

  Drag(VOP_EDIT_REGION_START, VOP_EDIT_REGION_STOP, from, from + QPoint(20, 20));
  ASSERT_NE(Selection(), nullptr);
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "b.png")), 1);
  EXPECT_EQ(Selection(), nullptr);
}

TEST_F(ViewerEdits, PasteIsNamedNewPasteAndTitled) {
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_PASTE));
  QImage bitmap(90, 70, QImage::Format_RGB32);
  bitmap.fill(qRgb(0, 255, 0));
  QGuiApplication::clipboard()->setImage(bitmap);
  EXPECT_TRUE(m_view->IsCommandEnabled(IDM_PASTE));
  QString title;
  QObject::connect(m_view, &CImageView::TitleChanged, [&title](const QString& t) { title = t; });
  ASSERT_EQ(m_view->OnCommand(IDM_PASTE), 1);
  EXPECT_EQ(title, QStringLiteral("NewPaste"));
  EXPECT_EQ(m_view->Document().GetName().ToUtf8(), "NewPaste");
  EXPECT_EQ(m_view->Image().size(), QSize(90, 70));
  EXPECT_EQ(m_view->ImageRect().size(), QSize(90, 70));
}

TEST_F(ViewerEdits, MeasureLabelInImagePixelsAtAZoomFactor) {
  m_view->OnCommand(IDM_ZOOM_IN);
  ASSERT_FLOAT_EQ(m_view->Geometry().Zoom(), 1.5f);
  // 45 x 30 client pixels at 1.5 are 30 x 20 image pixels.
  const QPoint from = At(4, 6);
  Drag(VOP_MEASURE_START, VOP_MEASURE_STOP, from, from + QPoint(45, 30));
  EXPECT_EQ(Edits().MeasureLabel().ToUtf8(), "W:30, H:20, L:36.06");
  // A leftward line up gives negative sides.
  Drag(VOP_MEASURE_START, VOP_MEASURE_STOP, from + QPoint(30, 30), from);
  EXPECT_EQ(Edits().MeasureLabel().ToUtf8(), "W:-20, H:-20, L:28.28");
  // Drawing it does not fail, and loading another image clears it.
  m_view->repaint();
  ASSERT_EQ(m_view->OpenFile(CStrAW::FromPath(m_dir / "b.png")), 1);
  EXPECT_TRUE(Edits().MeasureLabel().IsEmpty());
}

TEST(MeasureLabelTest, KeepsOffTheLine) {
  const QSize text(100, 16);
  // A horizontal line: 20 pixels below its middle.
  EXPECT_EQ(CEditCommands::MeasureLabelPosition({0, 100}, {200, 100}, text), QPoint(105, 120));
  // Falling to the right: to the left of the middle, so the text stays clear of the line.
  const QPoint shallow = CEditCommands::MeasureLabelPosition({0, 0}, {200, 50}, text);
  EXPECT_EQ(shallow, QPoint(100 - 100 - 20, 25 + 20));
  const QPoint steep = CEditCommands::MeasureLabelPosition({0, 0}, {50, 200}, text);
  EXPECT_EQ(steep, QPoint(25 - 100 - 5, 100 + 5));
}

TEST_F(ViewerEdits, TheRotationToolFillsTheAngleAndApplies) {
  int tool = 0;
  m_view->selectMouseTool = [&tool](int id) { return tool = id, 1; };
  ASSERT_EQ(m_view->OnCommand(IDM_ARBITRARY_ROTATE), 1);
  EXPECT_EQ(tool, IDM_TOOL_ANCHOR);
  CRotationPanel* panel = Edits().RotationPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());

  // From the pivot to the right and down by as much: 135 degrees.
  const QPoint pivot = At(30, 20);
  m_view->RunViewerOperation(VOP_SET_ANCHOR, POINT{pivot.x(), pivot.y()});
  SendMouse(m_view, QEvent::MouseMove, pivot + QPoint(12, 12), Qt::LeftButton);
  EXPECT_EQ(panel->AngleText().ToUtf8(), "135.00");
  m_view->repaint();

  panel->SetAngleText(u"90");
  EXPECT_EQ(Edits().ApplyRotation(), ER_DONE);
  EXPECT_EQ(m_view->Document().GetImage().columns(), 40u);
  EXPECT_EQ(m_view->Document().GetImage().rows(), 60u);
  EXPECT_EQ(panel->AngleText().ToUtf8(), "0");
  EXPECT_FLOAT_EQ(m_view->Geometry().Zoom(), 1.0f);
  EXPECT_EQ(m_view->Geometry().ZoomIndex(), CViewGeometry::kActualSizeIndex);
  EXPECT_TRUE(m_view->Document().IsModified());

  panel->SetAngleText(u"abc");
  EXPECT_EQ(Edits().ApplyRotation(), ER_BAD_INPUT);
  EXPECT_EQ(panel->AngleText().ToUtf8(), "abc");
  EXPECT_EQ(m_messages.size(), 1u);
}

// The panel is a tool window that may have no title bar: Escape and the
// menu entry close it.
TEST_F(ViewerEdits, TheRotationPanelClosesWithEscapeAndItsMenuEntry) {
  ASSERT_EQ(m_view->OnCommand(IDM_ARBITRARY_ROTATION), 1);
  CRotationPanel* panel = Edits().RotationPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_TRUE(m_view->IsCommandChecked(IDM_ARBITRARY_ROTATION));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(panel->AngleBox(), &escape);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_FALSE(m_view->IsCommandChecked(IDM_ARBITRARY_ROTATION));

  m_view->OnCommand(IDM_ARBITRARY_ROTATION);
  EXPECT_TRUE(panel->isVisible());
  m_view->OnCommand(IDM_ARBITRARY_ROTATION);
  EXPECT_FALSE(panel->isVisible());
}

TEST_F(ViewerEdits, CommandsThatNeedAnImageSaySo) {
  m_view->Document().Clear();
  m_view->OnCommand(IDM_RESIZE_IMAGE);
  m_view->OnCommand(IDM_ARBITRARY_ROTATION);
  m_view->OnCommand(IDM_COPY);
  ASSERT_EQ(m_messages.size(), 3u);
  EXPECT_EQ(m_messages[0], "Lorimo: Resize Image Function: Please Open Image First.");
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_RESIZE_IMAGE));
  EXPECT_FALSE(m_view->IsCommandEnabled(IDM_COPY));
  EXPECT_EQ(Edits().RotationPanel(), nullptr);
}

// Through the main window's mouse tools and input binding, as the user works.
TEST(EditToolsInTheMainWindow, SelectDragAndTheRotationToolsPivot) {
  const fs::path dir = testsupport::NewTempDir("frame");
  MarkedImage(80, 60).write((dir / "a.png").string());
  CMainFrame frame;
  frame.resize(700, 500);
  frame.show();
  ASSERT_EQ(frame.OpenImage(CStrAW::FromPath(dir / "a.png")), 1);
  CImageView* view = frame.Viewer();
  const QPoint from = view->ImageRect().topLeft() + QPoint(5, 5);

  frame.SendCommand(IDM_TOOL_SELECT);
  SendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, from + QPoint(20, 10), Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, from + QPoint(20, 10), Qt::NoButton);
  auto* selection = view->findChild<CSelectionWindow*>(QStringLiteral("LorimoSelectRegion"));
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->geometry(), QRect(from, QSize(20, 10)));
  EXPECT_TRUE(view->IsCommandEnabled(IDM_CROP));
  // Still the Select tool: the image was not stepped or zoomed.
  EXPECT_EQ(view->Document().GetImage().columns(), 80u);

  // Arbitrary Rotation chooses the Anchor tool; a drag from the pivot fills the box.
  frame.SendCommand(IDM_ARBITRARY_ROTATION);
  CRotationPanel* panel = view->EditCommands().RotationPanel();
  ASSERT_NE(panel, nullptr);
  SendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
  SendMouse(view, QEvent::MouseMove, from + QPoint(-10, 0), Qt::LeftButton);
  SendMouse(view, QEvent::MouseButtonRelease, from + QPoint(-10, 0), Qt::NoButton);
  EXPECT_EQ(panel->AngleText().ToUtf8(), "270.00");
  // After the release, moves no longer turn the angle.
  SendMouse(view, QEvent::MouseMove, from + QPoint(0, -10), Qt::LeftButton);
  EXPECT_EQ(panel->AngleText().ToUtf8(), "270.00");
}

}  // namespace
