#include "pixwork/imageformatoptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "pixwork/dibfile.h"
#include "pixwork/formats.h"
#include "pixwork/options.h"

namespace {

struct FormatCase {
  const char* extension;
  bool quality;
  size_t compressions;
  bool interlace;
};

class FormatOptions : public ::testing::TestWithParam<FormatCase> {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    Magick::InitializeMagick(nullptr);
  }
};

TEST_P(FormatOptions, EachWritableFormatOffersItsOwnChoices) {
  const FormatCase& c = GetParam();
  const CFormatOptionSet set = CImageFormatOptions::OptionsFor(MyString::FromUtf8(c.extension));
  EXPECT_EQ(set.bQuality, c.quality);
  EXPECT_EQ(set.compressions.size(), c.compressions);
  EXPECT_EQ(set.compressionNames.size(), c.compressions);
  EXPECT_EQ(set.bInterlace, c.interlace);
}

INSTANTIATE_TEST_SUITE_P(
    SaveList, FormatOptions,
    ::testing::Values(FormatCase{"BMP", false, 2, false}, FormatCase{"jpg", true, 0, true},
                      FormatCase{"JPEG", true, 0, true}, FormatCase{"PNG", true, 0, true},
                      FormatCase{"PGM", false, 0, false}, FormatCase{"PNM", false, 0, false},
                      FormatCase{"PPM", false, 0, false}, FormatCase{"TIF", false, 5, false},
                      FormatCase{"JP2", true, 0, false}, FormatCase{"GIF", false, 0, true},
                      FormatCase{"HDF", false, 0, false}),
    [](const ::testing::TestParamInfo<FormatCase>& info) {
      return std::string(info.param.extension);
    });

TEST_F(FormatOptions, ChoicesStartFromAndReturnToTheSaveOptions) {
  gSO[SO_JPG_QUALITY].nValue = 60;
  gSO[SO_JPG_PROGRESSIVE].nValue = 1;
  CFormatChoice choice = CImageFormatOptions::DefaultChoice(u"jpg");
  EXPECT_EQ(choice.nQuality, 60);
  EXPECT_TRUE(choice.bInterlace);
  Magick::Image image(Magick::Geometry(4, 4), Magick::Color("red"));
  choice.nQuality = 33;
  choice.bInterlace = false;
  CImageFormatOptions::Apply(choice, u"JPG", &image);
  EXPECT_EQ(image.quality(), 33u);
  EXPECT_EQ(image.interlaceType(), Magick::NoInterlace);
  EXPECT_EQ(gSO[SO_JPG_QUALITY].nValue, 33);
  EXPECT_EQ(gSO[SO_JPG_PROGRESSIVE].nValue, 0);

  // PNG: the level goes to the tens, the filter option to the units.
  gSO[SO_PNG_FILTER].nValue = int32_t(IDC_SO_PNG_FILTER_PAETH);
  CFormatChoice png = CImageFormatOptions::DefaultChoice(u"png");
  png.nQuality = 7;
  png.bInterlace = true;
  CImageFormatOptions::Apply(png, u"png", &image);
  EXPECT_EQ(image.quality(), 74u);
  EXPECT_EQ(gSO[SO_PNG_INTERLACED].nValue, int32_t(IDC_SO_PNG_INTERLACE_ADAM7));
  EXPECT_NE(image.interlaceType(), Magick::NoInterlace);

  CFormatChoice tif;
  tif.nCompression = 2;
  CImageFormatOptions::Apply(tif, u"tif", &image);
  EXPECT_EQ(image.compressType(), Magick::ZipCompression);

  CFormatChoice jp2;
  jp2.nQuality = 40;
  CImageFormatOptions::Apply(jp2, u"JP2", &image);
  EXPECT_EQ(image.defineValue("jp2", "quality"), "40");
}

// Presses a button of the dialog that is open, once it is.
void PressWhenOpen(QDialogButtonBox::StandardButton which, int quality = -1) {
  QTimer::singleShot(0, [which, quality] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(widget);
      if (!dialog || !dialog->isVisible()) continue;
      if (quality >= 0)
        if (auto* spin = dialog->findChild<QSpinBox*>()) spin->setValue(quality);
      if (auto* box = dialog->findChild<QDialogButtonBox*>()) box->button(which)->click();
      return;
    }
    PressWhenOpen(which, quality);
  });
}

TEST_F(FormatOptions, DialogCancelReturnsTwoAndLeavesTheImage) {
  Magick::Image image(Magick::Geometry(4, 4), Magick::Color("red"));
  image.quality(50);
  PressWhenOpen(QDialogButtonBox::Cancel, 12);
  EXPECT_EQ(CImageFormatOptions::ShowFilterDialog(nullptr, &image, u"jpg"), 2);
  EXPECT_EQ(image.quality(), 50u);
  EXPECT_EQ(gSO[SO_JPG_QUALITY].nValue, 75);

  PressWhenOpen(QDialogButtonBox::Ok, 12);
  EXPECT_EQ(CImageFormatOptions::ShowFilterDialog(nullptr, &image, u"jpg"), 1);
  EXPECT_EQ(image.quality(), 12u);
  EXPECT_EQ(gSO[SO_JPG_QUALITY].nValue, 12);
  // Nothing to choose: confirmed without a dialog.
  EXPECT_EQ(CImageFormatOptions::ShowFilterDialog(nullptr, &image, u"ppm"), 1);
}

TEST(DibFile, SaveFilterBecomesAQtFilterWithBothCases) {
  const QString filter =
      QtFileDialogFilter(MyString(std::u16string(szSaveFilter, sizeof(szSaveFilter) / 2 - 1)));
  const QStringList entries = filter.split(QStringLiteral(";;"));
  ASSERT_EQ(entries.size(), 11);
  EXPECT_EQ(entries[0], QStringLiteral("BMP Files (*.bmp *.BMP)"));
  EXPECT_EQ(entries[10], QStringLiteral("HDF Files (*.hdf *.HDF)"));
  EXPECT_EQ(ExtensionOfQtFilter(entries[2]), MyString(u".jpeg"));
  EXPECT_TRUE(ExtensionOfQtFilter(QStringLiteral("All Files (*)")).IsEmpty());
}

}  // namespace
