#include "shell/optionssheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"
#include "pixwork/optionspages.h"
#include "pixwork/sortsettings.h"
#include "shell/autoplayoptionspage.h"
#include "shell/fileassociationpage.h"
#include "shell/fileassociations.h"
#include "shell/mimeappslist.h"
#include "shell/settings.h"
#include "shell/startoptionspage.h"
#include "testsupport/testsupport.h"

namespace {

class OptionsSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("sheet");
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_dir / "registry.reg"));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
    m_settings->ResetToDefaults();
    m_associations = std::make_unique<CFileAssociations>(u"/usr/bin/lorimo", m_store.get());
    std::filesystem::remove(CStrAW::ToPath(CMimeAppsList::GetUserFilePath()));
  }
  void TearDown() override { m_settings->ResetToDefaults(); }

  std::unique_ptr<CViewOptionsSheet> MakeSheet() {
    return std::make_unique<CViewOptionsSheet>(*m_settings, nullptr, m_associations.get());
  }
  // Confirms the sheet as the OK button would, while it runs modally.
  int RunAndConfirm(CViewOptionsSheet& sheet, const std::function<void()>& edit) {
    QTimer::singleShot(0, &sheet, [&] {
      edit();
      sheet.SendCommand(IDOK);
      if (sheet.IsOpen()) sheet.SendCommand(IDCANCEL);
    });
    return sheet.DoModal();
  }
  template <typename T>
  T* Control(COptionsPage* page, uint32_t id) {
    return qobject_cast<T*>(page->GetControl(id));
  }

  std::filesystem::path m_dir;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CLorimoSettings> m_settings;
  std::unique_ptr<CFileAssociations> m_associations;
};

TEST_F(OptionsSheetTest, PagesInOrderShowingTheRecords) {
  gVO[VO_ROLL_OVER].bFlag = 0;
  gVO[VO_DYNAMIC_HELP].bExtra = 3;
  gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag = 1;
  gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra = 2;
  m_settings->dwDefaultImage = STARTUP_LAST_IMAGE;
  m_settings->dwAutoPlayMiliseconds = 3000;
  auto sheet = MakeSheet();
  EXPECT_EQ(sheet->windowTitle(), QStringLiteral("View Options"));
  const QStringList expected = {"View Options", "Performance Options", "Start Options",
                                "Autoplay Options", "File Association"};
  ASSERT_EQ(sheet->Tabs()->count(), expected.size());
  for (int i = 0; i < expected.size(); ++i) EXPECT_EQ(sheet->Tabs()->tabText(i), expected[i]);

  // Every record has its control, found by the record's id.
  for (const VIEWOPTIONS& record : gVO) {
    auto* button = Control<QAbstractButton>(sheet->ViewPage(), record.nID);
    ASSERT_NE(button, nullptr) << MyString(record.szName).ToUtf8();
    EXPECT_EQ(button->isChecked(), record.bFlag != 0);
  }
  EXPECT_EQ(Control<QAbstractButton>(sheet->ViewPage(), IDC_VO_AI)->text(),
            QStringLiteral("Set window size to image size"));
  auto* delay = Control<QComboBox>(sheet->ViewPage(), IDC_VO_DYNAMIC_HELP_DELAY);
  ASSERT_EQ(delay->count(), 9);
  EXPECT_EQ(delay->itemText(0), QStringLiteral("2"));
  EXPECT_EQ(delay->itemText(8), QStringLiteral("10"));
  EXPECT_EQ(delay->currentIndex(), 3);

  QComboBox* formats = sheet->PerformancePage()->FormatBox();
  EXPECT_EQ(formats->count(), int(GetSupportedExtensions().size()));
  EXPECT_EQ(formats->itemText(0), QStringLiteral("BMP"));
  EXPECT_EQ(formats->currentIndex(), 2);
  EXPECT_TRUE(formats->isEnabled());
  EXPECT_EQ(Control<QAbstractButton>(sheet->PerformancePage(), IDC_VSO_OPEN_FILE_OUT_EXT)->text(),
            QStringLiteral("Open files without extensions using ..."));

  EXPECT_TRUE(sheet->StartPage()->ChoiceButton(STARTUP_LAST_IMAGE)->isChecked());
  EXPECT_EQ(sheet->AutoplayPage()->DelayBox()->value(), 3000);
  auto* png = Control<QCheckBox>(sheet->AssociationPage(), IDC_FA_FIRST + 3);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->text(), QStringLiteral("PNG (.png)"));
}

// At its own size, with the default font, the sheet shows every tab title whole.
TEST_F(OptionsSheetTest, EveryTabTitleShowsWhole) {
  auto sheet = MakeSheet();
  sheet->show();
  QTabBar* bar = sheet->Tabs()->tabBar();
  const QFontMetrics metrics(bar->font());
  for (int i = 0; i < bar->count(); ++i) {
    SCOPED_TRACE(bar->tabText(i).toStdString());
    const QRect tab = bar->tabRect(i);
    EXPECT_GE(tab.width(), metrics.horizontalAdvance(bar->tabText(i)));
    EXPECT_LE(tab.right(), bar->width() - 1);
  }
  sheet->hide();
}

TEST_F(OptionsSheetTest, OkWritesThePagesAndSavesEverything) {
  auto sheet = MakeSheet();
  const int result = RunAndConfirm(*sheet, [&] {
    Control<QAbstractButton>(sheet->ViewPage(), IDC_VO_AI)->setChecked(true);
    Control<QAbstractButton>(sheet->ViewPage(), IDC_VO_ONE_INSTANCE)->setChecked(false);
    Control<QComboBox>(sheet->ViewPage(), IDC_VO_DYNAMIC_HELP_DELAY)->setCurrentIndex(6);
    Control<QAbstractButton>(sheet->PerformancePage(), IDC_VSO_OPEN_FILE_OUT_EXT)->setChecked(true);
    sheet->PerformancePage()->FormatBox()->setCurrentIndex(1);
    sheet->StartPage()->ChoiceButton(STARTUP_BLANK)->setChecked(true);
    sheet->AutoplayPage()->DelayBox()->setValue(2200);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(sheet->GetSaveResult(), 1);
  EXPECT_EQ(gVO[VO_AI].bFlag, 1);
  EXPECT_EQ(gVO[VO_AW].bFlag, 0);
  EXPECT_EQ(gVO[VO_ONE_INSTANCE].bFlag, 0);
  EXPECT_EQ(gVO[VO_DYNAMIC_HELP].bExtra, 6);
  EXPECT_EQ(gVSO[VSO_OPEN_FILE_OUT_EXT].bFlag, 1);
  EXPECT_EQ(gVSO[VSO_OPEN_FILE_OUT_EXT].bExtra, 1);
  EXPECT_EQ(gbListFilesWithoutExtension, 1);
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_BLANK));
  EXPECT_EQ(m_settings->dwAutoPlayMiliseconds, 2200u);

  // All of it reached the store at once.
  const std::string text = testsupport::ReadFile(m_dir / "registry.reg");
  EXPECT_NE(text.find("\"LorimoVersion\"=dword:00000002"), std::string::npos);
  EXPECT_NE(text.find("\"AI\"=dword:00000001"), std::string::npos);
  EXPECT_NE(text.find("\"DynamicHelp\"=dword:00000601"), std::string::npos);
  EXPECT_NE(text.find("\"DefaultExt\"=dword:00000001"), std::string::npos);
  EXPECT_NE(text.find("\"DefaultImage\"=dword:00000000"), std::string::npos);
  EXPECT_NE(text.find("\"AutoPlayMiliseconds\"=dword:00000898"), std::string::npos);
}

TEST_F(OptionsSheetTest, CancelChangesNothing) {
  auto sheet = MakeSheet();
  QTimer::singleShot(0, sheet.get(), [&] {
    Control<QAbstractButton>(sheet->ViewPage(), IDC_VO_SHOW_RGB)->setChecked(false);
    sheet->AutoplayPage()->DelayBox()->setValue(5000);
    sheet->SendCommand(IDCANCEL);
  });
  EXPECT_EQ(sheet->DoModal(), IDCANCEL);
  EXPECT_EQ(gVO[VO_SHOW_RGB].bFlag, 1);
  EXPECT_EQ(m_settings->dwAutoPlayMiliseconds, 1000u);
  EXPECT_FALSE(std::filesystem::exists(m_dir / "registry.reg"));
}

// "The default image" without a file: Yes stays to enter one, No starts blank.
TEST_F(OptionsSheetTest, DefaultImageWithoutFileAsksFirst) {
  for (int answer : {IDYES, IDNO}) {
    m_settings->ResetToDefaults();
    auto sheet = MakeSheet();
    QString caption, text;
    sheet->StartPage()->SetQuestionFunction([&](const QString& t, const QString& c) {
      text = t;
      caption = c;
      return answer;
    });
    const int result = RunAndConfirm(*sheet, [&] {
      sheet->StartPage()->ChoiceButton(STARTUP_DEFAULT_IMAGE)->setChecked(true);
      sheet->StartPage()->PathBox()->setText(QStringLiteral("/no/such/image.png"));
    });
    EXPECT_EQ(caption, QStringLiteral("File name error"));
    EXPECT_EQ(text, QStringLiteral("A default image was not entered or is not valid\n"
                                   "Do you want to enter one now ?"));
    if (answer == IDYES) {
      EXPECT_EQ(result, IDCANCEL) << "the sheet stayed open until cancelled";
      EXPECT_EQ(sheet->Tabs()->currentWidget(), sheet->StartPage());
      EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_SCREEN));
    } else {
      EXPECT_EQ(result, IDOK);
      EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_BLANK));
      EXPECT_TRUE(m_settings->strDefaultImagePath.IsEmpty());
    }
  }
}

TEST_F(OptionsSheetTest, ExistingDefaultImageIsTaken) {
  const auto image = m_dir / "start.png";
  testsupport::WriteFile(image, "x");
  auto sheet = MakeSheet();
  bool asked = false;
  sheet->StartPage()->SetQuestionFunction([&](const QString&, const QString&) {
    asked = true;
    return IDNO;
  });
  EXPECT_EQ(RunAndConfirm(
                *sheet,
                [&] {
                  sheet->StartPage()->ChoiceButton(STARTUP_DEFAULT_IMAGE)->setChecked(true);
                  sheet->StartPage()->PathBox()->setText(QString::fromStdString(image.string()));
                }),
            IDOK);
  EXPECT_FALSE(asked);
  EXPECT_EQ(m_settings->dwDefaultImage, uint32_t(STARTUP_DEFAULT_IMAGE));
  EXPECT_EQ(m_settings->strDefaultImagePath, CStrAW::FromPath(image));
}

TEST_F(OptionsSheetTest, AssociationPageSelectAllAndApply) {
  auto sheet = MakeSheet();
  EXPECT_EQ(RunAndConfirm(*sheet,
                          [&] {
                            for (QPushButton* button :
                                 sheet->AssociationPage()->findChildren<QPushButton*>())
                              if (button->text() == QStringLiteral("Select All")) button->click();
                          }),
            IDOK);
  for (const FILEASSOCIATIONS& record : gFA) EXPECT_EQ(record.bAssociated, 1);
  const std::string list = testsupport::ReadFile(CStrAW::ToPath(CMimeAppsList::GetUserFilePath()));
  EXPECT_NE(list.find("image/png=lorimo.desktop;"), std::string::npos) << list;
  EXPECT_NE(list.find("application/dicom=lorimo.desktop;"), std::string::npos);
}

}  // namespace
