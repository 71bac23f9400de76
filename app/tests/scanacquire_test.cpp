#include "transfer/scanacquire.h"

#include <QDialog>
#include <QPushButton>
#include <cstdlib>
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "pixwork/twain.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageview.h"

namespace {

void UseSaneTestBackend() {
  const std::filesystem::path config = testsupport::NewTempDir("sane");
  testsupport::WriteFile(config / "dll.conf", "test\n");
  testsupport::WriteFile(config / "test.conf",
                         "number_of_devices 1\nmode Color\ndepth 8\nresolution_min 1.0\n"
                         "resolution_max 1200.0\nresolution_quant 1.0\nresolution 50.0\n"
                         "test-picture \"Color pattern\"\nread-status-code \"Default\"\n"
                         "geometry_min 0.0\ngeometry_max 200.0\ngeometry_quant 1.0\n"
                         "tl_x 0.0\ntl_y 0.0\nbr_x 80.0\nbr_y 100.0\n");
  setenv("SANE_CONFIG_DIR", config.c_str(), 1);
  // The test backend loses a buffer of each reader thread it stops; kept
  // loaded past sane_exit, the leak report still names it and is suppressed.
  static void* const backend =
      dlopen("/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
  (void)backend;
}

QPushButton* ScanButton(QDialog* dialog) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>())
    if (button->text() == "Scan") return button;
  return nullptr;
}

}  // namespace

// A scan from SANE's test backend arrives as "Acquired Image", without a
// file; a second page asks before replacing the unsaved first one.
TEST(ScanAcquire, APageBecomesTheAcquiredImageAndTheNextOneAsksFirst) {
  UseSaneTestBackend();
  CLorimoSettings settings;
  CMainFrame frame(nullptr, &settings);
  frame.resize(500, 400);
  frame.show();
  CScanAcquire scanning(&frame);
  EXPECT_FALSE(scanning.CommandTarget()->IsCommandEnabled(IDM_TWAIN_ACQUIRE));
  ASSERT_EQ(scanning.Twain().InitTwain(&frame), 1);
  EXPECT_TRUE(scanning.CommandTarget()->IsCommandEnabled(IDM_TWAIN_ACQUIRE));

  EXPECT_EQ(scanning.CommandTarget()->OnCommand(IDM_TWAIN_ACQUIRE), 1);
  QDialog* dialog = scanning.Twain().GetScanDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(ScanButton(dialog), nullptr);
  ScanButton(dialog)->click();
  CImageDocument& document = frame.Viewer()->Document();
  ASSERT_TRUE(testsupport::WaitFor([&] { return document.GetName() == u"Acquired Image"; }));
  EXPECT_TRUE(document.GetPath().IsEmpty());
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(document.GetImage().columns(), 157u);
  EXPECT_EQ(document.GetImage().rows(), 196u);
  EXPECT_EQ(document.GetImage().magick(), "PNG");
  EXPECT_TRUE(frame.windowTitle().contains("Acquired Image")) << frame.windowTitle().toStdString();
  EXPECT_TRUE(frame.Viewer()->IsCommandChecked(IDM_ACTUAL_SIZE));

  // The user keeps the unsaved page: the next one does not replace it.
  int asked = 0;
  frame.Viewer()->askToSaveModified = [&asked] {
    ++asked;
    return false;
  };
  const uint64_t edition = document.GetEdition();
  ASSERT_TRUE(testsupport::WaitFor([&] { return ScanButton(dialog)->isEnabled(); }));
  ScanButton(dialog)->click();
  ASSERT_TRUE(testsupport::WaitFor([&] { return asked == 1; }));
  ASSERT_TRUE(testsupport::WaitFor([&] { return ScanButton(dialog)->isEnabled(); }));
  EXPECT_EQ(document.GetEdition(), edition);

  // Close ends the dialog (and frees it); the scanner stays usable.
  for (QPushButton* button : dialog->findChildren<QPushButton*>())
    if (button->text() == "Close") button->click();
  EXPECT_TRUE(testsupport::WaitFor([&] { return scanning.Twain().GetScanDialog() == nullptr; }));
  scanning.Twain().ReleaseTwain();
}
