// Files dropped on a portfolio and on the viewer, on real files.
#include "collections/droppedfiles.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "corekit/datafile.h"
#include "corekit/slidesfile.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString Path(const fs::path& path) { return MyString::FromUtf8(path.string()); }

class DroppedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testsupport::NewTempDir("drops");
    fs::create_directories(dir / "folder.jpg");  // a folder named like an image
    for (const char* name : {"x.JPG", "y.png", "notes.txt"})
      testsupport::WriteFile(dir / name, "x");
    dropped = {Path(dir / "x.JPG"), Path(dir / "notes.txt"), Path(dir / "folder.jpg"),
               Path(dir / "y.png")};
  }
  fs::path dir;
  std::vector<MyString> dropped;
};

TEST_F(DroppedFiles, DropOnAPortfolioOfFiveAppendsFile5AndFile6) {
  const fs::path portfolio = dir / "five.lrm";
  {
    CSlidesFile file;
    for (int i = 0; i < 5; ++i) file.Append(Path(dir / ("s" + std::to_string(i) + ".jpg")), 100);
    ASSERT_EQ(file.Save(Path(portfolio)), 1);
  }
  EXPECT_EQ(AppendToPortfolio(Path(portfolio), dropped), 2);
  CDataFile file(Path(portfolio));
  EXPECT_EQ(file.GetInt(u"HowMany", u"Slides"), 7);
  EXPECT_EQ(file.GetValue(u"File5", u"Slides"), Path(dir / "x.JPG"));
  EXPECT_EQ(file.GetValue(u"Time5", u"Slides"), MyString(u"0"));
  EXPECT_EQ(file.GetValue(u"File6", u"Slides"), Path(dir / "y.png"));
  EXPECT_EQ(file.GetValue(u"Time6", u"Slides"), MyString(u"0"));
  EXPECT_EQ(file.GetValue(u"File4", u"Slides"), Path(dir / "s4.jpg"));
  EXPECT_FALSE(file.HasKey(u"File7", u"Slides"));
}

TEST_F(DroppedFiles, ANegativeCountStartsAtZeroAndAnUnwritablePortfolioIsReported) {
  const fs::path portfolio = dir / "negative.lrm";
  testsupport::WriteFile(portfolio, "[Slides]\nHowMany=-4\n");
  EXPECT_EQ(AppendToPortfolio(Path(portfolio), dropped), 2);
  CSlidesFile file;
  ASSERT_EQ(file.Load(Path(portfolio)), 1);
  ASSERT_EQ(file.GetCount(), 2u);
  EXPECT_EQ(file.GetSlides()[0].strPath, Path(dir / "x.JPG"));

  MyString error;
  EXPECT_EQ(AppendToPortfolio(Path(dir / "no folder" / "p.lrm"), dropped, &error), -1);
  EXPECT_FALSE(error.IsEmpty());
  EXPECT_FALSE(fs::exists(dir / "no folder"));
}

TEST_F(DroppedFiles, SeveralDroppedImagesBecomeAPortfolioInDropOrder) {
  const std::vector<MyString> images = SupportedImages(dropped);
  ASSERT_EQ(images.size(), 2u);
  EXPECT_EQ(images[0], Path(dir / "x.JPG"));
  const fs::path portfolio = dir / "dropped.lrm";
  ASSERT_EQ(SaveImagesAsPortfolio(images, Path(portfolio)), 1);
  CSlidesFile file;
  ASSERT_EQ(file.Load(Path(portfolio)), 1);
  ASSERT_EQ(file.GetCount(), 2u);
  EXPECT_EQ(file.GetSlides()[1].strPath, Path(dir / "y.png"));
  EXPECT_EQ(file.GetSlides()[1].nDelay, 0);
}

}  // namespace
