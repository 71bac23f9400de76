#pragma once
// CFilterCatalogue: the filters of the process view in menu order, each
// with its name, description, panel description (labels, ranges, tooltips,
// choices) and the operation it applies to an image. Built once; the
// process view, its panels and the plug-ins' stock filters all read it.
// No widgets. The operations run on any thread, on an image only that
// thread touches; they throw the library's exceptions, which the caller
// catches.

#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <Magick++.h>

#include "process/filterparams.h"

class QWidget;

// What the panel hands to an operation.
struct tagFILTERARGS {
  std::array<double, 4> dValues{};  // the numeric parameters in panel order
  int nChoice = 0;                  // the list or radio choice, 0 the first
  bool bCheck = false;              // the panel's check box
  std::array<Magick::Color, 2> colors{Magick::Color("white"), Magick::Color("black")};
  // White Balance: a white point is set (colors[0]); else dValues[0] kelvin.
  bool bWhitePoint = false;
  // Red Eye: the selected region in image pixels.
  int nRegionX = 0, nRegionY = 0, nRegionWidth = 0, nRegionHeight = 0;
};

// Results of an operation.
enum FILTERRESULT : int {
  FR_DONE = 1,
  FR_NOTHING = 0,     // nothing to do: no image is produced
  FR_CANCELLED = -1,  // stopped through the progress monitor
  FR_TOO_LARGE = -2,  // the result would be larger than an image may be
};

// One numeric parameter of a panel.
struct tagCATALOGUEPARAM {
  const char16_t* pszLabel;
  const char16_t* pszTooltip;  // null: none
  tagFILTERPARAM range;
  bool bSlider;  // false: no slider, the value passes as typed
  // -1 always shown; else shown while the group selector (the radio choice,
  // or the check box where bGroupByCheck) equals it.
  int nGroup = -1;
};

enum FILTERKIND : int {
  FK_MAGICK,  // one call of the image library
  FK_WHITE_BALANCE,
  FK_RED_EYE,
  FK_AQUA2,
};

struct tagFILTERENTRY {
  const char16_t* pszName = nullptr;
  const char16_t* pszDescription = nullptr;
  FILTERKIND kind = FK_MAGICK;
  std::vector<tagCATALOGUEPARAM> params;
  const char16_t* pszChoiceLabel = nullptr;  // a list's label (null: radio buttons)
  std::vector<const char16_t*> choices;      // list entries or radio buttons
  const char16_t* pszCheck = nullptr;        // a check box
  const char16_t* pszCheckTooltip = nullptr;
  bool bGroupByCheck = false;
  std::vector<const char16_t*> colorLabels;  // colour pickers
  // Applies the filter to image in place; FR_* result. Throws the
  // library's exceptions (the image is then not to be used).
  std::function<int(Magick::Image& image, const tagFILTERARGS& args)> operation;
  // A plug-in's filter: it reads its own panel (made here), so it runs on
  // the GUI thread.
  bool bGuiThread = false;
  std::function<QWidget*(QWidget* parent)> makePanel;
};

class CFilterCatalogue {
 public:
  static constexpr int kStockFilterCount = 32;

  CFilterCatalogue();

  int GetCount() const { return int(m_entries.size()); }
  const tagFILTERENTRY& Entry(int index) const { return m_entries[size_t(index)]; }
  // -1 when no entry has the name.
  int Find(const char16_t* name) const;

  // The arguments a panel starts with: every value at its minimum, the
  // first choice, the box unchecked.
  static tagFILTERARGS DefaultArgs(const tagFILTERENTRY& entry);
  // Runs the entry's operation on image, refusing results too large to
  // hold (FR_TOO_LARGE) before running. Throws as the operation does.
  static int Apply(const tagFILTERENTRY& entry, Magick::Image& image, const tagFILTERARGS& args);
  // The size the operation gives image, for the size check.
  static bool ResultSize(const tagFILTERENTRY& entry, const Magick::Image& image,
                         const tagFILTERARGS& args, double* columns, double* rows);

  // Previews run on a copy of about kPreviewPixels pixels: the source
  // scaled down (not up) and its scale, and the arguments with every size
  // in pixels (radius, sigma, width, offsets, the Red Eye region) scaled
  // the same way, so that the preview looks like the full result.
  static constexpr double kPreviewPixels = 1000000;
  static Magick::Image PreviewSource(const Magick::Image& image, double* scale);
  static tagFILTERARGS PreviewArgs(const tagFILTERENTRY& entry, const tagFILTERARGS& args,
                                   double scale);

  // The plug-ins' stock filters: the entries at positions 0 to 31 less the
  // ones that need a colour picker. Null for the others.
  const tagFILTERENTRY* StockFilter(int position) const;
  // Runs stock filter `position` on image with the arguments as typed:
  // FR_* result; FR_NOTHING with *error set when the position is not
  // available or the library failed (the image is then unchanged).
  int ApplyStockFilter(int position, const tagFILTERARGS& args, Magick::Image& image,
                       std::string* error) const;
  // A plug-in's filter, listed after the catalogue's own; GUI thread. The
  // index it got.
  int AddExternalFilter(tagFILTERENTRY entry);
  int GetOwnCount() const { return m_nOwn; }

 private:
  // A deque: entries keep their address while plug-ins add theirs.
  std::deque<tagFILTERENTRY> m_entries;
  int m_nOwn = 0;
};

// The program's one catalogue, built on first use: the process view and the
// plug-ins' stock filters share it, whether the view was shown or not.
CFilterCatalogue& GetFilterCatalogue();

// The level 0-255 of an 8-bit scale on the library's quantum scale.
double LevelToQuantum(double level);
