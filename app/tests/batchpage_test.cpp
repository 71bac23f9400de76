// The batch page on real files: "Add" order (portfolio slides last), the
// refusal of a listed file, the enabling rules, the example box, and the
// settings file written and read back through the page.
#include "collections/batchpage.h"

#include <QCheckBox>
#include <QPushButton>
#include <filesystem>

#include <gtest/gtest.h>

#include "collections/batchsettings.h"
#include "corekit/datafile.h"
#include "corekit/slidesfile.h"
#include "pixwork/sortedlistctrl.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

MyString Path(const fs::path& p) { return MyString::FromUtf8(p.string()); }

TEST(BatchPage, AddsInOrderRefusesTwinsAndShowsTheExample) {
  const fs::path dir = testsupport::NewTempDir("batchpage");
  for (const char* name : {"IMG_0002.jpg", "IMG_0001.jpg", "IMG_0010.jpg", "slide.png"})
    testsupport::WriteFile(dir / name, name);
  CSlidesFile portfolio;
  portfolio.Append(Path(dir / "slide.png"), 0);
  ASSERT_TRUE(portfolio.Save(Path(dir / "show.lrm")));

  CBatchPage page;
  std::vector<QString> errors;
  page.showError = [&errors](const QString& text, const QString& caption) {
    errors.push_back(caption + u'|' + text);
  };
  page.askResize = [](BATCHRESIZEOPTIONS*) { return false; };
  auto* convert = page.findChild<QCheckBox*>();  // the first check box: "Convert files to:"
  ASSERT_TRUE(convert);
  EXPECT_FALSE(convert->isEnabled());  // nothing listed yet

  MyStringList chosen;
  for (const char* name : {"show.lrm", "IMG_0010.jpg", "IMG_0002.jpg", "IMG_0001.jpg"})
    chosen.Append(Path(dir / name));
  EXPECT_EQ(page.AddFiles(chosen), 4);
  const MyStringList sources = page.Sources();
  ASSERT_EQ(sources.GetListLength(), 4u);
  EXPECT_EQ(sources[0], Path(dir / "IMG_0001.jpg"));
  EXPECT_EQ(sources[2], Path(dir / "IMG_0010.jpg"));
  EXPECT_EQ(sources[3], Path(dir / "slide.png"));
  EXPECT_TRUE(convert->isEnabled());
  EXPECT_EQ(page.Settings().destination, Path(dir));

  MyStringList again;
  again.Append(Path(dir / "IMG_0001.jpg"));
  EXPECT_EQ(page.AddFiles(again), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], QStringLiteral("File Name Error|Unable to add \"") +
                           QString::fromStdString((dir / "IMG_0001.jpg").string()) +
                           QStringLiteral("\"\nYou already have this image name in the list!"));

  EXPECT_EQ(page.ExampleText(), QStringLiteral("Convert files to: NO CONVERSION\nNO RENAMING"));
  tagBATCHSETTINGS settings = page.Settings();
  settings.bRename = true;
  settings.bConvert = true;
  settings.format = u"PNG";
  settings.rename.numbers = {4, 0, 8, 1};
  settings.rename.preName = u"Rome-";
  settings.rename.bAppendEnd = true;
  page.SetSettings(settings);
  EXPECT_EQ(page.ExampleText(),
            QStringLiteral("Convert files to: PNG\nRename files as:\n"
                           "0001Rome-08.jpg\n0002Rome-09.jpg\n0010Rome-10.jpg"));

  // What the page saves, the page reads back the same.
  CDataFile file;
  WriteBatchSettings(file, page.Settings());
  tagBATCHSETTINGS read;
  MyString error;
  ASSERT_TRUE(ReadBatchSettings(file, &read, &error)) << error.ToUtf8();
  CDataFile back;
  WriteBatchSettings(back, read);
  EXPECT_EQ(back.ToText(), file.ToText());
  // A damaged value names its key and changes nothing.
  file.SetValue(u"iNUMInc", u"zero", MyString(), kBatchSection);
  EXPECT_FALSE(ReadBatchSettings(file, &read, &error));
  EXPECT_NE(error.ToUtf8().find("\"iNUMInc\""), std::string::npos);
}

}  // namespace
