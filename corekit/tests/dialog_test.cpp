#include "corekit_ui/dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/platform.h"
#include "corekit/straw.h"
#include "corekit_ui/controls.h"
#include "corekit_ui/uiutil.h"
#include "testsupport/testsupport.h"

namespace {

class CTestDialog : public CDialog {
 public:
  using CDialog::CDialog;

  int nInit = 0;
  int nClose = 0;
  int nDestroy = 0;
  bool bRefuseInit = false;
  bool bRefuseClose = false;
  bool bShownAtInit = true;
  std::vector<int> commands;
  // Command ids that end the dialog with the id as result.
  std::vector<int> endingCommands;

 protected:
  int OnInitDialog() override {
    ++nInit;
    bShownAtInit = isVisible();
    return bRefuseInit ? 0 : 1;
  }
  int OnCommand(int id) override {
    commands.push_back(id);
    for (int ending : endingCommands)
      if (id == ending) {
        EndDialog(id);
        return 1;
      }
    return CDialog::OnCommand(id);
  }
  int OnClose() override {
    ++nClose;
    return bRefuseClose ? 1 : CDialog::OnClose();
  }
  void OnDestroy() override { ++nDestroy; }
};

void Click(QWidget* widget, QPoint at) {
  const QPointF global = widget->mapToGlobal(QPointF(at));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &release);
}

void Click(QWidget* widget) { Click(widget, widget->rect().center()); }

void PressKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
}

TEST(CDialogTest, DoModalReturnsTheResultGivenToEndDialog) {
  CTestDialog dialog;
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_TRUE(dialog.isVisible());
    dialog.EndDialog(42);
  });
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.nInit, 1);
  EXPECT_FALSE(dialog.bShownAtInit) << "controls are filled before the dialog shows";
  EXPECT_EQ(dialog.nDestroy, 1);

  // The same dialog can run again.
  QTimer::singleShot(0, &dialog, [&] { dialog.EndDialog(7); });
  EXPECT_EQ(dialog.DoModal(), 7);
  EXPECT_EQ(dialog.nInit, 2);
}

TEST(CDialogTest, ButtonsEscapeAndTheCloseButtonBecomeCommands) {
  CTestDialog dialog;
  auto* ok = new QPushButton("OK", &dialog);
  auto* other = new QPushButton("Other", &dialog);
  dialog.SetDlgItem(IDOK, ok);
  dialog.SetDlgItem(1001, other);
  EXPECT_EQ(dialog.GetDlgItem(1001), other);
  EXPECT_EQ(dialog.GetDlgItem(1002), nullptr);

  QTimer::singleShot(0, &dialog, [&] {
    Click(other);
    Click(ok);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.commands, (std::vector<int>{1001, IDOK}));

  dialog.commands.clear();
  QTimer::singleShot(0, &dialog, [&] { PressKey(&dialog, Qt::Key_Escape); });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.commands, (std::vector<int>{IDCANCEL}));
  EXPECT_EQ(dialog.nClose, 0) << "Escape is a cancel command, not a close";

  QTimer::singleShot(0, &dialog, [&] {
    dialog.bRefuseClose = true;
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.isVisible()) << "a close handler that does not end it keeps it open";
    dialog.bRefuseClose = false;
    EXPECT_TRUE(dialog.close());
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.nClose, 2);
}

// A dialog that finds nothing to show ends itself while it initialises.
class CEndsAtInit : public CTestDialog {
 protected:
  int OnInitDialog() override {
    CTestDialog::OnInitDialog();
    EndDialog(IDABORT);
    return 1;
  }
};

TEST(CDialogTest, EndingInOnInitDialogNeverShowsIt) {
  CEndsAtInit dialog;
  EXPECT_EQ(dialog.DoModal(), IDABORT);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.nDestroy, 1);
  EXPECT_EQ(dialog.DoModeless(), 0);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(CDialogTest, ARefusedInitDoesNotOpen) {
  CTestDialog dialog;
  dialog.bRefuseInit = true;
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_EQ(dialog.DoModeless(), 0);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.nDestroy, 0);
}

TEST(CDialogTest, ModelessDialogsAndTheMessageLoopHook) {
  QWidget mainWindow;
  auto* dialog = new CTestDialog(&mainWindow);
  auto* field = new QPushButton("field", dialog);
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);

  EXPECT_FALSE(CDialog::IsModelessDialogMessage(field, &key));
  ASSERT_EQ(dialog->DoModeless(), 1);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->DoModeless(), 0) << "already open";
  EXPECT_TRUE(CDialog::IsModelessDialogMessage(field, &key));
  EXPECT_TRUE(CDialog::IsModelessDialogMessage(dialog, &key));
  EXPECT_FALSE(CDialog::IsModelessDialogMessage(&mainWindow, &key));
  EXPECT_FALSE(CDialog::IsModelessDialogMessage(field, nullptr));

  dialog->EndDialog(IDOK);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->GetDialogResult(), IDOK);
  EXPECT_FALSE(CDialog::IsModelessDialogMessage(field, &key));

  ASSERT_EQ(dialog->DoModeless(), 1);
  delete dialog;  // destroyed while open: the hook must forget it
  EXPECT_FALSE(CDialog::IsModelessDialogMessage(&mainWindow, &key));
}

TEST(CDialogTest, MessagesToTheDialogHandle) {
  CTestDialog dialog;
  const HWND hwnd = dialog.GetSafeHwnd();
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(WidgetFromHwnd(hwnd), &dialog);
  ASSERT_EQ(dialog.DoModeless(), 1);
  EXPECT_EQ(SendMessage(hwnd, WM_COMMAND, 0x10000 | 300, 0), 0);
  EXPECT_EQ(dialog.commands, (std::vector<int>{300}));
  PostMessage(hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog.isVisible());
  FlushWindowsMessages(hwnd);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.nClose, 1);

  auto* gone = new CTestDialog;
  const HWND stale = gone->GetSafeHwnd();
  delete gone;
  EXPECT_FALSE(IsWindow(stale));
  EXPECT_EQ(WidgetFromHwnd(stale), nullptr);
}

TEST(FlushWindowsMessagesTest, DeliversOnlyThatWindowsPendingMessages) {
  QWidget first, second;
  auto* child = new QWidget(&first);
  std::vector<int> delivered;
  auto record = [&](int tag) {
    return [&delivered, tag](HWND, UINT, WPARAM, LPARAM) {
      delivered.push_back(tag);
      return LRESULT(0);
    };
  };
  const HWND hFirst = CreateMessageReceiver(&first, record(1));
  const HWND hChild = CreateMessageReceiver(child, record(2));
  const HWND hSecond = CreateMessageReceiver(&second, record(3));
  PostMessage(hSecond, WM_USER, 0, 0);
  PostMessage(hFirst, WM_USER, 0, 0);
  PostMessage(hChild, WM_USER, 0, 0);
  FlushWindowsMessages(&first);
  EXPECT_EQ(delivered, (std::vector<int>{1, 2}));
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, (std::vector<int>{1, 2, 3}));
  FlushWindowsMessages(static_cast<QWidget*>(nullptr));
}

TEST(HyperlinkTest, ALinkLabelIssuesItsCommandToTheDialog) {
  CTestDialog dialog;
  dialog.endingCommands = {350};
  auto* label = new QLabel("Add directories to favorites ...", &dialog);
  label->resize(200, 20);
  CHyperlink* link = ConvertStaticToHyperlink(label, 350);
  ASSERT_NE(link, nullptr);
  std::vector<int> signalled;
  QObject::connect(link, &CHyperlink::Command, [&](int id) { signalled.push_back(id); });
  EXPECT_TRUE(label->font().underline());
  EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);

  QTimer::singleShot(0, &dialog, [&] {
    // Pressed on the link but released outside: taken back.
    const QPointF outside(500, 500);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), label->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, outside, label->mapToGlobal(outside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &release);
    EXPECT_TRUE(dialog.commands.empty());
    Click(label);
  });
  EXPECT_EQ(dialog.DoModal(), 350);
  EXPECT_EQ(dialog.commands, (std::vector<int>{350}));
  EXPECT_EQ(signalled, (std::vector<int>{350}));

  // Converting again retargets the same link; the keyboard works too.
  EXPECT_EQ(ConvertStaticToHyperlink(label, 351), link);
  dialog.commands.clear();
  PressKey(label, Qt::Key_Return);
  EXPECT_EQ(dialog.commands, (std::vector<int>{351}));
  EXPECT_EQ(ConvertStaticToHyperlink(nullptr, 1), nullptr);
}

class CUrlCatcher : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(HyperlinkTest, AnAddressLinkOpensItsUrl) {
  CUrlCatcher catcher;
  QDesktopServices::setUrlHandler("lorimo-test", &catcher, "Open");
  QLabel label("Visit the web site");
  label.resize(150, 20);
  ConvertStaticToHyperlink(&label, QString("lorimo-test://example/help"));
  Click(&label);
  QDesktopServices::unsetUrlHandler("lorimo-test");
  ASSERT_EQ(catcher.opened.size(), 1u);
  EXPECT_EQ(catcher.opened[0].host(), QString("example"));
}

TEST(ControlsTest, MenuButtonsIssueTheCommandsOfTheirEntries) {
  CTestDialog dialog;
  auto* menuButton = new CMenuButton("Views:", &dialog);
  QAction* thumbs = menuButton->AddMenuItem(2001, "Thumbnails");
  menuButton->AddSeparator();
  QAction* details = menuButton->AddMenuItem(2002, "Details");
  dialog.SetDlgItem(2000, menuButton);
  details->trigger();
  thumbs->trigger();
  EXPECT_EQ(dialog.commands, (std::vector<int>{2002, 2001}));
  menuButton->SetCheckedItem(2002);
  EXPECT_TRUE(details->isChecked());
  EXPECT_FALSE(thumbs->isChecked());

  auto* split = new CXPButtonMenu(QIcon(), "Rotate", &dialog);
  QAction* left = split->AddMenuItem(3001, "Left");
  dialog.SetDlgItem(3000, split);
  dialog.commands.clear();
  split->click();
  left->trigger();
  EXPECT_EQ(dialog.commands, (std::vector<int>{3000, 3001}));
}

QImage SolidIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::red);
  return pixmap.toImage();
}

TEST(ControlsTest, AnIconButtonIsDrawnRaisedWhileTheMouseIsOverIt) {
  CIconButton button(QIcon(QPixmap::fromImage(SolidIcon())));
  button.resize(button.sizeHint());
  EXPECT_GE(button.width(), 16);
  const QImage normal = button.grab().toImage();
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(&button, &enter);
  EXPECT_TRUE(button.IsHot());
  const QImage hot = button.grab().toImage();
  EXPECT_NE(normal, hot);
  // The icon is drawn in the middle either way.
  EXPECT_EQ(normal.pixelColor(normal.rect().center()), QColor(Qt::red));

  CXPButtonMenu split(QIcon(QPixmap::fromImage(SolidIcon())), "Rotate");
  split.resize(split.sizeHint());
  EXPECT_FALSE(split.grab().toImage().isNull());
}

TEST(BitmapConversionTest, BgraBytesMapToQImageColours) {
  HBITMAP bitmap = CreateBitmap32(2, 1);
  ASSERT_NE(bitmap, nullptr);
  const uint8_t bytes[] = {1, 2, 3, 255, 10, 20, 30, 128};
  std::copy(std::begin(bytes), std::end(bytes), bitmap->pPixels);
  const QImage image = BitmapToQImage(bitmap);
  ASSERT_EQ(image.size(), QSize(2, 1));
  EXPECT_EQ(image.pixel(0, 0), qRgba(3, 2, 1, 255));
  EXPECT_EQ(image.pixel(1, 0), qRgba(30, 20, 10, 128));

  HBITMAP back = QImageToBitmap(image);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), back->pPixels));
  DeleteBitmap32(back);
  DeleteBitmap32(bitmap);

  // Other formats are converted: opaque RGB gets alpha 255, premultiplied
  // colours are stored straight.
  QImage rgb(1, 1, QImage::Format_RGB888);
  rgb.setPixel(0, 0, qRgb(200, 100, 50));
  back = QImageToBitmap(rgb);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->pPixels[0], 50);
  EXPECT_EQ(back->pPixels[2], 200);
  EXPECT_EQ(back->pPixels[3], 255);
  DeleteBitmap32(back);

  QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
  premultiplied.setPixelColor(0, 0, QColor(200, 0, 0, 128));
  back = QImageToBitmap(premultiplied);
  ASSERT_NE(back, nullptr);
  EXPECT_NEAR(back->pPixels[2], 200, 2);
  EXPECT_EQ(back->pPixels[3], 128);
  DeleteBitmap32(back);

  EXPECT_EQ(QImageToBitmap(QImage()), nullptr);
  EXPECT_TRUE(BitmapToQImage(nullptr).isNull());
  tagLORIMOBITMAP bad;
  bad.nWidth = 4;
  bad.nHeight = 1;
  bad.nStride = 4;  // shorter than a row
  uint8_t row[16] = {};
  bad.pPixels = row;
  EXPECT_TRUE(BitmapToQImage(&bad).isNull());
}

TEST(WindowHelpersTest, RectanglesBetweenClientAndScreen) {
  QWidget top;
  top.setGeometry(100, 50, 400, 300);
  auto* child = new QWidget(&top);
  child->setGeometry(10, 20, 100, 100);
  const QPoint origin = child->mapToGlobal(QPoint(0, 0));

  RECT rect{1, 2, 11, 7};
  ClientToScreen(child, &rect);
  EXPECT_EQ(rect.left, origin.x() + 1);
  EXPECT_EQ(rect.top, origin.y() + 2);
  EXPECT_EQ(rect.right - rect.left, 10);
  EXPECT_EQ(rect.bottom - rect.top, 5);
  ScreenToClient(child, &rect);
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 7);
  EXPECT_EQ(ScreenToClient(child, ClientToScreen(child, QRect(3, 4, 5, 6))), QRect(3, 4, 5, 6));
}

TEST(WindowHelpersTest, DefaultSearchDirectoryIsPicturesElseHome) {
  namespace fs = std::filesystem;
  const fs::path pictures = CStrAW::ToPath(GetPicturesFolder());
  fs::remove_all(pictures);
  EXPECT_EQ(GetDefaultSearchDirectory(), GetHomeFolder());
  fs::create_directories(pictures);
  EXPECT_EQ(GetDefaultSearchDirectory(), GetPicturesFolder());
  fs::remove_all(pictures);
}

}  // namespace

#include "dialog_test.moc"
