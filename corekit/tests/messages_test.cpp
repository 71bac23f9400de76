#include "corekit/messages.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corekit/dll2lorimo.h"
#include "corekit/loadslot.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::WaitFor;

bool OnGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

TEST(RegisterWindowMessageTest, SameNameSameIdForTheLifeOfTheProcess) {
  const UINT plugin = RegisterWindowMessage(u"LORIMO_PLUGIN_MESSAGE_2004");
  const UINT service = RegisterWindowMessage(u"Dll2LorimoMessage_V1");
  EXPECT_GE(plugin, kFirstRegisteredMessage);
  EXPECT_GE(service, kFirstRegisteredMessage);
  EXPECT_LE(plugin, 0xFFFFu);
  EXPECT_NE(plugin, service);
  EXPECT_EQ(RegisterWindowMessage(u"LORIMO_PLUGIN_MESSAGE_2004"), plugin);
  EXPECT_EQ(RegisterWindowMessage(u"dll2lorimomessage_v1"), service);
  EXPECT_EQ(CDll2LorimoMessage::GetMessageId(), service);

  // The same id from any thread.
  UINT fromWorker = 0;
  std::thread([&] { fromWorker = RegisterWindowMessage(u"Dll2LorimoMessage_V1"); }).join();
  EXPECT_EQ(fromWorker, service);

  EXPECT_EQ(RegisterWindowMessage(u""), 0u);
  EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

// Records what reached a receiver, and on which thread.
struct CTestReceiver {
  QObject owner;
  HWND hwnd = nullptr;
  std::vector<WPARAM> received;
  bool bRanOffGuiThread = false;

  CTestReceiver() {
    hwnd = CreateMessageReceiver(&owner, [this](HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
      if (!OnGuiThread()) bRanOffGuiThread = true;
      received.push_back(wParam);
      return LRESULT(msg) + LRESULT(wParam) * lParam;
    });
  }
};

TEST(SendMessageTest, RunsTheHandlerDirectlyOnTheGuiThread) {
  CTestReceiver receiver;
  ASSERT_TRUE(IsWindow(receiver.hwnd));
  EXPECT_EQ(SendMessage(receiver.hwnd, WM_USER, 6, 7), LRESULT(WM_USER + 42));
  ASSERT_EQ(receiver.received.size(), 1u);
  EXPECT_FALSE(receiver.bRanOffGuiThread);
}

TEST(SendMessageTest, FromAWorkerRunsOnTheGuiThreadAndReturnsTheResult) {
  CTestReceiver receiver;
  std::atomic<bool> done{false};
  std::vector<LRESULT> results;
  std::thread worker([&] {
    for (WPARAM i = 1; i <= 20; ++i) results.push_back(SendMessage(receiver.hwnd, WM_USER, i, 2));
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  ASSERT_EQ(results.size(), 20u);
  for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(results[i], LRESULT(WM_USER + 2 * (i + 1)));
  EXPECT_FALSE(receiver.bRanOffGuiThread);
}

TEST(SendMessageTest, ToADestroyedReceiverReturnsZero) {
  auto receiver = std::make_unique<CTestReceiver>();
  const HWND stale = receiver->hwnd;
  int delivered = 0;
  CreateMessageReceiver(&receiver->owner, [&](HWND, UINT, WPARAM, LPARAM) {
    ++delivered;
    return LRESULT(0);
  });
  PostMessage(stale, WM_USER, 1, 0);
  receiver.reset();
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, 0) << "a message posted before the receiver died is dropped";
  EXPECT_FALSE(IsWindow(stale));
  EXPECT_EQ(GetReceiverObject(stale), nullptr);
  EXPECT_EQ(SendMessage(stale, WM_USER, 1, 1), 0);
  EXPECT_EQ(PostMessage(stale, WM_USER, 1, 1), 0);
  LRESULT fromWorker = -1;
  std::thread([&] { fromWorker = SendMessage(stale, WM_USER, 1, 1); }).join();
  EXPECT_EQ(fromWorker, 0);

  // Handles are never reused, so the stale one stays dead.
  CTestReceiver next;
  EXPECT_NE(next.hwnd, stale);
  EXPECT_FALSE(IsWindow(stale));
  EXPECT_EQ(SendMessage(nullptr, WM_USER, 1, 1), 0);
}

TEST(SendMessageTest, AWaitingWorkerIsReleasedWhenTheReceiverGoesAway) {
  auto receiver = std::make_unique<CTestReceiver>();
  const HWND hwnd = receiver->hwnd;
  std::atomic<bool> sending{false}, done{false};
  LRESULT result = -1;
  std::thread worker([&] {
    sending = true;
    result = SendMessage(hwnd, WM_USER, 5, 5);
    done = true;
  });
  // The GUI thread does not pump events until the receiver is gone.
  while (!sending) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  receiver.reset();
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(result, 0);
}

TEST(SendMessageTest, TheStopEventReleasesAWorkerWhoseCallHasNotRun) {
  CTestReceiver receiver;
  std::atomic<bool> done{false};
  LRESULT result = -1;
  std::thread worker([&] {
    result = SendMessage(receiver.hwnd, WM_USER, 3, 3);
    done = true;
  });
  // The GUI thread is busy (here: not pumping), as during shut-down.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  GetStopEvent().Set();
  worker.join();  // would hang if the stop did not end the wait
  GetStopEvent().Reset();
  EXPECT_EQ(result, 0);
  // The abandoned call must not run later: its caller's data may be gone.
  QCoreApplication::processEvents();
  EXPECT_TRUE(receiver.received.empty());
}

TEST(PostMessageTest, QueuesAndDeliversInOrder) {
  CTestReceiver receiver;
  CTestReceiver other;
  for (WPARAM i = 0; i < 50; ++i) {
    ASSERT_EQ(PostMessage(receiver.hwnd, WM_USER, i, 0), 1);
    // Interleaved posts to another receiver do not disturb the order.
    PostMessage(other.hwnd, WM_USER, i, 0);
  }
  EXPECT_TRUE(receiver.received.empty()) << "PostMessage must not run the handler at once";
  std::thread worker([&] {
    for (WPARAM i = 50; i < 100; ++i) PostMessage(receiver.hwnd, WM_USER, i, 0);
  });
  worker.join();
  EXPECT_TRUE(WaitFor([&] { return receiver.received.size() == 100; }));
  for (WPARAM i = 0; i < receiver.received.size(); ++i) EXPECT_EQ(receiver.received[i], i);
  EXPECT_FALSE(receiver.bRanOffGuiThread);
}

TEST(MessageReceiverTest, OneHandlePerOwnerAndEarlyDestruction) {
  QObject owner;
  const HWND first = CreateMessageReceiver(&owner, [](HWND, UINT, WPARAM, LPARAM) { return 1; });
  const HWND second = CreateMessageReceiver(&owner, [](HWND, UINT, WPARAM, LPARAM) { return 2; });
  EXPECT_EQ(first, second);
  EXPECT_EQ(SendMessage(first, WM_USER, 0, 0), 2);
  EXPECT_EQ(GetReceiverHandle(&owner), first);
  EXPECT_EQ(GetReceiverObject(first), &owner);

  EXPECT_EQ(DestroyMessageReceiver(first), 1);
  EXPECT_EQ(DestroyMessageReceiver(first), 0);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(GetReceiverHandle(&owner), nullptr);

  EXPECT_EQ(CreateMessageReceiver(nullptr, [](HWND, UINT, WPARAM, LPARAM) { return 1; }), nullptr);
  // Only the owner's own thread may give it a handle.
  HWND fromWorker = reinterpret_cast<HWND>(1);
  std::thread([&] {
    fromWorker = CreateMessageReceiver(&owner, [](HWND, UINT, WPARAM, LPARAM) { return 1; });
  }).join();
  EXPECT_EQ(fromWorker, nullptr);
}

TEST(MessageReceiverTest, AHandlerMayDestroyItsOwnReceiver) {
  auto owner = std::make_unique<QObject>();
  HWND hwnd = CreateMessageReceiver(owner.get(), [&](HWND, UINT, WPARAM, LPARAM) {
    owner.reset();
    return LRESULT(9);
  });
  EXPECT_EQ(SendMessage(hwnd, WM_USER, 0, 0), 9);
  EXPECT_FALSE(IsWindow(hwnd));
}

// The program's side of the image service as a test stands in for it: it
// checks each record and answers from it.
class CImageServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hwnd = CreateMessageReceiver(&m_owner, [this](HWND, UINT msg, WPARAM wParam, LPARAM) {
      if (msg != CDll2LorimoMessage::GetMessageId()) return LRESULT(0);
      if (!OnGuiThread()) m_bOffGuiThread = true;
      return Answer(*reinterpret_cast<tagDLL2LORIMOMESSAGE*>(wParam));
    });
    CDll2LorimoMessage::LorimoInit(m_hwnd);
  }
  void TearDown() override { CDll2LorimoMessage::LorimoInit(nullptr); }

  LRESULT Answer(tagDLL2LORIMOMESSAGE& record) {
    m_requests.push_back(record.nRequest);
    const MyString path(record.pszPath);
    switch (record.nRequest) {
      case DLL2LORIMO_GET_MAIN_WINDOW:
        return LRESULT(m_hwnd);
      case DLL2LORIMO_ACQUIRE_USING_WIA:
      case DLL2LORIMO_WIA_DEVICE_REMOVED:
        m_lastText = record.pszDevice ? MyString(record.pszDevice) : MyString(u"<none>");
        return 0;
      case DLL2LORIMO_DISPLAY_DIRECTORY_IMAGES:
        m_lastText = path;
        return 0;
      case DLL2LORIMO_IS_LORIMO_FILE:
        return path.GetStringExtension().EqualsNoCase(u".jpg") ? 1 : 0;
      case DLL2LORIMO_READ_IMAGE: {
        if (record.pOutputSize) *record.pOutputSize = SIZE{640, 480};
        const SIZE size = record.pInputSize ? *record.pInputSize : SIZE{640, 480};
        return reinterpret_cast<LRESULT>(CreateBitmap32(size.cx, size.cy));
      }
      case DLL2LORIMO_GET_IMAGE_DIM:
        if (path != u"/pics/a.jpg") return 0;
        *record.pOutputSize = SIZE{800, 600};
        return 1;
      case DLL2LORIMO_COPY_PIXELS: {
        *record.pOutputSize = path.IsEmpty() ? SIZE{2, 1} : SIZE{3, 3};
        record.pPixels = AllocPixelBuffer(record.pOutputSize->cx, record.pOutputSize->cy);
        return reinterpret_cast<LRESULT>(record.pPixels);
      }
      case DLL2LORIMO_REPLACE_PIXELS:
        m_replacedSize = *record.pOutputSize;
        m_firstReplacedByte = record.pPixels[0];
        return 0;
      case DLL2LORIMO_WRITE_IMAGE:
        m_lastText = path + u" -> " + MyString(record.pszPath2);
        m_writeFilter = record.nParam;
        m_writeSize = record.pOutputSize ? *record.pOutputSize : SIZE{-1, -1};
        return 1;
      case DLL2LORIMO_THUMBNAIL:
        m_writeFilter = record.nParam;
        return reinterpret_cast<LRESULT>(
            CreateBitmap32(record.pOutputSize->cx, record.pOutputSize->cy));
      default:
        return 0;
    }
  }

  QObject m_owner;
  HWND m_hwnd = nullptr;
  bool m_bOffGuiThread = false;
  std::vector<int32_t> m_requests;
  MyString m_lastText;
  SIZE m_replacedSize;
  uint8_t m_firstReplacedByte = 0;
  int16_t m_writeFilter = 0;
  SIZE m_writeSize;
};

TEST_F(CImageServiceTest, EachRequestFillsItsRecord) {
  EXPECT_EQ(CDll2LorimoMessage::GetMainWindow(), m_hwnd);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/pics/A.JPG"), 1);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/pics/notes.txt"), 0);

  CDll2LorimoMessage::AcquireUsingWIA(u"usb:001,004");
  EXPECT_EQ(m_lastText, MyString(u"usb:001,004"));
  CDll2LorimoMessage::AcquireUsingWIA(MyString());
  EXPECT_EQ(m_lastText, MyString(u"<none>"));
  CDll2LorimoMessage::WIADeviceRemoved(u"usb:001,004");
  EXPECT_EQ(m_lastText, MyString(u"usb:001,004"));
  CDll2LorimoMessage::DisplayDirectoryImages(u"/pics/2024");
  EXPECT_EQ(m_lastText, MyString(u"/pics/2024"));

  const SIZE hint{160, 120};
  SIZE fileSize;
  HBITMAP bitmap = CDll2LorimoMessage::ReadImage(u"/pics/a.jpg", &hint, &fileSize);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->nWidth, 160);
  EXPECT_EQ(fileSize.cx, 640);
  DeleteBitmap32(bitmap);

  SIZE dim;
  EXPECT_EQ(CDll2LorimoMessage::GetImageDim(u"/pics/a.jpg", &dim), 1);
  EXPECT_EQ(dim.cy, 600);
  EXPECT_EQ(CDll2LorimoMessage::GetImageDim(u"/pics/missing.jpg", &dim), 0);

  SIZE pixelSize;
  uint8_t* pixels = CDll2LorimoMessage::CopyPixels(MyString(), &pixelSize);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixelSize.cx, 2);
  FreePixelBuffer(pixels);

  const uint8_t bgra[] = {9, 8, 7, 255, 1, 2, 3, 255};
  EXPECT_EQ(CDll2LorimoMessage::ReplacePixels(bgra, SIZE{2, 1}), 1);
  EXPECT_EQ(m_replacedSize.cx, 2);
  EXPECT_EQ(m_firstReplacedByte, 9);

  const SIZE newSize{320, 200};
  EXPECT_EQ(CDll2LorimoMessage::WriteImage(u"/a.png", u"/b.jpg", &newSize, 5), 1);
  EXPECT_EQ(m_lastText, MyString(u"/a.png -> /b.jpg"));
  EXPECT_EQ(m_writeFilter, 5);
  EXPECT_EQ(m_writeSize.cx, 320);
  EXPECT_EQ(CDll2LorimoMessage::WriteImage(u"/a.png", u"/c.png"), 1);
  EXPECT_EQ(m_writeFilter, -1);
  EXPECT_EQ(m_writeSize.cx, -1);

  HBITMAP thumb = CDll2LorimoMessage::GetThumbnail(u"/a.png", SIZE{96, 72}, 15);
  ASSERT_NE(thumb, nullptr);
  EXPECT_EQ(thumb->nHeight, 72);
  EXPECT_EQ(m_writeFilter, 15);
  DeleteBitmap32(thumb);

  EXPECT_FALSE(m_bOffGuiThread);
}

TEST_F(CImageServiceTest, ALibraryWorkerThreadGetsItsAnswerFromTheGuiThread) {
  std::atomic<bool> done{false};
  int isJpeg = -1;
  HBITMAP bitmap = nullptr;
  std::thread worker([&] {
    isJpeg = CDll2LorimoMessage::IsLorimoFile(u"/card/DCIM/IMG_0001.JPG");
    const SIZE hint{32, 24};
    bitmap = CDll2LorimoMessage::ReadImage(u"/card/DCIM/IMG_0001.JPG", &hint);
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(isJpeg, 1);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->nHeight, 24);
  DeleteBitmap32(bitmap);
  EXPECT_FALSE(m_bOffGuiThread);
}

TEST_F(CImageServiceTest, WithoutAMainWindowOrWithBadArgumentsNothingIsSent) {
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(MyString()), 0);
  EXPECT_EQ(CDll2LorimoMessage::ReplacePixels(nullptr, SIZE{2, 2}), 0);
  const uint8_t pixel[4] = {};
  EXPECT_EQ(CDll2LorimoMessage::ReplacePixels(pixel, SIZE{0, 5}), 0);
  EXPECT_TRUE(m_requests.empty());

  CDll2LorimoMessage::LorimoInit(nullptr);
  EXPECT_EQ(CDll2LorimoMessage::IsLorimoFile(u"/a.jpg"), 0);
  EXPECT_EQ(CDll2LorimoMessage::ReadImage(u"/a.jpg"), nullptr);
  EXPECT_EQ(CDll2LorimoMessage::ReplacePixels(pixel, SIZE{1, 1}), 0);
  EXPECT_TRUE(m_requests.empty());
}

}  // namespace
