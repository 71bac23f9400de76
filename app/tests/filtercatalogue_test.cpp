// The process view's filters without a window: the edit-box rules, and
// every catalogue entry against the library call it names on a real image,
// with the bad inputs that must give a message or the minimum.
#include "process/filtercatalogue.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/bitmap.h"
#include "corekit/straw.h"

namespace {

tagFILTERPARAM Range(int16_t max, bool decimal) { return {1, 2, 0, max, uint8_t(decimal), 0}; }

// A photo-like test image: gradients, noise and a bright red block.
Magick::Image TestImage(unsigned cols = 96, unsigned rows = 64) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(cols, rows), Magick::Color("gray50"));
  image.modifyImage();
  image.type(Magick::TrueColorType);
  Magick::PixelPacket* p = image.setPixels(0, 0, cols, rows);
  uint32_t seed = 7;
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned x = 0; x < cols; ++x, ++p) {
      seed = seed * 1664525u + 1013904223u;
      p->red = Magick::Quantum(x * MaxRGB / cols);
      p->green = Magick::Quantum(y * MaxRGB / rows);
      p->blue = Magick::Quantum(seed >> 16);
      p->opacity = 0;
      if (x >= 20 && x < 30 && y >= 20 && y < 30) {
        p->red = MaxRGB;
        p->green = p->blue = 0;
      }
    }
  image.syncPixels();
  return image;
}

bool SamePixels(const Magick::Image& a, const Magick::Image& b) {
  if (a.columns() != b.columns() || a.rows() != b.rows() || a.matte() != b.matte()) return false;
  const Magick::PixelPacket* pa = a.getConstPixels(0, 0, a.columns(), a.rows());
  const Magick::PixelPacket* pb = b.getConstPixels(0, 0, b.columns(), b.rows());
  for (size_t i = 0; i < a.columns() * a.rows(); ++i)
    if (pa[i].red != pb[i].red || pa[i].green != pb[i].green || pa[i].blue != pb[i].blue ||
        pa[i].opacity != pb[i].opacity)
      return false;
  return true;
}

}  // namespace

TEST(ParamEditRules, StartsAtTheMinimumAndFollowsTheSlider) {
  const CParamEditRules decimal(Range(10, true));
  const CParamEditRules whole(Range(10, false));
  EXPECT_EQ(decimal.InitialText(), u"0.1");
  EXPECT_EQ(whole.InitialText(), u"0");
  EXPECT_EQ(decimal.TextForSlider(0), u"0.1");
  EXPECT_EQ(decimal.TextForSlider(7), u"7");
  EXPECT_EQ(whole.TextForSlider(0), u"0");
}

TEST(ParamEditRules, KeysDigitsOneDecimalPointAndBackspace) {
  const CParamEditRules decimal(Range(10, true));
  const CParamEditRules whole(Range(10, false));
  for (char16_t ch : u"0123456789\b") {
    if (!ch) continue;
    EXPECT_TRUE(decimal.AcceptChar(ch, u""));
    EXPECT_TRUE(whole.AcceptChar(ch, u""));
  }
  EXPECT_TRUE(decimal.AcceptChar(u'.', u"1"));
  EXPECT_FALSE(decimal.AcceptChar(u'.', u"1.5"));
  EXPECT_FALSE(whole.AcceptChar(u'.', u"1"));
  for (char16_t ch : {u'a', u'-', u',', u' ', u'e'}) EXPECT_FALSE(decimal.AcceptChar(ch, u""));
}

TEST(ParamEditRules, TheMaximumAtOnceTheMinimumWhenEditingEnds) {
  const CParamEditRules blur(Range(10, true));
  // Typing 12 into Blur's radius gives 10 at once.
  tagEDITCHECK check = blur.OnTextChanged(u"12");
  EXPECT_TRUE(check.bReplaceText);
  EXPECT_EQ(check.strText, u"10");
  EXPECT_EQ(check.nSliderPos, 10);
  // 0.5 can be typed through "0" and "0.": nothing is replaced on the way.
  for (const char16_t* step : {u"0", u"0.", u"0.5"})
    EXPECT_FALSE(blur.OnTextChanged(step).bReplaceText);
  EXPECT_FALSE(blur.OnEditingFinished(u"0.5").bReplaceText);
  EXPECT_DOUBLE_EQ(blur.Value(u"0.5"), 0.5);
  // 0.05 becomes 0.1 when editing ends, and so does an empty box.
  check = blur.OnEditingFinished(u"0.05");
  EXPECT_TRUE(check.bReplaceText);
  EXPECT_EQ(check.strText, u"0.1");
  EXPECT_EQ(blur.OnEditingFinished(u"").strText, u"0.1");
  EXPECT_DOUBLE_EQ(blur.Value(u"0.05"), 0.1);
  // A whole-number box reads whole numbers.
  EXPECT_DOUBLE_EQ(CParamEditRules(Range(255, false)).Value(u"300"), 255);
  // Without a slider the value passes as typed.
  EXPECT_DOUBLE_EQ(CParamEditRules(Range(0, true), false).Value(u"37.5"), 37.5);
  EXPECT_FALSE(CParamEditRules(Range(0, false), false).OnTextChanged(u"5000").bReplaceText);
}

TEST(FilterCatalogue, MenuOrderNamesAndPanels) {
  const CFilterCatalogue catalogue;
  const char16_t* names[] = {u"Adaptive Threshold",
                             u"Add Noise",
                             u"Blur",
                             u"Charcoal",
                             u"Contrast",
                             u"Edge",
                             u"Emboss",
                             u"Gamma",
                             u"Gaussian Blur",
                             u"Implode",
                             u"Median Filter",
                             u"Oil Paint",
                             u"Roll",
                             u"Shade",
                             u"Sharpen",
                             u"Shear",
                             u"Solarize",
                             u"Spread",
                             u"Swirl",
                             u"Wave",
                             u"Colorize",
                             u"Cycle Colormap",
                             u"Matte Floodfill",
                             u"Negate",
                             u"Opacity",
                             u"Opaque",
                             u"Raise",
                             u"Segment",
                             u"Threshold",
                             u"Transparent",
                             u"Enhance",
                             u"Equalize",
                             u"White Balance",
                             u"Red Eye",
                             u"AQua2 Enlarge"};
  ASSERT_EQ(catalogue.GetCount(), 35);
  for (int i = 0; i < 35; ++i) EXPECT_EQ(MyString(catalogue.Entry(i).pszName), names[i]) << i;
  // Every numeric parameter starts at 0 (White Balance's temperature at 1500).
  for (int i = 0; i < 35; ++i)
    for (const tagCATALOGUEPARAM& param : catalogue.Entry(i).params) {
      EXPECT_EQ(param.range.nMin, i == catalogue.Find(u"White Balance") ? 1500 : 0);
      EXPECT_EQ(param.range.bFlag2, 0);
    }
  const tagFILTERENTRY& blur = catalogue.Entry(catalogue.Find(u"Blur"));
  EXPECT_EQ(CParamEditRules(blur.params[0].range).InitialText(), u"0.1");
  EXPECT_EQ(MyString(blur.params[1].pszTooltip),
            u"the standard deviation of the Laplacian, in pixels");
  const tagFILTERENTRY& edge = catalogue.Entry(catalogue.Find(u"Edge"));
  EXPECT_EQ(CParamEditRules(edge.params[0].range).InitialText(), u"0");
  EXPECT_DOUBLE_EQ(CFilterCatalogue::DefaultArgs(edge).dValues[0], 0);
  EXPECT_EQ(MyString(catalogue.Entry(catalogue.Find(u"Transparent")).colorLabels[0]),
            u"Tranparent Color:");
  // The stock filters of the plug-ins leave out the ones with colour pickers.
  for (int position : {20, 22, 25, 29, -1, 32}) EXPECT_EQ(catalogue.StockFilter(position), nullptr);
  EXPECT_EQ(catalogue.StockFilter(2), &blur);
}

// Each entry beside the call it names, with the panel's values.
struct tagDIRECTCASE {
  const char16_t* name;
  tagFILTERARGS args;
  std::function<void(Magick::Image&)> direct;
};

tagFILTERARGS Values(std::array<double, 4> values, int choice = 0, bool check = false) {
  tagFILTERARGS args;
  args.dValues = values;
  args.nChoice = choice;
  args.bCheck = check;
  return args;
}

TEST(FilterCatalogue, EachEntryGivesTheLibraryCallItNames) {
  const CFilterCatalogue catalogue;
  const double q = MaxRGB / 255.0;
  tagFILTERARGS colorize = Values({30, 40, 50, 60}, 0, true);
  colorize.colors[0] = Magick::Color("blue");
  tagFILTERARGS fill = Values({128, 5, 6, 0}, 2);
  fill.colors[0] = Magick::Color("gray50");
  tagFILTERARGS opaque;
  opaque.colors = {Magick::Color("red"), Magick::Color("green")};
  const std::vector<tagDIRECTCASE> cases = {
      {u"Adaptive Threshold", Values({3, 4, 10}),
       [&](Magick::Image& im) { im.adaptiveThreshold(3u, 4u, unsigned(10 * q)); }},
      {u"Blur", Values({2, 1.5}), [](Magick::Image& im) { im.blur(2, 1.5); }},
      {u"Charcoal", Values({1, 0.5}), [](Magick::Image& im) { im.charcoal(1, 0.5); }},
      {u"Contrast", Values({1}), [](Magick::Image& im) { im.contrast(1); }},
      {u"Edge", Values({0}), [](Magick::Image& im) { im.edge(0); }},
      {u"Emboss", Values({2, 1}), [](Magick::Image& im) { im.emboss(2, 1); }},
      {u"Gamma", Values({1.8, 0.5, 1, 2}), [](Magick::Image& im) { im.gamma(1.8); }},
      {u"Gamma", Values({1.8, 0.5, 1, 2}, 1), [](Magick::Image& im) { im.gamma(0.5, 1, 2); }},
      {u"Gaussian Blur", Values({3, 1}), [](Magick::Image& im) { im.gaussianBlur(3, 1); }},
      {u"Implode", Values({0.5}), [](Magick::Image& im) { im.implode(0.5); }},
      {u"Median Filter", Values({2.5}), [](Magick::Image& im) { im.medianFilter(2.5); }},
      {u"Oil Paint", Values({2}), [](Magick::Image& im) { im.oilPaint(2); }},
      {u"Roll", Values({30, 7}), [](Magick::Image& im) { im.roll(30u, 7u); }},
      {u"Shade", Values({30, 45}, 0, false), [](Magick::Image& im) { im.shade(30, 45, false); }},
      {u"Shade", Values({30, 45}, 0, true), [](Magick::Image& im) { im.shade(30, 45, true); }},
      {u"Sharpen", Values({2, 1}), [](Magick::Image& im) { im.sharpen(2, 1); }},
      {u"Shear", Values({20, 10}), [](Magick::Image& im) { im.shear(20, 10); }},
      {u"Solarize", Values({50}), [](Magick::Image& im) { im.solarize(50); }},
      {u"Swirl", Values({90}), [](Magick::Image& im) { im.swirl(90); }},
      {u"Wave", Values({4, 20}), [](Magick::Image& im) { im.wave(4, 20); }},
      {u"Colorize", colorize,
       [](Magick::Image& im) { im.colorize(30u, 40u, 50u, Magick::Color("blue")); }},
      {u"Colorize", Values({30, 40, 50, 60}),
       [](Magick::Image& im) { im.colorize(60u, Magick::Color("white")); }},
      {u"Cycle Colormap", Values({3}), [](Magick::Image& im) { im.cycleColormap(3); }},
      {u"Matte Floodfill", fill,
       [&](Magick::Image& im) {
         im.matteFloodfill(Magick::Color("gray50"), unsigned(128 * q), 5, 6,
                           Magick::FloodfillMethod);
       }},
      {u"Negate", Values({}, 0, false), [](Magick::Image& im) { im.negate(false); }},
      {u"Opaque", opaque,
       [](Magick::Image& im) { im.opaque(Magick::Color("red"), Magick::Color("green")); }},
      {u"Raise", Values({5, 6}, 1),
       [](Magick::Image& im) { im.raise(Magick::Geometry(5, 6), false); }},
      {u"Segment", Values({1, 1.5}), [](Magick::Image& im) { im.segment(1, 1.5); }},
      {u"Threshold", Values({128}), [&](Magick::Image& im) { im.threshold(128 * q); }},
      {u"Transparent", opaque, [](Magick::Image& im) { im.transparent(Magick::Color("red")); }},
      {u"Enhance", Values({}), [](Magick::Image& im) { im.enhance(); }},
      {u"Equalize", Values({}), [](Magick::Image& im) { im.equalize(); }},
  };
  const Magick::Image original = TestImage();
  for (const tagDIRECTCASE& c : cases) {
    const int index = catalogue.Find(c.name);
    ASSERT_GE(index, 0);
    Magick::Image ours(original), theirs(original);
    ASSERT_EQ(CFilterCatalogue::Apply(catalogue.Entry(index), ours, c.args), FR_DONE);
    c.direct(theirs);
    EXPECT_TRUE(SamePixels(ours, theirs)) << CStrAW::w_toA(c.name);
    EXPECT_FALSE(SamePixels(ours, original)) << CStrAW::w_toA(c.name) << " changed nothing";
  }
}

TEST(FilterCatalogue, LevelsAreEightBitLevelsAndOpacityAPercentage) {
  const CFilterCatalogue catalogue;
  // Threshold 128 splits by intensity: unscaled it would leave only black black.
  Magick::Image image = TestImage();
  CFilterCatalogue::Apply(catalogue.Entry(catalogue.Find(u"Threshold")), image, Values({128}));
  EXPECT_EQ(Magick::ColorRGB(image.pixelColor(10, 5)).red(), 0);
  EXPECT_EQ(Magick::ColorRGB(image.pixelColor(90, 60)).red(), 1);
  // Opacity 100 over the background leaves the background's colour.
  image = TestImage();
  image.backgroundColor(Magick::Color("white"));
  CFilterCatalogue::Apply(catalogue.Entry(catalogue.Find(u"Opacity")), image, Values({100}));
  EXPECT_NEAR(Magick::ColorRGB(image.pixelColor(1, 1)).green(), 1.0, 0.01);
}

TEST(FilterCatalogue, RandomEffectsKeepTheSizeAndChangeThePixels) {
  const CFilterCatalogue catalogue;
  for (int choice = 0; choice < 5; ++choice) {
    Magick::Image image = TestImage();
    ASSERT_EQ(CFilterCatalogue::Apply(catalogue.Entry(catalogue.Find(u"Add Noise")), image,
                                      Values({}, choice)),
              FR_DONE);
    EXPECT_FALSE(SamePixels(image, TestImage()));
  }
  Magick::Image image = TestImage();
  CFilterCatalogue::Apply(catalogue.Entry(catalogue.Find(u"Spread")), image, Values({5}));
  EXPECT_EQ(image.columns(), 96u);
  EXPECT_FALSE(SamePixels(image, TestImage()));
}

TEST(FilterCatalogue, TheCorrectionsOfTheAlgorithmsLibrary) {
  const CFilterCatalogue catalogue;
  const tagFILTERENTRY& aqua = catalogue.Entry(catalogue.Find(u"AQua2 Enlarge"));
  Magick::Image image = TestImage(20, 10);
  // 100 by 100 produces nothing; below 100 counts as 100.
  EXPECT_EQ(CFilterCatalogue::Apply(aqua, image, CFilterCatalogue::DefaultArgs(aqua)), FR_NOTHING);
  ASSERT_EQ(CFilterCatalogue::Apply(aqua, image, Values({200, 50})), FR_DONE);
  EXPECT_EQ(image.columns(), 40u);
  EXPECT_EQ(image.rows(), 10u);

  // Red Eye changes only the red of the region, and nothing without one.
  const tagFILTERENTRY& redEye = catalogue.Entry(catalogue.Find(u"Red Eye"));
  image = TestImage();
  EXPECT_EQ(CFilterCatalogue::Apply(redEye, image, Values({})), FR_NOTHING);
  tagFILTERARGS region;
  region.nRegionX = 15, region.nRegionY = 15, region.nRegionWidth = 20, region.nRegionHeight = 20;
  ASSERT_EQ(CFilterCatalogue::Apply(redEye, image, region), FR_DONE);
  EXPECT_LT(Magick::ColorRGB(image.pixelColor(25, 25)).red(), 0.5);
  EXPECT_EQ(image.pixelColor(10, 10), TestImage().pixelColor(10, 10));
  EXPECT_EQ(image.pixelColor(40, 25), TestImage().pixelColor(40, 25));

  // White Balance: a grey white point keeps the image, a warm one cools it.
  const tagFILTERENTRY& wb = catalogue.Entry(catalogue.Find(u"White Balance"));
  tagFILTERARGS grey;
  grey.bWhitePoint = true;
  grey.colors[0] = Magick::ColorRGB(0.5, 0.5, 0.5);
  image = TestImage();
  ASSERT_EQ(CFilterCatalogue::Apply(wb, image, grey), FR_DONE);
  EXPECT_NEAR(Magick::ColorRGB(image.pixelColor(50, 30)).green(),
              Magick::ColorRGB(TestImage().pixelColor(50, 30)).green(), 0.01);
  image = TestImage();
  ASSERT_EQ(CFilterCatalogue::Apply(wb, image, Values({3000})), FR_DONE);
  EXPECT_GT(Magick::ColorRGB(image.pixelColor(50, 30)).blue(),
            Magick::ColorRGB(TestImage().pixelColor(50, 30)).blue());
}

TEST(FilterCatalogue, BadInputGivesAMessageOrTheMinimumNeverAHalfChangedImage) {
  const CFilterCatalogue catalogue;
  const auto entry = [&](const char16_t* name) -> const tagFILTERENTRY& {
    return catalogue.Entry(catalogue.Find(name));
  };
  Magick::Image image = TestImage();
  // Results beyond the largest image are refused before running.
  EXPECT_EQ(CFilterCatalogue::Apply(entry(u"Shear"), image, Values({89.999, 0})), FR_TOO_LARGE);
  EXPECT_EQ(CFilterCatalogue::Apply(entry(u"Wave"), image, Values({1e9, 10})), FR_TOO_LARGE);
  EXPECT_EQ(CFilterCatalogue::Apply(entry(u"AQua2 Enlarge"), image, Values({1e6, 1e6})),
            FR_TOO_LARGE);
  EXPECT_TRUE(SamePixels(image, TestImage()));
  // A point outside the image is a message.
  EXPECT_THROW(CFilterCatalogue::Apply(entry(u"Matte Floodfill"), image, Values({0, 500, 5})),
               std::exception);
  // A zero window is one pixel.
  EXPECT_EQ(CFilterCatalogue::Apply(entry(u"Adaptive Threshold"), image, Values({0, 0, 0})),
            FR_DONE);
  // Every entry on a 1-pixel and on a transparent image: a result or a
  // message, no crash.
  Magick::Image transparent = TestImage(8, 8);
  transparent.matte(true);
  transparent.transparent(Magick::Color("red"));
  for (const Magick::Image& start : {TestImage(1, 1), transparent})
    for (int i = 0; i < catalogue.GetCount(); ++i) {
      const tagFILTERENTRY& e = catalogue.Entry(i);
      Magick::Image work(start);
      tagFILTERARGS args = CFilterCatalogue::DefaultArgs(e);
      args.dValues = {3, 3, 3, 3};
      try {
        CFilterCatalogue::Apply(e, work, args);
      } catch (const std::exception&) {
      }
    }
}
