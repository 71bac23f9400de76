#include "transfer/transferdispatch.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "shell/fileassociations.h"
#include "testsupport/testsupport.h"

namespace {

MyString Path(const std::filesystem::path& path) { return MyString::FromUtf8(path.string()); }

}  // namespace

// The table of which dialog hears of a device, driven through real dialogs:
// a card opens the wizard, later devices reach it instead of opening more,
// its manual dialog takes over the notices, and "Acquire" opens one manual
// dialog however often it is asked.
TEST(TransferDispatch, OneDialogAtATimeAndTheOpenOneIsTold) {
  const auto card = testsupport::NewTempDir("card");
  testsupport::WriteFile(card / "a.jpg", "x");
  const MyString camera = u"disk:" + Path(testsupport::NewTempDir("camera"));
  const MyString other = u"disk:" + Path(testsupport::NewTempDir("other"));
  QWidget owner;
  CTransferDispatch dispatch(&owner);

  int step = 0;
  int wizards = 0, manuals = 0;
  QTimer driver;
  driver.setInterval(20);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    auto* wizard = qobject_cast<CDlgTransferWizard*>(modal);
    auto* manual = qobject_cast<CDlgManualTransfer*>(modal);
    if (step == 0 && wizard) {
      ++wizards;
      EXPECT_EQ(dispatch.GetWizard(), wizard);
      dispatch.DeviceArrived(camera);  // told to the wizard: no second dialog
      step = 1;
      QTimer::singleShot(0, wizard, [wizard] { wizard->SendCommand(1002); });  // Manual
    } else if (step == 1 && manual) {
      ++manuals;
      EXPECT_EQ(dispatch.GetManualDialog(), manual);
      EXPECT_FALSE(dispatch.GetWizard()->isVisible());
      dispatch.DeviceArrived(other);
      const MyStringList devices = manual->GetDevices();
      EXPECT_NE(std::find(devices.begin(), devices.end(), other), devices.end());
      EXPECT_NE(std::find(devices.begin(), devices.end(), Path(card)), devices.end());
      dispatch.DeviceRemoved(other);
      const MyStringList after = manual->GetDevices();
      EXPECT_EQ(std::find(after.begin(), after.end(), other), after.end());
      step = 2;
      manual->EndDialog(IDCANCEL);
    } else if (step == 2 && !modal && !dispatch.GetWizard()) {
      // The wizard ended with its manual dialog. Now "Acquire", twice.
      EXPECT_EQ(dispatch.CommandTarget()->OnCommand(3127), 1);
      dispatch.OpenManualTransfer();
      dispatch.DeviceArrived(MyString());
      step = 3;
    } else if (step == 3 && manual) {
      ++manuals;
      step = 4;
      QTimer::singleShot(300, manual, [manual] { manual->EndDialog(IDCANCEL); });
    } else if (step == 4 && !modal) {
      step = 5;
    }
  });
  driver.start();
  dispatch.DeviceArrived(Path(card));
  dispatch.DeviceArrived(Path(card));
  EXPECT_TRUE(testsupport::WaitFor([&] { return step == 5; }, std::chrono::seconds(30)));
  EXPECT_EQ(wizards, 1);
  EXPECT_EQ(manuals, 2);
  EXPECT_EQ(dispatch.CommandTarget()->OnCommand(3128), 0);
}

TEST(TransferDispatch, TheCardEntryStartsTheTransferSwitch) {
  CFileAssociations associations(u"/opt/my apps/lorimo");
  ASSERT_EQ(associations.Apply(nullptr, 0), 1) << associations.GetLastError().ToUtf8();
  const std::filesystem::path entry =
      std::filesystem::path(associations.GetDesktopFilePath().ToUtf8()).parent_path() /
      kTransferDesktopFileName;
  const std::string text = testsupport::ReadFile(entry);
  EXPECT_NE(text.find("\nExec=\"/opt/my apps/lorimo\" /WIAAuto\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nMimeType=x-content/image-dcf;\n"), std::string::npos) << text;
}
