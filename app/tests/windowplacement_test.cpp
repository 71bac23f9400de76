#include "shell/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "testsupport/testsupport.h"

namespace {

class WindowPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_store = std::make_unique<CRegistryStore>(
        CStrAW::FromPath(testsupport::NewTempDir("winpos") / "registry.reg"));
  }
  CRegistry WinPos() {
    return CRegistry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo\\WinPos", true, m_store.get());
  }
  std::unique_ptr<CRegistryStore> m_store;
};

TEST_F(WindowPlacementTest, FirstStartIsTheDefaultRectangleMaximized) {
  const tagMAINWINPOS placement = CWindowPlacement(m_store.get()).Load();
  EXPECT_EQ(placement.nProp, (std::array<int32_t, 7>{0, 0, 990, 500, 0, 0, 0}));
  EXPECT_FALSE(placement.bStored);
  EXPECT_TRUE(placement.ShowMaximized());
}

TEST_F(WindowPlacementTest, ValueNamesAndSavedRectangle) {
  CWindowPlacement placement(m_store.get());
  tagMAINWINPOS previous;
  previous.nProp[6] = 9;
  ASSERT_EQ(placement.Save({40, 30, 800, 600, false, false}, previous), 1);
  int32_t value = -1;
  const char16_t* names[7] = {u"Prop 0Main Win", u"Prop 1Main Win", u"Prop 2Main Win",
                              u"Prop 3Main Win", u"Prop 4Main Win", u"Prop 5Main Win",
                              u"Prop 6Main Win"};
  const int32_t expected[7] = {40, 30, 800, 600, 0, 0, 9};
  for (int n = 0; n < 7; ++n) {
    ASSERT_TRUE(WinPos().GetValue(names[n], value)) << n;
    EXPECT_EQ(value, expected[n]) << n;
  }
  EXPECT_EQ(WinPos().GetValueType(u"Maximized"), uint32_t(REG_NONE));
  const tagMAINWINPOS loaded = placement.Load();
  EXPECT_TRUE(loaded.bStored);
  EXPECT_FALSE(loaded.ShowMaximized());
  EXPECT_EQ(loaded.Width(), 800);
}

struct SaveCase {
  const char* name;
  tagWINDOWSTATE state;
  bool writesRectangle;
  int maximized;  // -1 deleted, 1 written, 0 left as it was
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class PlacementSaveRule : public WindowPlacementTest,
                          public ::testing::WithParamInterface<SaveCase> {};

TEST_P(PlacementSaveRule, WritesWhatTheStateAllows) {
  {
    CRegistry key = WinPos();
    key.SetValue(u"Prop 2Main Win", int32_t(111));
    key.SetValue(u"Maximized", uint32_t(7));
  }
  CWindowPlacement(m_store.get()).Save(GetParam().state, tagMAINWINPOS());
  int32_t width = 0;
  WinPos().GetValue(u"Prop 2Main Win", width);
  EXPECT_EQ(width, GetParam().writesRectangle ? GetParam().state.nWidth : 111);
  uint32_t maximized = 0;
  const bool present = WinPos().GetValue(u"Maximized", maximized);
  if (GetParam().maximized < 0) {
    EXPECT_FALSE(present);
  } else {
    EXPECT_EQ(maximized, GetParam().maximized > 0 ? 1u : 7u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, PlacementSaveRule,
    ::testing::Values(SaveCase{"Normal", {10, 20, 700, 400, false, false}, true, -1},
                      // Negative positions are a window on a screen left of the main one.
                      SaveCase{"LeftScreen", {-1200, 0, 700, 400, false, false}, true, -1},
                      SaveCase{"Maximized", {10, 20, 640, 480, true, false}, true, 1},
                      SaveCase{"Minimized", {10, 20, 640, 480, false, true}, false, 0},
                      SaveCase{"MinimizedFromMaximized", {10, 20, 640, 480, true, true}, true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadRectangleCase {
  const char* name;
  std::array<int32_t, 4> rect;
};

void PrintTo(const BadRectangleCase& c, std::ostream* os) { *os << c.name; }

class PlacementBadRectangle : public WindowPlacementTest,
                              public ::testing::WithParamInterface<BadRectangleCase> {};

TEST_P(PlacementBadRectangle, KeepsTheDefaultsAsAWhole) {
  {
    CRegistry key = WinPos();
    for (int n = 0; n < 4; ++n)
      key.SetValue(CStrAW::printf(u"Prop %dMain Win", n), GetParam().rect[size_t(n)]);
  }
  const tagMAINWINPOS loaded = CWindowPlacement(m_store.get()).Load();
  EXPECT_EQ(loaded.Left(), 0);
  EXPECT_EQ(loaded.Width(), 990);
  EXPECT_EQ(loaded.Height(), 500);
}

INSTANTIATE_TEST_SUITE_P(Values, PlacementBadRectangle,
                         ::testing::Values(BadRectangleCase{"ZeroWidth", {5, 5, 0, 300}},
                                           BadRectangleCase{"NegativeHeight", {5, 5, 300, -2}},
                                           BadRectangleCase{"FarAway", {5, 900000, 300, 300}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Maximized at exit: back maximized, and un-maximizing gives the size the
// window had before it was maximized.
TEST_F(WindowPlacementTest, MaximizedWindowRestoresItsEarlierSize) {
  CWindowPlacement placement(m_store.get());
  {
    QWidget window;
    window.setGeometry(60, 50, 420, 310);
    window.show();
    window.showMaximized();
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.isMaximized(); }));
    const tagWINDOWSTATE state = CaptureWindowState(&window);
    EXPECT_TRUE(state.bMaximized);
    ASSERT_EQ(placement.Save(state, tagMAINWINPOS()), 1);
  }
  const tagMAINWINPOS loaded = placement.Load();
  EXPECT_TRUE(loaded.ShowMaximized());
  QWidget window;
  ApplyWindowPlacement(&window, loaded);
  window.show();
  ASSERT_TRUE(testsupport::WaitFor([&] { return window.isMaximized(); }));
  window.showNormal();
  ASSERT_TRUE(testsupport::WaitFor([&] { return !window.isMaximized(); }));
  EXPECT_EQ(window.geometry().size(), QSize(420, 310));
}

TEST_F(WindowPlacementTest, PlacementOffEveryScreenComesBackIntoView) {
  tagMAINWINPOS placement;
  placement.bStored = true;
  placement.nProp = {20000, 20000, 400, 300, 0, 0, 0};
  QWidget window;
  ApplyWindowPlacement(&window, placement);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.intersects(window.geometry()));
  EXPECT_EQ(window.geometry().size(), QSize(400, 300));
  EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMaximized));
}

}  // namespace
