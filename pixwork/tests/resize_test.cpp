#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <ostream>
#include <string>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "pixwork/dlgbatchresize.h"
#include "pixwork/dlgresize.h"
#include "pixwork/resizemath.h"

namespace {

const bool gbMagickReady = [] {
  Magick::InitializeMagick(nullptr);
  return true;
}();

std::string Utf8(const MyString& text) { return text.ToUtf8(); }

// --- Pixels, percent and the memory line ---

struct PercentCase {
  uint32_t nSize;
  uint32_t nPercent;
  uint32_t nPixels;
};

void PrintTo(const PercentCase& c, std::ostream* os) { *os << c.nPercent << "% of " << c.nSize; }

class PercentToPixelsTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(PercentToPixelsTest, RoundsHalfUp) {
  const PercentCase& c = GetParam();
  EXPECT_EQ(PercentToPixels(c.nSize, c.nPercent), c.nPixels);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PercentToPixelsTest,
                         ::testing::Values(PercentCase{1000, 50, 500}, PercentCase{333, 33, 110},
                                           PercentCase{3, 50, 2}, PercentCase{5, 10, 1},
                                           PercentCase{4, 10, 0}, PercentCase{1000, 3276, 32760},
                                           PercentCase{0, 100, 0}));

TEST(PixelsToPercentTest, RoundsHalfUpAndSurvivesAZeroSide) {
  EXPECT_EQ(PixelsToPercent(100, 200), 200u);
  EXPECT_EQ(PixelsToPercent(300, 100), 33u);
  EXPECT_EQ(PixelsToPercent(300, 200), 67u);
  EXPECT_EQ(PixelsToPercent(8, 1), 13u);  // 12.5 rounds up
  EXPECT_EQ(PixelsToPercent(0, 10), 0u);
}

struct MemoryCase {
  uint32_t nWidth;
  uint32_t nHeight;
  const char* pszText;
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.nWidth << "x" << c.nHeight; }

class MemoryTextTest : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryTextTest, ThreeBytesAPixelInTheLargestUnitBelow1024) {
  const MemoryCase& c = GetParam();
  EXPECT_EQ(Utf8(ResizeMemoryText(c.nWidth, c.nHeight)), c.pszText);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MemoryTextTest,
    ::testing::Values(MemoryCase{1000, 1000, "2.86 MB"}, MemoryCase{1, 1, "3.00 bytes"},
                      MemoryCase{10, 10, "300.00 bytes"}, MemoryCase{341, 1, "1023.00 bytes"},
                      MemoryCase{342, 1, "1.00 Kb"}, MemoryCase{591, 591, "1023.28 Kb"},
                      MemoryCase{600, 600, "1.03 MB"},
                      // Past 32 bits: 32768 x 32768 x 3 bytes.
                      MemoryCase{32768, 32768, "3072.00 MB"}));

TEST(ResizeFilterTest, UnknownNumbersAreNotInTheList) {
  EXPECT_EQ(gResizeFilters[ResizeFilterIndex(kDefaultResizeFilter)].nFilter,
            int32_t(Magick::LanczosFilter));
  EXPECT_EQ(ResizeFilterIndex(0), -1);
  EXPECT_EQ(ResizeFilterIndex(16), -1);
}

// --- The Resize Image arithmetic ---

TEST(ResizeCalcTest, ConstrainedWidthCarriesTheHeight) {
  CResizeCalc calc(100, 50);
  EXPECT_FLOAT_EQ(calc.GetProportion(), 2.0f);
  calc.Edit(RS_WIDTH, 200);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 200u);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 100u);
  calc.Edit(RS_HEIGHT, 25);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 50u);
  EXPECT_EQ(Utf8(calc.GetMemoryText()), "3.66 Kb");  // 50 x 25 x 3 = 3750 bytes
}

TEST(ResizeCalcTest, WithoutProportionsEachBoxIsItsOwn) {
  CResizeCalc calc(100, 50);
  calc.SetConstrained(false);
  EXPECT_FLOAT_EQ(calc.GetProportion(), 0.0f);
  calc.Edit(RS_WIDTH, 200);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 50u);
  calc.Edit(RS_HEIGHT, 200);
  EXPECT_EQ(calc.GetPixels(RS_WIDTH), 200u);
  EXPECT_EQ(calc.GetPixels(RS_HEIGHT), 200u);
  calc.SetConstrained(true);
  EXPECT_FLOAT_EQ(calc.GetProportion(), 2.0f);
}

TEST(ResizeCalcTest, ZeroBecomesOne) {
  CResizeCalc calc(100, 50);
  calc.Edit(RS_WIDTH, 0);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 1u);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 1u);  // 0.5 rounds up
}

TEST(ResizeCalcTest, LimitsInPixelsAndPercent) {
  CResizeCalc calc(1000, 500);
  calc.Edit(RS_WIDTH, 40000);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 32768u);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 16384u);

  calc.SetUnit(RS_WIDTH, RU_PERCENT);
  calc.Edit(RS_WIDTH, 5000);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 3276u);  // 3276800 / 1000, truncated
  EXPECT_EQ(calc.GetPixels(RS_WIDTH), 32760u);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 16380u);

  calc.SetUnit(RS_HEIGHT, RU_PERCENT);
  calc.Edit(RS_HEIGHT, 9000);
  // 6553 percent of 500 would ask for 65530 pixels across: the width stops
  // at its limit and the height follows it.
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 3276u);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 3276u);

  calc.SetConstrained(false);
  calc.Edit(RS_HEIGHT, 9000);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 6553u);  // 3276800 / 500
  EXPECT_EQ(calc.GetPixels(RS_HEIGHT), 32765u);
}

TEST(ResizeCalcTest, TheFollowingBoxShowsItsOwnUnit) {
  CResizeCalc calc(100, 50);
  calc.SetUnit(RS_HEIGHT, RU_PERCENT);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 100u);
  calc.Edit(RS_WIDTH, 150);
  EXPECT_EQ(calc.GetValue(RS_HEIGHT), 150u);  // 75 pixels of 50
  calc.Edit(RS_HEIGHT, 50);                   // percent: 25 pixels
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 50u);

  calc.SetUnit(RS_WIDTH, RU_PERCENT);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 50u);
  calc.SetUnit(RS_WIDTH, RU_PIXELS);
  EXPECT_EQ(calc.GetValue(RS_WIDTH), 50u);
}

TEST(ResizeCalcTest, AFollowingSideNeverPassesTheLimitNorDropsToZero) {
  // A 1 x 1000 strip: a width of 100 would ask for a height of 100000.
  CResizeCalc strip(1, 1000);
  strip.Edit(RS_WIDTH, 100);
  EXPECT_EQ(strip.GetValue(RS_HEIGHT), kMaxResizeSide);
  EXPECT_EQ(strip.GetValue(RS_WIDTH), 33u);  // back in proportion: 32768 x 0.001

  CResizeCalc wide(400, 100);
  wide.Edit(RS_WIDTH, 1);
  EXPECT_EQ(wide.GetValue(RS_HEIGHT), 1u);
  EXPECT_EQ(wide.GetPixels(RS_HEIGHT), 1u);
}

// --- Batch resizing ---

struct BatchCase {
  SIZE size;
  uint32_t nBoundWidth;
  uint32_t nBoundHeight;
  bool bConstrain;
  bool bEnlarge;
  SIZE expected;
};

void PrintTo(const BatchCase& c, std::ostream* os) {
  *os << c.size.cx << "x" << c.size.cy << (c.bEnlarge ? " enlarged to " : " shrunk to ")
      << c.nBoundWidth << "x" << c.nBoundHeight << (c.bConstrain ? " constrained" : "");
}

class BatchTargetTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(BatchTargetTest, BoundAndProportion) {
  const BatchCase& c = GetParam();
  BATCHRESIZEOPTIONS options;
  options.dwWidth = c.nBoundWidth;
  options.dwHeight = c.nBoundHeight;
  options.bConstrain = c.bConstrain;
  const SIZE target = BatchResizeTarget(c.size, options, c.bEnlarge);
  EXPECT_EQ(target.cx, c.expected.cx);
  EXPECT_EQ(target.cy, c.expected.cy);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchTargetTest,
    ::testing::Values(BatchCase{{100, 50}, 200, 200, true, true, {200, 100}},
                      BatchCase{{400, 200}, 200, 200, true, false, {200, 100}},
                      BatchCase{{100, 50}, 200, 200, false, true, {200, 200}},
                      BatchCase{{400, 200}, 200, 200, false, false, {200, 200}},
                      // Already past the bound on one side: enlarging keeps the size.
                      BatchCase{{300, 50}, 200, 200, true, true, {300, 50}},
                      BatchCase{{300, 50}, 200, 200, false, true, {300, 200}},
                      // Inside the bound: shrinking keeps the size.
                      BatchCase{{100, 50}, 200, 200, true, false, {100, 50}},
                      // 3 x 2 into 10 x 10: the height follows at 2 x 10/3 = 6.67.
                      BatchCase{{3, 2}, 10, 10, true, true, {10, 7}},
                      // 1000 x 3 shrunk into 100 x 100: 0.3 rows round to 0, kept at 1.
                      BatchCase{{1000, 3}, 100, 100, true, false, {100, 1}}));

Magick::Image MakeImage(int width, int height) {
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("red"));
  image.pixelColor(0, 0, Magick::Color("blue"));
  return image;
}

TEST(BatchResizeImageTest, EnlargesThenShrinksWithTheChosenFilter) {
  BATCHRESIZEOPTIONS options;
  options.bEnlarge = true;
  options.bShrink = true;
  options.bConstrain = false;
  options.dwWidth = 200;
  options.dwHeight = 200;
  options.nFilter = 3;  // Triangle
  Magick::Image image = MakeImage(100, 500);
  ASSERT_EQ(BatchResizeImage(image, options), 1);
  EXPECT_EQ(image.columns(), 200u);  // widened first
  EXPECT_EQ(image.rows(), 200u);     // then lowered
  EXPECT_EQ(image.filterType(), Magick::TriangleFilter);

  options.bConstrain = true;
  options.bShrink = false;
  Magick::Image small = MakeImage(100, 50);
  ASSERT_EQ(BatchResizeImage(small, options), 1);
  EXPECT_EQ(small.columns(), 200u);
  EXPECT_EQ(small.rows(), 100u);
}

TEST(BatchResizeImageTest, AFailingZoomLeavesTheImageAsItWas) {
  Magick::Image image = MakeImage(100, 50);
  const std::string before = image.signature();
  BATCHRESIZEOPTIONS options;
  options.bEnlarge = true;
  options.dwWidth = 4000;
  options.dwHeight = 4000;
  options.nFilter = 2;
  // The library refuses images wider than its width limit.
  const auto limit = MagickLib::GetMagickResourceLimit(MagickLib::WidthResource);
  MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, 1000);
  const int result = BatchResizeImage(image, options);
  MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, limit);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(image.columns(), 100u);
  EXPECT_EQ(image.rows(), 50u);
  EXPECT_EQ(image.signature(), before);
  EXPECT_NE(image.filterType(), Magick::BoxFilter);

  Magick::Image empty;
  EXPECT_EQ(BatchResizeImage(empty, options), 0);
}

TEST(BatchResizeImageTest, AFilterOutsideTheListFallsBackToLanczos) {
  Magick::Image image = MakeImage(10, 10);
  BATCHRESIZEOPTIONS options;
  options.bEnlarge = true;
  options.dwWidth = 20;
  options.dwHeight = 20;
  options.nFilter = 99;
  ASSERT_EQ(BatchResizeImage(image, options), 1);
  EXPECT_EQ(image.columns(), 20u);
  EXPECT_EQ(image.filterType(), Magick::LanczosFilter);
}

// --- The dialogs ---

void TypeText(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
  QCoreApplication::sendEvent(box, &erase);
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - u'0'), Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(box, &press);
  }
}

template <typename T>
T* Item(CDialog& dialog, int id) {
  return static_cast<T*>(dialog.GetDlgItem(id));
}

TEST(CDlgResizeTest, TypingFollowsTheRulesAndOkGivesPixels) {
  CDlgResize dialog(nullptr, IMAGEPROP{100, 50, 99});
  QTimer::singleShot(0, &dialog, [&] {
    auto* width = Item<QLineEdit>(dialog, IDC_RESIZE_WIDTH);
    auto* height = Item<QLineEdit>(dialog, IDC_RESIZE_HEIGHT);
    EXPECT_EQ(width->text(), "100");
    EXPECT_EQ(height->text(), "50");
    EXPECT_TRUE(Item<QRadioButton>(dialog, IDC_RESIZE_WIDTH_PIXELS)->isChecked());
    EXPECT_TRUE(Item<QCheckBox>(dialog, IDC_RESIZE_CONSTRAIN)->isChecked());
    EXPECT_EQ(Item<QComboBox>(dialog, IDC_RESIZE_FILTER)->currentText(), "Lanczos");

    TypeText(width, "200");
    EXPECT_EQ(height->text(), "100");
    EXPECT_EQ(Item<QLabel>(dialog, IDC_RESIZE_MEMORY)->text(), "58.59 Kb");

    // An emptied box waits for the user's number.
    TypeText(width, "");
    EXPECT_EQ(width->text(), "");
    TypeText(width, "0");
    EXPECT_EQ(width->text(), "1");

    Item<QRadioButton>(dialog, IDC_RESIZE_HEIGHT_PERCENT)->click();
    TypeText(width, "300");
    EXPECT_EQ(height->text(), "300");  // 150 pixels of 50

    Item<QCheckBox>(dialog, IDC_RESIZE_CONSTRAIN)->click();
    TypeText(width, "1000");
    EXPECT_EQ(height->text(), "300");
    Item<QPushButton>(dialog, IDOK)->click();
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  const IMAGEPROP prop = dialog.GetImageProp();
  EXPECT_EQ(prop.dwWidth, 1000u);
  EXPECT_EQ(prop.dwHeight, 150u);
  EXPECT_EQ(prop.nFilter, 13);
}

TEST(CDlgResizeTest, CancelKeepsTheImagesSize) {
  CDlgResize dialog(nullptr, IMAGEPROP{640, 480, 5});
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_EQ(Item<QComboBox>(dialog, IDC_RESIZE_FILTER)->currentText(), "Hanning");
    TypeText(Item<QLineEdit>(dialog, IDC_RESIZE_WIDTH), "20");
    Item<QPushButton>(dialog, IDCANCEL)->click();
  });
  ASSERT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.GetImageProp().dwWidth, 640u);
  EXPECT_EQ(dialog.GetImageProp().dwHeight, 480u);
  EXPECT_EQ(dialog.GetImageProp().nFilter, 5);
}

TEST(CDlgResizeTest, OkWithoutAFilterWarnsAndStaysOpen) {
  CDlgResize dialog(nullptr, IMAGEPROP{10, 10, 1});
  QString caption, text;
  bool bStillOpen = false;
  QTimer::singleShot(0, &dialog, [&] {
    Item<QComboBox>(dialog, IDC_RESIZE_FILTER)->setCurrentIndex(-1);
    QTimer::singleShot(0, &dialog, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      caption = box->windowTitle();
      text = box->text();
      box->accept();
      QTimer::singleShot(0, &dialog, [&] {
        bStillOpen = dialog.IsOpen();
        Item<QPushButton>(dialog, IDCANCEL)->click();
      });
    });
    Item<QPushButton>(dialog, IDOK)->click();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(caption, "Resize image :");
  EXPECT_EQ(text, "Please select a filter type !");
  EXPECT_TRUE(bStillOpen);
}

TEST(CDlgBatchResizeTest, OkNeedsADirectionAndBothBoundsAndKeepsTheSettings) {
  CDlgBatchResize dialog;
  QTimer::singleShot(0, &dialog, [&] {
    auto* ok = Item<QPushButton>(dialog, IDOK);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_TRUE(Item<QCheckBox>(dialog, IDC_BATCH_CONSTRAIN)->isChecked());
    TypeText(Item<QLineEdit>(dialog, IDC_BATCH_WIDTH), "200");
    TypeText(Item<QLineEdit>(dialog, IDC_BATCH_HEIGHT), "150");
    EXPECT_FALSE(ok->isEnabled());
    Item<QCheckBox>(dialog, IDC_BATCH_SHRINK)->click();
    EXPECT_TRUE(ok->isEnabled());
    TypeText(Item<QLineEdit>(dialog, IDC_BATCH_HEIGHT), "");
    EXPECT_FALSE(ok->isEnabled());
    TypeText(Item<QLineEdit>(dialog, IDC_BATCH_HEIGHT), "0");
    EXPECT_FALSE(ok->isEnabled());
    TypeText(Item<QLineEdit>(dialog, IDC_BATCH_HEIGHT), "123456");
    EXPECT_EQ(Item<QLineEdit>(dialog, IDC_BATCH_HEIGHT)->text(), "12345");
    Item<QComboBox>(dialog, IDC_BATCH_FILTER)->setCurrentIndex(1);
    ok->click();
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(dialog.GetOptions().bShrink);
  EXPECT_FALSE(dialog.GetOptions().bEnlarge);
  EXPECT_EQ(dialog.GetOptions().dwWidth, 200u);
  EXPECT_EQ(dialog.GetOptions().dwHeight, 12345u);
  EXPECT_EQ(dialog.GetOptions().nFilter, 2);

  // Reopened, it shows what it keeps; Cancel changes nothing.
  QTimer::singleShot(0, &dialog, [&] {
    EXPECT_EQ(Item<QLineEdit>(dialog, IDC_BATCH_WIDTH)->text(), "200");
    EXPECT_TRUE(Item<QCheckBox>(dialog, IDC_BATCH_SHRINK)->isChecked());
    EXPECT_EQ(Item<QComboBox>(dialog, IDC_BATCH_FILTER)->currentText(), "Box");
    Item<QCheckBox>(dialog, IDC_BATCH_ENLARGE)->click();
    Item<QPushButton>(dialog, IDCANCEL)->click();
  });
  ASSERT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_FALSE(dialog.GetOptions().bEnlarge);

  Magick::Image image = MakeImage(400, 100);
  ASSERT_EQ(dialog.BatchResizing(image), 1);
  EXPECT_EQ(image.columns(), 200u);
  EXPECT_EQ(image.rows(), 50u);
}

}  // namespace
