// The image service answered through the real message layer, as a library
// sends it with CDll2LorimoMessage.
#include "viewer/imageservice.h"

#include <QObject>
#include <filesystem>

#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/mainframe.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

class ImageService : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    InitializeImageLibrary();
    m_dir = testsupport::NewTempDir();
    // Left half red, right half blue, 40 x 20.
    Magick::Image image(Magick::Geometry(40, 20), Magick::Color("red"));
    image.fillColor(Magick::Color("blue"));
    image.draw(Magick::DrawableRectangle(20, 0, 40, 20));
    image.write((m_dir / "pic.png").string());
    m_pic = CStrAW::FromPath(m_dir / "pic.png");
  }

  CMainFrame m_frame;
  fs::path m_dir;
  MyString m_pic;
};

TEST_F(ImageService, WindowsAndFileTypes) {
  EXPECT_EQ(CDll2LorimoMessage::GetLorimoWindow(), m_frame.GetSafeHwnd());
  EXPECT_EQ(CDll2LorimoMessage::GetMainWindow(), m_frame.GetSafeHwnd());
  EXPECT_EQ(CDll2LorimoMessage::GetViewerWindow(), m_frame.Viewer()->GetSafeHwnd());
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/x/a.JPG"), 1);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/x/a.psd"), 1);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/x/a.lrm"), 0);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/x/a.txt"), 0);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/x/noextension"), 0);
  // Unknown request types, 5 among them, answer 0.
  for (int32_t type : {0, 5, 14, -1}) {
    tagDLL2LORIMOMESSAGE record;
    record.nRequest = type;
    EXPECT_EQ(CDll2LorimoMessage::Send(&record), 0) << type;
  }
}

TEST_F(ImageService, ReadImageGivesAFittedBitmapAndTheFileSize) {
  const SIZE fit{10, 10};
  SIZE fileSize;
  HBITMAP bitmap = CDll2LorimoMessage::ReadImage(m_pic, &fit, &fileSize);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(fileSize.cx, 40);
  EXPECT_EQ(fileSize.cy, 20);
  EXPECT_EQ(bitmap->nWidth, 10);
  EXPECT_EQ(bitmap->nHeight, 5);
  // B, G, R, A: the left is red, the right blue.
  EXPECT_EQ(bitmap->pPixels[2], 255);
  EXPECT_EQ(bitmap->pPixels[0], 0);
  EXPECT_EQ(bitmap->pPixels[9 * 4 + 0], 255);
  EXPECT_EQ(bitmap->pPixels[3], 255);
  DeleteBitmap32(bitmap);
  EXPECT_EQ(CDll2LorimoMessage::ReadImage(CStrAW::FromPath(m_dir / "absent.png")), nullptr);
}

TEST_F(ImageService, HeaderSize) {
  SIZE size;
  ASSERT_EQ(CDll2LorimoMessage::GetImageDim(m_pic, &size), 1);
  EXPECT_EQ(size.cx, 40);
  EXPECT_EQ(size.cy, 20);
  testsupport::WriteFile(m_dir / "bad.png", "nope");
  EXPECT_EQ(CDll2LorimoMessage::GetImageDim(CStrAW::FromPath(m_dir / "bad.png"), &size), 0);
}

TEST_F(ImageService, PixelCopyOfAFileAndOfTheViewerAndReplace) {
  SIZE size;
  uint8_t* pixels = CDll2LorimoMessage::CopyPixels(m_pic, &size);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(size.cx, 40);
  EXPECT_EQ(size.cy, 20);
  EXPECT_EQ(pixels[2], 255);             // red at the left
  EXPECT_EQ(pixels[(39) * 4 + 0], 255);  // blue at the right
  FreePixelBuffer(pixels);

  // Without a path: the viewer's image, 0 while it has none.
  EXPECT_EQ(CDll2LorimoMessage::CopyPixels(MyString(), &size), nullptr);
  ASSERT_EQ(m_frame.OpenImage(m_pic), 1);
  pixels = CDll2LorimoMessage::CopyPixels(MyString(), &size);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(size.cx, 40);

  // The requester's pixels become the viewer's image: make it all green.
  for (int i = 0; i < size.cx * size.cy; ++i) {
    pixels[i * 4 + 0] = 0, pixels[i * 4 + 1] = 255, pixels[i * 4 + 2] = 0, pixels[i * 4 + 3] = 0;
  }
  const SIZE half{20, 40};  // the same bytes read as 20 x 40
  ASSERT_EQ(CDll2LorimoMessage::ReplacePixels(pixels, half), 1);
  FreePixelBuffer(pixels);
  CImageDocument& document = m_frame.Viewer()->Document();
  EXPECT_EQ(document.GetImage().columns(), 20u);
  EXPECT_EQ(document.GetImage().rows(), 40u);
  EXPECT_TRUE(document.IsModified());
  const Magick::Color pixel = Magick::Image(document.GetImage()).pixelColor(3, 3);
  EXPECT_EQ(pixel, Magick::Color("lime"));  // the fourth byte is not opacity
  EXPECT_EQ(m_frame.Viewer()->Image().width(), 20);
}

TEST_F(ImageService, WriteImageResizesExactlyAndSaves) {
  const MyString target = CStrAW::FromPath(m_dir / "small.jpg");
  const SIZE size{13, 17};
  ASSERT_EQ(CDll2LorimoMessage::WriteImage(m_pic, target, &size, int16_t(Magick::LanczosFilter)),
            1);
  SIZE written;
  ASSERT_EQ(ReadImageHeader(target, &written), 1);
  EXPECT_EQ(written.cx, 13);
  EXPECT_EQ(written.cy, 17);
  // Without a size: a converted copy; a missing source: 0.
  const MyString copy = CStrAW::FromPath(m_dir / "copy.bmp");
  ASSERT_EQ(CDll2LorimoMessage::WriteImage(m_pic, copy, nullptr, -1), 1);
  ASSERT_EQ(ReadImageHeader(copy, &written), 1);
  EXPECT_EQ(written.cx, 40);
  EXPECT_EQ(CDll2LorimoMessage::WriteImage(CStrAW::FromPath(m_dir / "absent.png"), copy), 0);
}

TEST_F(ImageService, FolderDisplayAndThumbnail) {
  CDll2LorimoMessage::DisplayDirectoryImages(CStrAW::FromPath(m_dir));
  EXPECT_EQ(m_frame.Viewer()->Document().GetName(), MyString(u"pic.png"));

  HBITMAP thumbnail = CDll2LorimoMessage::GetThumbnail(m_pic, SIZE{30, 30}, 5);
  ASSERT_NE(thumbnail, nullptr);
  EXPECT_EQ(thumbnail->nWidth, 30);
  EXPECT_EQ(thumbnail->nHeight, 30);
  // 30 x 15 picture centred: the top row is background, the middle picture.
  const uint8_t* middle = thumbnail->pPixels + 15 * thumbnail->nStride;
  EXPECT_EQ(middle[2], 255);  // red
  DeleteBitmap32(thumbnail);
  EXPECT_EQ(
      CDll2LorimoMessage::GetThumbnail(CStrAW::FromPath(m_dir / "absent.png"), SIZE{30, 30}, 5),
      nullptr);
}

TEST_F(ImageService, DeviceRequestsReachTheirHandler) {
  std::vector<std::pair<MyString, bool>> calls;
  m_frame.ImageService()->onDevice = [&](const MyString& device, bool connected) {
    calls.emplace_back(device, connected);
  };
  CDll2LorimoMessage::AcquireUsingWIA(u"usb:001,004");
  CDll2LorimoMessage::WIADeviceRemoved(u"usb:001,004");
  CDll2LorimoMessage::AcquireUsingWIA(MyString());
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].second);
  EXPECT_FALSE(calls[1].second);
  EXPECT_EQ(calls[1].first, MyString(u"usb:001,004"));
  EXPECT_TRUE(calls[2].first.IsEmpty());
}

}  // namespace
