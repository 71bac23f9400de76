// The viewer's file edits over real files: rotating and mirroring a JPEG
// losslessly and a PNG through GraphicsMagick under each save choice, the
// save question before another image, closing and printing, the external
// editor, the desktop copy and wallpaper, printing to PDF, and the edit
// options.
#include <QLabel>
#include <QPrinter>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "codecs/losslessjpeg.h"
#include "corekit/platform.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/commandids.h"
#include "shell/programhooks.h"
#include "testsupport/testsupport.h"
#include "viewer/edit/editoptions.h"
#include "viewer/edit/editoptionsdialog.h"
#include "viewer/edit/fileeditcommands.h"
#include "viewer/edit/imageprint.h"
#include "viewer/edit/rotateflipfile.h"
#include "viewer/imageio.h"
#include "viewer/progressmonitor.h"
#include "viewer/saveas.h"

namespace fs = std::filesystem;

namespace {

// Answers every question as the test says and keeps what was shown.
class CScriptedUi : public CFileEditUi {
 public:
  struct tagSHOWN {
    std::string text;
    std::string caption;
    MESSAGEKIND kind;
  };
  std::vector<tagSHOWN> messages;
  std::vector<std::string> questions;
  bool bYes = true;
  MyString saveName;
  int nSaveNames = 0;
  int nOptions = 0;
  bool bOptionsNotSet = false;
  bool bOfferEditor = true;
  MyString editor;
  int nEditorChoices = 0;
  fs::path pdf;  // empty: the print dialog is cancelled

  void Message(const MyString& text, const MyString& caption, MESSAGEKIND kind) override {
    messages.push_back({text.ToUtf8(), caption.ToUtf8(), kind});
  }
  bool AskYesNo(const MyString& text, const MyString& caption) override {
    questions.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    return bYes;
  }
  MyString AskSaveName(const MyString&) override {
    ++nSaveNames;
    return saveName;
  }
  bool ShowEditOptions(bool bNotSet) override {
    ++nOptions;
    bOptionsNotSet = bNotSet;
    return false;
  }
  bool OfferEditorChoice() override { return bOfferEditor; }
  MyString ChooseEditorProgram(const MyString&) override {
    ++nEditorChoices;
    return editor;
  }
  bool SetUpPrinter(QPrinter* printer) override {
    if (pdf.empty()) return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QString::fromStdString(pdf.string()));
    return true;
  }
};

// Save As with its target given: the real command, no dialogs.
class CTargetOnly : public CSaveAsUi {
 public:
  MyString target;
  MyString AskTarget(const MyString&) override { return target; }
  void Message(const MyString&, const MyString&, bool) override {}
  int ShowFormatOptions(Magick::Image*, const MyString&) override { return 1; }
};

// Red on the left half, blue on the right: every turn puts them elsewhere.
Magick::Image TwoHalves(size_t width = 64, size_t height = 32) {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("red"));
  image.fillColor(Magick::Color("blue"));
  image.strokeColor(Magick::Color("blue"));
  image.draw(
      Magick::DrawableRectangle(double(width / 2), 0, double(width - 1), double(height - 1)));
  return image;
}

bool IsRed(const Magick::Image& image, size_t x, size_t y) {
  const Magick::ColorRGB c = image.pixelColor(x, y);
  return c.red() > 0.7 && c.blue() < 0.3;
}

bool IsBlue(const Magick::Image& image, size_t x, size_t y) {
  const Magick::ColorRGB c = image.pixelColor(x, y);
  return c.blue() > 0.7 && c.red() < 0.3;
}

std::map<std::string, std::string> ExifOf(const fs::path& path) {
  auto image = Exiv2::ImageFactory::open(path.string());
  image->readMetadata();
  std::map<std::string, std::string> tags;
  for (const Exiv2::Exifdatum& datum : image->exifData()) tags[datum.key()] = datum.toString();
  return tags;
}

Magick::Image Read(const fs::path& path) {
  Magick::Image image;
  image.read(path.string());
  return image;
}

class FileEdits : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    InitializeImageLibrary();
    m_dir = testsupport::NewTempDir("edits");
    SetImageMessageSink([](HWND, const MyString&, const MyString&) {});
    m_view.FileEdits().SetUi(&m_ui);
    m_view.FileEdits().Host().removeSelection = [this] { ++m_nSelectionsRemoved; };
    gSO[SO_SAVE_AFTER_ROTATE].nValue = IDC_SO_SAVE_ORIGINAL_NAME;
    // Pixels as the files store them; photos shown upright have their own cases.
    gVO[VO_UPRIGHT].bFlag = 0;
  }
  void TearDown() override {
    SetImageMessageSink(nullptr);
    ResetOptionRecords();
  }

  fs::path MakeJpeg(const char* name, int orientation = 0) {
    Magick::Image image = TwoHalves();
    image.quality(95);
    const fs::path path = m_dir / name;
    image.write(path.string());
    if (orientation) {
      auto file = Exiv2::ImageFactory::open(path.string());
      Exiv2::ExifData exif;
      exif["Exif.Image.Make"] = std::string("Testcam");
      exif["Exif.Image.Orientation"] = uint16_t(orientation);
      file->setExifData(exif);
      file->writeMetadata();
    }
    return path;
  }
  fs::path MakePng(const char* name) {
    const fs::path path = m_dir / name;
    TwoHalves().write(path.string());
    return path;
  }
  int Open(const fs::path& path) { return m_view.OpenFile(CStrAW::FromPath(path)); }
  void Command(int id) { m_view.OnCommand(id); }
  fs::path Shown() { return CStrAW::ToPath(m_view.Document().GetPath()); }
  const Magick::Image& Image() { return m_view.Document().GetImage(); }

  fs::path m_dir;
  CImageView m_view;
  CScriptedUi m_ui;
  int m_nSelectionsRemoved = 0;
};

// --- Rotating and mirroring a file ---

TEST_F(FileEdits, WithoutAnImageEachCommandAsksForOneUnderItsCaption) {
  const std::pair<int, const char*> commands[] = {
      {IDM_ROTATE_CLOCKWISE, "Lorimo: Rotate90 Image Function"},
      {IDM_ROTATE_COUNTER_CLOCKWISE, "Lorimo: Rotate270 Image Function"},
      {IDM_ROTATE_180, "Lorimo: Rotate180 Image Function"},
      {IDM_FLIP_UP_DOWN, "Lorimo: FlipV Image Function"},
      {IDM_FLIP_LEFT_RIGHT, "Lorimo: FlipH Image Function"}};
  for (const auto& [id, caption] : commands) {
    EXPECT_TRUE(m_view.FileEdits().OwnsCommand(id));
    Command(id);
  }
  ASSERT_EQ(m_ui.messages.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(m_ui.messages[i].text, "Please Open Image First.");
    EXPECT_EQ(m_ui.messages[i].caption, commands[i].second);
    EXPECT_EQ(m_ui.messages[i].kind, MK_WARNING);
  }
}

TEST_F(FileEdits, NothingHappensWithoutAFileOrWithDownsampledReading) {
  const fs::path png = MakePng("a.png");
  const std::string bytes = testsupport::ReadFile(png);
  ASSERT_EQ(Open(png), 1);
  m_view.Document().SetPath(MyString());  // a pasted image has no file
  Command(IDM_ROTATE_CLOCKWISE);
  m_view.Document().SetPath(CStrAW::FromPath(m_dir));
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_EQ(Image().columns(), 64u);

  m_view.Document().SetPath(CStrAW::FromPath(png));
  gVSO[VSO_SAMPLE_VLI].bFlag = 1;
  Command(IDM_ROTATE_CLOCKWISE);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text,
            "This operation is not permited when DOWNSAMPLE READING LARGE IMAGES is selected.  "
            "See VIEW/VIEW OPTIONS.");
  EXPECT_EQ(m_ui.messages[0].caption, "Lorimo: Rotate or Mirror Option.");
  EXPECT_EQ(testsupport::ReadFile(png), bytes);
  EXPECT_EQ(m_nSelectionsRemoved, 0);
}

TEST_F(FileEdits, UnchosenSaveOptionOnlyOpensTheOptions) {
  const fs::path jpeg = MakeJpeg("a.jpg");
  const std::string bytes = testsupport::ReadFile(jpeg);
  ASSERT_EQ(Open(jpeg), 1);
  tagIMAGEDATA& data = m_view.Document().GetData();
  data.pUndoImage = std::make_unique<Magick::Image>(Image());
  data.bUndoAvailable = true;
  gSO[SO_SAVE_AFTER_ROTATE].nValue = -1;
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_EQ(m_ui.nOptions, 1);
  EXPECT_TRUE(m_ui.bOptionsNotSet);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);
  EXPECT_EQ(Image().columns(), 64u);
  EXPECT_TRUE(data.bUndoAvailable);
  EXPECT_EQ(m_nSelectionsRemoved, 0);
}

TEST_F(FileEdits, JpegTurnedInPlaceLosslesslyKeepsItsTurnedOrientationAndFreshExif) {
  const fs::path jpeg = MakeJpeg("a.jpg", 6);
  ASSERT_EQ(Open(jpeg), 1);
  tagIMAGEDATA& data = m_view.Document().GetData();
  data.pUndoImage = std::make_unique<Magick::Image>(Image());
  data.bUndoAvailable = true;
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_EQ(m_nSelectionsRemoved, 1);
  EXPECT_FALSE(data.bUndoAvailable);
  EXPECT_EQ(data.pUndoImage, nullptr);

  const Magick::Image file = Read(jpeg);
  EXPECT_EQ(file.columns(), 32u);
  EXPECT_EQ(file.rows(), 64u);
  EXPECT_TRUE(IsRed(file, 16, 8));  // the left half is now on top
  EXPECT_TRUE(IsBlue(file, 16, 56));
  const auto exif = ExifOf(jpeg);
  EXPECT_EQ(exif.at("Exif.Image.Orientation"), std::to_string(MapExifOrientation(6, LT_ROTATE90)));
  EXPECT_EQ(exif.at("Exif.Image.Software"), "Lorimo Image Viewer");
  EXPECT_EQ(exif.at("Exif.Photo.PixelXDimension"), "32");
  EXPECT_EQ(exif.at("Exif.Image.Make"), "Testcam");
  // The viewer shows the file as it is now.
  EXPECT_EQ(Shown(), jpeg);
  EXPECT_EQ(Image().columns(), 32u);
  EXPECT_FALSE(m_view.Document().IsModified());
}

TEST_F(FileEdits, PngIsReencodedOverItselfAndMirrorsWork) {
  const fs::path png = MakePng("a.png");
  ASSERT_EQ(Open(png), 1);
  Command(IDM_FLIP_LEFT_RIGHT);
  Magick::Image file = Read(png);
  EXPECT_TRUE(IsBlue(file, 4, 16));
  EXPECT_TRUE(IsRed(file, 60, 16));
  Command(IDM_ROTATE_180);
  file = Read(png);
  EXPECT_TRUE(IsRed(file, 4, 16));
  Command(IDM_ROTATE_COUNTER_CLOCKWISE);
  file = Read(png);
  EXPECT_EQ(file.columns(), 32u);
  EXPECT_TRUE(IsBlue(file, 16, 8));  // the right half went up
  Command(IDM_FLIP_UP_DOWN);
  file = Read(png);
  EXPECT_TRUE(IsRed(file, 16, 8));
  EXPECT_TRUE(IsRed(Image(), 16, 8));
  EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(FileEdits, ReadOnlyFileIsRefused) {
  const fs::path jpeg = MakeJpeg("a.jpg");
  const std::string bytes = testsupport::ReadFile(jpeg);
  ASSERT_EQ(Open(jpeg), 1);
  ::chmod(jpeg.c_str(), 0444);
  Command(IDM_ROTATE_CLOCKWISE);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text, "The file is read only and cannot be rotated.");
  EXPECT_EQ(m_ui.messages[0].caption, "");
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);
}

TEST_F(FileEdits, DamagedJpegIsLeftAsItWasAndTheFailureShown) {
  const fs::path jpeg = MakeJpeg("a.jpg");
  ASSERT_EQ(Open(jpeg), 1);
  // Damaged on disk after it was shown.
  std::string bytes = testsupport::ReadFile(jpeg);
  bytes.resize(bytes.size() / 2);
  testsupport::WriteFile(jpeg, bytes);
  Command(IDM_ROTATE_CLOCKWISE);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text, "The file cannot be rotated.");
  EXPECT_EQ(m_ui.messages[0].caption, "An error has ocurred");
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);
  // No partial or temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(FileEdits, SuffixChoiceNumbersTheTurnedCopies) {
  gSO[SO_SAVE_AFTER_ROTATE].nValue = IDC_SO_SAVE_APPEND_SUFFIX;
  const fs::path jpeg = MakeJpeg("a.jpg", 1);
  const std::string bytes = testsupport::ReadFile(jpeg);
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);
  const fs::path first = m_dir / "a_modified_by_Lorimo_1.jpg";
  EXPECT_EQ(Shown(), first);
  EXPECT_EQ(Read(first).columns(), 32u);
  EXPECT_EQ(ExifOf(first).at("Exif.Image.Software"), "Lorimo Image Viewer");
  EXPECT_EQ(ExifOf(first).at("Exif.Image.Orientation"), "8");
  Command(IDM_ROTATE_CLOCKWISE);
  const fs::path second = m_dir / "a_modified_by_Lorimo_2.jpg";
  EXPECT_EQ(Shown(), second);
  EXPECT_EQ(Read(second).columns(), 64u);
  EXPECT_TRUE(IsBlue(Read(second), 4, 16));  // turned twice: upside down
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);
  EXPECT_EQ(Read(first).columns(), 32u);
  EXPECT_TRUE(m_ui.messages.empty());
  // The new files are in the viewer's listing.
  EXPECT_EQ(m_view.Stepper().Position().GetLast(), 2);
}

TEST_F(FileEdits, AskedNameGetsTheTurnedImageOrNothingOnCancel) {
  gSO[SO_SAVE_AFTER_ROTATE].nValue = IDC_SO_SAVE_ASK_NAME;
  const fs::path jpeg = MakeJpeg("a.jpg");
  const std::string bytes = testsupport::ReadFile(jpeg);
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);  // cancelled
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text,
            "You have selected to Rotate or Flip the image.\nPlease provide a new file name if you "
            "want to save the modified image.\nAlso check EDIT/ROTATE AND FLIP OPTIONS...\n");
  EXPECT_EQ(m_ui.messages[0].caption, "Lorimo Rotate or Flip Options...");
  EXPECT_EQ(m_ui.messages[0].kind, MK_INFORMATION);
  EXPECT_EQ(m_ui.nSaveNames, 1);
  EXPECT_EQ(Image().columns(), 64u);

  // A JPEG turned into a PNG goes through memory.
  m_ui.saveName = CStrAW::FromPath(m_dir / "b.png");
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_EQ(Shown(), m_dir / "b.png");
  EXPECT_TRUE(IsRed(Read(m_dir / "b.png"), 16, 8));
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);

  // The source itself as the target: turned in place and shown again.
  m_ui.saveName = CStrAW::FromPath(m_dir / "b.png");
  Command(IDM_FLIP_UP_DOWN);
  EXPECT_EQ(Shown(), m_dir / "b.png");
  EXPECT_TRUE(IsBlue(Read(m_dir / "b.png"), 16, 8));
  EXPECT_TRUE(IsBlue(Image(), 16, 8));
}

TEST_F(FileEdits, MemoryOnlyLeavesTheFileAndTheFlag) {
  gSO[SO_SAVE_AFTER_ROTATE].nValue = IDC_SO_SAVE_NOTHING;
  const fs::path jpeg = MakeJpeg("a.jpg");
  const std::string bytes = testsupport::ReadFile(jpeg);
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_EQ(Image().columns(), 32u);
  EXPECT_TRUE(IsRed(Image(), 16, 8));
  EXPECT_FALSE(m_view.Document().IsModified());
  EXPECT_EQ(testsupport::ReadFile(jpeg), bytes);
}

TEST_F(FileEdits, LossyTurnWritesAtLeastQuality80AndRestoresTheSetting) {
  gSO[SO_JPG_LOSSLESS].nValue = 0;
  gSO[SO_JPG_QUALITY].nValue = 30;
  const fs::path jpeg = MakeJpeg("a.jpg");
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_EQ(gSO[SO_JPG_QUALITY].nValue, 30);
  Magick::Image file = Read(jpeg);
  EXPECT_EQ(file.columns(), 32u);
  EXPECT_GE(std::stoi(file.attribute("JPEG-Quality")), 80);

  // Any other write takes the setting as it stands.
  ASSERT_TRUE(SaveImage(nullptr, CStrAW::FromPath(m_dir / "plain.jpg"), TwoHalves()));
  EXPECT_EQ(std::stoi(Read(m_dir / "plain.jpg").attribute("JPEG-Quality")), 30);
}

TEST_F(FileEdits, EditedJpegIsTurnedWithItsEditsNotFromTheFile) {
  const fs::path jpeg = MakeJpeg("a.jpg");
  ASSERT_EQ(Open(jpeg), 1);
  m_view.Document().ReplaceImage(TwoHalves(48, 16));  // as an edit leaves it
  m_view.Document().SetPath(CStrAW::FromPath(jpeg));
  Command(IDM_ROTATE_CLOCKWISE);
  const Magick::Image file = Read(jpeg);
  EXPECT_EQ(file.columns(), 16u);
  EXPECT_EQ(file.rows(), 48u);
  EXPECT_FALSE(m_view.Document().IsModified());
}

// Presses Cancel as soon as the strip shows.
class CCancellingStrip : public CProgressView {
 public:
  explicit CCancellingStrip(CProgressMonitor& monitor) : m_monitor(monitor) {}
  int nShown = 0;
  void ShowProgress() override { ++nShown; }
  void SetProgress(int) override {}
  void PumpMessages() override { m_monitor.Cancel(); }
  void HideProgress() override {}

 private:
  CProgressMonitor& m_monitor;
};

TEST_F(FileEdits, CancelledTurnLeavesTheFileAndTheImage) {
  // Large enough for the turn to report its progress more than once.
  const fs::path png = m_dir / "big.png";
  TwoHalves(2000, 1000).write(png.string());
  const std::string bytes = testsupport::ReadFile(png);
  ASSERT_EQ(Open(png), 1);
  CProgressMonitor& monitor = m_view.Document().GetMonitor();
  CCancellingStrip strip(monitor);
  int64_t now = 0;
  monitor.SetClock([&now] { return now += 2000; });  // a slow turn: the strip shows
  monitor.SetView(&strip);
  Command(IDM_ROTATE_CLOCKWISE);
  monitor.SetView(nullptr);
  monitor.SetClock(nullptr);
  EXPECT_EQ(strip.nShown, 1);
  EXPECT_EQ(testsupport::ReadFile(png), bytes);
  EXPECT_EQ(Image().columns(), 2000u);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(FileEdits, KeepOriginalDateTimeSetsTheWriteTimeToTheCreationTime) {
  gSO[SO_KEEP_DATE_TIME].nValue = 1;
  const fs::path jpeg = MakeJpeg("a.jpg");
  CFileInfo before;
  ASSERT_EQ(GetFileInfo(CStrAW::FromPath(jpeg), &before), 1);
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);
  CFileInfo after;
  ASSERT_EQ(GetFileInfo(CStrAW::FromPath(jpeg), &after), 1);
  EXPECT_EQ(after.ftLastWriteTime, before.ftCreationTime);
  EXPECT_EQ(Read(jpeg).columns(), 32u);
}

// --- Files beside the photo in a folder others may write to ---

TEST_F(FileEdits, TurnNeverWritesThroughAPlantedLink) {
  gSO[SO_JPG_LOSSLESS].nValue = 0;
  const fs::path jpeg = MakeJpeg("a.jpg", 6);
  const fs::path bashrc = testsupport::NewTempDir("home") / ".bashrc";
  testsupport::WriteFile(bashrc, "alias ls='ls -F'\n");
  // The side name an earlier version wrote the turned picture to.
  fs::create_symlink(bashrc, m_dir / ".a.lorimo-turn.jpg");
  ASSERT_EQ(Open(jpeg), 1);
  Command(IDM_ROTATE_CLOCKWISE);
  EXPECT_TRUE(m_ui.messages.empty());
  EXPECT_TRUE(testsupport::ReadFile(bashrc) == "alias ls='ls -F'\n") << "written through";
  EXPECT_EQ(Read(jpeg).columns(), 32u);
  const auto exif = ExifOf(jpeg);
  EXPECT_EQ(exif.at("Exif.Image.Orientation"), std::to_string(MapExifOrientation(6, LT_ROTATE90)));
  EXPECT_EQ(exif.at("Exif.Image.Software"), "Lorimo Image Viewer");
  EXPECT_EQ(exif.at("Exif.Photo.PixelXDimension"), "32");

  // The photo itself swapped for a link after it was shown: refused, with
  // or without the lossless way.
  gVO[VO_DIALOG_ERRORS].bFlag = 0;  // save errors shown
  std::vector<std::string> said;
  SetImageMessageSink(
      [&](HWND, const MyString&, const MyString& caption) { said.push_back(caption.ToUtf8()); });
  const fs::path mine = bashrc.parent_path() / "mine.jpg";
  TwoHalves().write(mine.string());
  const std::string kept = testsupport::ReadFile(mine);
  for (const bool lossless : {false, true}) {
    gSO[SO_JPG_LOSSLESS].nValue = lossless ? 1 : 0;
    ASSERT_EQ(Open(jpeg), 1);
    fs::rename(jpeg, m_dir / "moved.jpg");
    fs::create_symlink(mine, jpeg);
    Command(IDM_ROTATE_180);
    EXPECT_TRUE(testsupport::ReadFile(mine) == kept);
    EXPECT_TRUE(fs::is_symlink(jpeg));
    fs::remove(jpeg);
    fs::rename(m_dir / "moved.jpg", jpeg);
  }
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], "Lorimo: SaveImage() function");
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text, "The file cannot be rotated.");
  EXPECT_TRUE(testsupport::ReadFile(bashrc) == "alias ls='ls -F'\n") << "written through";
}

// Plants a name beside the photo while the turn is under way, as another
// user of a shared folder could.
class CPlantingStrip : public CProgressView {
 public:
  std::function<void()> plant;
  void ShowProgress() override {}
  void SetProgress(int) override {}
  void PumpMessages() override {
    if (plant) std::exchange(plant, nullptr)();
  }
  void HideProgress() override {}
};

TEST_F(FileEdits, NumberedNameTakenWhileTurningIsNotWrittenThrough) {
  gSO[SO_SAVE_AFTER_ROTATE].nValue = IDC_SO_SAVE_APPEND_SUFFIX;
  // Large enough for the turn to report its progress.
  const fs::path png = m_dir / "big.png";
  TwoHalves(2000, 1000).write(png.string());
  const fs::path bashrc = testsupport::NewTempDir("home") / ".bashrc";
  testsupport::WriteFile(bashrc, "alias ls='ls -F'\n");
  ASSERT_EQ(Open(png), 1);
  CProgressMonitor& monitor = m_view.Document().GetMonitor();
  CPlantingStrip strip;
  const fs::path numbered = m_dir / "big_modified_by_Lorimo_1.png";
  strip.plant = [&] { fs::create_symlink(bashrc, numbered); };
  int64_t now = 0;
  monitor.SetClock([&now] { return now += 2000; });
  monitor.SetView(&strip);
  Command(IDM_ROTATE_CLOCKWISE);
  monitor.SetView(nullptr);
  monitor.SetClock(nullptr);
  ASSERT_FALSE(strip.plant) << "the name was not planted mid-turn";
  EXPECT_TRUE(testsupport::ReadFile(bashrc) == "alias ls='ls -F'\n") << "written through";
  EXPECT_TRUE(fs::is_symlink(numbered));
  EXPECT_EQ(Shown(), png);
}

constexpr int kKilledAtWrite = 99;

// Runs body in a child process that dies at the first write taking a file
// past limit bytes, as a kill or a full disk would stop it there. Its exit
// status (kKilledAtWrite when it died so), or -1.
int RunUntilWritePast(off_t limit, const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, [](int) { _exit(kKilledAtWrite); });
    const rlimit size{rlim_t(limit), rlim_t(limit)};
    setrlimit(RLIMIT_FSIZE, &size);
    body();
    _exit(0);
  }
  if (pid < 0) return -1;
  int status = 0;
  for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
    if (waited == 600) {  // a minute
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the bytes are a JPEG that decodes to its end without a warning.
bool IsWholeJpeg(const std::string& jpeg) {
  tjhandle handle = tjInitDecompress();
  const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  bool whole = tjDecompressHeader3(handle, data, jpeg.size(), &width, &height, &subsampling,
                                   &colourspace) == 0;
  if (whole) {
    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 3);
    whole = tjDecompress2(handle, data, jpeg.size(), pixels.data(), width, 0, height, TJPF_RGB,
                          TJFLAG_STOPONWARNING) == 0;
  }
  tjDestroy(handle);
  return whole;
}

TEST_F(FileEdits, AKillWhileTheExifIsRefreshedLeavesThePhotoWhole) {
  const fs::path jpeg = MakeJpeg("a.jpg", 6);
  const std::string before = testsupport::ReadFile(jpeg);
  for (const bool saveAs : {false, true}) {
    SCOPED_TRACE(saveAs ? "Save As over itself" : "turned in place");
    testsupport::WriteFile(jpeg, before);
    ASSERT_EQ(Open(jpeg), 1);
    // The transformed picture alone; its EXIF brought up to date makes the
    // file larger, so the child dies writing that.
    const fs::path plain = m_dir / "plain.jpg";
    ASSERT_EQ(CLosslessJpeg().Transform(CStrAW::FromPath(jpeg), CStrAW::FromPath(plain),
                                        saveAs ? LT_NONE : LT_ROTATE90, false),
              1);
    const off_t limit = off_t(fs::file_size(plain)) + 1;
    fs::remove(plain);
    const int status = RunUntilWritePast(limit, [&] {
      if (!saveAs) return Command(IDM_ROTATE_CLOCKWISE);
      CTargetOnly ui;
      ui.target = CStrAW::FromPath(jpeg);
      CSaveAsCommand(m_view.Document(), ui).Run();
    });
    EXPECT_EQ(status, kKilledAtWrite);
    const std::string after = testsupport::ReadFile(jpeg);
    EXPECT_TRUE(after == before || IsWholeJpeg(after)) << "left at " << after.size() << " bytes";
  }
}

// --- The save question ---

// --- Photos shown upright ---

// Quarters of four colours, top-left, top-right, bottom-left, bottom-right.
constexpr const char* kQuarterColours[4] = {"red", "blue", "lime", "white"};

// The quarters as a viewer that honours EXIF shows a file whose stored
// quarters are 0 1 / 2 3, for Orientation 1..8 (index 0: no valid value).
constexpr int kUprightQuarters[9][4] = {{0, 1, 2, 3}, {0, 1, 2, 3}, {1, 0, 3, 2},
                                        {3, 2, 1, 0}, {2, 3, 0, 1}, {0, 2, 1, 3},
                                        {2, 0, 3, 1}, {3, 1, 2, 0}, {1, 3, 0, 2}};

// Quarters after a quarter turn clockwise.
std::array<int, 4> TurnedClockwise(const int* q) { return {q[2], q[0], q[3], q[1]}; }

std::array<int, 4> QuartersOf(const Magick::Image& image) {
  std::array<int, 4> found;
  const size_t w = image.columns(), h = image.rows();
  const size_t xs[2] = {w / 4, w * 3 / 4}, ys[2] = {h / 4, h * 3 / 4};
  for (int i = 0; i < 4; ++i) {
    const Magick::ColorRGB c = image.pixelColor(xs[i % 2], ys[i / 2]);
    double best = 9;
    for (int k = 0; k < 4; ++k) {
      const Magick::ColorRGB want = Magick::Color(kQuarterColours[k]);
      const double d = std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                       std::abs(c.blue() - want.blue());
      if (d < best) best = d, found[i] = k;
    }
  }
  return found;
}

class UprightPhotos : public FileEdits, public ::testing::WithParamInterface<int> {
 protected:
  // 64 x 48 stored, a camera's EXIF block with the orientation value.
  fs::path MakeQuarters(int orientation) {
    Magick::Image image(Magick::Geometry(64, 48), Magick::Color(kQuarterColours[0]));
    for (int i = 1; i < 4; ++i) {
      image.fillColor(Magick::Color(kQuarterColours[i]));
      const double x = (i % 2) * 32, y = (i / 2) * 24;
      image.draw(Magick::DrawableRectangle(x, y, x + 31, y + 23));
    }
    image.quality(95);
    const fs::path path = m_dir / "photo.jpg";
    image.write(path.string());
    auto file = Exiv2::ImageFactory::open(path.string());
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = std::string("Phone");
    exif["Exif.Image.Orientation"] = uint16_t(orientation);
    file->setExifData(exif);
    file->writeMetadata();
    return path;
  }
};

// Shown upright; a turn writes the pixels as the user saw them turned, with
// Orientation 1, losslessly and (after an edit) re-encoded; with the option
// off the stored pixels are shown.
TEST_P(UprightPhotos, ShownUprightAndTurnedAsSeen) {
  const int orientation = GetParam();
  const int index = orientation >= 1 && orientation <= 8 ? orientation : 0;
  const fs::path photo = MakeQuarters(orientation);
  gVO[VO_UPRIGHT].bFlag = 1;
  ASSERT_EQ(Open(photo), 1);
  const int* upright = kUprightQuarters[index];
  EXPECT_EQ(QuartersOf(Image()), std::to_array(kUprightQuarters[index]));
  EXPECT_EQ(Image().columns(), index >= 5 ? 48u : 64u);
  EXPECT_EQ(m_view.Document().GetShownOrientation(), index ? index : 1);

  Command(IDM_ROTATE_CLOCKWISE);  // lossless, over the file
  ASSERT_TRUE(m_ui.messages.empty());
  std::array<int, 4> turned = TurnedClockwise(upright);
  EXPECT_EQ(QuartersOf(Read(photo)), turned) << "the file's own pixels";
  EXPECT_EQ(ExifOf(photo).at("Exif.Image.Orientation"), "1");
  EXPECT_EQ(QuartersOf(Image()), turned);

  m_view.Document().SetModified(true);  // an edit: turned in memory, re-encoded
  Command(IDM_ROTATE_CLOCKWISE);
  ASSERT_TRUE(m_ui.messages.empty());
  turned = TurnedClockwise(turned.data());
  EXPECT_EQ(QuartersOf(Read(photo)), turned);
  EXPECT_EQ(ExifOf(photo).at("Exif.Image.Orientation"), "1");

  MakeQuarters(orientation);
  gVO[VO_UPRIGHT].bFlag = 0;
  ASSERT_EQ(Open(photo), 1);
  EXPECT_EQ(QuartersOf(Image()), (std::array<int, 4>{0, 1, 2, 3}));
  EXPECT_EQ(m_view.Document().GetShownOrientation(), 0);
}

INSTANTIATE_TEST_SUITE_P(Orientations, UprightPhotos, ::testing::Range(1, 10));

TEST_F(FileEdits, SaveAsOfAnUprightPhotoWritesItUpright) {
  const fs::path photo = MakeJpeg("portrait.jpg", 6);
  gVO[VO_UPRIGHT].bFlag = 1;
  gSO[SO_JPG_LOSSLESS].nValue = 0;  // re-encoded from the shown image
  ASSERT_EQ(Open(photo), 1);
  ASSERT_EQ(Image().columns(), 32u);
  CTargetOnly ui;
  ui.target = CStrAW::FromPath(m_dir / "copy.jpg");
  CSaveAsCommand save(m_view.Document(), ui);
  ASSERT_EQ(save.Run(), 1);
  const Magick::Image copy = Read(m_dir / "copy.jpg");
  EXPECT_EQ(copy.columns(), 32u);
  EXPECT_TRUE(IsRed(copy, 16, 8));  // the left half on top, as shown
  EXPECT_EQ(ExifOf(m_dir / "copy.jpg").at("Exif.Image.Orientation"), "1");
  EXPECT_EQ(ExifOf(m_dir / "copy.jpg").at("Exif.Image.Make"), "Testcam");
}

class SaveQuestion : public FileEdits {
 protected:
  void SetUp() override {
    FileEdits::SetUp();
    MakePng("a.png");
    MakePng("b.png");
    m_view.FileEdits().Host().saveAs = [this] {
      CTargetOnly ui;
      ui.target = m_target;
      ++m_nSaves;
      return CSaveAsCommand(m_view.Document(), ui).Run();
    };
    ASSERT_EQ(Open(m_dir / "a.png"), 1);
    m_view.Document().SetModified(true);
  }
  MyString m_target;
  int m_nSaves = 0;
};

TEST_F(SaveQuestion, YesSavesAndTheStepGoesOn) {
  m_target = CStrAW::FromPath(m_dir / "saved.png");
  m_view.OnCommand(IDM_NEXT_IMAGE);
  ASSERT_EQ(m_ui.questions.size(), 1u);
  EXPECT_EQ(m_ui.questions[0],
            "Lorimo: Save Edit function.: Save the modified image as a new image?");
  EXPECT_TRUE(fs::exists(m_dir / "saved.png"));
  EXPECT_EQ(Shown(), m_dir / "b.png");
}

TEST_F(SaveQuestion, YesButNotSavedUndoesTheStep) {
  m_view.OnCommand(IDM_NEXT_IMAGE);  // Save As cancelled: no target
  EXPECT_EQ(m_nSaves, 1);
  EXPECT_EQ(Shown(), m_dir / "a.png");
  EXPECT_TRUE(m_view.Document().IsModified());
}

TEST_F(SaveQuestion, NoClearsTheFlagAndGoesOn) {
  m_ui.bYes = false;
  m_view.OnCommand(IDM_NEXT_IMAGE);
  EXPECT_EQ(m_nSaves, 0);
  EXPECT_EQ(Shown(), m_dir / "b.png");
  EXPECT_FALSE(m_view.Document().IsModified());
}

TEST_F(SaveQuestion, ClosingAsksThroughTheProgramHook) {
  ASSERT_TRUE(GetProgramHooks().askToSaveModifiedImage);
  GetProgramHooks().askToSaveModifiedImage();
  EXPECT_EQ(m_ui.questions.size(), 1u);
  EXPECT_EQ(m_nSaves, 1);
}

TEST_F(SaveQuestion, PrintingAnEditedImageSavesItFirst) {
  m_ui.pdf = m_dir / "out.pdf";
  m_view.OnCommand(IDM_PRINT);  // Save As cancelled: nothing printed
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text,
            "You are trying to print an edited image that has not been saved yet.\n  In order to "
            "print the edited image you must first save it.");
  EXPECT_EQ(m_ui.messages[0].caption, "Lorimo Print");
  EXPECT_FALSE(fs::exists(m_ui.pdf));

  m_target = CStrAW::FromPath(m_dir / "saved.png");
  m_view.OnCommand(IDM_PRINT_KEY);
  EXPECT_EQ(m_nSaves, 2);
  EXPECT_EQ(Shown(), m_dir / "saved.png");
  ASSERT_TRUE(fs::exists(m_ui.pdf));
  EXPECT_EQ(testsupport::ReadFile(m_ui.pdf).substr(0, 4), "%PDF");
}

// --- Handing the file on ---

TEST_F(FileEdits, PrintFitsTheImageOnAPdfPage) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const fs::path pdf = m_dir / "page.pdf";
  printer.setOutputFileName(QString::fromStdString(pdf.string()));
  EXPECT_FALSE(PrintImage(QImage(), &printer));
  ASSERT_TRUE(PrintImage(CImageDocument::ToQImage(TwoHalves()), &printer));
  const std::string bytes = testsupport::ReadFile(pdf);
  EXPECT_GT(bytes.size(), 500u);
  EXPECT_EQ(bytes.substr(0, 4), "%PDF");

  m_view.OnCommand(IDM_PRINT);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].text, "Please Open Image First.");
}

TEST_F(FileEdits, CopyToDesktopNeverOverwrites) {
  const fs::path desktop = m_dir / "Desktop";
  m_view.FileEdits().SetDesktopFolder(CStrAW::FromPath(desktop));
  Command(IDM_DESKTOP_COPY);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].caption, "Lorimo: Copy to desktop");

  const fs::path png = MakePng("a.png");
  ASSERT_EQ(Open(png), 1);
  Command(IDM_DESKTOP_COPY);
  Command(IDM_DESKTOP_COPY);
  ASSERT_EQ(m_ui.messages.size(), 3u);
  EXPECT_EQ(m_ui.messages[1].text, "Operation completed successfully !");
  EXPECT_EQ(m_ui.messages[1].caption, "Copy to desktop");
  EXPECT_EQ(
      m_ui.messages[2].text,
      "Operation failed!\nPlease check if there is a file with the same name on the desktop.");
  EXPECT_EQ(m_ui.messages[2].caption, "Copy to desktop");
  EXPECT_EQ(testsupport::ReadFile(desktop / "a.png"), testsupport::ReadFile(png));
}

TEST_F(FileEdits, WallpaperFileAndDesktopSettings) {
  const MyString folder = u"/home/ann/.local/share/ZOKA/Lorimo/Wallpaper";
  tagWALLPAPERFILE choice = ChooseWallpaperFile(u"/p/a.JPG", false, folder);
  EXPECT_EQ(choice.strPath, MyString(u"/p/a.JPG"));
  EXPECT_FALSE(choice.bWriteImage);
  choice = ChooseWallpaperFile(u"/p/a.bmp", true, folder);  // edited: the edit is shown
  EXPECT_EQ(choice.strPath, folder + u"/a.png");
  EXPECT_TRUE(choice.bWriteImage);
  EXPECT_EQ(ChooseWallpaperFile(u"/p/b.psd", false, folder).strPath, folder + u"/b.png");

  auto gnome = DesktopWallpaperCommands(QStringLiteral("ubuntu:GNOME"), u"/p/a b.jpg");
  ASSERT_EQ(gnome.size(), 2u);
  EXPECT_EQ(gnome[0].strProgram, QStringLiteral("gsettings"));
  EXPECT_EQ(gnome[0].arguments, QStringList({"set", "org.gnome.desktop.background", "picture-uri",
                                             "file:///p/a%20b.jpg"}));
  EXPECT_TRUE(gnome[1].bOptional);
  auto kde = DesktopWallpaperCommands(QStringLiteral("KDE"), u"/p/a.jpg");
  ASSERT_EQ(kde.size(), 1u);
  EXPECT_EQ(kde[0].arguments, QStringList({"/p/a.jpg"}));
  EXPECT_TRUE(DesktopWallpaperCommands(QStringLiteral("Unknown"), u"/p/a.jpg").empty());
  EXPECT_TRUE(IsXfceDesktop(QStringLiteral("XFCE")));
  EXPECT_EQ(XfceImageProperties("/backdrop/screen0/monitor0/image-style\n"
                                "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"),
            QStringList({"/backdrop/screen0/monitorHDMI-1/workspace0/last-image"}));
}

TEST_F(FileEdits, WallpaperWritesOtherFormatsAndReportsFailures) {
  CDesktopWallpaper& wallpaper = m_view.FileEdits().Wallpaper();
  wallpaper.strFolder = CStrAW::FromPath(m_dir / "wall");
  MyString given;
  MyString reason;
  int result = 1;
  wallpaper.setWallpaper = [&](const MyString& file, MyString* error) {
    given = file;
    *error = reason;
    return result;
  };
  Command(IDM_DESKTOP_WALLPAPER);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(m_ui.messages[0].caption, "Lorimo: Set desktop wallpaper");

  const fs::path tif = m_dir / "scan.tif";
  TwoHalves().write(tif.string());
  ASSERT_EQ(Open(tif), 1);
  // Our copy's name is replaced, never written through.
  testsupport::WriteFile(m_dir / "elsewhere.png", "theirs");
  fs::create_directories(m_dir / "wall");
  fs::create_symlink(m_dir / "elsewhere.png", m_dir / "wall" / "scan.png");
  Command(IDM_DESKTOP_WALLPAPER);
  EXPECT_EQ(CStrAW::ToPath(given), m_dir / "wall" / "scan.png");
  EXPECT_FALSE(fs::is_symlink(m_dir / "wall" / "scan.png"));
  EXPECT_EQ(testsupport::ReadFile(m_dir / "elsewhere.png"), "theirs");
  EXPECT_TRUE(IsRed(Read(m_dir / "wall" / "scan.png"), 4, 4));
  EXPECT_EQ(m_ui.messages.size(), 1u);

  result = 0;
  reason = u"no backend";
  Command(IDM_DESKTOP_WALLPAPER);
  reason = MyString();
  Command(IDM_DESKTOP_WALLPAPER);
  ASSERT_EQ(m_ui.messages.size(), 3u);
  EXPECT_EQ(m_ui.messages[1].text, "Error occured !\nno backend");
  EXPECT_EQ(m_ui.messages[1].caption, "Lorimo: SetWallpaper()");
  EXPECT_EQ(m_ui.messages[2].text, "Unknown error occured.");
}

TEST_F(FileEdits, ExternalEditorIsChosenOnceAndStartedWithThePath) {
  const fs::path png = MakePng("a b.png");
  ASSERT_EQ(Open(png), 1);
  // An editor that writes down what it was given.
  const fs::path said = m_dir / "said.txt";
  const fs::path editor = m_dir / "editor.sh";
  testsupport::WriteFile(editor, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + said.string() +
                                     ".part\" && mv \"" + said.string() + ".part\" \"" +
                                     said.string() + "\"\n");
  const fs::path notProgram = m_dir / "notes.txt";
  testsupport::WriteFile(notProgram, "x");
  ::chmod(editor.c_str(), 0755);

  m_ui.bOfferEditor = false;
  Command(IDM_EXTERNAL_EDITOR);
  EXPECT_EQ(m_ui.nEditorChoices, 0);
  m_ui.bOfferEditor = true;
  m_ui.editor = CStrAW::FromPath(notProgram);
  Command(IDM_EXTERNAL_EDITOR);
  ASSERT_EQ(m_ui.messages.size(), 1u);
  EXPECT_EQ(CExternalEditor::GetEditor(), MyString());

  m_ui.editor = CStrAW::FromPath(editor);
  Command(IDM_EXTERNAL_EDITOR);
  EXPECT_EQ(CStrAW::ToPath(CExternalEditor::GetEditor()), editor);
  ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(said); }));
  EXPECT_EQ(testsupport::ReadFile(said), png.string());
  fs::remove(said);
  Command(IDM_EXTERNAL_EDITOR);  // set now: not asked again
  EXPECT_EQ(m_ui.nEditorChoices, 2);
  EXPECT_TRUE(testsupport::WaitFor([&] { return fs::exists(said); }));
  EXPECT_TRUE(CExternalEditor::IsUsableEditor(u"sh"));
}

TEST_F(FileEdits, EditOptionsAreCheckedBeforeTheyAreStored) {
  tagEDITOPTIONS options = tagEDITOPTIONS::FromRecords();
  EXPECT_EQ(options.nSaveAfter, int(IDC_SO_SAVE_ORIGINAL_NAME));
  EXPECT_EQ(options.strSuffix, MyString(u"_modified_by_Lorimo"));
  options.nSaveAfter = IDC_SO_SAVE_APPEND_SUFFIX;
  options.strEditor = u"/usr/bin/gimp";
  options.strSuffix = u"_1234567890123456789012345";  // 26 characters
  MyString error;
  EXPECT_EQ(options.Store(&error), 0);
  EXPECT_FALSE(error.IsEmpty());
  options.strSuffix = u"/../up";
  EXPECT_EQ(options.Store(), 0);
  EXPECT_EQ(gSO[SO_SAVE_AFTER_ROTATE].nValue, int(IDC_SO_SAVE_ORIGINAL_NAME));  // none stored
  options.strSuffix = u"_turned";
  EXPECT_TRUE(options.bFitSelection);
  options.bFitSelection = false;
  ASSERT_EQ(options.Store(), 1);
  EXPECT_EQ(gBO[BO_FIT_SEL].bFlag, 0);
  EXPECT_EQ(gBO[BO_CROP_SEL].bFlag, 1);
  EXPECT_EQ(gSO[SO_SAVE_AFTER_ROTATE].nValue, int(IDC_SO_SAVE_APPEND_SUFFIX));
  EXPECT_EQ(MyString(gSO[SO_SAVE_APPEND].szText), MyString(u"_turned"));
  EXPECT_EQ(CExternalEditor::GetEditor(), MyString(u"/usr/bin/gimp"));

  CDlgEditOptions dialog(nullptr, tagEDITOPTIONS::FromRecords(), true);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Rotate and Flip Save Options"));
  EXPECT_TRUE(
      dialog.Notice()->text().startsWith("The rotate and mirror options have not been set."));
  EXPECT_EQ(dialog.Options().strSuffix, MyString(u"_turned"));
  EXPECT_EQ(dialog.Options().nSaveAfter, int(IDC_SO_SAVE_APPEND_SUFFIX));
  EXPECT_FALSE(dialog.Options().bFitSelection);
}

}  // namespace
