#include "viewer/geometry.h"

#include <cmath>
#include <functional>
#include <mutex>
#include <string>

#include <Magick++.h>
#include <gtest/gtest.h>

namespace {

void InitMagickOnce() {
  static std::once_flag once;
  std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

// GraphicsMagick must be ready before the record's image is made.
struct CMagickReady {
  CMagickReady() { InitMagickOnce(); }
};

// A viewer's record and geometry, with an image of the given size shown in
// a client area of the given size.
struct CView : CMagickReady {
  tagIMAGEDATA data;
  CViewGeometry geo;

  explicit CView(int nLastIndex = CViewGeometry::kLastZoomIndex) : geo(data, nLastIndex) {}

  tagFRAMEREQUEST Show(SIZE image, SIZE client, bool bLoaded = true) {
    geo.OnResize(client);
    geo.PrepareForLoad();
    data.image = Magick::Image(Magick::Geometry(image.cx, image.cy), Magick::Color("black"));
    return geo.ShowNewImage(bLoaded);
  }

  POINT Centre() const { return {data.nClientWidth / 2, data.nClientHeight / 2}; }
};

// The image point a client point shows.
struct CImagePoint {
  double x, y;
};

CImagePoint At(const CViewGeometry& geo, POINT pt) {
  CImagePoint p;
  geo.ImagePointAt(pt, &p.x, &p.y);
  return p;
}

tagGEOMETRYOPTIONS AdaptToImage() {
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = true;
  return options;
}

// --- Zoom steps ---

struct ZoomStepCase {
  const char* name;
  SIZE image;  // fitted into a square client of the given side by Best Fit
  int clientSide;
  bool bIn;
  float fFitted;
  float fExpected;
};

class ZoomStep : public ::testing::TestWithParam<ZoomStepCase> {};

TEST_P(ZoomStep, GoesToTheNeighbouringTableEntry) {
  const ZoomStepCase& c = GetParam();
  CView view;
  view.Show(c.image, {c.clientSide, c.clientSide});
  ASSERT_FLOAT_EQ(view.geo.Zoom(), c.fFitted);
  ASSERT_TRUE(view.geo.IsBestFit());

  const int result = c.bIn ? view.geo.ZoomIn(nullptr) : view.geo.ZoomOut();
  EXPECT_EQ(result, GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fExpected);
  EXPECT_FLOAT_EQ(CViewGeometry::kZoomTable[view.geo.ZoomIndex()], c.fExpected);
  EXPECT_FALSE(view.geo.IsBestFit());
  EXPECT_FALSE(view.geo.IsActualSize());
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, ZoomStep,
    ::testing::Values(ZoomStepCase{"In_037_to_04", {1000, 1000}, 370, true, 0.37f, 0.4f},
                      ZoomStepCase{"Out_037_to_03", {1000, 1000}, 370, false, 0.37f, 0.3f},
                      ZoomStepCase{"Out_02_to_01", {1000, 1000}, 200, false, 0.2f, 0.1f},
                      ZoomStepCase{"In_02_to_03", {1000, 1000}, 200, true, 0.2f, 0.3f},
                      ZoomStepCase{"In_1_to_15", {100, 100}, 400, true, 1.0f, 1.5f},
                      ZoomStepCase{"Out_1_to_08", {100, 100}, 400, false, 1.0f, 0.8f}),
    [](const auto& info) { return std::string(info.param.name); });

struct ZoomLimitCase {
  int nLastIndex;
  float fTop;
  float fBelowTop;
};

class ZoomLimits : public ::testing::TestWithParam<ZoomLimitCase> {};

TEST_P(ZoomLimits, StopAtTheLastUsableEntryAndAtTheFirst) {
  const ZoomLimitCase& c = GetParam();
  CView view(c.nLastIndex);
  view.Show({40, 30}, {400, 300});

  float previous = 0;
  int steps = 0;
  while (view.geo.ZoomIn(nullptr) == GR_CHANGED) {
    previous = view.geo.Zoom() == c.fTop ? previous : view.geo.Zoom();
    ASSERT_LT(++steps, CViewGeometry::kZoomTableSize);
  }
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fTop);
  EXPECT_FLOAT_EQ(previous, c.fBelowTop);
  EXPECT_EQ(view.geo.ZoomIndex(), c.nLastIndex);
  EXPECT_EQ(view.geo.ZoomIn(nullptr), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fTop);

  while (view.geo.ZoomOut() == GR_CHANGED) ASSERT_LT(++steps, 2 * CViewGeometry::kZoomTableSize);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.1f);
  EXPECT_EQ(view.geo.ZoomIndex(), 0);
  EXPECT_EQ(view.geo.ZoomOut(), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.1f);
}

INSTANTIATE_TEST_SUITE_P(Geometry, ZoomLimits,
                         ::testing::Values(ZoomLimitCase{CViewGeometry::kLastZoomIndex, 20, 12},
                                           ZoomLimitCase{22, 200, 160}));

TEST(Geometry, PixelZoomsActOnlyOverTheImage) {
  CView view;
  view.Show({100, 100}, {400, 300});  // drawn at 150,100 .. 250,200
  EXPECT_EQ(view.geo.ZoomInOnPixel({10, 10}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.ZoomOutOnPixel({399, 299}), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  EXPECT_TRUE(view.geo.IsBestFit());

  EXPECT_EQ(view.geo.ZoomInOnPixel({160, 110}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.5f);
  EXPECT_EQ(view.geo.ZoomOutOnPixel({200, 150}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
}

// --- Commands without an image ---

struct NeedsImageCase {
  const char* name;
  std::function<int(CViewGeometry&)> command;
  ZOOMTOOL tool;
  const char16_t* caption;
};

class NeedsImage : public ::testing::TestWithParam<NeedsImageCase> {};

TEST_P(NeedsImage, ReportsTheCommandsWarning) {
  const NeedsImageCase& c = GetParam();
  CView view;
  EXPECT_EQ(c.command(view.geo), GR_NEEDS_IMAGE);
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  const tagVIEWWARNING warning = CViewGeometry::ImageNeededWarning(c.tool);
  EXPECT_EQ(MyString(warning.pszText), MyString(u"Please Open Image First."));
  EXPECT_EQ(MyString(warning.pszCaption), MyString(c.caption));
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, NeedsImage,
    ::testing::Values(NeedsImageCase{"ZoomIn", [](CViewGeometry& g) { return g.ZoomIn(nullptr); },
                                     ZT_ZOOM_IN, u"Lorimo: ZoomIn Image Function"},
                      NeedsImageCase{"ZoomOut", [](CViewGeometry& g) { return g.ZoomOut(); },
                                     ZT_ZOOM_OUT, u"Lorimo: ZoomOut Image Function"},
                      NeedsImageCase{"ZoomInPixel",
                                     [](CViewGeometry& g) {
                                       return g.ZoomInOnPixel({1, 1});
                                     },
                                     ZT_ZOOM_IN_PIXEL, u"Lorimo: ZoomInPixel Image Function"},
                      NeedsImageCase{"ZoomOutPixel",
                                     [](CViewGeometry& g) {
                                       return g.ZoomOutOnPixel({1, 1});
                                     },
                                     ZT_ZOOM_OUT_PIXEL, u"Lorimo: ZoomOutPixel Image Function"},
                      NeedsImageCase{"Hand",
                                     [](CViewGeometry& g) {
                                       return g.HandStart({1, 1});
                                     },
                                     ZT_HAND, u"Lorimo: Hand Image Function"},
                      NeedsImageCase{"Region",
                                     [](CViewGeometry& g) {
                                       return g.RegionZoomStart({1, 1});
                                     },
                                     ZT_HAND, u"Lorimo: Hand Image Function"},
                      NeedsImageCase{"Dynamic",
                                     [](CViewGeometry& g) {
                                       return g.DynamicZoomStart({1, 1});
                                     },
                                     ZT_HAND, u"Lorimo: Hand Image Function"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Geometry, StateCommandsDoNothingWithoutAnImage) {
  CView view;
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  EXPECT_EQ(view.geo.ActualSize(), GR_UNCHANGED);
  EXPECT_FALSE(view.geo.IsActualSize());
  EXPECT_EQ(view.geo.ToggleLock(), GR_UNCHANGED);
  EXPECT_FALSE(view.geo.IsLocked());
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(view.geo.EnterFullScreen({800, 600}), GR_UNCHANGED);
  EXPECT_FALSE(view.geo.IsFullScreen());

  // The black stand-in of a failed load is no image either.
  view.Show({10, 10}, {400, 300}, false);
  EXPECT_FALSE(view.geo.HasImage());
  EXPECT_EQ(view.geo.ZoomIn(nullptr), GR_NEEDS_IMAGE);
}

// --- Zoom about a point ---

TEST(Geometry, ZoomAboutAPointTruncatesTheNewScrollPosition) {
  CView view;
  view.Show({380, 280}, {401, 301});  // margins 10.5 and 10.5, kept as 10
  ASSERT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  ASSERT_EQ(view.geo.MarginX(), 10);
  ASSERT_EQ(view.geo.MarginY(), 10);

  const POINT cursor = {201, 151};
  ASSERT_EQ(view.geo.ZoomIn(&cursor), GR_CHANGED);
  // (201 - 10) * 1.5 - 200 = 86.5 and (151 - 10) * 1.5 - 150 = 61.5
  EXPECT_EQ(view.data.nScrollX, 86);
  EXPECT_EQ(view.data.nScrollY, 61);
}

struct ZoomAboutCase {
  POINT cursor;
  bool bIn;
};

class ZoomAbout : public ::testing::TestWithParam<ZoomAboutCase> {};

TEST_P(ZoomAbout, BringsThePointUnderTheCursorToTheCentre) {
  const ZoomAboutCase& c = GetParam();
  CView view;
  view.Show({1000, 800}, {300, 200});
  ASSERT_EQ(view.geo.ActualSize(), GR_CHANGED);
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 350);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 300);

  const CImagePoint before = At(view.geo, c.cursor);
  const int result = c.bIn ? view.geo.ZoomIn(&c.cursor) : view.geo.ZoomOutOnPixel(c.cursor);
  ASSERT_EQ(result, GR_CHANGED);
  const CImagePoint after = At(view.geo, view.Centre());
  const double pixel = 1.0 / view.geo.Zoom();
  EXPECT_NEAR(after.x, before.x, pixel);
  EXPECT_NEAR(after.y, before.y, pixel);
}

INSTANTIATE_TEST_SUITE_P(Geometry, ZoomAbout,
                         ::testing::Values(ZoomAboutCase{{150, 100}, true},
                                           ZoomAboutCase{{10, 190}, true},
                                           ZoomAboutCase{{299, 3}, true},
                                           ZoomAboutCase{{120, 80}, false},
                                           ZoomAboutCase{{170, 120}, false}));

TEST(Geometry, ZoomInOffTheImageZoomsAboutTheCentre) {
  CView view;
  view.Show({1000, 800}, {300, 200});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 350);
  const CImagePoint before = At(view.geo, view.Centre());
  const POINT outside = {-5, 40};
  ASSERT_EQ(view.geo.ZoomIn(&outside), GR_CHANGED);
  const CImagePoint after = At(view.geo, view.Centre());
  EXPECT_NEAR(after.x, before.x, 1.0);
  EXPECT_NEAR(after.y, before.y, 1.0);
}

// --- Actual Size and Best Fit ---

TEST(Geometry, ActualSizeAndBestFitAreExclusiveStates) {
  CView view;
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  view.Show({800, 600}, {400, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
  EXPECT_EQ(view.geo.BestFit(), GR_UNCHANGED);  // already on

  ASSERT_EQ(view.geo.ActualSize(), GR_CHANGED);
  EXPECT_TRUE(view.geo.IsActualSize());
  EXPECT_FALSE(view.geo.IsBestFit());
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  EXPECT_EQ(view.geo.ZoomIndex(), CViewGeometry::kActualSizeIndex);
  // The image point at the centre stays there.
  EXPECT_EQ(view.data.nScrollX, 200);
  EXPECT_EQ(view.data.nScrollY, 150);
  EXPECT_EQ(view.geo.ActualSize(), GR_UNCHANGED);

  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 1);
  ASSERT_EQ(view.geo.BestFit(), GR_CHANGED);
  EXPECT_FALSE(view.geo.IsActualSize());
  EXPECT_TRUE(view.geo.IsBestFit());
  EXPECT_FALSE(view.geo.IsLocked());
  EXPECT_EQ(stored, 0);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
  EXPECT_EQ(view.geo.ZoomIndex(), 4);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.data.nScrollY, 0);
}

TEST(Geometry, BestFitShowsASmallImageAtActualSize) {
  CView view;
  view.Show({100, 80}, {400, 300});
  view.geo.ZoomIn(nullptr);
  ASSERT_FALSE(view.geo.IsBestFit());
  ASSERT_EQ(view.geo.BestFit(), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  EXPECT_EQ(view.geo.ZoomIndex(), CViewGeometry::kActualSizeIndex);
}

// --- Region zoom ---

struct RegionCase {
  const char* name;
  int nLastIndex;
  int stepsIn;  // Zoom In presses before the drag, from 1.0
  POINT from, to;
  float fExpected;
};

class RegionZoom : public ::testing::TestWithParam<RegionCase> {};

TEST_P(RegionZoom, ZoomsTheDraggedRectangleToTheWindow) {
  const RegionCase& c = GetParam();
  CView view(c.nLastIndex);
  view.Show({2000, 1500}, {400, 300});
  view.geo.ActualSize();
  for (int i = 0; i < c.stepsIn; ++i) ASSERT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);
  const POINT middle = {(c.from.x + c.to.x) / 2, (c.from.y + c.to.y) / 2};
  const CImagePoint target = At(view.geo, middle);

  ASSERT_EQ(view.geo.RegionZoomStart(c.from), GR_CHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_REGION_ZOOM);
  EXPECT_EQ(view.geo.RegionZoomStop(c.to), GR_CHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fExpected);
  const int index = view.geo.ZoomIndex();
  EXPECT_LE(CViewGeometry::kZoomTable[index], c.fExpected);
  EXPECT_GE(CViewGeometry::kZoomTable[std::min(index + 1, CViewGeometry::kZoomTableSize - 1)],
            c.fExpected);
  const CImagePoint centre = At(view.geo, view.Centre());
  EXPECT_NEAR(centre.x, target.x, 1.0);
  EXPECT_NEAR(centre.y, target.y, 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, RegionZoom,
    ::testing::Values(
        // 400 / 100 across, 300 / 50 down: the smaller ratio wins.
        RegionCase{"Fits", CViewGeometry::kLastZoomIndex, 0, {100, 100}, {200, 150}, 4.0f},
        RegionCase{"Backwards", CViewGeometry::kLastZoomIndex, 0, {200, 150}, {100, 100}, 4.0f},
        RegionCase{"FromZoomed", CViewGeometry::kLastZoomIndex, 1, {50, 50}, {250, 200}, 3.0f},
        RegionCase{
            "CappedAtTwenty", CViewGeometry::kLastZoomIndex, 0, {100, 100}, {105, 105}, 20.0f},
        RegionCase{"LargerTable", 22, 0, {100, 100}, {105, 105}, 60.0f},
        RegionCase{"CappedAtTwoHundred", 22, 6, {100, 100}, {105, 105}, 200.0f}),
    [](const auto& info) { return std::string(info.param.name); });

struct RegionClickCase {
  POINT to;
};

class RegionClick : public ::testing::TestWithParam<RegionClickCase> {};

TEST_P(RegionClick, AShortDragIsAClickZoom) {
  CView view;
  view.Show({2000, 1500}, {400, 300});
  view.geo.ActualSize();
  const POINT press = {100, 100};
  const CImagePoint target = At(view.geo, press);
  ASSERT_EQ(view.geo.RegionZoomStart(press), GR_CHANGED);
  EXPECT_EQ(view.geo.RegionZoomStop(GetParam().to), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.5f);
  const CImagePoint centre = At(view.geo, view.Centre());
  EXPECT_NEAR(centre.x, target.x, 1.0);
  EXPECT_NEAR(centre.y, target.y, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Geometry, RegionClick,
                         ::testing::Values(RegionClickCase{{104, 200}}, RegionClickCase{{96, 0}},
                                           RegionClickCase{{250, 104}},
                                           RegionClickCase{{100, 100}}));

TEST(Geometry, RegionZoomStartsOnlyOverTheImage) {
  CView view;
  view.Show({100, 100}, {400, 300});
  EXPECT_EQ(view.geo.RegionZoomStart({10, 10}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_TRUE(view.geo.IsBestFit());
  EXPECT_EQ(view.geo.RegionZoomStop({300, 250}), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
}

// --- Dynamic zoom ---

TEST(Geometry, DynamicZoomStepsAsFloatAndKeepsThePressedPoint) {
  CView view;
  view.Show({2000, 1500}, {400, 300});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 600);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 500);
  const POINT press = {120, 180};
  const CImagePoint anchor = At(view.geo, press);
  ASSERT_EQ(view.geo.DynamicZoomStart(press), GR_CHANGED);
  EXPECT_FALSE(view.geo.IsActualSize());

  // A pixel of movement is not enough.
  EXPECT_EQ(view.geo.DynamicZoomMove({120, 179}), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);

  float expected = 1.0f;
  for (int i = 0; i < 5; ++i) expected = float(expected * 1.1f);
  ASSERT_EQ(view.geo.DynamicZoomMove({120, 170}), GR_CHANGED);  // 10 up from 180
  EXPECT_FLOAT_EQ(view.geo.Zoom(), expected);
  EXPECT_EQ(view.geo.DynamicZoomDirection(), 1);
  CImagePoint now = At(view.geo, press);
  EXPECT_NEAR(now.x, anchor.x, 1.0 / view.geo.Zoom());
  EXPECT_NEAR(now.y, anchor.y, 1.0 / view.geo.Zoom());

  for (int i = 0; i < 7; ++i) expected = float(expected / 1.04f);
  ASSERT_EQ(view.geo.DynamicZoomMove({120, 174}), GR_CHANGED);  // 4 down
  EXPECT_FLOAT_EQ(view.geo.Zoom(), expected);
  EXPECT_EQ(view.geo.DynamicZoomDirection(), -1);
  now = At(view.geo, press);
  EXPECT_NEAR(now.x, anchor.x, 1.0 / view.geo.Zoom());
  EXPECT_NEAR(now.y, anchor.y, 1.0 / view.geo.Zoom());

  view.geo.DynamicZoomStop();
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_EQ(view.geo.DynamicZoomMove({120, 100}), GR_UNCHANGED);
}

TEST(Geometry, DynamicZoomStaysWithinTheTable) {
  CView view;
  view.Show({400, 300}, {400, 300});
  ASSERT_EQ(view.geo.DynamicZoomStart({200, 150}), GR_CHANGED);
  int y = 150;
  for (int i = 0; i < 40; ++i) view.geo.DynamicZoomMove({200, y -= 30});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 20.0f);
  EXPECT_EQ(view.geo.DynamicZoomMove({200, y -= 30}), GR_UNCHANGED);

  for (int i = 0; i < 40; ++i) view.geo.DynamicZoomMove({200, y += 30});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.1f);
  EXPECT_EQ(view.geo.DynamicZoomMove({200, y += 30}), GR_UNCHANGED);
  view.geo.DynamicZoomStop();

  // The stepping commands go on from where the drag left the factor.
  EXPECT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.2f);
}

TEST(Geometry, ZoomInWorksAgainAfterDynamicZoomLeftTheTop) {
  CView view;
  view.Show({400, 300}, {400, 300});
  while (view.geo.ZoomIn(nullptr) == GR_CHANGED) {
  }
  ASSERT_FLOAT_EQ(view.geo.Zoom(), 20.0f);
  ASSERT_EQ(view.geo.DynamicZoomStart({200, 150}), GR_CHANGED);
  int y = 150;
  while (view.geo.Zoom() > 1.0f) view.geo.DynamicZoomMove({200, y += 20});
  view.geo.DynamicZoomStop();
  const float dragged = view.geo.Zoom();
  EXPECT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);
  EXPECT_GT(view.geo.Zoom(), dragged);
}

// --- Scrolling and the hand ---

TEST(Geometry, ScrollBarsFollowTheZoomedImage) {
  CView view;
  view.Show({1000, 500}, {400, 300});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_TOP);
  tagSCROLLBARINFO bar = view.geo.ScrollBar(SBI_HORZ);
  EXPECT_EQ(bar.nLength, 1000);
  EXPECT_EQ(bar.nPage, 400);
  EXPECT_EQ(bar.nLine, 25);
  EXPECT_EQ(bar.nMaxPos, 600);

  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_LINE_DOWN), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 25);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_PAGE_DOWN), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 425);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_PAGE_DOWN), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 600);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_LINE_DOWN), GR_UNCHANGED);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_THUMB, 123), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 123);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_THUMB, -50), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_LINE_UP), GR_UNCHANGED);
  EXPECT_EQ(view.geo.Scroll(SBI_HORZ, SA_BOTTOM), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 600);

  bar = view.geo.ScrollBar(SBI_VERT);
  EXPECT_EQ(bar.nLength, 500);
  EXPECT_EQ(bar.nMaxPos, 200);
  EXPECT_EQ(view.geo.Scroll(SBI_VERT, SA_PAGE_DOWN), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollY, 200);

  // A window smaller than 16 pixels still scrolls by lines.
  view.geo.OnResize({10, 10});
  EXPECT_EQ(view.geo.ScrollBar(SBI_HORZ).nLine, 1);
  // A zoomed-out image that fits leaves nothing to scroll.
  view.geo.OnResize({400, 300});
  for (int i = 0; i < 4; ++i) view.geo.ZoomOut();  // 0.4: 400 x 200
  EXPECT_EQ(view.geo.ScrollBar(SBI_HORZ).nMaxPos, 0);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.data.nScrollY, 0);
}

TEST(Geometry, HandScrollsAgainstTheMouseWithinTheBars) {
  CView view;
  view.Show({1000, 500}, {400, 300});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_TOP);
  view.geo.Scroll(SBI_VERT, SA_TOP);
  EXPECT_EQ(view.geo.HandMove({10, 10}), GR_UNCHANGED);  // not started

  ASSERT_EQ(view.geo.HandStart({200, 150}), GR_CHANGED);
  EXPECT_EQ(view.geo.HandMove({170, 130}), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 30);
  EXPECT_EQ(view.data.nScrollY, 20);
  EXPECT_EQ(view.geo.HandMove({-1000, -1000}), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 600);
  EXPECT_EQ(view.data.nScrollY, 200);
  EXPECT_EQ(view.geo.HandMove({-1100, -1100}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.HandMove({5000, 5000}), GR_CHANGED);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.data.nScrollY, 0);
  view.geo.HandStop();
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
}

// --- Fit rules ---

enum ImageKind { kSmall, kLarge };

struct FitCase {
  VIEWRULE rule;
  bool bEnlarge;
  bool bShrink;
  ImageKind kind;
};

std::string FitCaseName(const ::testing::TestParamInfo<FitCase>& info) {
  const FitCase& c = info.param;
  const char* rule = c.rule == VR_ADAPT_TO_IMAGE    ? "Image"
                     : c.rule == VR_ADAPT_TO_WINDOW ? "Window"
                                                    : "Screen";
  return std::string(rule) + (c.bEnlarge ? "_Enlarge" : "") + (c.bShrink ? "_Shrink" : "") +
         (c.kind == kSmall ? "_SmallImage" : "_LargeImage");
}

class FitRules : public ::testing::TestWithParam<FitCase> {};

// Every rule has 400 x 400 pixels to offer: a small image could grow to
// 4 times, a large one must shrink to half.
TEST_P(FitRules, EnlargeAndShrinkOptions) {
  const FitCase& c = GetParam();
  const SIZE image = c.kind == kSmall ? SIZE{100, 50} : SIZE{800, 400};
  const float f = c.kind == kSmall ? 4.0f : 0.5f;
  float expected = 1.0f;
  if (c.bEnlarge && c.bShrink) expected = f;
  if (c.bEnlarge && !c.bShrink && c.kind == kSmall) expected = f;
  if (!c.bEnlarge && c.bShrink && c.kind == kLarge) expected = f;

  CView view;
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = c.rule == VR_ADAPT_TO_IMAGE;
  options.bEnlargeAI = options.bEnlargeAW = options.bEnlargeFS = c.bEnlarge;
  options.bShrinkAI = options.bShrinkAW = options.bShrinkFS = c.bShrink;
  view.geo.SetOptions(options);
  tagWINDOWMETRICS metrics{};
  metrics.rcWorkArea = {0, 0, 614, 444};  // less frame, panes and border: 400 x 400
  metrics.rcWindow = {0, 0, 500, 400};
  metrics.szFrame = {10, 40};
  metrics.szPanes = {200, 0};
  view.geo.SetWindowMetrics(metrics);

  switch (c.rule) {
    case VR_ADAPT_TO_IMAGE:
      view.Show(image, {300, 200});
      break;
    case VR_ADAPT_TO_WINDOW:
      view.Show(image, {400, 400});
      ASSERT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);  // Best Fit off
      view.geo.ApplyRule();
      break;
    case VR_FULL_SCREEN:
      view.Show(image, {300, 200});
      ASSERT_EQ(view.geo.EnterFullScreen({400, 400}), GR_CHANGED);
      break;
  }
  EXPECT_EQ(view.geo.RuleInForce(), c.rule);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), expected);
}

std::vector<FitCase> AllFitCases() {
  std::vector<FitCase> cases;
  for (VIEWRULE rule : {VR_ADAPT_TO_IMAGE, VR_ADAPT_TO_WINDOW, VR_FULL_SCREEN})
    for (bool enlarge : {false, true})
      for (bool shrink : {false, true})
        for (ImageKind kind : {kSmall, kLarge}) cases.push_back({rule, enlarge, shrink, kind});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Geometry, FitRules, ::testing::ValuesIn(AllFitCases()), FitCaseName);

TEST(Geometry, AdaptToImageWithoutOptionsKeepsTheFactor) {
  CView view;
  tagGEOMETRYOPTIONS options = AdaptToImage();
  view.geo.SetOptions(options);
  view.Show({800, 400}, {300, 200});
  view.geo.ZoomIn(nullptr);
  ASSERT_FLOAT_EQ(view.geo.Zoom(), 1.5f);
  view.geo.ApplyRule();
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.5f);
}

TEST(Geometry, BestFitShrinksToTheWindowWhateverTheOptions) {
  CView view;
  tagGEOMETRYOPTIONS options;
  options.bShrinkAW = false;
  view.geo.SetOptions(options);
  view.Show({800, 600}, {400, 300});
  EXPECT_TRUE(view.geo.IsBestFit());
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
  // A small image is not enlarged without the option.
  view.Show({100, 75}, {400, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
}

TEST(Geometry, ResizingRefitsOnlyWhileBestFitIsOn) {
  CView view;
  view.Show({800, 600}, {400, 300});
  ASSERT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
  view.geo.OnResize({200, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.25f);
  EXPECT_EQ(view.data.nClientWidth, 200);

  view.geo.ZoomIn(nullptr);  // 0.3, Best Fit off
  view.geo.Scroll(SBI_HORZ, SA_BOTTOM);
  ASSERT_EQ(view.data.nScrollX, 240 - 200);
  view.geo.OnResize({220, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.3f);
  EXPECT_EQ(view.data.nScrollX, 240 - 220);  // clamped by the bar
}

struct PlacementCase {
  const char* name;
  bool bCenter;
  RECT rcWindow;
  SIZE image;
  RECT rcExpected;
};

class AdaptToImageWindow : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(AdaptToImageWindow, AsksForAWindowAroundTheImage) {
  const PlacementCase& c = GetParam();
  CView view;
  tagGEOMETRYOPTIONS options = AdaptToImage();
  options.bCenterToScreen = c.bCenter;
  view.geo.SetOptions(options);
  tagWINDOWMETRICS metrics{};
  metrics.rcWorkArea = {0, 0, 1920, 1080};
  metrics.rcWindow = c.rcWindow;
  metrics.szFrame = {10, 40};
  metrics.szPanes = {200, 0};
  metrics.szScrollBars = {15, 15};
  view.geo.SetWindowMetrics(metrics);

  const tagFRAMEREQUEST request = view.Show(c.image, {300, 200});
  ASSERT_TRUE(request.bPlace);
  EXPECT_EQ(request.rcWindow.left, c.rcExpected.left);
  EXPECT_EQ(request.rcWindow.top, c.rcExpected.top);
  EXPECT_EQ(request.rcWindow.right, c.rcExpected.right);
  EXPECT_EQ(request.rcWindow.bottom, c.rcExpected.bottom);
  EXPECT_EQ(request.szClient.cx, c.rcExpected.right - c.rcExpected.left - 10);
  EXPECT_EQ(request.szClient.cy, c.rcExpected.bottom - c.rcExpected.top - 40);
}

// Client: at least 450, panes + scroll bar + image otherwise, plus 4; the
// frame adds 10 x 40.
INSTANTIATE_TEST_SUITE_P(
    Geometry, AdaptToImageWindow,
    ::testing::Values(
        PlacementCase{"SmallKeepsCorner",
                      false,
                      {100, 50, 600, 450},
                      {100, 50},
                      {100, 50, 100 + 464, 50 + 494}},
        PlacementCase{
            "SmallCentred", true, {100, 50, 600, 450}, {100, 50}, {728, 293, 728 + 464, 293 + 494}},
        PlacementCase{
            "Wide", false, {100, 50, 600, 450}, {1000, 600}, {100, 50, 100 + 1229, 50 + 659}},
        PlacementCase{"PushedBackInside",
                      false,
                      {1700, 50, 1900, 450},
                      {100, 50},
                      {1920 - 464, 50, 1920, 50 + 494}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Geometry, AdaptToWindowCentresOnlyWhenAsked) {
  CView view;
  tagWINDOWMETRICS metrics{};
  metrics.rcWorkArea = {0, 0, 1000, 800};
  metrics.rcWindow = {10, 20, 510, 420};
  view.geo.SetWindowMetrics(metrics);
  EXPECT_FALSE(view.Show({100, 100}, {400, 300}).bPlace);

  tagGEOMETRYOPTIONS options;
  options.bCenterToScreen = true;
  view.geo.SetOptions(options);
  const tagFRAMEREQUEST request = view.Show({100, 100}, {400, 300});
  ASSERT_TRUE(request.bPlace);
  EXPECT_EQ(request.rcWindow.left, 250);
  EXPECT_EQ(request.rcWindow.top, 200);
  EXPECT_EQ(request.rcWindow.right, 750);
  EXPECT_EQ(request.rcWindow.bottom, 600);
}

// --- Lock Zoom and Scroll ---

TEST(Geometry, LockKeepsFactorAndScrollAcrossANewImage) {
  CView view;
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  view.Show({2000, 1500}, {400, 300});
  view.geo.ZoomIn(nullptr);
  view.geo.ZoomIn(nullptr);
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 70);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 40);
  const float zoom = view.geo.Zoom();
  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 1);

  view.Show({2000, 1500}, {400, 300});
  EXPECT_TRUE(view.geo.IsLocked());
  EXPECT_FLOAT_EQ(view.geo.Zoom(), zoom);
  EXPECT_EQ(view.data.nScrollX, 70);
  EXPECT_EQ(view.data.nScrollY, 40);
  EXPECT_EQ(view.geo.ZoomIndex(), CViewGeometry::kActualSizeIndex);

  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 0);
  view.Show({2000, 1500}, {400, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.2f);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.data.nScrollY, 0);
}

TEST(Geometry, AnimationForcesTheLockWithoutStoringIt) {
  CView view;
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  view.Show({800, 600}, {400, 300});
  view.geo.SetLockForced(true);
  EXPECT_TRUE(view.geo.IsLocked());
  EXPECT_EQ(stored, 0);
  view.geo.OnResize({200, 150});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);  // not refitted while locked
  view.geo.SetLockForced(false);
  EXPECT_FALSE(view.geo.IsLocked());
}

TEST(Geometry, NewImageResetsTheUndoState) {
  CView view;
  view.Show({40, 30}, {400, 300});
  view.data.pUndoImage = std::make_unique<Magick::Image>(view.data.image);
  view.data.bUndoAvailable = true;
  view.geo.PrepareForLoad();
  EXPECT_EQ(view.data.pUndoImage, nullptr);
  EXPECT_FALSE(view.data.bUndoAvailable);
  EXPECT_FALSE(view.data.bRedoAvailable);
}

// --- Full screen ---

struct FullScreenCase {
  const char* name;
  bool bRestoreFS;
  bool bAdaptToImage;
  float fAfter;
  int nIndexAfter;
};

class LeaveFullScreen : public ::testing::TestWithParam<FullScreenCase> {};

TEST_P(LeaveFullScreen, RestoresTheWindowRuleOnlyWhenAsked) {
  const FullScreenCase& c = GetParam();
  CView view;
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = c.bAdaptToImage;
  options.bEnlargeFS = true;
  options.bRestoreFS = c.bRestoreFS;
  view.geo.SetOptions(options);
  tagWINDOWMETRICS metrics{};
  metrics.rcWorkArea = {0, 0, 1920, 1080};
  metrics.rcWindow = {0, 0, 1000, 700};
  view.geo.SetWindowMetrics(metrics);
  view.Show({800, 600}, {400, 300});
  ASSERT_FLOAT_EQ(view.geo.Zoom(), c.bAdaptToImage ? 1.0f : 0.5f);

  ASSERT_EQ(view.geo.EnterFullScreen({1600, 1200}), GR_CHANGED);
  EXPECT_TRUE(view.geo.IsFullScreen());
  EXPECT_EQ(view.geo.RuleInForce(), VR_FULL_SCREEN);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 2.0f);
  EXPECT_EQ(view.geo.ZoomIndex(), 9);  // the first entry not below 2

  view.geo.LeaveFullScreen({400, 300});
  EXPECT_FALSE(view.geo.IsFullScreen());
  EXPECT_EQ(view.geo.RuleInForce(), c.bAdaptToImage ? VR_ADAPT_TO_IMAGE : VR_ADAPT_TO_WINDOW);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fAfter);
  EXPECT_EQ(view.geo.ZoomIndex(), c.nIndexAfter);  // the first entry above the factor
}

INSTANTIATE_TEST_SUITE_P(
    Geometry, LeaveFullScreen,
    ::testing::Values(FullScreenCase{"KeepsTheFullScreenFactor", false, false, 2.0f, 10},
                      FullScreenCase{"RefitsToTheWindow", true, false, 0.5f, 5},
                      FullScreenCase{"AdaptToImageStartsAtOne", true, true, 1.0f, 8}),
    [](const auto& info) { return std::string(info.param.name); });

struct EnterCase {
  const char* name;
  bool bApplyFS;
  bool bBestFit;
  float fAfter;
};

class EnterFullScreen : public ::testing::TestWithParam<EnterCase> {};

TEST_P(EnterFullScreen, FitsWithApplyOrBestFit) {
  const EnterCase& c = GetParam();
  CView view;
  tagGEOMETRYOPTIONS options;
  options.bApplyFS = c.bApplyFS;
  view.geo.SetOptions(options);
  view.Show({2000, 1000}, {4000, 2000});  // Best Fit on, 1.0
  if (!c.bBestFit) view.geo.ActualSize();
  ASSERT_EQ(view.geo.EnterFullScreen({1000, 800}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fAfter);
  EXPECT_EQ(view.data.nClientWidth, 1000);
  EXPECT_EQ(view.data.nClientHeight, 800);
}

INSTANTIATE_TEST_SUITE_P(Geometry, EnterFullScreen,
                         ::testing::Values(EnterCase{"Apply", true, false, 0.5f},
                                           EnterCase{"BestFit", false, true, 0.5f},
                                           EnterCase{"Neither", false, false, 1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Geometry, NewImageInFullScreenUsesTheScreenRule) {
  CView view;
  view.Show({400, 300}, {400, 300});
  ASSERT_EQ(view.geo.EnterFullScreen({800, 600}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);  // not enlarged by default
  view.Show({1600, 600}, {800, 600});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
}

}  // namespace
