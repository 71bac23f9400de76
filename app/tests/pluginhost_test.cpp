// The plug-in host with plug-ins built from the kit (app/tests/plugins),
// loaded into the real main window from a folder of their own.
#include "plugins/pluginhost.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "browse/thumbnailmaker.h"
#include "browse/thumbnailsetup.h"
#include "corekit/loadslot.h"
#include "corekit/straw.h"
#include "pixwork/sortsettings.h"
#include "plugins/installedplugins.h"
#include "plugins/pluginguard.h"
#include "process/filtercatalogue.h"
#include "shell/mainframe.h"
#include "shell/mainmenu.h"
#include "shell/programhooks.h"
#include "shell/toolbox.h"
#include "shell/toolviewdocks.h"
#include "testsupport/testsupport.h"
#include "viewer/imagedocument.h"
#include "viewer/imageio.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

// What the tools plug-in heard (toolsplugin.cpp).
struct tagLOG {
  int nToolId = 0, nButtonId = 0, nDockId = 0, nFilterResult = 0, nCodecResult = 0;
  int nCommands = 0, nShutdowns = 0, nFileOpenings = 0, nImagePresses = 0, nButtonStates = 0;
  int nLastCommand = 0;
  std::u16string strLastOpened;
};

MyString Path(const fs::path& path) { return CStrAW::FromPath(path); }

fs::path Built(const std::string& name) { return fs::path(LORIMO_TEST_PLUGIN_DIR) / name; }

std::vector<QString> MenuTexts(QMenu* menu) {
  std::vector<QString> texts;
  for (QAction* action : menu->actions())
    if (action->property("lorimoPlugin").toBool()) texts.push_back(action->text());
  return texts;
}

class PluginHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = testsupport::NewTempDir("plugins");
    CPluginGuard::SetFailureQuestion([this](const MyString& name) {
      m_asked.push_back(name);
      return false;
    });
    SetImageMessageSink([](HWND, const MyString&, const MyString&) {});
  }
  void TearDown() override {
    if (m_frame) m_frame->PluginHost().Release();
    m_frame.reset();
    CPluginGuard::SetFailureQuestion(nullptr);
    SetImageMessageSink(nullptr);
  }

  void Add(const std::string& built, const std::string& as = std::string()) {
    fs::copy_file(Built(built), m_folder / (as.empty() ? built : as));
  }
  // The main window with the folder's plug-ins loaded.
  CPluginHost& Load() {
    m_frame = std::make_unique<CMainFrame>();
    m_frame->resize(900, 600);
    m_frame->show();
    CPluginHost& host = m_frame->PluginHost();
    host.SetProbeTimeout(1500);
    host.Load(Path(m_folder));
    EXPECT_TRUE(testsupport::WaitFor([] { return GetPluginsLoadedEvent().IsSet(); },
                                     std::chrono::seconds(30)));
    return host;
  }
  const CPluginHost::tagRECORD* Record(const std::string& file) const {
    for (const auto& record : m_frame->PluginHost().Records())
      if (record->strPath.GetStringTitleExt() == Path(file)) return record.get();
    return nullptr;
  }
  MyString Reason(const std::string& file) const {
    for (const tagPROBERESULT& refused : m_frame->PluginHost().Refused())
      if (refused.strPath.GetStringTitleExt() == Path(file)) return refused.strReason;
    return u"(accepted)";
  }
  // The tools plug-in as its library, to read its log and act as it.
  const tagLOG& ToolsLog() {
    void* library = dlopen((m_folder / "Tools.LPL").c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr);
    auto log = reinterpret_cast<const void* (*)()>(dlsym(library, "ToolsPluginLog"));
    return *static_cast<const tagLOG*>(log());
  }
  LRESULT Send(int code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0, uintptr_t p3 = 0) {
    tagLORIMOPLUGINREQUEST request;
    request.nRequest = code;
    request.pPlugin = Record("Tools.LPL")->pPlugin;
    request.aParam[0] = p0;
    request.aParam[1] = p1;
    request.aParam[2] = p2;
    request.aParam[3] = p3;
    // Through the window, as the kit sends it.
    return SendMessage(m_frame->GetSafeHwnd(), RegisterWindowMessage(kLorimoPluginMessageName),
                       reinterpret_cast<WPARAM>(&request), 0);
  }

  fs::path m_folder;
  std::unique_ptr<CMainFrame> m_frame;
  std::vector<MyString> m_asked;
};

template <typename T>
uintptr_t P(T* pointer) {
  return reinterpret_cast<uintptr_t>(pointer);
}

TEST_F(PluginHostTest, LoadsGoodPluginsAndRefusesEveryBadOneWithItsReason) {
  Add("Tools.LPL");
  for (const char* bad :
       {"Bad_crash_static.LPL", "Bad_crash_init.LPL", "Bad_hang_init.LPL", "Bad_null_instance.LPL",
        "Bad_no_instance_export.LPL", "Bad_v1008.LPL", "Bad_v1010.LPL", "Bad_crash_command.LPL"})
    Add(bad);
  // The same plug-in twice under another letter case: two records, two
  // tools with their own ids.
  Add("Bad_crash_command.LPL", "second.lpl");
  testsupport::WriteFile(m_folder / "notes.LPL", "this is text, not a library\n");
  fs::create_directory(m_folder / "folder.LPL");
  fs::create_symlink(m_folder / "Tools.LPL", m_folder / "ToolsLink.LPL");
  testsupport::WriteFile(m_folder / "other.txt", "not a plug-in");
  CPluginHost& host = Load();

  std::vector<std::string> loaded;
  for (const auto& record : host.Records())
    loaded.push_back(record->strPath.GetStringTitleExt().ToUtf8());
  EXPECT_EQ(loaded, (std::vector<std::string>{"Bad_crash_command.LPL", "Tools.LPL", "second.lpl"}));
  EXPECT_NE(Reason("Bad_crash_static.LPL").str().find(u"crashed"), std::u16string::npos);
  EXPECT_NE(Reason("Bad_crash_init.LPL").str().find(u"crashed"), std::u16string::npos);
  EXPECT_NE(Reason("Bad_hang_init.LPL").str().find(u"stopped"), std::u16string::npos);
  EXPECT_EQ(Reason("Bad_null_instance.LPL"), u"The library offers no plug-in.");
  EXPECT_EQ(Reason("Bad_no_instance_export.LPL"),
            u"The library lacks the export GetPluginInstanceW.");
  EXPECT_NE(Reason("Bad_v1008.LPL").str().find(u"1008"), std::u16string::npos);
  EXPECT_NE(Reason("Bad_v1010.LPL").str().find(u"1010"), std::u16string::npos);
  EXPECT_NE(Reason("notes.LPL").str().find(u"not a plug-in library"), std::u16string::npos);
  EXPECT_NE(Reason("ToolsLink.LPL").str().find(u"loaded already"), std::u16string::npos);
  EXPECT_EQ(Reason("folder.LPL"), u"(accepted)");  // not even tried
  EXPECT_EQ(host.Refused().size(), 9u);
  EXPECT_TRUE(m_frame->statusBar()->currentMessage().contains("was not loaded"));

  // The info record: the name, and an unterminated text cut.
  const CPluginHost::tagRECORD* tools = Record("Tools.LPL");
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->Name(), u"Tools");
  EXPECT_EQ(MyString(tools->info.szSupportPhone).GetLength(), 99u);
  EXPECT_EQ(tools->info.dwReserved, 0u);

  // Tools and dock entries, with ids clear of the program's and the results.
  const tagLOG& log = ToolsLog();
  EXPECT_GE(log.nToolId, kFirstPluginCommand);
  EXPECT_LE(log.nDockId, kLastPluginCommand);
  EXPECT_EQ(MenuTexts(m_frame->MainMenu().GetMenu(MM_TOOLS)),
            (std::vector<QString>{"Bad Action (Plugin)", "Tools Action (Plugin)",
                                  "Bad Action (Plugin)"}));
  EXPECT_EQ(MenuTexts(m_frame->MainMenu().GetMenu(MM_VIEW)),
            std::vector<QString>{"Tools Pane (Plugin)"});
  ASSERT_EQ(m_frame->SendCommand(log.nToolId), 1);
  EXPECT_EQ(log.nLastCommand, log.nToolId);
  // Ids nobody registered are not consumed.
  EXPECT_EQ(m_frame->PluginCommands().OnCommand(kLastPluginCommand), 0);

  // The dock opens with the plug-in's widget and toggles with its entry.
  ASSERT_EQ(host.Docks().size(), 1u);
  ASSERT_NE(host.Docks()[0].dock, nullptr);
  EXPECT_EQ(host.Docks()[0].dock->widget()->metaObject()->className(), QStringLiteral("QLabel"));
  EXPECT_TRUE(host.Docks()[0].dock->isVisible());
  m_frame->SendCommand(log.nDockId);
  EXPECT_FALSE(host.Docks()[0].dock->isVisible());

  // "Installed Plugins": the loaded ones, then the refused ones with reasons.
  std::vector<tagINSTALLEDPLUGIN> listed;
  for (const auto& record : host.Records()) {
    tagINSTALLEDPLUGIN plugin;
    plugin.strFile = record->strPath.GetStringTitleExt();
    plugin.strName = record->info.szName;
    plugin.strDeveloper = record->info.szDeveloper;
    plugin.strWebAddress = record->info.szWebAddress;
    listed.push_back(plugin);
  }
  CInstalledPluginsDialog dialog(listed);
  EXPECT_EQ(dialog.DetailsText(), QStringLiteral("No more information available."));
  dialog.List()->setCurrentRow(1);
  EXPECT_TRUE(dialog.DetailsText().contains("Name: Tools"));
  EXPECT_TRUE(
      dialog.DetailsText().contains("<a href=\"https://example.org/tools\">Lorimo Tests</a>"));
  EXPECT_TRUE(dialog.DetailsText().contains("Support phone: N/A"));

  host.Release();
  EXPECT_EQ(log.nShutdowns, 1);
}

TEST_F(PluginHostTest, CrashesAndExceptionsInCommandsAskTheUserAndTheProgramGoesOn) {
  Add("Bad_crash_command.LPL");
  Add("Bad_throw_command.LPL");
  CPluginHost& host = Load();
  ASSERT_EQ(host.Records().size(), 2u);
  std::vector<int> ids;
  for (const auto& record : host.Records()) ids.push_back(record->commands.at(0));
  for (int round = 0; round < 2; ++round)
    for (int id : ids) EXPECT_EQ(m_frame->SendCommand(id), 1);
  ASSERT_EQ(m_asked.size(), 4u);
  EXPECT_EQ(m_asked[0], u"Bad");
  EXPECT_EQ(CPluginGuard::FailureText(u"Bad"),
            u"The \"Bad\" plugin has generated an exception.\nShould Lorimo close now to "
            u"prevent any further errors ? (recommended)");
  // Still a working program: it loads an image.
  EXPECT_EQ(m_frame->OpenImage(Path(testsupport::SourcePath("samples/sky.jpg"))), 1);
}

TEST_F(PluginHostTest, AnswersTheRequestTable) {
  Add("Tools.LPL");
  CPluginHost& host = Load();
  ASSERT_NE(Record("Tools.LPL"), nullptr);

  // Unknown codes and unknown plug-ins: -1; null pointers: 54078.
  EXPECT_EQ(Send(22), -1);
  tagLORIMOPLUGINREQUEST stranger;
  stranger.nRequest = LPR_GET_SORTING_MODE;
  stranger.pPlugin = reinterpret_cast<CLorimoPlugin*>(&stranger);
  EXPECT_EQ(host.Handle(&stranger), -1);
  EXPECT_EQ(host.Handle(nullptr), LORIMO_ERR_BADARG);
  for (int code : {0, 1, 2, 3, 4, 5, 6, 8, 10, 17, 18, 19, 20, 21})
    EXPECT_EQ(Send(code), LORIMO_ERR_BADARG) << code;
  EXPECT_EQ(Send(LPR_REGISTER_NEW_TOOL, P(u"")), LORIMO_ERR_BADARG);
  const size_t tools = MenuTexts(m_frame->MainMenu().GetMenu(MM_TOOLS)).size();
  const LRESULT second = Send(LPR_REGISTER_NEW_TOOL, P(u"Tools Action"));
  EXPECT_GT(second, ToolsLog().nToolId);
  EXPECT_EQ(MenuTexts(m_frame->MainMenu().GetMenu(MM_TOOLS)).size(), tools + 1);

  // No image yet.
  CLorimoImageBuffer buffer;
  EXPECT_EQ(Send(LPR_TRANSFER_IMAGE_BUFFER, P(&buffer)), LORIMO_ERR_NOIMAGE);
  // A stock filter the program has no form of, and one it runs.
  tagLORIMOSTOCKFILTERPARAMS params;
  params.nFilter = LSF_COLORIZE;
  params.pBuffer = &buffer;
  EXPECT_EQ(Send(LPR_APPLY_STOCK_FILTER, P(&params)), LORIMO_ERR_NOTAVAILABLE);

  std::vector<std::u16string> extensions;
  EXPECT_EQ(Send(LPR_GET_SUPPORTED_FILE_LIST, P(&extensions)), 14);
  EXPECT_EQ(extensions.size(), 14u);
  gdwSortingMode = 2;
  EXPECT_EQ(Send(LPR_GET_SORTING_MODE), 2);

  const MyString sky = Path(testsupport::SourcePath("samples/sky.jpg"));
  SIZE size;
  EXPECT_EQ(Send(LPR_GET_DIMENSIONS, P(sky.c_str()), P(&size)), 1);
  EXPECT_EQ(size.cx, 640);
  EXPECT_EQ(size.cy, 480);
  const MyString missing = Path(m_folder / "missing.png");
  EXPECT_EQ(Send(LPR_GET_DIMENSIONS, P(missing.c_str()), P(&size)), LORIMO_ERR_BADARG);

  // Reads: a bitmap, or the address of the program's error text.
  HBITMAP bitmap = nullptr;
  ASSERT_EQ(Send(LPR_READ_IMAGE, P(sky.c_str()), P(&bitmap)), 1);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->nWidth, 640);
  const MyString junk = Path(m_folder / "junk.png");
  testsupport::WriteFile(m_folder / "junk.png", "no png");
  const LRESULT failed = Send(LPR_READ_IMAGE, P(junk.c_str()), P(&bitmap));
  ASSERT_GT(uintptr_t(failed), 0x10000u);
  EXPECT_FALSE(MyString(reinterpret_cast<const char16_t*>(failed)).IsEmpty());

  // Flip and flop: the corner pixels trade places.
  const uint32_t corner = reinterpret_cast<uint32_t*>(bitmap->pPixels)[0];
  const uint32_t opposite =
      reinterpret_cast<uint32_t*>(bitmap->pPixels + size_t(bitmap->nStride) * 479)[639];
  ASSERT_EQ(Send(LPR_FLIP_FLOP_IMAGE, P(&bitmap), 1, 1), 1);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(bitmap->pPixels)[0], opposite);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(bitmap->pPixels + size_t(bitmap->nStride) * 479)[639],
            corner);
  HBITMAP small = nullptr;
  ASSERT_EQ(Send(LPR_RESCALE_BITMAP, P(bitmap), 64, 48, P(&small)), 1);
  EXPECT_EQ(small->nWidth, 64);
  EXPECT_EQ(small->nHeight, 48);
  DeleteBitmap32(small);
  DeleteBitmap32(bitmap);

  // Writes: top-down RGBA saved; a failure is reported, not 0.
  std::vector<uint8_t> rgba(4 * 3 * 2, 0);
  rgba[0] = 255;  // top-left red
  rgba[3] = 255;
  SIZE three{3, 2};
  const MyString written = Path(m_folder / "written.png");
  EXPECT_EQ(Send(LPR_WRITE_IMAGE, P(written.c_str()), P(&three), P(rgba.data())), 0);
  Magick::Image back(written.ToUtf8());
  EXPECT_EQ(back.columns(), 3u);
  EXPECT_GT(back.pixelColor(0, 0).redQuantum(), back.pixelColor(0, 1).redQuantum());
  const MyString nowhere = Path(m_folder / "no-folder" / "x.png");
  EXPECT_EQ(Send(LPR_WRITE_IMAGE, P(nowhere.c_str()), P(&three), P(rgba.data())),
            LORIMO_ERR_BADARG);

  // Buffers: read, shown as the viewer's image, taken back.
  ASSERT_EQ(Send(LPR_READ_IMAGE_BUFFER, P(&buffer), P(sky.c_str())), 1);
  EXPECT_EQ(buffer.Width(), 640u);
  EXPECT_EQ(buffer.Valid(), 1);
  buffer.GetPixels()[0] = 1;
  buffer.Modify();
  ASSERT_EQ(Send(LPR_DISPLAY_IMAGE_BUFFER, P(&buffer)), 1);
  CImageDocument& document = m_frame->Viewer()->Document();
  EXPECT_TRUE(document.HasImage());
  EXPECT_TRUE(document.IsModified());
  CLorimoImageBuffer taken;
  ASSERT_EQ(Send(LPR_TRANSFER_IMAGE_BUFFER, P(&taken)), 1);
  EXPECT_EQ(taken.Height(), 480u);
  EXPECT_EQ(taken.GetPixels()[0], 1);
  // Stock Negate on the buffer.
  params.nFilter = LSF_NEGATE;
  params.nShape = kStockFilterShapes[LSF_NEGATE];
  params.pBuffer = &taken;
  const uint8_t before = taken.GetPixels()[4];
  ASSERT_EQ(Send(LPR_APPLY_STOCK_FILTER, P(&params)), 1);
  EXPECT_NEAR(taken.GetPixels()[4], 255 - before, 1);

  // Request 7: an MPEG movie of the frames, or 0 (and no file) when they
  // differ in size.
  HBITMAP one = CreateBitmap32(32, 24), two = CreateBitmap32(32, 24), other = CreateBitmap32(8, 8);
  const LORIMO_FRAME movie[2] = {{one, 1000}, {two, 250}};
  const MyString mpg = Path(m_folder / "movie.mpg");
  EXPECT_EQ(Send(LPR_CREATE_MPEG, P(mpg.c_str()), P(movie), 2, 80), 1);
  EXPECT_GT(fs::file_size(m_folder / "movie.mpg"), 0u);
  const LORIMO_FRAME mixed[2] = {{one, 1000}, {other, 250}};
  const MyString bad = Path(m_folder / "mixed.mpg");
  EXPECT_EQ(Send(LPR_CREATE_MPEG, P(bad.c_str()), P(mixed), 2, 80), 0);
  EXPECT_FALSE(fs::exists(m_folder / "mixed.mpg"));
  const MyString gif = Path(m_folder / "movie.gif");
  EXPECT_EQ(Send(LPR_CREATE_MPEG, P(gif.c_str()), P(movie), 2, 80), 1);
  EXPECT_EQ(Magick::Image(gif.ToUtf8()).animationDelay(), 100u);
  for (HBITMAP b : {one, two, other}) DeleteBitmap32(b);

  // Async registrations hold the loaded event back.
  EXPECT_EQ(Send(LPR_ASYNC_REGISTRATION, 0), 1);
  EXPECT_FALSE(GetPluginsLoadedEvent().IsSet());
  EXPECT_EQ(Send(LPR_ASYNC_REGISTRATION, 1), 1);
  EXPECT_TRUE(GetPluginsLoadedEvent().IsSet());
}

TEST_F(PluginHostTest, CodecFilterButtonAndNotificationsReachThePlugin) {
  Add("Tools.LPL");
  CPluginHost& host = Load();
  const tagLOG& log = ToolsLog();
  EXPECT_EQ(log.nCodecResult, 1);
  EXPECT_EQ(log.nFilterResult, 1);

  // The invented format opens in the viewer through the codec.
  std::string tqf = "TQF1 2 2\n";
  const uint8_t pixels[16] = {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255};
  tqf.append(reinterpret_cast<const char*>(pixels), 16);
  testsupport::WriteFile(m_folder / "picture.TQF", tqf);
  ASSERT_EQ(m_frame->OpenImage(Path(m_folder / "picture.TQF")), 1);
  const Magick::Image& image = m_frame->Viewer()->Document().GetImage();
  EXPECT_EQ(image.columns(), 2u);
  EXPECT_EQ(Magick::ColorRGB(image.pixelColor(0, 0)).red(), 1.0);   // B,G,R = 0,0,255
  EXPECT_EQ(Magick::ColorRGB(image.pixelColor(0, 1)).blue(), 1.0);  // 255,0,0
  EXPECT_TRUE(testsupport::WaitFor([&] { return log.nFileOpenings > 0; }));
  EXPECT_NE(log.strLastOpened.find(u"picture.TQF"), std::u16string::npos);
  // A codec answering with a broken bitmap fails the read.
  testsupport::WriteFile(m_folder / "broken.tqf", "TQF1 0 0\n");
  EXPECT_EQ(m_frame->OpenImage(Path(m_folder / "broken.tqf")), 0);
  // The thumbnail views ask the plug-ins for files no reader of ours takes.
  testsupport::WriteFile(m_folder / "thumb.tqf", tqf);
  CThumbnailMaker maker(nullptr);
  ConfigureThumbnailMaker(maker);
  CThumbnailOwner owner;
  SIZE box{100, 100};
  const QImage thumbnail = maker.MakeThumbnail(owner, Path(m_folder / "thumb.tqf"), &box, false);
  ASSERT_FALSE(thumbnail.isNull());
  EXPECT_EQ(thumbnail.pixelColor(0, 0), QColor(255, 0, 0));

  // The filter runs with the plug-in's own panel.
  const CFilterCatalogue& catalogue = GetFilterCatalogue();
  const int index = catalogue.Find(u"Tools Invert");
  ASSERT_GE(index, 0);
  const tagFILTERENTRY& entry = catalogue.Entry(index);
  QWidget parent;
  QWidget* panel = entry.makePanel(&parent);
  ASSERT_NE(qobject_cast<QLineEdit*>(panel), nullptr);
  Magick::Image white(Magick::Geometry(4, 4), Magick::Color("white"));
  ASSERT_EQ(entry.operation(white, tagFILTERARGS()), FR_DONE);
  EXPECT_EQ(Magick::ColorRGB(white.pixelColor(1, 1)).green(), 0.0);

  // The toolbox button: selecting it tells the plug-ins and makes it the
  // image tool, which then hears the presses in the image.
  m_frame->SendCommand(log.nButtonId);
  EXPECT_EQ(log.nButtonStates, 1);
  EXPECT_TRUE(host.IsPluginToolActive());
  ASSERT_EQ(m_frame->OpenImage(Path(m_folder / "picture.TQF")), 1);
  CImageView* viewer = m_frame->Viewer();
  ASSERT_FALSE(viewer->ImageRect().isEmpty());
  QTest::mouseClick(viewer, Qt::LeftButton, {}, viewer->ImageRect().center());
  EXPECT_EQ(log.nImagePresses, 2);  // press and release
  QTest::mouseClick(viewer, Qt::RightButton, {}, viewer->ImageRect().center());
  host.Notify(LN_LBUTTON_DOWN, 0, 0);
  EXPECT_EQ(log.nImagePresses, 3);
  m_frame->SendCommand(log.nButtonId);
  EXPECT_FALSE(host.IsPluginToolActive());
  host.Notify(LN_LBUTTON_DOWN, 0, 0);
  EXPECT_EQ(log.nImagePresses, 3);
}

}  // namespace
