// The mappings dialog's working copy: presets, files, the stored source and
// the caption, and what OK hands to the program.
#include "shell/inputmapping.h"

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "shell/inputbinding.h"
#include "testsupport/testsupport.h"

namespace {

constexpr int kBackSpace = 7;
constexpr int kHome = 8;
constexpr int kCharC = 11;
constexpr int kCtrlL = 27;
constexpr int kAltLeft = 29;
constexpr int kLeftButton = 32;
constexpr int kRollerDown = 35;
constexpr int kRollerUp = 36;

TEST(InputMapping, PresetsOverACustomAssignmentKeepTheRowsTheyLeaveAlone) {
  CInputBinding binding;
  CInputMapping mapping(binding);
  ASSERT_EQ(mapping.SetEdited(kCtrlL, 28), 1);     // Undo
  ASSERT_EQ(mapping.SetEdited(kAltLeft, 19), 1);   // Exit Application
  ASSERT_EQ(mapping.SetEdited(kBackSpace, 0), 1);  // No Action
  ASSERT_EQ(mapping.SetEdited(kRollerUp, 11), 1);  // Rotate 180
  // Only the choosable actions: no release companion, nothing past a table.
  EXPECT_EQ(mapping.SetEdited(kLeftButton, 26), 0);
  EXPECT_EQ(mapping.SetEdited(kRollerDown, 16), 0);
  EXPECT_EQ(mapping.SetEdited(kCtrlL, 34), 0);

  mapping.ApplyPreset(MP_IRFANVIEW);
  const KeyMapRows& rows = mapping.Rows();
  EXPECT_EQ(rows[kCtrlL].nEdited, 28u);
  EXPECT_EQ(rows[kAltLeft].nEdited, 19u);
  EXPECT_EQ(rows[kBackSpace].nEdited, 2u);  // Previous Image
  EXPECT_EQ(rows[kHome].nEdited, 7u);       // Scroll Left
  EXPECT_EQ(rows[kCharC].nEdited, 0u);
  EXPECT_EQ(rows[kRollerDown].nEdited, 2u);
  EXPECT_EQ(rows[kRollerUp].nEdited, 1u);
  // A preset changes the working copy only.
  EXPECT_EQ(rows[kBackSpace].nApplied, 16u);
  EXPECT_EQ(binding.GetAction(kBackSpace), 16u);

  // The default puts the Alt keys back but not Ctrl+L.
  mapping.ApplyPreset(MP_LORIMO_DEFAULT);
  EXPECT_EQ(rows[kAltLeft].nEdited, 2u);
  EXPECT_EQ(rows[kCtrlL].nEdited, 28u);
  EXPECT_EQ(rows[kBackSpace].nEdited, 16u);
  mapping.ApplyPreset(MP_WINDOWS);
  EXPECT_EQ(rows[16].nEdited, 1u);  // Enter: Next Image
  EXPECT_EQ(rows[kRollerDown].nEdited, 15u);
  mapping.ApplyPreset(MP_ACDSEE);
  EXPECT_EQ(rows[16].nEdited, 17u);  // back to Flip Full Screen
  EXPECT_EQ(rows[kRollerDown].nEdited, 1u);
  EXPECT_EQ(rows[kRollerUp].nEdited, 2u);

  // OK: the edited choices are applied, stored for the exit save and bound.
  CMappingValues stored;
  mapping.Accept(stored, binding);
  EXPECT_EQ(binding.GetAction(kCtrlL), 28u);
  EXPECT_EQ(binding.GetPressAction(kCtrlL), (tagINPUTACTION{IA_COMMAND, 300}));
  EXPECT_EQ(stored.Get(kRollerDown), std::optional<uint32_t>(1u));
  EXPECT_EQ(mapping.Rows()[kCtrlL].nApplied, 28u);
}

TEST(InputMapping, FileFillsTheWorkingCopyOnlyAndAnUnreadableOneChangesNothing) {
  const auto dir = testsupport::NewTempDir("mapping");
  const MyString path = CStrAW::FromPath(dir / "fingers.lkb");
  CInputBinding binding;
  {
    CInputMapping mapping(binding);
    mapping.SetEdited(kLeftButton, 20);  // Hand, not applied
    ASSERT_EQ(mapping.SaveFile(path), 1);
  }
  CInputMapping mapping(binding);
  ASSERT_EQ(mapping.LoadFile(path), 1);
  EXPECT_EQ(mapping.Rows()[kLeftButton], (tagKEYMAPROW{1, 20}));
  EXPECT_EQ(binding.GetAction(kLeftButton), 1u);

  const KeyMapRows before = mapping.Rows();
  MyString error;
  EXPECT_EQ(mapping.LoadFile(CStrAW::FromPath(dir / "none.lkb"), &error), 0);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_EQ(mapping.Rows(), before);
}

TEST(InputMapping, SourceIsStoredAtOnceAndNamesTheCaption) {
  const auto dir = testsupport::NewTempDir("mapping");
  const MyString registryPath = CStrAW::FromPath(dir / "registry.reg");
  {
    CRegistryStore store(registryPath);
    const tagMAPPINGSOURCE none = tagMAPPINGSOURCE::Load(store);
    EXPECT_EQ(none.nType, MT_NONE);
    EXPECT_EQ(CInputMapping::Caption(none), u"Keyboard and Mouse Mappings");
    const tagMAPPINGSOURCE file{u"/home/ann/keys/my fingers.lkb", MT_FILE};
    ASSERT_EQ(file.Store(store), 1);
    // Flushed at once: another reader sees it while this store lives.
    CRegistryStore other(registryPath);
    const tagMAPPINGSOURCE read = tagMAPPINGSOURCE::Load(other);
    EXPECT_EQ(read.strFile, file.strFile);
    EXPECT_EQ(read.nType, MT_FILE);
    EXPECT_EQ(CInputMapping::Caption(read),
              u"Keyboard and Mouse Mappings: Using File Settings (/home/ann/keys/my fingers.lkb)");
  }
  const std::pair<int32_t, const char16_t*> captions[] = {
      {MT_DEFAULT, u"Keyboard and Mouse Mappings: Using Default Setting"},
      {MT_CUSTOM, u"Keyboard and Mouse Mappings: Using Custom Settings"},
      {MT_ACDSEE, u"Keyboard and Mouse Mappings: Using ACDSee Settings"},
      {MT_IRFANVIEW, u"Keyboard and Mouse Mappings: Using IrfanView Settings"},
      {MT_WINDOWS, u"Keyboard and Mouse Mappings: Using Windows Settings"},
      {MT_UNKNOWN, u"Keyboard and Mouse Mappings"},
      {7, u"Keyboard and Mouse Mappings"},
  };
  for (const auto& [type, caption] : captions)
    EXPECT_EQ(CInputMapping::Caption({u"x.lkb", type}), caption) << type;
}

TEST(InputMapping, MenuLabelsNameTheLastKeyOfEachCommand) {
  CInputBinding binding;
  CMappingValues stored;
  stored.Set(1, 9);  // Page Up: Rotate Right, before "Character: r"
  stored.Set(kCtrlL, 28);
  binding.Apply(stored);
  const std::map<int, MyString> labels = CInputMapping::MenuLabels(binding);
  EXPECT_EQ(labels.at(13), u"Rotate Right\tCharacter: r");
  EXPECT_EQ(labels.at(300), u"Undo\tCtrl+L");  // Ctrl+Z comes earlier
  EXPECT_EQ(labels.at(195), u"Next Image\tAlt+Arrow Right");
  EXPECT_EQ(labels.at(7), u"Exit Application");  // no key runs it
  EXPECT_EQ(labels.at(3042), u"Lock Zoom and Scroll");
  EXPECT_EQ(labels.count(193), 1u);
  EXPECT_EQ(labels.size(), 27u);  // the menu commands of the keyboard table
}

}  // namespace
