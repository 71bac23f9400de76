#include "viewer/geometry.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <Magick++.h>
#include <gtest/gtest.h>

namespace {

// GraphicsMagick must be ready before the record's image is made.
struct CMagickReady {
  CMagickReady() {
    static std::once_flag once;
    std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
  }
};

// A viewer's record and geometry showing an image in a client area.
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
  // The image point under a client point.
  std::pair<double, double> At(POINT pt) const {
    double x, y;
    geo.ImagePointAt(pt, &x, &y);
    return {x, y};
  }
  void ExpectAtCentre(std::pair<double, double> imagePoint, double tolerance) const {
    const auto centre = At(Centre());
    EXPECT_NEAR(centre.first, imagePoint.first, tolerance);
    EXPECT_NEAR(centre.second, imagePoint.second, tolerance);
  }
};

template <typename T>
std::string CaseName(const ::testing::TestParamInfo<T>& info) {
  return info.param.name;
}

// --- Zoom steps and limits ---

struct ZoomStepCase {
  const char* name;
  int imageSide, clientSide;  // square, fitted by Best Fit
  bool bIn;
  float fFitted, fExpected;
};

class ZoomStep : public ::testing::TestWithParam<ZoomStepCase> {};

TEST_P(ZoomStep, GoesToTheNeighbouringTableEntry) {
  const ZoomStepCase& c = GetParam();
  CView view;
  view.Show({c.imageSide, c.imageSide}, {c.clientSide, c.clientSide});
  ASSERT_FLOAT_EQ(view.geo.Zoom(), c.fFitted);
  EXPECT_EQ(c.bIn ? view.geo.ZoomIn(nullptr) : view.geo.ZoomOut(), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fExpected);
  EXPECT_FLOAT_EQ(CViewGeometry::kZoomTable[view.geo.ZoomIndex()], c.fExpected);
  EXPECT_FALSE(view.geo.IsBestFit());
}

INSTANTIATE_TEST_SUITE_P(Geometry, ZoomStep,
                         ::testing::Values(ZoomStepCase{"In037", 1000, 370, true, 0.37f, 0.4f},
                                           ZoomStepCase{"Out037", 1000, 370, false, 0.37f, 0.3f},
                                           ZoomStepCase{"Out02", 1000, 200, false, 0.2f, 0.1f},
                                           ZoomStepCase{"In1", 100, 400, true, 1.0f, 1.5f},
                                           ZoomStepCase{"Out1", 100, 400, false, 1.0f, 0.8f}),
                         CaseName<ZoomStepCase>);

struct ZoomLimitCase {
  const char* name;
  int nLastIndex;
  float fTop, fBelowTop;
};

class ZoomLimits : public ::testing::TestWithParam<ZoomLimitCase> {};

TEST_P(ZoomLimits, StopAtTheLastUsableEntryAndAtTheFirst) {
  const ZoomLimitCase& c = GetParam();
  CView view(c.nLastIndex);
  view.Show({40, 30}, {400, 300});
  std::vector<float> steps;
  while (view.geo.ZoomIn(nullptr) == GR_CHANGED) steps.push_back(view.geo.Zoom());
  ASSERT_GE(steps.size(), 2u);
  EXPECT_FLOAT_EQ(steps.back(), c.fTop);
  EXPECT_FLOAT_EQ(steps[steps.size() - 2], c.fBelowTop);
  EXPECT_EQ(view.geo.ZoomIndex(), c.nLastIndex);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fTop);  // the last press did nothing

  while (view.geo.ZoomOut() == GR_CHANGED) {
  }
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.1f);
  EXPECT_EQ(view.geo.ZoomIndex(), 0);
}

INSTANTIATE_TEST_SUITE_P(Geometry, ZoomLimits,
                         ::testing::Values(ZoomLimitCase{"ThisSystem", 15, 20, 12},
                                           ZoomLimitCase{"LargerTable", 22, 200, 160}),
                         CaseName<ZoomLimitCase>);

TEST(Geometry, CommandsWithoutAnImage) {
  struct {
    std::function<int(CViewGeometry&)> command;
    ZOOMTOOL tool;
    const char16_t* caption;
  } const cases[] = {
      {[](CViewGeometry& g) { return g.ZoomIn(nullptr); }, ZT_ZOOM_IN,
       u"Lorimo: ZoomIn Image Function"},
      {[](CViewGeometry& g) { return g.ZoomOut(); }, ZT_ZOOM_OUT,
       u"Lorimo: ZoomOut Image Function"},
      {[](CViewGeometry& g) {
         return g.ZoomInOnPixel({1, 1});
       },
       ZT_ZOOM_IN_PIXEL, u"Lorimo: ZoomInPixel Image Function"},
      {[](CViewGeometry& g) {
         return g.ZoomOutOnPixel({1, 1});
       },
       ZT_ZOOM_OUT_PIXEL, u"Lorimo: ZoomOutPixel Image Function"},
      {[](CViewGeometry& g) {
         return g.HandStart({1, 1});
       },
       ZT_HAND, u"Lorimo: Hand Image Function"},
      {[](CViewGeometry& g) {
         return g.RegionZoomStart({1, 1});
       },
       ZT_HAND, u"Lorimo: Hand Image Function"},
      {[](CViewGeometry& g) {
         return g.DynamicZoomStart({1, 1});
       },
       ZT_HAND, u"Lorimo: Hand Image Function"},
  };
  CView view;
  view.Show({10, 10}, {400, 300}, false);  // the black stand-in of a failed load
  for (const auto& c : cases) {
    EXPECT_EQ(c.command(view.geo), GR_NEEDS_IMAGE) << MyString(c.caption).ToUtf8();
    EXPECT_EQ(view.geo.DragTool(), DT_NONE);
    const tagVIEWWARNING warning = CViewGeometry::ImageNeededWarning(c.tool);
    EXPECT_EQ(MyString(warning.pszText), MyString(u"Please Open Image First."));
    EXPECT_EQ(MyString(warning.pszCaption), MyString(c.caption));
  }
  // The state commands and full screen quietly do nothing.
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  EXPECT_EQ(view.geo.ActualSize(), GR_UNCHANGED);
  EXPECT_EQ(view.geo.ToggleLock(), GR_UNCHANGED);
  EXPECT_EQ(stored, 0);
  EXPECT_EQ(view.geo.EnterFullScreen({800, 600}), GR_UNCHANGED);
  EXPECT_FALSE(view.geo.IsFullScreen());
}

// --- Zoom about a point ---

TEST(Geometry, ZoomAboutAPointTruncatesTheNewScrollPosition) {
  CView view;
  view.Show({380, 280}, {401, 301});  // margins 10.5, kept as 10
  ASSERT_EQ(view.geo.MarginX(), 10);
  const POINT cursor = {201, 151};
  ASSERT_EQ(view.geo.ZoomIn(&cursor), GR_CHANGED);
  // (201 - 10) * 1.5 - 200 = 86.5 and (151 - 10) * 1.5 - 150 = 61.5
  EXPECT_EQ(view.data.nScrollX, 86);
  EXPECT_EQ(view.data.nScrollY, 61);
}

struct ZoomAboutCase {
  const char* name;
  POINT cursor;
  bool bIn;
  bool bOverImage;
};

class ZoomAbout : public ::testing::TestWithParam<ZoomAboutCase> {};

TEST_P(ZoomAbout, BringsThePointUnderTheCursorToTheCentre) {
  const ZoomAboutCase& c = GetParam();
  CView view;
  view.Show({1000, 800}, {300, 200});
  ASSERT_EQ(view.geo.ActualSize(), GR_CHANGED);
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 350);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 300);
  const auto target = view.At(c.bOverImage ? c.cursor : view.Centre());
  ASSERT_EQ(c.bIn ? view.geo.ZoomIn(&c.cursor) : view.geo.ZoomOutOnPixel(c.cursor), GR_CHANGED);
  view.ExpectAtCentre(target, 1.0 / view.geo.Zoom());
}

INSTANTIATE_TEST_SUITE_P(Geometry, ZoomAbout,
                         ::testing::Values(ZoomAboutCase{"InMiddle", {150, 100}, true, true},
                                           ZoomAboutCase{"InCorner", {10, 190}, true, true},
                                           ZoomAboutCase{"InEdge", {299, 3}, true, true},
                                           ZoomAboutCase{"InOutside", {-5, 40}, true, false},
                                           ZoomAboutCase{"OutPixel", {170, 120}, false, true}),
                         CaseName<ZoomAboutCase>);

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
  EXPECT_EQ(view.data.nScrollX, 200);  // the centre stays the centre
  EXPECT_EQ(view.data.nScrollY, 150);
  EXPECT_EQ(view.geo.ActualSize(), GR_UNCHANGED);

  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 1);
  ASSERT_EQ(view.geo.BestFit(), GR_CHANGED);  // also unlocks
  EXPECT_FALSE(view.geo.IsActualSize());
  EXPECT_FALSE(view.geo.IsLocked());
  EXPECT_EQ(stored, 0);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
  EXPECT_EQ(view.geo.ZoomIndex(), 4);
  EXPECT_EQ(view.data.nScrollX, 0);

  // A small image fits at 1.0.
  view.Show({100, 80}, {400, 300});
  view.geo.ZoomIn(nullptr);
  ASSERT_EQ(view.geo.BestFit(), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  EXPECT_EQ(view.geo.ZoomIndex(), CViewGeometry::kActualSizeIndex);
}

// --- Region zoom and the tools' start ---

struct RegionCase {
  const char* name;
  int nLastIndex;
  int stepsIn;  // Zoom In presses from 1.0 before the drag
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
  // A click zooms about the press point, a drag about its middle.
  const bool bClick = std::abs(c.to.x - c.from.x) < 5 || std::abs(c.to.y - c.from.y) < 5;
  const auto target =
      view.At(bClick ? c.from : POINT{(c.from.x + c.to.x) / 2, (c.from.y + c.to.y) / 2});

  ASSERT_EQ(view.geo.RegionZoomStart(c.from), GR_CHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_REGION_ZOOM);
  EXPECT_EQ(view.geo.RegionZoomStop(c.to), GR_CHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fExpected);
  const int index = view.geo.ZoomIndex();
  EXPECT_LE(CViewGeometry::kZoomTable[index], c.fExpected);
  EXPECT_GE(CViewGeometry::kZoomTable[index + 1], c.fExpected);
  view.ExpectAtCentre(target, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Geometry, RegionZoom,
                         ::testing::Values(
                             // 400 / 100 across, 300 / 50 down: the smaller ratio wins.
                             RegionCase{"Fits", 15, 0, {100, 100}, {200, 150}, 4.0f},
                             RegionCase{"Backwards", 15, 0, {200, 150}, {100, 100}, 4.0f},
                             RegionCase{"FromZoomed", 15, 1, {50, 50}, {250, 200}, 3.0f},
                             RegionCase{"CappedAtTwenty", 15, 0, {100, 100}, {105, 105}, 20.0f},
                             RegionCase{"LargerTable", 22, 0, {100, 100}, {105, 105}, 60.0f},
                             RegionCase{
                                 "CappedAtTwoHundred", 22, 6, {100, 100}, {105, 105}, 200.0f},
                             RegionCase{"NarrowIsAClick", 15, 0, {100, 100}, {104, 200}, 1.5f},
                             RegionCase{"FlatIsAClick", 15, 0, {100, 100}, {250, 96}, 1.5f},
                             RegionCase{"NoDragIsAClick", 15, 0, {100, 100}, {100, 100}, 1.5f}),
                         CaseName<RegionCase>);

TEST(Geometry, PointerToolsStartOnlyOverTheImage) {
  CView view;
  view.Show({100, 100}, {400, 300});  // drawn at 150,100 .. 250,200
  EXPECT_EQ(view.geo.RegionZoomStart({10, 10}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.DynamicZoomStart({260, 150}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_EQ(view.geo.RegionZoomStop({300, 250}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.ZoomInOnPixel({149, 150}), GR_UNCHANGED);
  EXPECT_EQ(view.geo.ZoomOutOnPixel({200, 200}), GR_UNCHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.0f);
  EXPECT_TRUE(view.geo.IsBestFit());
  EXPECT_EQ(view.geo.ZoomInOnPixel({150, 199}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 1.5f);
}

// --- Dynamic zoom ---

TEST(Geometry, DynamicZoomStepsAsFloatAndKeepsThePressedPoint) {
  CView view;
  view.Show({2000, 1500}, {400, 300});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 600);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 500);
  const POINT press = {120, 180};
  const auto anchor = view.At(press);
  ASSERT_EQ(view.geo.DynamicZoomStart(press), GR_CHANGED);
  EXPECT_FALSE(view.geo.IsActualSize());
  EXPECT_EQ(view.geo.DynamicZoomMove({120, 179}), GR_UNCHANGED);  // one pixel is not enough

  float expected = 1.0f;
  for (int i = 0; i < 5; ++i) expected = float(expected * 1.1f);
  ASSERT_EQ(view.geo.DynamicZoomMove({120, 170}), GR_CHANGED);  // 10 up from the press
  EXPECT_FLOAT_EQ(view.geo.Zoom(), expected);
  EXPECT_EQ(view.geo.DynamicZoomDirection(), 1);
  for (int i = 0; i < 7; ++i) expected = float(expected / 1.04f);
  ASSERT_EQ(view.geo.DynamicZoomMove({120, 174}), GR_CHANGED);  // 4 down
  EXPECT_FLOAT_EQ(view.geo.Zoom(), expected);
  EXPECT_EQ(view.geo.DynamicZoomDirection(), -1);
  const auto now = view.At(press);
  EXPECT_NEAR(now.first, anchor.first, 1.0 / expected);
  EXPECT_NEAR(now.second, anchor.second, 1.0 / expected);

  view.geo.DynamicZoomStop();
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);
  EXPECT_EQ(view.geo.DynamicZoomMove({120, 100}), GR_UNCHANGED);
}

TEST(Geometry, DynamicZoomStaysWithinTheTableAndTheStepsFollowIt) {
  CView view;
  view.Show({400, 300}, {400, 300});
  while (view.geo.ZoomIn(nullptr) == GR_CHANGED) {
  }
  ASSERT_EQ(view.geo.ZoomIndex(), CViewGeometry::kLastZoomIndex);
  ASSERT_EQ(view.geo.DynamicZoomStart({200, 150}), GR_CHANGED);
  EXPECT_EQ(view.geo.DynamicZoomMove({200, 120}), GR_UNCHANGED);  // already at 20
  int y = 120;
  for (int i = 0; i < 40; ++i) view.geo.DynamicZoomMove({200, y += 30});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.1f);
  EXPECT_EQ(view.geo.DynamicZoomMove({200, y += 30}), GR_UNCHANGED);
  for (int i = 0; i < 40; ++i) view.geo.DynamicZoomMove({200, y -= 30});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 20.0f);
  while (view.geo.Zoom() > 0.15f) view.geo.DynamicZoomMove({200, y += 3});
  view.geo.DynamicZoomStop();
  // Zoom In goes on from where the drag left the factor.
  const float dragged = view.geo.Zoom();
  EXPECT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);
  EXPECT_GT(view.geo.Zoom(), dragged);
  EXPECT_LE(view.geo.Zoom(), 0.2f);
}

// --- Scrolling and the hand ---

TEST(Geometry, ScrollBarsAndTheHandStayWithinTheZoomedImage) {
  CView view;
  view.Show({1000, 500}, {400, 300});
  view.geo.ActualSize();
  view.geo.Scroll(SBI_HORZ, SA_TOP);
  const tagSCROLLBARINFO bar = view.geo.ScrollBar(SBI_HORZ);
  EXPECT_EQ(bar.nLength, 1000);
  EXPECT_EQ(bar.nPage, 400);
  EXPECT_EQ(bar.nLine, 25);
  EXPECT_EQ(bar.nMaxPos, 600);
  EXPECT_EQ(view.geo.ScrollBar(SBI_VERT).nMaxPos, 200);

  const struct {
    SCROLLACTION action;
    int nThumb, nExpected, nResult;
  } steps[] = {{SA_LINE_DOWN, 0, 25, GR_CHANGED},  {SA_PAGE_DOWN, 0, 425, GR_CHANGED},
               {SA_PAGE_DOWN, 0, 600, GR_CHANGED}, {SA_LINE_DOWN, 0, 600, GR_UNCHANGED},
               {SA_THUMB, 123, 123, GR_CHANGED},   {SA_THUMB, -50, 0, GR_CHANGED},
               {SA_LINE_UP, 0, 0, GR_UNCHANGED},   {SA_BOTTOM, 0, 600, GR_CHANGED},
               {SA_PAGE_UP, 0, 200, GR_CHANGED}};
  for (const auto& step : steps) {
    EXPECT_EQ(view.geo.Scroll(SBI_HORZ, step.action, step.nThumb), step.nResult);
    EXPECT_EQ(view.data.nScrollX, step.nExpected);
  }

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
  view.geo.HandStop();
  EXPECT_EQ(view.geo.DragTool(), DT_NONE);

  view.geo.OnResize({10, 10});  // a tiny window still scrolls by lines
  EXPECT_EQ(view.geo.ScrollBar(SBI_HORZ).nLine, 1);
  view.geo.OnResize({400, 300});
  for (int i = 0; i < 4; ++i) view.geo.ZoomOut();  // 0.4: 400 x 200 fits
  EXPECT_EQ(view.geo.ScrollBar(SBI_HORZ).nMaxPos, 0);
  EXPECT_EQ(view.data.nScrollX, 0);
  EXPECT_EQ(view.data.nScrollY, 0);
}

// --- Fit rules ---

struct FitCase {
  VIEWRULE rule;
  bool bEnlarge, bShrink, bSmall;
};

std::string FitCaseName(const ::testing::TestParamInfo<FitCase>& info) {
  const FitCase& c = info.param;
  const char* rules[] = {"Image", "Window", "Screen"};
  return std::string(rules[c.rule]) + (c.bEnlarge ? "_Enlarge" : "") +
         (c.bShrink ? "_Shrink" : "") + (c.bSmall ? "_Small" : "_Large");
}

class FitRules : public ::testing::TestWithParam<FitCase> {};

// Every rule offers 400 x 400 pixels: the small image could grow 4 times,
// the large one must shrink to half.
TEST_P(FitRules, EnlargeAndShrinkOptions) {
  const FitCase& c = GetParam();
  const float f = c.bSmall ? 4.0f : 0.5f;
  const bool bFitted = c.bSmall ? c.bEnlarge : c.bShrink;
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

  const SIZE image = c.bSmall ? SIZE{100, 50} : SIZE{800, 400};
  if (c.rule == VR_ADAPT_TO_WINDOW) {
    view.Show(image, {400, 400});
    ASSERT_EQ(view.geo.ZoomIn(nullptr), GR_CHANGED);  // Best Fit off
    view.geo.ApplyRule();
  } else {
    view.Show(image, {300, 200});
    if (c.rule == VR_FULL_SCREEN) {
      ASSERT_EQ(view.geo.EnterFullScreen({400, 400}), GR_CHANGED);
    }
  }
  EXPECT_EQ(view.geo.RuleInForce(), c.rule);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), bFitted ? f : 1.0f);
}

std::vector<FitCase> AllFitCases() {
  std::vector<FitCase> cases;
  for (VIEWRULE rule : {VR_ADAPT_TO_IMAGE, VR_ADAPT_TO_WINDOW, VR_FULL_SCREEN})
    for (int bits = 0; bits < 8; ++bits)
      cases.push_back({rule, bool(bits & 1), bool(bits & 2), bool(bits & 4)});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Geometry, FitRules, ::testing::ValuesIn(AllFitCases()), FitCaseName);

TEST(Geometry, FitSpecialCases) {
  // Adapting to the image without either option keeps the factor.
  CView image;
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = true;
  image.geo.SetOptions(options);
  image.Show({800, 400}, {300, 200});
  image.geo.ZoomIn(nullptr);
  image.geo.ApplyRule();
  EXPECT_FLOAT_EQ(image.geo.Zoom(), 1.5f);

  // Best Fit shrinks to the window without the shrink option, and refits
  // on resizing; once zoomed, resizing only moves the scroll position back.
  CView window;
  options = {};
  options.bShrinkAW = false;
  window.geo.SetOptions(options);
  window.Show({800, 600}, {400, 300});
  EXPECT_TRUE(window.geo.IsBestFit());
  EXPECT_FLOAT_EQ(window.geo.Zoom(), 0.5f);
  window.geo.OnResize({200, 300});
  EXPECT_FLOAT_EQ(window.geo.Zoom(), 0.25f);
  window.geo.ZoomIn(nullptr);  // 0.3: 240 across
  window.geo.Scroll(SBI_HORZ, SA_BOTTOM);
  ASSERT_EQ(window.data.nScrollX, 40);
  window.geo.OnResize({220, 300});
  EXPECT_FLOAT_EQ(window.geo.Zoom(), 0.3f);
  EXPECT_EQ(window.data.nScrollX, 20);
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
  tagGEOMETRYOPTIONS options;
  options.bAdaptToImage = true;
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
  const RECT& rc = request.rcWindow;
  EXPECT_EQ((std::vector<int>{rc.left, rc.top, rc.right, rc.bottom}),
            (std::vector<int>{c.rcExpected.left, c.rcExpected.top, c.rcExpected.right,
                              c.rcExpected.bottom}));
  EXPECT_EQ(request.szClient.cx, rc.right - rc.left - 10);
  EXPECT_EQ(request.szClient.cy, rc.bottom - rc.top - 40);
}

// Client: panes + scroll bar + image, at least 450, plus 4; the frame adds
// 10 x 40. The small image gives 464 x 494, the wide one 1229 x 659.
INSTANTIATE_TEST_SUITE_P(
    Geometry, AdaptToImageWindow,
    ::testing::Values(
        PlacementCase{"KeepsCorner", false, {100, 50, 600, 450}, {100, 50}, {100, 50, 564, 544}},
        PlacementCase{"Centred", true, {100, 50, 600, 450}, {100, 50}, {728, 293, 1192, 787}},
        PlacementCase{"Wide", false, {100, 50, 600, 450}, {1000, 600}, {100, 50, 1329, 709}},
        PlacementCase{
            "KeptInside", false, {1700, 50, 1900, 450}, {100, 50}, {1456, 50, 1920, 544}}),
    CaseName<PlacementCase>);

TEST(Geometry, AdaptToWindowCentresTheWindowOnlyWhenAsked) {
  CView view;
  tagWINDOWMETRICS metrics{};
  metrics.rcWorkArea = {0, 0, 1000, 800};
  metrics.rcWindow = {10, 20, 510, 420};
  view.geo.SetWindowMetrics(metrics);
  EXPECT_FALSE(view.Show({100, 100}, {400, 300}).bPlace);
  tagGEOMETRYOPTIONS options;
  options.bCenterToScreen = true;
  view.geo.SetOptions(options);
  const RECT rc = view.Show({100, 100}, {400, 300}).rcWindow;
  EXPECT_EQ((std::vector<int>{rc.left, rc.top, rc.right, rc.bottom}),
            (std::vector<int>{250, 200, 750, 600}));
}

// --- Lock Zoom and Scroll, new images ---

TEST(Geometry, LockKeepsFactorAndScrollAcrossANewImage) {
  CView view;
  uint8_t stored = 0;
  view.geo.SetLockStore(&stored);
  view.Show({2000, 1500}, {400, 300});
  view.geo.ZoomIn(nullptr);
  view.geo.ZoomIn(nullptr);  // 0.4
  view.geo.Scroll(SBI_HORZ, SA_THUMB, 70);
  view.geo.Scroll(SBI_VERT, SA_THUMB, 40);
  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 1);

  view.Show({2000, 1500}, {400, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.4f);
  EXPECT_EQ(view.data.nScrollX, 70);
  EXPECT_EQ(view.data.nScrollY, 40);
  EXPECT_EQ(view.geo.ZoomIndex(), CViewGeometry::kActualSizeIndex);

  ASSERT_EQ(view.geo.ToggleLock(), GR_CHANGED);
  EXPECT_EQ(stored, 0);
  view.Show({2000, 1500}, {400, 300});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.2f);
  EXPECT_EQ(view.data.nScrollX, 0);

  // An animation forces the lock without storing it.
  view.geo.SetLockForced(true);
  EXPECT_TRUE(view.geo.IsLocked());
  EXPECT_EQ(stored, 0);
  view.geo.OnResize({200, 150});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.2f);
  view.geo.SetLockForced(false);
  EXPECT_FALSE(view.geo.IsLocked());
}

// --- Full screen ---

struct LeaveCase {
  const char* name;
  bool bRestoreFS, bAdaptToImage;
  float fAfter;
  int nIndexAfter;  // the first entry above the factor
};

class LeaveFullScreen : public ::testing::TestWithParam<LeaveCase> {};

TEST_P(LeaveFullScreen, RestoresTheWindowRuleOnlyWhenAsked) {
  const LeaveCase& c = GetParam();
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

  ASSERT_EQ(view.geo.EnterFullScreen({1600, 1200}), GR_CHANGED);
  EXPECT_EQ(view.geo.RuleInForce(), VR_FULL_SCREEN);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 2.0f);
  EXPECT_EQ(view.geo.ZoomIndex(), 9);  // the first entry not below 2
  view.geo.LeaveFullScreen({400, 300});
  EXPECT_FALSE(view.geo.IsFullScreen());
  EXPECT_EQ(view.geo.RuleInForce(), c.bAdaptToImage ? VR_ADAPT_TO_IMAGE : VR_ADAPT_TO_WINDOW);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fAfter);
  EXPECT_EQ(view.geo.ZoomIndex(), c.nIndexAfter);
  if (!c.bRestoreFS) {
    // The window settles at its size: the kept factor stays.
    view.geo.OnResize({400, 300});
    EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fAfter);
  }
}

INSTANTIATE_TEST_SUITE_P(Geometry, LeaveFullScreen,
                         ::testing::Values(LeaveCase{"KeepsTheFactor", false, false, 2.0f, 10},
                                           LeaveCase{"RefitsToTheWindow", true, false, 0.5f, 5},
                                           LeaveCase{"ImageStartsAtOne", true, true, 1.0f, 8}),
                         CaseName<LeaveCase>);

struct EnterCase {
  const char* name;
  bool bApplyFS, bBestFit;
  float fAfter;
};

class EnterFullScreen : public ::testing::TestWithParam<EnterCase> {};

TEST_P(EnterFullScreen, FitsWithApplyOrBestFit) {
  const EnterCase& c = GetParam();
  CView view;
  tagGEOMETRYOPTIONS options;
  options.bApplyFS = c.bApplyFS;
  view.geo.SetOptions(options);
  view.Show({2000, 1000}, {4000, 2000});  // Best Fit on, at 1.0
  if (!c.bBestFit) view.geo.ActualSize();
  ASSERT_EQ(view.geo.EnterFullScreen({1000, 800}), GR_CHANGED);
  EXPECT_FLOAT_EQ(view.geo.Zoom(), c.fAfter);
  EXPECT_EQ(view.data.nClientWidth, 1000);

  // A new image in full screen follows the screen's rule.
  view.Show({1000, 1600}, {1000, 800});
  EXPECT_FLOAT_EQ(view.geo.Zoom(), 0.5f);
}

INSTANTIATE_TEST_SUITE_P(Geometry, EnterFullScreen,
                         ::testing::Values(EnterCase{"Apply", true, false, 0.5f},
                                           EnterCase{"BestFit", false, true, 0.5f},
                                           EnterCase{"Neither", false, false, 1.0f}),
                         CaseName<EnterCase>);

}  // namespace
