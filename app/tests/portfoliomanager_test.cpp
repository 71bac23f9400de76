// The Portfolio Manager on real files (its questions answered by a script)
// and the animated GIFs of the slideshow builder read back with
// GraphicsMagick.
#include "collections/portfoliomanager.h"

#include <deque>
#include <filesystem>
#include <list>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "codecs/imagelibrary.h"
#include "collections/slidepreview.h"
#include "collections/slideshowbuilder.h"
#include "corekit/datafile.h"
#include "pixwork/sortedlistctrl.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString Path(const fs::path& path) { return MyString::FromUtf8(path.string()); }

void WriteImage(const fs::path& path, size_t width, size_t height,
                const char* colour = "steelblue") {
  InitializeImageLibrary();
  Magick::Image image(Magick::Geometry(width, height), Magick::Color(colour));
  image.write(path.string());
}

// Answers the manager's questions from a script and records what it said.
class CScriptedUi : public CPortfolioUi {
 public:
  int Question(const MyString& text, const MyString& caption) override {
    questions.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
    const int answer = answers.empty() ? IDCANCEL : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  void Message(const MyString& text, const MyString& caption, int icon) override {
    messages.push_back(caption.ToUtf8() + ": " + text.ToUtf8());
  }
  MyString AskSavePath() override { return Next(savePaths); }
  MyString AskLoadPath() override { return Next(loadPaths); }
  MyStringList AskImages() override { return MyStringList(); }
  MyString AskDirectory() override { return MyString(); }
  MyString AskGifPath() override { return MyString(); }

  std::deque<int> answers;
  std::deque<MyString> savePaths, loadPaths;
  std::vector<std::string> questions, messages;

 private:
  static MyString Next(std::deque<MyString>& queue) {
    if (queue.empty()) return MyString();
    MyString next = queue.front();
    queue.pop_front();
    return next;
  }
};

class PortfolioManager : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::NewTempDir("portfolio");
    for (const char* name : {"a.png", "b.png", "c.png"}) WriteImage(dir / name, 40, 30);
  }
  MyStringList Images(std::initializer_list<const char*> names) {
    MyStringList list;
    for (const char* name : names) list.Append(Path(dir / name));
    return list;
  }

  fs::path dir;
  CScriptedUi ui;
};

TEST_F(PortfolioManager, SavesReopensTheShownPortfolioAndSaveAsCancelledKeepsAll) {
  CDlgPortfolioManager manager(nullptr, MyString(), &ui);
  manager.DoModeless();
  EXPECT_EQ(manager.windowTitle(), "Portfolio Manager - New Portfolio");
  MyStringList files = Images({"b.png", "a.png"});
  files.Append(Path(dir / "none.png"));  // not there: not added
  EXPECT_EQ(manager.AddFiles(files), 2);
  EXPECT_EQ(manager.windowTitle(), "Portfolio Manager - New Portfolio*");
  manager.List()->SetItemText(1, PORTFOLIO_COL_DELAY, "250");

  const fs::path saved = dir / "show.lrm";
  MyString reopened;
  manager.shownPortfolio = [&] { return Path(saved); };
  manager.reopenPortfolio = [&](const MyString& path) { reopened = path; };
  ui.savePaths.push_back(Path(saved));
  ASSERT_EQ(manager.Save(), 1);
  EXPECT_EQ(ui.messages.back(), "Save portfolio: Operation completed successfully !");
  EXPECT_EQ(manager.windowTitle().toStdString(), "Portfolio Manager - " + saved.string());
  EXPECT_EQ(reopened, Path(saved));

  CSlidesFile file;
  ASSERT_EQ(file.Load(Path(saved)), 1);
  ASSERT_EQ(file.GetCount(), 2u);
  EXPECT_EQ(file.GetSlides()[0].strPath, Path(dir / "b.png"));
  EXPECT_EQ(file.GetSlides()[1].nDelay, 250);

  // Save As cancelled: the old path and the modified state stay.
  manager.RemoveSelected();
  manager.List()->SelectRow(0);
  manager.RemoveSelected();
  EXPECT_TRUE(manager.IsModified());
  EXPECT_EQ(manager.SaveAs(), 0);
  EXPECT_EQ(manager.GetPath(), Path(saved));
  EXPECT_TRUE(manager.IsModified());
  EXPECT_TRUE(manager.windowTitle().endsWith("*"));
}

TEST_F(PortfolioManager, AFailedSaveSaysWhyAndStaysModified) {
  CDlgPortfolioManager manager(nullptr, MyString(), &ui);
  manager.AddFiles(Images({"a.png"}));
  ui.savePaths.push_back(Path(dir / "no such folder" / "x.lrm"));
  EXPECT_EQ(manager.Save(), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("Save portfolio: Unable to save the portfolio ", 0), 0u)
      << ui.messages[0];
  EXPECT_TRUE(manager.IsModified());
  EXPECT_TRUE(manager.GetPath().IsEmpty());
  EXPECT_TRUE(manager.windowTitle().endsWith("*"));
}

TEST_F(PortfolioManager, MissingSlidesAreKeptAndAFailedLoadChangesNothing) {
  const fs::path portfolio = dir / "three.lrm";
  {
    CSlidesFile file;
    file.Append(Path(dir / "a.png"), 100);
    file.Append(Path(dir / "gone.png"), 200);
    file.Append(Path(dir / "c.png"), 300);
    ASSERT_EQ(file.Save(Path(portfolio)), 1);
  }
  CDlgPortfolioManager manager(nullptr, Path(portfolio), &ui);
  manager.DoModeless();
  ASSERT_EQ(manager.List()->GetItemCount(), 3);
  EXPECT_TRUE(manager.IsRowMissing(1));
  EXPECT_FALSE(manager.IsRowMissing(0));
  EXPECT_EQ(manager.List()->GetItemText(1, PORTFOLIO_COL_NAME), "gone.png");
  EXPECT_FALSE(manager.IsModified());

  // Saving writes the missing slide back.
  manager.List()->SetItemText(2, PORTFOLIO_COL_DELAY, "333");
  manager.SetModified(true);
  ASSERT_EQ(manager.Save(), 1);
  CSlidesFile reread;
  ASSERT_EQ(reread.Load(Path(portfolio)), 1);
  ASSERT_EQ(reread.GetCount(), 3u);
  EXPECT_EQ(reread.GetSlides()[1].strPath, Path(dir / "gone.png"));
  EXPECT_EQ(reread.GetSlides()[1].nDelay, 200);
  EXPECT_EQ(reread.GetSlides()[2].nDelay, 333);

  // "&Load": the save question's Cancel stops it; a file that cannot be
  // read leaves list and path as they were.
  manager.RemoveSelected();
  manager.List()->SelectRow(0);
  manager.RemoveSelected();
  ui.answers = {IDCANCEL, IDNO};
  ui.loadPaths = {Path(dir / "missing.lrm")};
  EXPECT_EQ(manager.LoadPortfolio(), 0);
  EXPECT_EQ(ui.loadPaths.size(), 1u);  // not asked
  EXPECT_EQ(manager.LoadPortfolio(), 0);
  EXPECT_EQ(ui.messages.back(), "LoadSlide Error: Unable to load this file");
  EXPECT_EQ(manager.List()->GetItemCount(), 2);
  EXPECT_EQ(manager.GetPath(), Path(portfolio));
  EXPECT_TRUE(manager.IsModified());
}

TEST_F(PortfolioManager, CloseThenCancelKeepsItOpenAndYesSavesBeforeClosing) {
  CDlgPortfolioManager manager(nullptr, MyString(), &ui);
  manager.DoModeless();
  manager.AddFiles(Images({"a.png", "b.png", "c.png"}));
  ui.answers = {IDCANCEL};
  manager.SendCommand(IDCLOSE);
  EXPECT_TRUE(manager.IsOpen());
  EXPECT_EQ(manager.List()->GetItemCount(), 3);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0], "File save: Do you want to save the current portfolio?");

  const fs::path target = dir / "closed.lrm";
  ui.answers = {IDYES};
  ui.savePaths = {Path(target)};
  manager.SendCommand(IDCLOSE);
  EXPECT_FALSE(manager.IsOpen());
  CSlidesFile file;
  ASSERT_EQ(file.Load(Path(target)), 1);
  EXPECT_EQ(file.GetCount(), 3u);
}

TEST_F(PortfolioManager, PreviewShowsTheSelectedSlideOrSaysWhyNot) {
  CSlidePreview preview;
  preview.resize(20, 20);
  EXPECT_EQ(preview.GetText(), "No preview available.");
  preview.SetSlide(Path(dir / "a.png"));
  EXPECT_EQ(preview.GetText(), "");
  EXPECT_EQ(preview.GetImage().size(), QSize(40, 30));
  EXPECT_EQ(preview.GetImage().pixelColor(5, 5), QColor("steelblue"));
  preview.SetSlide(Path(dir / "gone.png"));
  EXPECT_EQ(preview.GetText(), "Cannot generate preview !");
  preview.SetPreviewEnabled(false);
  EXPECT_EQ(preview.GetText(), "Preview disabled.");
}

// --- The slideshow builder ---

struct Frame {
  size_t delay;
  size_t dispose;
  size_t screenWidth;
  size_t screenHeight;
};

std::vector<Frame> ReadFrames(const fs::path& gif) {
  std::list<Magick::Image> images;
  Magick::readImages(&images, gif.string());
  std::vector<Frame> frames;
  for (const Magick::Image& image : images) {
    frames.push_back(Frame{image.animationDelay(), image.gifDisposeMethod(), image.page().width(),
                           image.page().height()});
  }
  return frames;
}

TEST_F(PortfolioManager, GifFramesTakeTheSlideDelaysAndAScreenForTheLargest) {
  WriteImage(dir / "wide.png", 70, 20, "orange");
  WriteImage(dir / "tall.jpg", 30, 50, "white");
  std::vector<CSlide> slides = {{Path(dir / "a.png"), 0},       {Path(dir / "wide.png"), 1},
                                {Path(dir / "gone.png"), 500},  {Path(dir / "tall.jpg"), 19},
                                {Path(dir / "b.png"), 250},     {Path(dir / "c.png"), -40},
                                {Path(dir / "a.png"), 9000000}, {Path(dir / "b.png"), 20}};
  CSlideshowBuilder builder;
  std::vector<std::string> statuses;
  builder.onProgress = [&](int, const std::string& status) {
    if (!status.empty()) statuses.push_back(status);
  };
  const fs::path gif = dir / "show.gif";
  ASSERT_EQ(builder.Build(slides, 700, Path(gif)), SLIDESHOW_COMPLETE) << builder.GetLastError();
  ASSERT_EQ(builder.GetSkipped().size(), 1u);
  EXPECT_EQ(builder.GetSkipped()[0], Path(dir / "gone.png"));
  EXPECT_EQ(statuses.front(), "Loading images ...");
  EXPECT_GE(statuses.size(), 2u);  // the library's task while writing

  const std::vector<Frame> frames = ReadFrames(gif);
  ASSERT_EQ(frames.size(), 7u);
  const size_t delays[] = {70, 1, 1, 25, 70, 65535, 2};
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].delay, delays[i]) << "frame " << i;
    EXPECT_EQ(frames[i].dispose, 3u);
    EXPECT_EQ(frames[i].screenWidth, 70u);
    EXPECT_EQ(frames[i].screenHeight, 50u);
  }
}

TEST_F(PortfolioManager, AnAbortedOrFailedBuildLeavesTheOldFile) {
  const fs::path gif = dir / "old.gif";
  testsupport::WriteFile(gif, "the user's older file");
  std::vector<CSlide> slides(6, CSlide{Path(dir / "a.png"), 100});
  CSlideshowBuilder builder;
  int reports = 0;
  builder.onProgress = [&](int, const std::string&) {
    if (++reports == 3) builder.Abort();
  };
  EXPECT_EQ(builder.Build(slides, 1000, Path(gif)), SLIDESHOW_ABORTED);
  EXPECT_EQ(testsupport::ReadFile(gif), "the user's older file");

  // Nothing readable: a failure, reported, and still the old file.
  builder.Reset();
  builder.onProgress = nullptr;
  EXPECT_EQ(builder.Build({CSlide{Path(dir / "gone.png"), 0}}, 1000, Path(gif)), SLIDESHOW_FAILED);
  EXPECT_FALSE(builder.GetLastError().empty());
  EXPECT_EQ(testsupport::ReadFile(gif), "the user's older file");
  std::error_code ec;
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir, ec)) ++entries;
  EXPECT_EQ(entries, 4u);  // three images and the GIF: no temporary left
}

TEST_F(PortfolioManager, TheManagerBuildsOnAWorkerAndReportsTheEnd) {
  CDlgPortfolioManager manager(nullptr, MyString(), &ui);
  manager.autoplayDelay = [] { return 400u; };
  manager.DoModeless();
  manager.AddFiles(Images({"a.png", "b.png", "c.png"}));
  const fs::path gif = dir / "built.gif";
  ASSERT_EQ(manager.BuildSlideshow(Path(gif)), 1);
  EXPECT_FALSE(manager.isEnabled());
  ASSERT_TRUE(manager.Builder()->IsOpen());
  ASSERT_TRUE(testsupport::WaitFor([&] { return !ui.messages.empty(); }));
  EXPECT_EQ(ui.messages.back(), "Success: Slideshow creation complete.");
  EXPECT_TRUE(manager.isEnabled());
  EXPECT_FALSE(manager.Builder()->IsOpen());
  const std::vector<Frame> frames = ReadFrames(gif);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].delay, 40u);

  // Cancel in the builder: "Aborting ...", the abort message, no file.
  // Sixty large slides take the worker far longer than Cancel takes here.
  WriteImage(dir / "large.jpg", 800, 600, "olive");
  MyStringList many;
  for (int i = 0; i < 60; ++i) many.Append(Path(dir / "large.jpg"));
  manager.AddFiles(many);
  ui.messages.clear();
  ASSERT_EQ(manager.BuildSlideshow(Path(dir / "cancelled.gif")), 1);
  manager.Builder()->SendCommand(IDCANCEL);
  EXPECT_EQ(manager.Builder()->GetStatus(), "Aborting ...");
  ASSERT_TRUE(testsupport::WaitFor([&] { return !ui.messages.empty(); }));
  EXPECT_EQ(ui.messages.back(), "Stop: Slideshow creation aborted.");
  EXPECT_FALSE(fs::exists(dir / "cancelled.gif"));
  EXPECT_TRUE(manager.isEnabled());
}

}  // namespace
