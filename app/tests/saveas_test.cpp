#include "viewer/saveas.h"

#include <filesystem>
#include <sys/stat.h>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "codecs/exifcopy.h"
#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "testsupport/testsupport.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

// Answers the dialogs as a script says and records what was asked.
class CScriptedUi : public CSaveAsUi {
 public:
  MyString target;
  int formatAnswer = 1;
  unsigned quality = 0;  // put on the image by the "dialog" when not 0
  int formatDialogs = 0;
  std::vector<std::pair<MyString, MyString>> messages;

  MyString AskTarget(const MyString&) override { return target; }
  void Message(const MyString& text, const MyString& caption, bool) override {
    messages.emplace_back(text, caption);
  }
  int ShowFormatOptions(Magick::Image* image, const MyString&) override {
    ++formatDialogs;
    if (formatAnswer == 1 && quality) image->quality(quality);
    return formatAnswer;
  }
};

std::map<std::string, std::string> ExifOf(const fs::path& path) {
  auto image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  std::map<std::string, std::string> tags;
  for (const Exiv2::Exifdatum& datum : image->exifData()) tags[datum.key()] = datum.toString();
  return tags;
}

class SaveAs : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    InitializeImageLibrary();
    m_dir = testsupport::NewTempDir();
    SetImageMessageSink([](HWND, const MyString&, const MyString&) {});
  }
  void TearDown() override { SetImageMessageSink(nullptr); }

  fs::path MakeJpeg(const char* name, bool withExif) {
    Magick::Image image(Magick::Geometry(48, 32), Magick::Color("orange"));
    image.quality(90);
    const fs::path path = m_dir / name;
    image.write(path.string());
    if (withExif) {
      auto file = Exiv2::ImageFactory::open(path.string());
      Exiv2::ExifData exif;
      exif["Exif.Image.Make"] = std::string("Testcam");
      exif["Exif.Image.Software"] = std::string("Camera firmware");
      exif["Exif.Photo.ExifVersion"] =
          Exiv2::DataValue(reinterpret_cast<const Exiv2::byte*>("0230"), 4, Exiv2::invalidByteOrder,
                           Exiv2::undefined);
      file->setExifData(exif);
      file->writeMetadata();
    }
    return path;
  }

  fs::path m_dir;
  CImageView m_view;
  CScriptedUi m_ui;
};

TEST_F(SaveAs, WithoutAnImageAsksToOpenOneFirst) {
  m_ui.target = CStrAW::FromPath(m_dir / "x.png");
  EXPECT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 0);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].first, MyString(u"Please Open Image First."));
  EXPECT_EQ(m_ui.messages[0].second, MyString(u"Lorimo: SaveAs function"));
  EXPECT_FALSE(fs::exists(m_dir / "x.png"));
}

TEST_F(SaveAs, ReadOnlyTargetIsRefusedBeforeTheFormatOptions) {
  const fs::path source = MakeJpeg("source.jpg", false);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  const fs::path target = m_dir / "locked.png";
  testsupport::WriteFile(target, "old");
  ::chmod(target.c_str(), 0444);
  m_ui.target = CStrAW::FromPath(target);
  EXPECT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 0);
  EXPECT_EQ(m_ui.formatDialogs, 0);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].first, MyString(u"The file is read only and cannot be saved."));
  EXPECT_EQ(testsupport::ReadFile(target), "old");
}

TEST_F(SaveAs, CancelInTheFormatOptionsChangesNothing) {
  const fs::path source = MakeJpeg("source.jpg", false);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  m_ui.target = CStrAW::FromPath(m_dir / "out.png");
  m_ui.formatAnswer = 2;
  m_ui.quality = 11;
  EXPECT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 0);
  EXPECT_EQ(m_ui.formatDialogs, 1);
  EXPECT_FALSE(fs::exists(m_dir / "out.png"));
  EXPECT_EQ(m_view.Document().GetPath(), CStrAW::FromPath(source));
}

TEST_F(SaveAs, OtherFormatIsWrittenAndBecomesTheDocumentsFile) {
  const fs::path source = MakeJpeg("source.jpg", true);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  m_view.Document().SetModified(true);
  gSO[SO_JPG_PROGRESSIVE].nValue = 1;
  m_ui.target = CStrAW::FromPath(m_dir / "out.png");
  ASSERT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 1);
  Magick::Image back;
  ASSERT_EQ(LoadImage(nullptr, m_ui.target, &back, 0), 1);
  EXPECT_EQ(back.columns(), 48u);
  // "Save as progressive" interlaces every format: an Adam-7 PNG here.
  Magick::Image ping;
  ping.ping(fs::path(m_dir / "out.png").string());
  EXPECT_NE(ping.interlaceType(), Magick::NoInterlace);
  EXPECT_FALSE(m_view.Document().IsModified());
  EXPECT_EQ(m_view.Document().GetPath(), m_ui.target);
  EXPECT_EQ(m_view.Document().GetName(), MyString(u"out.png"));
}

TEST_F(SaveAs, JpegToJpegCarriesTheExifOverWithNewFields) {
  const fs::path source = MakeJpeg("camera.jpg", true);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  for (bool lossless : {true, false}) {
    gSO[SO_JPG_LOSSLESS].nValue = lossless ? 1 : 0;
    const fs::path target = m_dir / (lossless ? "lossless.jpg" : "recoded.JPEG");
    m_ui.target = CStrAW::FromPath(target);
    ASSERT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 1);
    const auto tags = ExifOf(target);
    EXPECT_EQ(tags.at("Exif.Image.Make"), "Testcam");
    EXPECT_EQ(tags.at("Exif.Image.Software"), "Lorimo Image Viewer");
    EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "48");
    EXPECT_EQ(tags.at("Exif.Photo.PixelYDimension"), "32");
    ASSERT_EQ(tags.at("Exif.Image.DateTime").size(), 19u);
    EXPECT_EQ(tags.at("Exif.Image.DateTime")[4], ':');
    EXPECT_EQ(tags.at("Exif.Photo.ExifVersion"), "48 50 51 48");  // the source's "0230" stays
    // The next save starts from the new file, as the document now names it.
    ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  }
  // The lossless copy kept the coefficients: the pictures decode the same.
  Magick::Image a, b;
  ASSERT_EQ(LoadImage(nullptr, CStrAW::FromPath(source), &a, 0), 1);
  ASSERT_EQ(LoadImage(nullptr, CStrAW::FromPath(m_dir / "lossless.jpg"), &b, 0), 1);
  EXPECT_TRUE(a.compare(b));
}

TEST_F(SaveAs, JpegWithoutExifGetsAFreshBlockWithItsVersion) {
  const fs::path source = MakeJpeg("plain.jpg", false);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  m_ui.target = CStrAW::FromPath(m_dir / "plain-copy.jpg");
  ASSERT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 1);
  const auto tags = ExifOf(m_dir / "plain-copy.jpg");
  EXPECT_EQ(tags.at("Exif.Image.Software"), "Lorimo Image Viewer");
  EXPECT_EQ(tags.at("Exif.Photo.ExifVersion"), "48 50 50 48");  // "0220"
  EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "48");
}

TEST_F(SaveAs, ModifiedJpegIsEncodedNotCopied) {
  const fs::path source = MakeJpeg("camera.jpg", true);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  m_view.Document().SetModified(true);
  int copies = 0;
  CSaveAsCommand command(m_view.Document(), m_ui);
  command.losslessCopy = [&](const MyString&, const MyString&, bool) { return ++copies; };
  m_ui.target = CStrAW::FromPath(m_dir / "edited.jpg");
  ASSERT_EQ(command.Run(), 1);
  EXPECT_EQ(copies, 0);
  // The encoder keeps the block it read; only an unmodified copy is updated.
  EXPECT_EQ(ExifOf(m_dir / "edited.jpg").at("Exif.Image.Software"), "Camera firmware");
}

TEST_F(SaveAs, SavingOverTheSourceItselfKeepsAWholeFile) {
  const fs::path source = MakeJpeg("self.jpg", true);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  m_ui.target = CStrAW::FromPath(source);
  ASSERT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 1);
  Magick::Image back;
  ASSERT_EQ(LoadImage(nullptr, m_ui.target, &back, 0), 1);
  EXPECT_EQ(back.columns(), 48u);
  EXPECT_EQ(ExifOf(source).at("Exif.Image.Software"), "Lorimo Image Viewer");
}

TEST_F(SaveAs, ExifThatCannotBeCarriedOverFailsTheSaveAndKeepsTheTarget) {
  gVO[VO_DIALOG_ERRORS].bFlag = 0;  // save errors shown
  std::vector<MyString> said;
  SetImageMessageSink(
      [&](HWND, const MyString&, const MyString& caption) { said.push_back(caption); });
  gSO[SO_JPG_LOSSLESS].nValue = 0;
  const fs::path source = MakeJpeg("camera.jpg", true);
  ASSERT_EQ(m_view.OpenFile(CStrAW::FromPath(source)), 1);
  // Cut short inside its EXIF block after it was shown.
  testsupport::WriteFile(source, testsupport::ReadFile(source).substr(0, 40));
  const fs::path target = m_dir / "kept.jpg";
  testsupport::WriteFile(target, "old");
  m_ui.target = CStrAW::FromPath(target);
  EXPECT_EQ(CSaveAsCommand(m_view.Document(), m_ui).Run(), 0);
  EXPECT_EQ(testsupport::ReadFile(target), "old");
  EXPECT_EQ(m_view.Document().GetPath(), CStrAW::FromPath(source));
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], MyString(u"Lorimo: SaveImage() function"));
}

}  // namespace
