// The mappings dialog in the real main window: choices made in the list
// drive real key presses after OK; files and presets fill the list only.
#include "shell/inputmappingdialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "corekit_ui/controls.h"
#include "shell/commandids.h"
#include "shell/inputbinding.h"
#include "shell/mainframe.h"
#include "shell/mainmenu.h"
#include "shell/settings.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace {

constexpr int kPageDown = 0;
constexpr int kCharH = 13;
constexpr int kLeftButton = 32;
constexpr int kRollerUp = 36;

class CRecorder : public CCommandTarget {
 public:
  int OnCommand(int id) override {
    ran.push_back(id);
    return 1;
  }
  std::vector<int> ran;
};

// Clicks the event's action cell and picks an entry of the drop-down.
void ChooseAction(CDlgInputMapping* dialog, int event, int action) {
  QTreeWidget* list = dialog->GetList();
  QTreeWidgetItem* item = dialog->GetEventItem(event);
  ASSERT_NE(item, nullptr);
  list->scrollToItem(item);
  const QRect row = list->visualItemRect(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    QPoint(list->columnViewportPosition(1) + 10, row.center().y()));
  QComboBox* editor = dialog->GetEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->currentIndex(), int(dialog->Mapping().Rows()[size_t(event)].nEdited));
  editor->view()->setCurrentIndex(editor->model()->index(action, 0));
  QTest::keyClick(editor->view(), Qt::Key_Return);
  EXPECT_EQ(dialog->GetEditor(), nullptr);
}

QString ActionText(CDlgInputMapping& dialog, int event) {
  return dialog.GetEventItem(event)->text(1);
}

class MappingDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = testsupport::NewTempDir("mappings");
    m_store = std::make_unique<CRegistryStore>(CStrAW::FromPath(m_dir / "registry.reg"));
    m_settings = std::make_unique<CLorimoSettings>(m_store.get());
    m_frame = std::make_unique<CMainFrame>(nullptr, m_settings.get());
  }
  void TearDown() override {
    m_frame.reset();
    m_settings.reset();
    m_store.reset();
  }

  std::filesystem::path m_dir;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CLorimoSettings> m_settings;
  std::unique_ptr<CMainFrame> m_frame;
};

TEST_F(MappingDialog, ChangedRowsAndOkDriveRealKeysAndButtons) {
  CMainFrame& frame = *m_frame;
  frame.show();
  bool seen = false;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<CDlgInputMapping*>(QApplication::activeModalWidget());
    if (!dialog) return;
    timer.stop();
    seen = true;
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Keyboard and Mouse Mappings"));
    EXPECT_EQ(dialog->GetList()->topLevelItem(0)->text(0), QStringLiteral("KEYBOARD"));
    EXPECT_EQ(dialog->GetList()->topLevelItem(0)->flags(), Qt::ItemIsEnabled);
    ChooseAction(dialog, kCharH, 11);       // Rotate 180
    ChooseAction(dialog, kLeftButton, 20);  // Hand
    ChooseAction(dialog, kRollerUp, 14);    // Zoom In
    EXPECT_EQ(ActionText(*dialog, kCharH), QStringLiteral("Rotate 180"));
    EXPECT_EQ(ActionText(*dialog, kLeftButton), QStringLiteral("Hand"));
    // A drop-down closed by scrolling changes nothing.
    dialog->OpenEditor(kPageDown);
    ASSERT_NE(dialog->GetEditor(), nullptr);
    dialog->GetEditor()->setCurrentIndex(5);
    dialog->GetList()->scrollToBottom();
    dialog->GetList()->scrollToTop();
    EXPECT_EQ(dialog->GetEditor(), nullptr);
    EXPECT_EQ(dialog->Mapping().Rows()[kPageDown].nEdited, 1u);
    QTest::mouseClick(static_cast<QAbstractButton*>(dialog->GetDlgItem(IDOK)), Qt::LeftButton);
  });
  timer.start();
  EXPECT_EQ(frame.SendCommand(IDM_KEYBOARD_MAPPINGS), 1);
  ASSERT_TRUE(seen);

  CRecorder viewer;
  frame.Router().SetTarget(CO_VIEWER, &viewer);
  QTest::keyClick(frame.Viewer(), Qt::Key_H);
  QTest::keyClick(frame.Viewer(), Qt::Key_PageDown);
  EXPECT_EQ(viewer.ran, (std::vector<int>{IDM_ROTATE_180, IDM_NEXT_IMAGE}));
  frame.Router().SetTarget(CO_VIEWER, nullptr);
  ASSERT_EQ(frame.InputBinding().GetMouseTool(), IDM_TOOL_CUSTOM);
  EXPECT_EQ(frame.InputBinding().OnButtonDown(MB_LEFT),
            (tagINPUTACTION{IA_OPERATION, VOP_HAND_START}));
  EXPECT_EQ(frame.InputBinding().OnButtonUp(MB_LEFT),
            (tagINPUTACTION{IA_OPERATION, VOP_HAND_RELEASE}));
  tagINPUTACTION wheel;
  EXPECT_EQ(frame.InputBinding().OnWheel(120, &wheel), 1);
  EXPECT_EQ(wheel, (tagINPUTACTION{IA_COMMAND, IDM_ZOOM_IN}));
  // Kept for the exit save, and named in the menu.
  EXPECT_EQ(m_settings->mapping.Get(kCharH), std::optional<uint32_t>(11u));
  EXPECT_EQ(frame.MainMenu().GetAction(IDM_ROTATE_180)->text(),
            QStringLiteral("Rotate 180\tCharacter: h"));
}

TEST_F(MappingDialog, FilesAndPresetsFillTheListAndCancelKeepsTheAssignment) {
  const MyString mine = CStrAW::FromPath(m_dir / "mine.lkb");
  KeyMapRows rows{};
  for (int i = 0; i < CMappingValues::kEventCount; ++i)
    rows[size_t(i)] = {CInputBinding::DefaultAction(i), CInputBinding::DefaultAction(i)};
  rows[kPageDown] = {15, 15};  // Zoom Out
  ASSERT_EQ(CKeyboardMapFile::Write(mine, rows), 1);

  MyString chosen;
  CDlgInputMapping dialog(m_frame->InputBinding(), *m_settings, m_frame.get());
  dialog.SetFileChooser([&chosen](bool, const MyString&) { return chosen; });
  ASSERT_EQ(dialog.DoModeless(), 1);
  auto click = [&dialog](int id) { static_cast<QAbstractButton*>(dialog.GetDlgItem(id))->click(); };

  chosen = mine;
  click(IDC_MAPPING_LOAD);
  EXPECT_EQ(ActionText(dialog, kPageDown), QStringLiteral("Zoom Out"));
  const QString fileCaption =
      QStringLiteral("Keyboard and Mouse Mappings: Using File Settings (%1)").arg(mine.ToQString());
  EXPECT_EQ(dialog.windowTitle(), fileCaption);
  tagMAPPINGSOURCE stored = tagMAPPINGSOURCE::Load(*m_store);
  EXPECT_EQ(stored.strFile, mine);
  EXPECT_EQ(stored.nType, MT_FILE);

  // A file that cannot be read says so and changes nothing.
  chosen = CStrAW::FromPath(m_dir / "gone.lkb");
  click(IDC_MAPPING_LOAD);
  auto* error = dialog.findChild<QMessageBox*>();
  ASSERT_NE(error, nullptr);
  EXPECT_TRUE(error->text().contains(QStringLiteral("gone.lkb")));
  error->close();
  EXPECT_EQ(dialog.windowTitle(), fileCaption);
  EXPECT_EQ(tagMAPPINGSOURCE::Load(*m_store).strFile, mine);
  EXPECT_EQ(ActionText(dialog, kPageDown), QStringLiteral("Zoom Out"));

  // So does a Save As that cannot write.
  chosen = CStrAW::FromPath(m_dir / "mine.lkb" / "under.lkb");
  click(IDC_MAPPING_SAVE_AS);
  error = dialog.findChild<QMessageBox*>();
  ASSERT_NE(error, nullptr);
  error->close();
  EXPECT_EQ(tagMAPPINGSOURCE::Load(*m_store).strFile, mine);

  // A preset names its rows and keeps the file.
  auto* load = static_cast<CXPButtonMenu*>(dialog.GetDlgItem(IDC_MAPPING_LOAD));
  const QList<QAction*> entries = load->GetMenu()->actions();
  ASSERT_EQ(entries.size(), 5);
  EXPECT_TRUE(entries[1]->isSeparator());
  EXPECT_EQ(entries[4]->text(), QStringLiteral("Windows Picture and Fax Viewer"));
  entries[3]->trigger();  // IrfanView
  EXPECT_EQ(ActionText(dialog, kRollerUp), QStringLiteral("Next Image"));
  EXPECT_EQ(ActionText(dialog, kPageDown), QStringLiteral("Next Image"));
  EXPECT_EQ(dialog.windowTitle(),
            QStringLiteral("Keyboard and Mouse Mappings: Using IrfanView Settings"));
  stored = tagMAPPINGSOURCE::Load(*m_store);
  EXPECT_EQ(stored.strFile, mine);
  EXPECT_EQ(stored.nType, MT_IRFANVIEW);

  // Load, then Cancel: the program's assignment is what it was.
  chosen = mine;
  click(IDC_MAPPING_LOAD);
  click(IDCANCEL);
  EXPECT_FALSE(dialog.IsOpen());
  EXPECT_EQ(m_frame->InputBinding().GetAction(kPageDown), 1u);
  EXPECT_FALSE(m_settings->mapping.Get(kPageDown).has_value());

  // Opened again: the stored source names the caption, the list starts
  // from the applied assignment.
  ASSERT_EQ(dialog.DoModeless(), 1);
  // A drop-down that loses the focus closes unchanged.
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.OpenEditor(kPageDown);
  dialog.GetEditor()->hidePopup();
  dialog.GetEditor()->setCurrentIndex(7);
  dialog.GetEditor()->setFocus();
  dialog.GetList()->setFocus();
  EXPECT_EQ(dialog.GetEditor(), nullptr);
  EXPECT_EQ(dialog.Mapping().Rows()[kPageDown].nEdited, 1u);
  EXPECT_EQ(dialog.windowTitle(), fileCaption);
  EXPECT_EQ(ActionText(dialog, kPageDown), QStringLiteral("Next Image"));
  // Saved and loaded again, then OK: the file drives the assignment.
  dialog.OpenEditor(kPageDown);
  dialog.GetEditor()->activated(2);
  chosen = CStrAW::FromPath(m_dir / "again.lkb");
  click(IDC_MAPPING_SAVE_AS);
  ASSERT_TRUE(std::filesystem::exists(m_dir / "again.lkb"));
  dialog.OpenEditor(kPageDown);
  dialog.GetEditor()->activated(3);
  click(IDC_MAPPING_LOAD);
  EXPECT_EQ(ActionText(dialog, kPageDown), QStringLiteral("Previous Image"));
  click(IDOK);
  EXPECT_EQ(m_frame->InputBinding().GetAction(kPageDown), 2u);
}

}  // namespace
