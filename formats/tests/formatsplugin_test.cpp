// Formats.LPL loaded by the real plug-in host into the real main window:
// files made by the real encoders open in the viewer and make thumbnails.
#include <QImage>
#include <filesystem>
#include <memory>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "browse/thumbnailmaker.h"
#include "browse/thumbnailsetup.h"
#include "corekit/loadslot.h"
#include "corekit/registry.h"
#include "corekit/straw.h"
#include "dngwriter.h"
#include "formatstestfiles.h"
#include "pixwork/formats.h"
#include "plugins/pluginguard.h"
#include "plugins/pluginhost.h"
#include "shell/mainframe.h"
#include "shell/programhooks.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;
using namespace formatstest;

namespace {

MyString Path(const fs::path& path) { return CStrAW::FromPath(path); }

// Mean absolute difference per channel of an image from rgb.
double Difference(const Magick::Image& image, const std::vector<uint8_t>& rgb, int w, int h) {
  if (int(image.columns()) != w || int(image.rows()) != h) return 1e9;
  std::vector<uint8_t> pixels(size_t(w) * h * 3);
  Magick::Image copy(image);
  copy.write(0, 0, w, h, "RGB", Magick::CharPixel, pixels.data());
  double sum = 0;
  for (size_t i = 0; i < pixels.size(); ++i) sum += std::abs(pixels[i] - rgb[i]);
  return sum / double(pixels.size());
}

class FormatsPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = testsupport::NewTempDir("plugins");
    m_files = testsupport::NewTempDir("files");
    CPluginGuard::SetFailureQuestion([](const MyString&) { return false; });
    SetImageMessageSink([](HWND, const MyString&, const MyString&) {});
    fs::copy_file(FORMATS_PLUGIN_PATH, m_folder / "Formats.LPL");
    // As the program stored it: JPEG XL is written lossless at 100.
    CRegistry(HKEY_CURRENT_USER, u"Software\\ZOKA\\Lorimo").SetValue(u"JPG Quality", uint32_t(100));
    m_frame = std::make_unique<CMainFrame>();
    m_frame->resize(900, 600);
    m_frame->show();
    CPluginHost& host = m_frame->PluginHost();
    host.SetProbeTimeout(5000);
    host.Load(Path(m_folder));
    ASSERT_TRUE(testsupport::WaitFor([] { return GetPluginsLoadedEvent().IsSet(); },
                                     std::chrono::seconds(30)));
  }
  void TearDown() override {
    if (m_frame) m_frame->PluginHost().Release();
    m_frame.reset();
    CPluginGuard::SetFailureQuestion(nullptr);
    SetImageMessageSink(nullptr);
  }
  // Opens the file in the viewer; the image shown, or an empty one.
  Magick::Image Open(const std::string& name) {
    if (m_frame->OpenImage(Path(m_files / name)) != 1) return Magick::Image();
    return m_frame->Viewer()->Document().GetImage();
  }

  fs::path m_folder, m_files;
  std::unique_ptr<CMainFrame> m_frame;
};

}  // namespace

TEST_F(FormatsPluginTest, OpensEachFormatInTheViewerByItsBytesAndDeclaresItsExtensions) {
  ASSERT_EQ(m_frame->PluginHost().Records().size(), 1u);
  const std::vector<MyString> supported = GetSupportedExtensions();
  for (const char16_t* extension : {u"HEIC", u"AVIF", u"WEBP", u"JXL", u"DNG", u"CR3", u"X3F"})
    EXPECT_NE(std::find(supported.begin(), supported.end(), MyString(extension)), supported.end())
        << CStrAW::w_toA(extension);

  const int w = 96, h = 64;
  const std::vector<uint8_t> picture = Picture(w, h);
  const std::string src = (m_files / "src.png").string();
  ASSERT_TRUE(AsImage(picture, w, h).save(QString::fromStdString(src)));
  const auto out = [&](const char* name) { return (m_files / name).string(); };
  ASSERT_TRUE(RunTool("cwebp -q 92 " + src + " -o " + out("a.webp")));
  ASSERT_TRUE(RunTool("heif-enc -q 92 " + src + " -o " + out("a.heic")));
  ASSERT_TRUE(RunTool("heif-enc -A -q 92 " + src + " -o " + out("a.avif")));
  ASSERT_TRUE(RunTool("cjxl -d 0.5 " + src + " " + out("a.jxl")));
  testsupport::WriteFile(m_files / "a.dng", dngwriter::MakeLinearDng(picture, w, h));
  // Saved by a phone or a web site under a JPEG name.
  fs::copy_file(m_files / "a.heic", m_files / "phone.jpeg");
  fs::copy_file(m_files / "a.webp", m_files / "download.JPG");

  const std::pair<const char*, double> files[] = {
      {"a.webp", 4.0}, {"a.heic", 5.0},     {"a.avif", 5.0},      {"a.jxl", 3.0},
      {"a.dng", 12.0}, {"phone.jpeg", 5.0}, {"download.JPG", 4.0}};
  for (const auto& [name, tolerance] : files) {
    const Magick::Image image = Open(name);
    EXPECT_LT(Difference(image, picture, w, h), tolerance)
        << name << ": " << CStrAW::w_toA(GetLastLoadError());
  }

  // A picture with transparent parts keeps them: the viewer shows them over
  // its transparency colour and knows the picture had some.
  QImage clear = AsImage(picture, w, h).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 2; ++x) clear.setPixelColor(x, y, QColor(0, 0, 0, 0));
  ASSERT_TRUE(clear.save(QString::fromStdString(out("clear.png"))));
  ASSERT_TRUE(RunTool("cwebp -lossless -exact " + out("clear.png") + " -o " + out("clear.webp")));
  ASSERT_TRUE(Open("clear.webp").isValid());
  EXPECT_TRUE(m_frame->Viewer()->Document().HasTransparency());
  ASSERT_TRUE(Open("a.webp").isValid());
  EXPECT_FALSE(m_frame->Viewer()->Document().HasTransparency());

  // A damaged file fails with the library's reason.
  const std::string heic = testsupport::ReadFile(m_files / "a.heic");
  testsupport::WriteFile(m_files / "cut.heic", heic.substr(0, heic.size() / 2));
  EXPECT_EQ(m_frame->OpenImage(Path(m_files / "cut.heic")), 0);
  EXPECT_EQ(CStrAW::w_toA(GetLastLoadError()).rfind("HEIF: ", 0), 0u)
      << CStrAW::w_toA(GetLastLoadError());
}

TEST_F(FormatsPluginTest, ThumbnailsComeFromEmbeddedThumbnailsAndPreviewsOrAHalfSizeRaw) {
  const int w = 160, h = 120;
  const std::vector<uint8_t> picture = Picture(w, h);
  const std::string src = (m_files / "src.png").string();
  ASSERT_TRUE(AsImage(picture, w, h).save(QString::fromStdString(src)));
  ASSERT_TRUE(RunTool("heif-enc -q 90 -t 64 " + src + " -o " + (m_files / "a.heic").string()));
  ASSERT_TRUE(RunTool("cjxl -d 1 " + src + " " + (m_files / "a.jxl").string()));
  testsupport::WriteFile(m_files / "preview.dng",
                         dngwriter::MakeLinearDng(picture, w, h, Jpeg(picture, w, h), w, h));
  testsupport::WriteFile(m_files / "bare.dng", dngwriter::MakeLinearDng(picture, w, h));

  CThumbnailMaker maker(nullptr);
  ConfigureThumbnailMaker(maker);
  CThumbnailOwner owner;
  for (const char* name : {"a.heic", "a.jxl", "preview.dng", "bare.dng"}) {
    SIZE box{80, 80};
    const QImage thumbnail = maker.MakeThumbnail(owner, Path(m_files / name), &box, false);
    ASSERT_FALSE(thumbnail.isNull()) << name;
    // Fitted into the box, the white corner top left.
    EXPECT_EQ(thumbnail.width(), 80) << name;
    EXPECT_EQ(thumbnail.height(), 60) << name;
    EXPECT_GT(qGreen(thumbnail.pixel(2, 2)), 220) << name;
    EXPECT_LT(qGreen(thumbnail.pixel(70, 50)), 220) << name;
  }
}

TEST_F(FormatsPluginTest, SavingAsWebpOrJxlGoesThroughThePluginAndJxlAt100KeepsEveryPixel) {
  const int w = 64, h = 48;
  const std::vector<uint8_t> picture = Picture(w, h);
  const Magick::Image image(w, h, "RGB", Magick::CharPixel, picture.data());
  ASSERT_TRUE(SaveImage(nullptr, Path(m_files / "saved.webp"), image));
  ASSERT_TRUE(SaveImage(nullptr, Path(m_files / "saved.jxl"), image));
  EXPECT_EQ(testsupport::ReadFile(m_files / "saved.webp").substr(8, 4), "WEBP");
  EXPECT_LT(Difference(Open("saved.webp"), picture, w, h), 2.0);
  EXPECT_EQ(Difference(Open("saved.jxl"), picture, w, h), 0.0);
  // A format the plug-in only reads is refused with its reason.
  std::vector<MyString> messages;
  SetImageMessageSink(
      [&](HWND, const MyString& text, const MyString&) { messages.push_back(text); });
  EXPECT_FALSE(SaveImage(nullptr, Path(m_files / "saved.heic"), image, tagIMAGEWRITE(), true));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(CStrAW::w_toA(messages[0]).find("cannot be written"), std::string::npos);
  EXPECT_FALSE(fs::exists(m_files / "saved.heic"));
}
