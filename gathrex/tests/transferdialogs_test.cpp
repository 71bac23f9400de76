#include "gathrex/transferdialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WaitFor;
using testsupport::WriteFile;

namespace {

MyString Path(const fs::path& path) { return MyString::FromUtf8(path.string()); }

// Answers every message box that comes up, keeping what it said.
class CBoxAnswerer {
 public:
  CBoxAnswerer() {
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts.push_back((box->windowTitle() + ": " + box->text()).toStdString());
        box->done(QMessageBox::Ok);
      }
    });
    m_timer.start();
  }
  std::vector<std::string> texts;

 private:
  QTimer m_timer;
};

class TransferDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    TransferHooks().isPicture = [](const MyString& path) {
      const MyString extension = path.GetStringExtension().ToLower();
      return extension == u".jpg" || extension == u".png";
    };
    TransferHooks().volumes = [this] { return m_volumes; };
  }
  void TearDown() override { TransferHooks() = {}; }
  MyStringList m_volumes;
};

}  // namespace

TEST_F(TransferDialogs, ManualTransferFromACardMovesTheSelectionAndKeepsFailedRows) {
  const fs::path card = testsupport::NewTempDir("card");
  WriteFile(card / "DCIM/a.jpg", std::string(5000, 'a'));
  WriteFile(card / "DCIM/b.png", std::string(7000, 'b'));
  WriteFile(card / "DCIM/sub/a.jpg", std::string(6000, 'c'));
  WriteFile(card / "notes.txt", "text");
  m_volumes.Append(Path(card));
  const fs::path destination = testsupport::NewTempDir("pictures");

  CBoxAnswerer boxes;
  CDlgManualTransfer dialog(nullptr, Path(card));
  ASSERT_EQ(dialog.DoModeless(), 1);
  EXPECT_EQ(dialog.windowTitle(), "Lorimo File Transfer");
  ASSERT_TRUE(WaitFor([&] { return !dialog.IsLoading(); }));
  ASSERT_EQ(dialog.GetItems().size(), 3u);
  EXPECT_EQ(dialog.GetDevices()[0], Path(card));
  // Size descending, then name (the full path) ascending.
  auto shownSizes = [&dialog] {
    std::vector<int64_t> sizes;
    for (int row : dialog.GetShownRows()) sizes.push_back(dialog.GetItems()[row].nSize);
    return sizes;
  };
  dialog.SortBy(1, false);
  EXPECT_EQ(shownSizes(), (std::vector<int64_t>{7000, 6000, 5000}));
  dialog.SortBy(0, true);
  EXPECT_EQ(shownSizes(), (std::vector<int64_t>{5000, 7000, 6000}));

  // Nothing selected, then no destination: the two refusals.
  EXPECT_EQ(dialog.StartTransfer(), 0);
  dialog.SendCommand(1004);  // Select All
  dialog.SetDestination(Path(destination / "missing"));
  EXPECT_EQ(dialog.StartTransfer(), 0);
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[0], "No selection: Please select at least one image!");
  EXPECT_EQ(boxes.texts[1], "Invalid destination: Please specify a valid destination directory!");

  // One picture vanishes from the card before the transfer.
  fs::remove(card / "DCIM/b.png");
  dialog.SetDestination(Path(destination));
  dialog.SetDatedFolder(true);
  dialog.SetDeleteAfter(true);
  EXPECT_EQ(dialog.StartTransfer(), 1);
  const fs::path dated = destination / DatedFolderName(QDate::currentDate()).ToUtf8();
  EXPECT_EQ(ReadFile(dated / "a.jpg"), std::string(5000, 'a'));
  EXPECT_EQ(ReadFile(dated / "a (2).jpg"), std::string(6000, 'c'));
  EXPECT_FALSE(fs::exists(card / "DCIM/a.jpg"));
  ASSERT_EQ(dialog.GetItems().size(), 1u);
  EXPECT_EQ(dialog.GetItems()[0].strName, Path(card / "DCIM/b.png"));
  ASSERT_EQ(boxes.texts.size(), 3u);
  EXPECT_EQ(boxes.texts[2].rfind("Lorimo: Picture transfer: 1 file", 0), 0u) << boxes.texts[2];

  // Thumbnails view by default; the choice is stored at close.
  dialog.EndDialog(IDCANCEL);
  uint32_t mode = 7;
  CRegistry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo").GetValue(u"WIA_ListMode", mode);
  EXPECT_EQ(mode, 1u);
}

TEST_F(TransferDialogs, ManualDialogListsACameraAndLosesItWhenUnplugged) {
  const fs::path camera = testsupport::NewTempDir("camera");
  WriteFile(camera / "DCIM/100/IMG_1.JPG", std::string(3000, 'x'));
  WriteFile(camera / "DCIM/100/IMG_2.JPG", std::string(1000, 'y'));
  const MyString port = Path(camera).str().insert(0, u"disk:");
  const fs::path destination = testsupport::NewTempDir("pictures");

  CBoxAnswerer boxes;
  CDlgManualTransfer dialog(nullptr, port);
  ASSERT_EQ(dialog.DoModeless(), 1);
  ASSERT_TRUE(WaitFor([&] { return !dialog.IsLoading(); }));
  ASSERT_EQ(dialog.GetItems().size(), 2u);
  EXPECT_TRUE(dialog.GetItems()[0].bCamera);
  EXPECT_EQ(dialog.GetItems()[0].nSize + dialog.GetItems()[1].nSize, 4000);

  dialog.SendCommand(1004);
  dialog.SetDestination(Path(destination));
  dialog.SetDeleteAfter(true);
  EXPECT_EQ(dialog.StartTransfer(), 1);
  EXPECT_TRUE(boxes.texts.empty());
  EXPECT_EQ(ReadFile(destination / "IMG_1.JPG"), std::string(3000, 'x'));
  EXPECT_EQ(ReadFile(destination / "IMG_2.JPG"), std::string(1000, 'y'));
  EXPECT_FALSE(fs::exists(camera / "DCIM/100/IMG_1.JPG"));
  EXPECT_TRUE(dialog.GetItems().empty());

  dialog.NotifyDisconnectedDevice(port);
  EXPECT_EQ(dialog.GetDevices().GetListLength(), 0u);
  dialog.NotifyConnectedDevice(port);
  EXPECT_EQ(dialog.GetDevices().GetListLength(), 1u);
  dialog.EndDialog(IDCANCEL);
}

TEST_F(TransferDialogs, AutomaticTransferOfACardAndOfAnEmptyOne) {
  const fs::path card = testsupport::NewTempDir("card");
  WriteFile(card / "DCIM/100/x.jpg", std::string(2000, 'x'));
  WriteFile(card / "DCIM/200/x.jpg", std::string(2000, 'y'));
  const fs::path destination = testsupport::NewTempDir("pictures");
  {
    CRegistry registry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo");
    registry.SetValue(u"WIA_DestDir", Path(destination));
  }

  CBoxAnswerer boxes;
  for (int run = 0; run < 2; ++run) {
    CDlgTransferWizard wizard(nullptr, Path(card));
    ASSERT_EQ(wizard.DoModeless(), 1);
    EXPECT_EQ(wizard.windowTitle(), "Lorimo Image Transfer");
    EXPECT_EQ(wizard.AutomaticTransfer(), 1);
    wizard.EndDialog(IDCANCEL);
  }
  const fs::path dated = destination / DatedFolderName(QDate::currentDate()).ToUtf8();
  EXPECT_EQ(ReadFile(dated / "x.jpg"), std::string(2000, 'x'));
  EXPECT_EQ(ReadFile(dated / "x (2).jpg"), std::string(2000, 'y'));
  EXPECT_FALSE(fs::exists(dated / "x (3).jpg"));
  EXPECT_TRUE(boxes.texts.empty());

  const fs::path empty = testsupport::NewTempDir("empty");
  WriteFile(empty / "readme.txt", "no pictures");
  CDlgTransferWizard wizard(nullptr, Path(empty));
  ASSERT_EQ(wizard.DoModeless(), 1);
  EXPECT_EQ(wizard.AutomaticTransfer(), 0);
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_EQ(boxes.texts[0], "Error: Lorimo cannot find any picture on this device !");

  CDlgTransferWizard camera(nullptr, u"disk:" + Path(empty / "nothing-here"));
  ASSERT_EQ(camera.DoModeless(), 1);
  EXPECT_EQ(camera.AutomaticTransfer(), 0);
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[1].rfind("Fatal Error: Device initialization failure!", 0), 0u)
      << boxes.texts[1];
  camera.EndDialog(IDCANCEL);
  wizard.EndDialog(IDCANCEL);
}
