#include "shell/fileassociations.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/straw.h"
#include "pixwork/options.h"
#include "shell/mimeappslist.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// The test main gives every test process its own HOME and XDG folders, so
// the user's own associations are never touched.
class FileAssociationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    m_mimeApps = CStrAW::ToPath(CMimeAppsList::GetUserFilePath());
    fs::remove(m_mimeApps);
    m_store = std::make_unique<CRegistryStore>(
        CStrAW::FromPath(testsupport::NewTempDir("assoc") / "registry.reg"));
    m_associations =
        std::make_unique<CFileAssociations>(u"/opt/lorimo $1/bin/lorimo", m_store.get());
  }
  void TearDown() override {
    ResetOptionRecords();
    fs::remove(m_mimeApps);
  }
  int Index(const char16_t* extension) {
    for (int i = 0; i < FA_COUNT; ++i)
      if (MyString(gFA[i].pszExtension) == extension) return i;
    return -1;
  }
  void Check(const char16_t* extension, bool on) { gFA[Index(extension)].bAssociated = on; }
  std::string MimeApps() { return testsupport::ReadFile(m_mimeApps); }

  fs::path m_mimeApps;
  std::unique_ptr<CRegistryStore> m_store;
  std::unique_ptr<CFileAssociations> m_associations;
};

TEST_F(FileAssociationsTest, AssociateThenGiveUpRestoresThePreviousDefaults) {
  const std::string before =
      "# the user's own notes\n"
      "[Default Applications]\n"
      "image/png=org.gnome.eog.desktop;\n"
      "text/plain=gedit.desktop\n"
      "\n"
      "[Removed Associations]\n"
      "image/gif=gimp.desktop;\n";
  testsupport::WriteFile(m_mimeApps, before);
  m_associations->ReadFlags(gFA, FA_COUNT);
  EXPECT_EQ(gFA[Index(u".png")].bAssociated, 0);

  Check(u".png", true);
  Check(u".gif", true);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1) << m_associations->GetLastError().ToUtf8();
  const std::string associated = MimeApps();
  EXPECT_NE(associated.find("image/png=lorimo.desktop;org.gnome.eog.desktop;\n"), std::string::npos)
      << associated;
  EXPECT_NE(associated.find("image/gif=lorimo.desktop;\n"), std::string::npos);
  EXPECT_NE(associated.find("text/plain=gedit.desktop\n"), std::string::npos);
  EXPECT_NE(associated.find("# the user's own notes\n"), std::string::npos);
  EXPECT_NE(associated.find("[Added Associations]\nimage/gif=lorimo.desktop;\n"),
            std::string::npos);

  // The page reads the state back as the desktop sees it.
  ResetOptionRecords();
  m_associations->ReadFlags(gFA, FA_COUNT);
  EXPECT_EQ(gFA[Index(u".png")].bAssociated, 1);
  EXPECT_EQ(gFA[Index(u".gif")].bAssociatedWhenOpened, 1);
  EXPECT_EQ(gFA[Index(u".bmp")].bAssociated, 0);

  Check(u".png", false);
  Check(u".gif", false);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  const std::string restored = MimeApps();
  EXPECT_NE(restored.find("[Default Applications]\nimage/png=org.gnome.eog.desktop;\n"),
            std::string::npos)
      << restored;
  CMimeAppsList list;
  ASSERT_EQ(list.Load(CStrAW::FromPath(m_mimeApps)), 1);
  std::string gif;
  EXPECT_FALSE(list.GetValue("Default Applications", "image/gif", &gif)) << gif;
  EXPECT_NE(restored.find("[Removed Associations]\nimage/gif=gimp.desktop;\n"), std::string::npos);
}

TEST_F(FileAssociationsTest, DesktopEntryStartsThisProgram) {
  Check(u".bmp", true);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  const std::string entry =
      testsupport::ReadFile(CStrAW::ToPath(m_associations->GetDesktopFilePath()));
  EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=\"/opt/lorimo \\\\$1/bin/lorimo\" %f\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("image/bmp;"), std::string::npos);
  EXPECT_NE(entry.find("image/x-jp2-codestream;"), std::string::npos);
}

// The freedesktop tool reads what we wrote the way every desktop does.
TEST_F(FileAssociationsTest, XdgMimeSeesLorimoAsTheDefault) {
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty()) GTEST_SKIP() << "xdg-mime is not installed";
  Check(u".tif", true);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  QProcess query;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
  environment.remove(QStringLiteral("DISPLAY"));
  query.setProcessEnvironment(environment);
  query.start(xdgMime,
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("image/tiff")});
  ASSERT_TRUE(query.waitForFinished(10000));
  EXPECT_EQ(query.readAllStandardOutput().trimmed(), QByteArray("lorimo.desktop"));
}

// ".jpg" and ".jpeg" are one type: it stays ours while either is checked.
TEST_F(FileAssociationsTest, JpegStaysWhileEitherExtensionIsChecked) {
  Check(u".jpg", true);
  Check(u".jpeg", true);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  Check(u".jpeg", false);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  EXPECT_NE(MimeApps().find("image/jpeg=lorimo.desktop;"), std::string::npos);
  Check(u".jpg", false);
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  // There was no default before: none is left.
  std::string value;
  CMimeAppsList list;
  list.Load(CStrAW::FromPath(m_mimeApps));
  EXPECT_FALSE(list.GetValue("Default Applications", "image/jpeg", &value));
}

TEST_F(FileAssociationsTest, NothingChangedWritesNoList) {
  ASSERT_EQ(m_associations->Apply(gFA, FA_COUNT), 1);
  EXPECT_FALSE(fs::exists(m_mimeApps));
}

struct QuoteCase {
  const char* argument;
  const char* quoted;
};

void PrintTo(const QuoteCase& c, std::ostream* os) { *os << c.argument; }

class ExecQuoting : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(ExecQuoting, EscapesForTheDesktopEntry) {
  EXPECT_EQ(CFileAssociations::QuoteExecArgument(GetParam().argument), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExecQuoting,
                         ::testing::Values(QuoteCase{"/usr/bin/lorimo", "\"/usr/bin/lorimo\""},
                                           QuoteCase{"/a b/c", "\"/a b/c\""},
                                           QuoteCase{"/a\"b", "\"/a\\\\\"b\""},
                                           QuoteCase{"/a\\b", "\"/a\\\\\\\\b\""},
                                           QuoteCase{"/100%", "\"/100%%\""},
                                           QuoteCase{"/`x`", "\"/\\\\`x\\\\`\""}));

TEST(MimeAppsList, EditsOnlyItsKeys) {
  CMimeAppsList list;
  const auto path = testsupport::NewTempDir("mime") / "mimeapps.list";
  testsupport::WriteFile(path, "[Default Applications]\nimage/png = a.desktop;\n[Other]\nk=v");
  ASSERT_EQ(list.Load(CStrAW::FromPath(path)), 1);
  std::string value;
  ASSERT_TRUE(list.GetValue("Default Applications", "image/png", &value));
  EXPECT_EQ(value, "a.desktop;");
  EXPECT_EQ(CMimeAppsList::SplitList("a.desktop; b.desktop;;"),
            (std::vector<std::string>{"a.desktop", "b.desktop"}));
  list.SetValue("Default Applications", "image/gif", "g.desktop;");
  list.RemoveKey("Default Applications", "image/png");
  EXPECT_EQ(list.ToText(), "[Default Applications]\nimage/gif=g.desktop;\n[Other]\nk=v");
}

}  // namespace
