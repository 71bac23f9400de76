#include "process/filtercatalogue.h"

#include <cmath>
#include <stdexcept>

#include "corekit/bitmap.h"
#include "lorimomagick/lorimomagickfloat.h"
#include "lorimomagick/lorimomagickmedian.h"
#include "lorimomagick/lorimomagickquantum.h"

namespace {

constexpr const char16_t* kRadiusTip =
    u"the radius of the Gaussian, in pixels, not counting the center pixel";
constexpr const char16_t* kSigmaTip = u"the standard deviation of the Laplacian, in pixels";
constexpr const char16_t* kShadeTip = u"the  position  of  the light source";

using Args = tagFILTERARGS;

// Parameter ids: one slider and edit pair per parameter of an entry.
tagCATALOGUEPARAM Param(const char16_t* label, int16_t max, bool decimal,
                        const char16_t* tooltip = nullptr, int group = -1) {
  static int nextId = 1000;
  const int id = nextId;
  nextId += 2;
  return tagCATALOGUEPARAM{label, tooltip, {id, id + 1, 0, max, uint8_t(decimal), 0}, true, group};
}

// A parameter without a slider: typed freely, passed as typed.
tagCATALOGUEPARAM Free(const char16_t* label, bool decimal, const char16_t* tooltip = nullptr) {
  tagCATALOGUEPARAM param = Param(label, 0, decimal, tooltip);
  param.range.nSliderId = 0;
  param.bSlider = false;
  return param;
}

unsigned UInt(double v) { return v <= 0 ? 0u : v >= 4294967295.0 ? 4294967295u : unsigned(v); }
int Int(double v) { return v <= INT32_MIN ? INT32_MIN : v >= INT32_MAX ? INT32_MAX : int(v); }

tagFILTERENTRY MakeEntry(const char16_t* name, const char16_t* description, FILTERKIND kind) {
  tagFILTERENTRY entry;
  entry.pszName = name;
  entry.pszDescription = description;
  entry.kind = kind;
  return entry;
}

// One Magick++ call with the arguments the panel gives.
tagFILTERENTRY Call(const char16_t* name, const char16_t* description,
                    std::vector<tagCATALOGUEPARAM> params,
                    std::function<void(Magick::Image&, const Args&)> call) {
  tagFILTERENTRY entry = MakeEntry(name, description, FK_MAGICK);
  entry.params = std::move(params);
  entry.operation = [call = std::move(call)](Magick::Image& image, const Args& args) {
    call(image, args);
    return int(FR_DONE);
  };
  return entry;
}

// The 8-bit pixels the algorithms take lose the deeper quanta only where
// they change pixels: the result goes back into the image's own depth.
int WhiteBalance(Magick::Image& image, const Args& args) {
  CLorimoMagickFloat::WHITE_BALANCE_OPTIONS options{};
  if (args.bWhitePoint) {
    options.nMode = 1;
    const Magick::ColorRGB white(args.colors[0]);
    // The white point is an 8-bit colour.
    options.fRed = float(std::lround(white.red() * 255) * 0.003921569);
    options.fGreen = float(std::lround(white.green() * 255) * 0.003921569);
    options.fBlue = float(std::lround(white.blue() * 255) * 0.003921569);
  } else {
    options.nMode = 2;
    options.fTemperature = float(args.dValues[0]);
  }
  options.bLinear = args.bCheck;
  CLorimoMagickFloat pixels(image);
  if (!pixels.HasData()) throw std::runtime_error("There is not enough memory for the image.");
  if (!pixels.WhiteBalance(options)) return FR_CANCELLED;
  Magick::Image result = pixels.Pixels2Magick(true);
  if (!result.isValid()) throw std::runtime_error("There is not enough memory for the image.");
  image = result;
  return FR_DONE;
}

int RedEye(Magick::Image& image, const Args& args) {
  if (args.nRegionWidth <= 0 || args.nRegionHeight <= 0 || args.nRegionX < 0 || args.nRegionY < 0 ||
      size_t(args.nRegionX) + size_t(args.nRegionWidth) > image.columns() ||
      size_t(args.nRegionY) + size_t(args.nRegionHeight) > image.rows())
    return FR_NOTHING;
  Magick::Geometry region(unsigned(args.nRegionWidth), unsigned(args.nRegionHeight),
                          unsigned(args.nRegionX), unsigned(args.nRegionY));
  CLorimoMagickQuantum pixels(image, false, &region);
  if (!pixels.HasData()) throw std::runtime_error("There is not enough memory for the image.");
  if (!pixels.removeRedEye()) return FR_CANCELLED;
  Magick::Image patch = pixels.Pixels2Magick();
  image.modifyImage();
  image.composite(patch, args.nRegionX, args.nRegionY, Magick::CopyCompositeOp);
  return FR_DONE;
}

int AQua2(Magick::Image& image, const Args& args) {
  const int width = Int(args.dValues[0]);
  const int height = Int(args.dValues[1]);
  if (width <= 100 && height <= 100) return FR_NOTHING;
  CLorimoMagickFloat pixels(image);
  if (!pixels.HasData()) throw std::runtime_error("There is not enough memory for the image.");
  // Percentages below 100 count as 100: the enlargement only enlarges.
  if (!pixels.IAQua2All(width < 100 ? 100 : width, 100, height < 100 ? 100 : height, 100, 1))
    return pixels.HasData() ? FR_CANCELLED : FR_NOTHING;
  Magick::Image result = pixels.Pixels2Magick(false);
  if (!result.isValid()) throw std::runtime_error("There is not enough memory for the image.");
  image = result;
  return FR_DONE;
}

}  // namespace

double LevelToQuantum(double level) { return level * MaxRGB / 255.0; }

CFilterCatalogue& GetFilterCatalogue() {
  static CFilterCatalogue catalogue;
  return catalogue;
}

CFilterCatalogue::CFilterCatalogue() {
  using MI = Magick::Image;
  auto& e = m_entries;
  e.push_back(Call(
      u"Adaptive Threshold", u"Apply adaptive thresholding to the image",
      {Param(u"Width:", 10, false), Param(u"Height:", 10, false), Param(u"Offset:", 255, false)},
      [](MI& im, const Args& a) {
        // A window of no pixels has no mean: one pixel is the least.
        im.adaptiveThreshold(std::max(1u, UInt(a.dValues[0])), std::max(1u, UInt(a.dValues[1])),
                             UInt(LevelToQuantum(a.dValues[2])));
      }));
  {
    tagFILTERENTRY noise = Call(u"Add Noise", u"Add noise to image with specified noise type", {},
                                [](MI& im, const Args& a) {
                                  im.addNoise(Magick::NoiseType(1 + std::clamp(a.nChoice, 0, 4)));
                                });
    noise.pszChoiceLabel = u"Noise Type:";
    noise.choices = {u"Gaussian noise", u"Multiplicative Gaussian noise", u"Impulse noise",
                     u"Laplacian noise", u"Poisson noise"};
    e.push_back(std::move(noise));
  }
  e.push_back(Call(u"Blur", u"Blur image",
                   {Param(u"Radius:", 10, true, kRadiusTip), Param(u"Sigma:", 5, true, kSigmaTip)},
                   [](MI& im, const Args& a) { im.blur(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Charcoal", u"Charcoal effect image (looks like charcoal sketch)",
                   {Param(u"Radius:", 10, true, kRadiusTip), Param(u"Sigma:", 5, true, kSigmaTip)},
                   [](MI& im, const Args& a) { im.charcoal(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Contrast", u"Contrast image (enhance intensity differences in image)",
                   {Param(u"Sharpen:", 100, false)},
                   [](MI& im, const Args& a) { im.contrast(UInt(a.dValues[0])); }));
  e.push_back(Call(u"Edge", u"Edge image (hilight edges in image)",
                   {Param(u"Radius:", 10, false,
                          u"the radius of the pixel neighborhood.. Specify a radius of zero for "
                          u"automatic radius selection")},
                   [](MI& im, const Args& a) { im.edge(a.dValues[0]); }));
  e.push_back(Call(u"Emboss", u"Emboss image (hilight edges with 3D effect)",
                   {Param(u"Radius:", 10, true, kRadiusTip), Param(u"Sigma:", 5, true, kSigmaTip)},
                   [](MI& im, const Args& a) { im.emboss(a.dValues[0], a.dValues[1]); }));
  {
    tagFILTERENTRY gamma =
        Call(u"Gamma", u"Gamma correct image",
             {Param(u"Value:", 5, true, nullptr, 0), Param(u"Red:", 5, true, nullptr, 1),
              Param(u"Green:", 5, true, nullptr, 1), Param(u"Blue:", 5, true, nullptr, 1)},
             [](MI& im, const Args& a) {
               if (a.nChoice == 0)
                 im.gamma(a.dValues[0]);
               else
                 im.gamma(a.dValues[1], a.dValues[2], a.dValues[3]);
             });
    gamma.choices = {u"Uniform correction", u"Channels correction"};
    e.push_back(std::move(gamma));
  }
  e.push_back(
      Call(u"Gaussian Blur", u"Gaussian blur image",
           {Param(u"Width:", 10, true,
                  u"the number of neighbor pixels to be included in the convolution mask"),
            Param(u"Sigma:", 5, true, u"the standard deviation of the gaussian bell curve")},
           [](MI& im, const Args& a) { im.gaussianBlur(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Implode", u"Implode image (special effect)", {Param(u"Factor:", 10, true)},
                   [](MI& im, const Args& a) { im.implode(a.dValues[0]); }));
  {
    tagFILTERENTRY median = MakeEntry(u"Median Filter", u"Filter image", FK_MAGICK);
    median.params = {Param(u"Radius:", 10, true,
                           u"replacing each pixel component with the median color in a circular "
                           u"neighborhood")};
    median.operation = [](MI& im, const Args& a) {
      return LorimoMedianFilter(im, a.dValues[0]) ? int(FR_DONE) : int(FR_CANCELLED);
    };
    e.push_back(std::move(median));
  }
  e.push_back(Call(u"Oil Paint", u"Oilpaint image (image looks like oil painting)",
                   {Param(u"Radius:", 10, false)},
                   [](MI& im, const Args& a) { im.oilPaint(a.dValues[0]); }));
  e.push_back(Call(u"Roll", u"Roll image", {Free(u"Columns:", false), Free(u"Rows:", false)},
                   [](MI& im, const Args& a) { im.roll(UInt(a.dValues[0]), UInt(a.dValues[1])); }));
  {
    tagFILTERENTRY shade =
        Call(u"Shade", u"Shade image using distant light source",
             {Param(u"Azimuth:", 180, true, kShadeTip), Param(u"Elevation:", 180, true, kShadeTip)},
             [](MI& im, const Args& a) { im.shade(a.dValues[0], a.dValues[1], a.bCheck); });
    shade.pszCheck = u"Color shading";
    e.push_back(std::move(shade));
  }
  e.push_back(Call(u"Sharpen", u"Sharpen pixels in image",
                   {Param(u"Radius:", 10, true, kRadiusTip), Param(u"Sigma:", 5, true, kSigmaTip)},
                   [](MI& im, const Args& a) { im.sharpen(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Shear", u"Shear image (create parallelogram by sliding image by X or Y axis)",
                   {Free(u"X angle:", true, u"slides an edge along the X axis"),
                    Free(u"Y angle:", true, u"slides  an edge along the Y axis")},
                   [](MI& im, const Args& a) { im.shear(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Solarize", u"Solarize image", {Param(u"Factor:", 100, true)},
                   [](MI& im, const Args& a) { im.solarize(a.dValues[0]); }));
  e.push_back(Call(u"Spread", u"Spread pixels", {Param(u"Amount:", 100, false)},
                   [](MI& im, const Args& a) { im.spread(UInt(a.dValues[0])); }));
  e.push_back(Call(u"Swirl", u"Swirl image", {Param(u"Degrees:", 1440, true)},
                   [](MI& im, const Args& a) { im.swirl(a.dValues[0]); }));
  e.push_back(Call(u"Wave", u"Alter an image along a sine wave",
                   {Free(u"Amplitude:", true), Free(u"Wavelength:", true)},
                   [](MI& im, const Args& a) { im.wave(a.dValues[0], a.dValues[1]); }));
  {
    tagFILTERENTRY colorize = Call(
        u"Colorize", u"Colorize image",
        {Param(u"Red:", 100, false, nullptr, 1), Param(u"Green:", 100, false, nullptr, 1),
         Param(u"Blue:", 100, false, nullptr, 1),
         Param(u"Percent Opacity:", 100, false, nullptr, 0)},
        [](MI& im, const Args& a) {
          if (a.bCheck)
            im.colorize(UInt(a.dValues[0]), UInt(a.dValues[1]), UInt(a.dValues[2]), a.colors[0]);
          else
            im.colorize(UInt(a.dValues[3]), a.colors[0]);
        });
    colorize.colorLabels = {u"Choose Pen Color:"};
    colorize.pszCheck = u"Use RGB Quantum";
    colorize.bGroupByCheck = true;
    e.push_back(std::move(colorize));
  }
  e.push_back(Call(u"Cycle Colormap", u"Cycle image colormap", {Free(u"Amount:", false)},
                   [](MI& im, const Args& a) { im.cycleColormap(Int(a.dValues[0])); }));
  {
    tagFILTERENTRY fill =
        Call(u"Matte Floodfill", u"Floodfill designated area with a replacement opacity value",
             {Free(u"Opacity:", false), Free(u"X:", false), Free(u"Y:", false)},
             [](MI& im, const Args& a) {
               const double x = a.dValues[1], y = a.dValues[2];
               if (x < 0 || y < 0 || x >= double(im.columns()) || y >= double(im.rows()))
                 throw std::runtime_error("The point lies outside the image.");
               const double opacity = std::min(LevelToQuantum(a.dValues[0]), double(MaxRGB));
               im.matteFloodfill(a.colors[0], UInt(opacity), Int(x), Int(y),
                                 Magick::PaintMethod(std::clamp(a.nChoice, 0, 4)));
             });
    fill.colorLabels = {u"Target Color:"};
    fill.pszChoiceLabel = u"Paint\nMethod:";
    fill.choices = {u"Point", u"Replace", u"Floodfill", u"FillToBorder", u"Reset"};
    e.push_back(std::move(fill));
  }
  {
    tagFILTERENTRY negate = Call(u"Negate", u"Negate colors in image", {},
                                 [](MI& im, const Args& a) { im.negate(a.bCheck); });
    negate.pszCheck = u"Grayscale";
    negate.pszCheckTooltip = u"only negate grayscale values in image";
    e.push_back(std::move(negate));
  }
  e.push_back(Call(u"Opacity", u"Set or attenuate the opacity channel in the image",
                   {Param(u"Opacity:", 100, false)}, [](MI& im, const Args& a) {
                     MI base(Magick::Geometry(unsigned(im.columns()), unsigned(im.rows())),
                             im.backgroundColor());
                     MI copy(im);
                     copy.opacity(UInt(a.dValues[0] * MaxRGB / 100.0));
                     base.composite(copy, 0, 0, Magick::AtopCompositeOp);
                     im = base;
                   }));
  {
    tagFILTERENTRY opaque =
        Call(u"Opaque", u"Change color of pixels", {},
             [](MI& im, const Args& a) { im.opaque(a.colors[0], a.colors[1]); });
    opaque.colorLabels = {u"Opaque Color:", u"Pen Color:"};
    e.push_back(std::move(opaque));
  }
  {
    tagFILTERENTRY raise =
        Call(u"Raise", u"Raise image", {Free(u"Width:", false), Free(u"Height:", false)},
             [](MI& im, const Args& a) {
               im.raise(Magick::Geometry(UInt(a.dValues[0]), UInt(a.dValues[1])), a.nChoice == 0);
             });
    raise.choices = {u"3-D raised", u"Lowered effect"};
    e.push_back(std::move(raise));
  }
  e.push_back(Call(u"Segment", u"Segment (coalesce similar image components)",
                   {Param(u"Cluster\nThreshold:", 5, true,
                          u"the number  of  pixels  each cluster  must exceed the cluster "
                          u"threshold to be considered valid"),
                    Param(u"Smoothing\nThreshold:", 5, true,
                          u"eliminates noise in the  second derivative of the histogram")},
                   [](MI& im, const Args& a) { im.segment(a.dValues[0], a.dValues[1]); }));
  e.push_back(Call(u"Threshold", u"Threshold image", {Param(u"Threshold:", 255, true)},
                   [](MI& im, const Args& a) { im.threshold(LevelToQuantum(a.dValues[0])); }));
  {
    tagFILTERENTRY transparent = Call(
        u"Transparent", u"Add matte image to image, setting pixels matching color to transparent",
        {}, [](MI& im, const Args& a) { im.transparent(a.colors[0]); });
    transparent.colorLabels = {u"Tranparent Color:"};
    e.push_back(std::move(transparent));
  }
  e.push_back(Call(u"Enhance", u"Enhance image (minimize noise)", {},
                   [](MI& im, const Args&) { im.enhance(); }));
  e.push_back(Call(u"Equalize", u"Equalize image (histogram equalization)", {},
                   [](MI& im, const Args&) { im.equalize(); }));
  {
    tagFILTERENTRY wb = MakeEntry(u"White Balance", u"White balance correction", FK_WHITE_BALANCE);
    tagCATALOGUEPARAM temperature = Param(u"Temperatures:", 20000, false);
    temperature.range.nMin = 1500;
    wb.params = {temperature};
    wb.pszCheck = u"Apply balance in linear RGB\n (before gamma correction)";
    wb.operation = WhiteBalance;
    e.push_back(std::move(wb));
  }
  {
    tagFILTERENTRY redEye = MakeEntry(u"Red Eye", u"Red Eye correction", FK_RED_EYE);
    redEye.operation = RedEye;
    e.push_back(std::move(redEye));
  }
  {
    tagFILTERENTRY aqua = MakeEntry(u"AQua2 Enlarge", u"AQua2 enlargement", FK_AQUA2);
    tagCATALOGUEPARAM width = Free(u"Width Percent:", false);
    tagCATALOGUEPARAM height = Free(u"Height Percent:", false);
    aqua.params = {width, height};
    aqua.pszCheck = u"Constrain Proportions";
    aqua.operation = AQua2;
    e.push_back(std::move(aqua));
  }
  m_nOwn = int(e.size());
}

int CFilterCatalogue::Find(const char16_t* name) const {
  for (size_t i = 0; i < m_entries.size(); ++i)
    if (MyString(m_entries[i].pszName) == name) return int(i);
  return -1;
}

tagFILTERARGS CFilterCatalogue::DefaultArgs(const tagFILTERENTRY& entry) {
  tagFILTERARGS args;
  for (size_t i = 0; i < entry.params.size() && i < args.dValues.size(); ++i) {
    const tagCATALOGUEPARAM& param = entry.params[i];
    args.dValues[i] = CParamEditRules(param.range, param.bSlider).Minimum();
  }
  if (entry.kind == FK_AQUA2) args.dValues = {100, 100, 0, 0};
  return args;
}

bool CFilterCatalogue::ResultSize(const tagFILTERENTRY& entry, const Magick::Image& image,
                                  const tagFILTERARGS& args, double* columns, double* rows) {
  double w = double(image.columns()), h = double(image.rows());
  const MyString name(entry.pszName);
  constexpr double kPi = 3.14159265358979323846;
  if (name == u"Shear") {
    // Each pass widens the image by the other side times the tangent.
    const double tx = std::tan(std::fmod(args.dValues[0], 360.0) * kPi / 180.0);
    const double ty = std::tan(std::fmod(args.dValues[1], 360.0) * kPi / 180.0);
    if (!std::isfinite(tx) || !std::isfinite(ty)) return false;
    w += h * std::fabs(tx);
    h += w * std::fabs(ty);
  } else if (name == u"Wave") {
    h += 2 * std::fabs(args.dValues[0]);
  } else if (entry.kind == FK_AQUA2) {
    w = std::floor(w * std::max(100.0, args.dValues[0]) / 100);
    h = std::floor(h * std::max(100.0, args.dValues[1]) / 100);
  }
  *columns = w;
  *rows = h;
  return true;
}

int CFilterCatalogue::Apply(const tagFILTERENTRY& entry, Magick::Image& image,
                            const tagFILTERARGS& args) {
  if (!image.isValid() || image.columns() == 0 || image.rows() == 0)
    throw std::runtime_error("There is no image to process.");
  double w = 0, h = 0;
  if (!ResultSize(entry, image, args, &w, &h) || w > kMaxBitmapSide || h > kMaxBitmapSide ||
      w * h * 8 > double(kMaxBitmapBytes))
    return FR_TOO_LARGE;
  return entry.operation(image, args);
}

Magick::Image CFilterCatalogue::PreviewSource(const Magick::Image& image, double* scale) {
  const double pixels = double(image.columns()) * double(image.rows());
  *scale = pixels > kPreviewPixels ? std::sqrt(kPreviewPixels / pixels) : 1.0;
  Magick::Image preview(image);
  if (*scale < 1.0) {
    const unsigned w = std::max(1u, unsigned(std::lround(double(image.columns()) * *scale)));
    const unsigned h = std::max(1u, unsigned(std::lround(double(image.rows()) * *scale)));
    Magick::Geometry size(w, h);
    size.aspect(true);
    // A box filter: a preview needs speed more than the last detail.
    preview.filterType(Magick::BoxFilter);
    preview.resize(size);
  }
  return preview;
}

tagFILTERARGS CFilterCatalogue::PreviewArgs(const tagFILTERENTRY& entry, const tagFILTERARGS& args,
                                            double scale) {
  tagFILTERARGS scaled = args;
  if (scale >= 1.0) return scaled;
  for (size_t i = 0; i < entry.params.size() && i < scaled.dValues.size(); ++i) {
    const MyString label(entry.params[i].pszLabel);
    for (const char16_t* pixels : {u"Radius:", u"Sigma:", u"Width:", u"Height:", u"Amplitude:",
                                   u"Wavelength:", u"Columns:", u"Rows:", u"X:", u"Y:"})
      if (label == pixels) {
        scaled.dValues[i] *= scale;
        // Whole-pixel sizes keep at least one pixel.
        if (!entry.params[i].range.bDecimal && args.dValues[i] >= 1)
          scaled.dValues[i] = std::max(1.0, std::round(scaled.dValues[i]));
      }
  }
  scaled.nRegionX = int(args.nRegionX * scale);
  scaled.nRegionY = int(args.nRegionY * scale);
  scaled.nRegionWidth = int(args.nRegionWidth * scale);
  scaled.nRegionHeight = int(args.nRegionHeight * scale);
  return scaled;
}

const tagFILTERENTRY* CFilterCatalogue::StockFilter(int position) const {
  if (position < 0 || position >= kStockFilterCount) return nullptr;
  if (position == 20 || position == 22 || position == 25 || position == 29) return nullptr;
  return &m_entries[size_t(position)];
}

int CFilterCatalogue::ApplyStockFilter(int position, const tagFILTERARGS& args,
                                       Magick::Image& image, std::string* error) const {
  const tagFILTERENTRY* entry = StockFilter(position);
  if (!entry) {
    if (error) *error = "This filter is not available.";
    return FR_NOTHING;
  }
  // A working copy: a failed call leaves the caller's image as it was.
  Magick::Image work(image);
  try {
    work.modifyImage();
    const int result = Apply(*entry, work, args);
    if (result == FR_DONE) image = work;
    return result;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return FR_NOTHING;
  }
}

int CFilterCatalogue::AddExternalFilter(tagFILTERENTRY entry) {
  entry.bGuiThread = true;
  m_entries.push_back(std::move(entry));
  return int(m_entries.size()) - 1;
}
