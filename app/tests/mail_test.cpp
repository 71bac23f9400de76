// E-mailing pictures end to end: the dialog's list, resized copies made by
// the program's image service, the archive read back with libzip, the real
// xdg-email handing the message to a mailto handler registered in fresh
// XDG folders, and the desktop copy when there is no handler.
#include <QCheckBox>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <zip.h>

#include <Magick++.h>
#include <gtest/gtest.h>

#include "browse/listviewactions.h"
#include "codecs/imagelibrary.h"
#include "collections/mailcommands.h"
#include "corekit/straw.h"
#include "pixwork/dlgbatchresize.h"
#include "pixwork/dlgmail.h"
#include "pixwork/options.h"
#include "pixwork/sortedlistctrl.h"
#include "shell/commandids.h"
#include "shell/mainframe.h"
#include "testsupport/testsupport.h"
#include "viewer/imageview.h"

namespace fs = std::filesystem;

namespace {

MyString W(const fs::path& path) { return CStrAW::FromPath(path); }

void MakePicture(const fs::path& path, int width, int height) {
  fs::create_directories(path.parent_path());
  Magick::Image image(Magick::Geometry(width, height), Magick::Color("orange"));
  image.write(path.string());
}

std::pair<int, int> PictureSize(const fs::path& path) {
  Magick::Image image;
  image.ping(path.string());
  return {int(image.columns()), int(image.rows())};
}

// Entry name -> bytes of a zip file.
std::map<std::string, std::string> ReadZip(const fs::path& path) {
  std::map<std::string, std::string> entries;
  int code = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
  if (!zip) return entries;
  for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(zip, zip_uint64_t(i), 0, &st);
    std::string bytes(size_t(st.size), '\0');
    zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(i), 0);
    zip_fread(file, bytes.data(), st.size);
    zip_fclose(file);
    entries[st.name] = bytes;
  }
  zip_close(zip);
  return entries;
}

class Mail : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetOptionRecords();
    InitializeImageLibrary();
    m_dir = testsupport::NewTempDir("mail");
    // xdg-email on its own: no desktop, no session, no browser, and only the
    // handlers of these folders.
    SetPath("XDG_CONFIG_HOME", m_dir / "config");
    SetPath("XDG_CONFIG_DIRS", m_dir / "none");
    SetPath("XDG_DATA_HOME", m_dir / "data");
    SetPath("XDG_DATA_DIRS", m_dir / "none");
    Set("DISPLAY", std::string(":0"));
    Set("BROWSER", std::string("lorimo-no-such-browser"));
    Set("DBUS_SESSION_BUS_ADDRESS", std::string("unix:path=/nonexistent"));
    for (const char* name : {"MAILER", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID"})
      Set(name, std::nullopt);
    fs::create_directories(m_dir / "data/applications");
    fs::create_directories(m_dir / "config");

    m_dialog = std::make_unique<CDlgMail>(&m_frame);
    m_dialog->showWarning = [this](const QString& text, const QString& caption) {
      m_warnings.push_back(caption + ": " + text);
    };
    m_dialog->onSent = [this](const tagMAILRESULT& result) { m_result = result; };
    m_dialog->Sender().desktop = W(m_dir / "Desktop");
    m_dialog->DoModeless();
  }
  void TearDown() override {
    m_dialog.reset();
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }
  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  void SetPath(const std::string& name, const fs::path& value) {
    Set(name, std::optional<std::string>(value.string()));
  }

  // A mail program that writes down the address it is started with.
  void RegisterMailHandler() {
    const fs::path script = m_dir / "mailer.sh";
    testsupport::WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" +
                                       (m_dir / "mailer-args.txt").string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    testsupport::WriteFile(m_dir / "data/applications/lorimo-test-mailer.desktop",
                           "[Desktop Entry]\nType=Application\nName=Test Mailer\nExec=" +
                               script.string() + " %u\nMimeType=x-scheme-handler/mailto;\n");
    testsupport::WriteFile(m_dir / "config/mimeapps.list",
                           "[Default Applications]\n"
                           "x-scheme-handler/mailto=lorimo-test-mailer.desktop\n");
  }
  // The files of the last address the mail program was started with.
  std::vector<fs::path> MailedFiles() {
    std::vector<fs::path> files;
    std::string text = testsupport::ReadFile(m_dir / "mailer-args.txt");
    text = text.substr(text.rfind("mailto:"));
    const QString url = QString::fromStdString(text).trimmed();
    for (const QString& part : url.mid(url.indexOf('?') + 1).split('&'))
      if (part.startsWith("attach="))
        files.emplace_back(QUrl::fromPercentEncoding(part.mid(7).toUtf8()).toStdString());
    return files;
  }
  bool SendAndWait() {
    m_result.reset();
    m_dialog->SendCommand(IDC_MAIL_SEND);
    return testsupport::WaitFor([this] { return m_result.has_value(); }, std::chrono::seconds(30));
  }

  CMainFrame m_frame;  // answers the image service
  fs::path m_dir;
  std::unique_ptr<CDlgMail> m_dialog;
  std::vector<QString> m_warnings;
  std::optional<tagMAILRESULT> m_result;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(Mail, ResizedAndZippedPicturesReachTheMailProgramAndStayUntilTheNextSend) {
  RegisterMailHandler();
  MakePicture(m_dir / "rome/IMG_0001.jpg", 800, 600);
  MakePicture(m_dir / "paris/IMG_0001.jpg", 300, 400);
  MakePicture(m_dir / "paris/img_0001.jpg", 64, 48);
  fs::create_directory_symlink(m_dir / "rome", m_dir / "rome-link");
  MyStringList paths;
  // Four spellings of one file, and a second file whose name differs only in case.
  for (const char* spelling :
       {"rome/IMG_0001.jpg", "rome/./IMG_0001.jpg", "paris/../rome/IMG_0001.jpg",
        "rome-link/IMG_0001.jpg", "paris/IMG_0001.jpg", "paris/img_0001.jpg", "paris/gone.jpg"})
    paths.Append(W(m_dir / spelling));
  EXPECT_EQ(m_dialog->AddFiles(paths), 3);
  ASSERT_EQ(m_dialog->List()->GetItemCount(), 3);
  EXPECT_EQ(m_dialog->Attachments().Rows()[0].path, W(m_dir / "rome/IMG_0001.jpg"));
  EXPECT_EQ(m_dialog->AddAttachement(W(m_dir / "rome-link/./IMG_0001.jpg")), 1);
  EXPECT_EQ(m_dialog->List()->GetItemCount(), 3);
  uint64_t total = 0;
  for (const char* name : {"rome/IMG_0001.jpg", "paris/IMG_0001.jpg", "paris/img_0001.jpg"})
    total += fs::file_size(m_dir / name);
  EXPECT_EQ(m_dialog->GetSizeText(), QString::asprintf("%.2f KB", double(total) / 1024));

  // Shrunk to 200 x 200 through the image service; the list sends in its order.
  m_dialog->askResize = [](CDlgBatchResize& settings) {
    BATCHRESIZEOPTIONS options;
    options.bShrink = true;
    options.dwWidth = options.dwHeight = 200;
    settings.SetOptions(options);
    return true;
  };
  static_cast<QCheckBox*>(m_dialog->GetDlgItem(IDC_MAIL_RESIZE))->click();
  ASSERT_NE(m_dialog->ResizeSettings(), nullptr);
  fs::remove(m_dir / "paris/img_0001.jpg");  // gone before the send: skipped
  ASSERT_TRUE(SendAndWait());
  EXPECT_EQ(m_result->nOutcome, MAILOUT_SENT) << m_result->error.ToUtf8();
  EXPECT_TRUE(m_warnings.empty()) << m_warnings.front().toStdString();

  // Two copies of one name, the second numbered, still there for the mail program.
  const std::vector<fs::path> mailed = MailedFiles();
  ASSERT_EQ(mailed.size(), 2u);
  std::set<std::string> names;
  std::set<std::pair<int, int>> sizes;
  for (const fs::path& file : mailed) {
    ASSERT_TRUE(fs::is_regular_file(file)) << file;
    EXPECT_EQ(file.parent_path().parent_path().parent_path(),
              CStrAW::ToPath(CMailSender::DefaultRoot()));
    names.insert(file.filename().string());
    sizes.insert(PictureSize(file));
  }
  EXPECT_EQ(names, (std::set<std::string>{"IMG_0001.jpg", "IMG_0001 (2).jpg"}));
  EXPECT_EQ(sizes, (std::set<std::pair<int, int>>{{200, 150}, {150, 200}}));
  // The archive holds the same copies under the same names.
  const fs::path firstFolder = mailed[0].parent_path().parent_path();
  const auto entries = ReadZip(firstFolder / "lorimo_attachement.zip");
  ASSERT_EQ(entries.size(), 2u);
  for (const fs::path& file : mailed)
    EXPECT_EQ(entries.at(file.filename().string()), testsupport::ReadFile(file));
  // Sent: the list is empty and the resize settings dropped.
  EXPECT_EQ(m_dialog->List()->GetItemCount(), 0);
  EXPECT_EQ(m_dialog->GetSizeText(), "0");
  EXPECT_EQ(m_dialog->ResizeSettings(), nullptr);

  // A zipped send: the archive is the one attachment, a new one, and the
  // first send's files are gone now.
  m_dialog->AddAttachement(W(m_dir / "paris/IMG_0001.jpg"));
  m_dialog->AddAttachement(W(m_dir / "rome/IMG_0001.jpg"));
  static_cast<QCheckBox*>(m_dialog->GetDlgItem(IDC_MAIL_ZIP))->click();
  ASSERT_TRUE(SendAndWait());
  EXPECT_EQ(m_result->nOutcome, MAILOUT_SENT);
  EXPECT_FALSE(fs::exists(firstFolder));
  const std::vector<fs::path> zipped = MailedFiles();
  ASSERT_EQ(zipped.size(), 1u);
  EXPECT_EQ(zipped[0].filename(), "lorimo_attachement.zip");
  std::set<std::string> zippedNames, zippedBytes;
  for (const auto& [name, bytes] : ReadZip(zipped[0])) {
    zippedNames.insert(name);
    zippedBytes.insert(bytes);
  }
  EXPECT_EQ(zippedNames, names);
  EXPECT_EQ(zippedBytes,
            (std::set<std::string>{testsupport::ReadFile(m_dir / "paris/IMG_0001.jpg"),
                                   testsupport::ReadFile(m_dir / "rome/IMG_0001.jpg")}));
}

TEST_F(Mail, WithoutAMailProgramTheArchiveGoesToTheDesktopBesideTheFilesThere) {
  MakePicture(m_dir / "pics/a.png", 40, 30);
  MakePicture(m_dir / "pics/b.png", 30, 40);
  // Whatever is on the desktop under the archive's name stays as it is.
  testsupport::WriteFile(m_dir / "Desktop/lorimo_attachement.zip", "the user's own");
  m_dialog->AddAttachement(W(m_dir / "pics/a.png"));
  m_dialog->AddAttachement(W(m_dir / "pics/b.png"));
  ASSERT_TRUE(SendAndWait());
  EXPECT_EQ(m_result->nOutcome, MAILOUT_DESKTOP) << m_result->error.ToUtf8();
  EXPECT_EQ(testsupport::ReadFile(m_dir / "Desktop/lorimo_attachement.zip"), "the user's own");
  EXPECT_EQ(m_result->desktopCopy, W(m_dir / "Desktop/lorimo_attachement (2).zip"));
  const auto entries = ReadZip(m_dir / "Desktop/lorimo_attachement (2).zip");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries.at("b.png"), testsupport::ReadFile(m_dir / "pics/b.png"));
  ASSERT_EQ(m_warnings.size(), 1u);
  EXPECT_EQ(m_warnings[0],
            "Lorimo: Send E-mail: Lorimo cannot detect your email client.\nA zip file is saved "
            "to your desktop.");
  EXPECT_EQ(m_dialog->List()->GetItemCount(), 0);

  // Neither a mail program nor a desktop to copy to: said, and the list kept.
  m_warnings.clear();
  fs::remove_all(m_dir / "Desktop");
  testsupport::WriteFile(m_dir / "Desktop", "a file where the folder should be");
  m_dialog->AddAttachement(W(m_dir / "pics/a.png"));
  ASSERT_TRUE(SendAndWait());
  EXPECT_EQ(m_result->nOutcome, MAILOUT_FAILED);
  ASSERT_EQ(m_warnings.size(), 1u);
  EXPECT_TRUE(m_warnings[0].contains("cannot be saved to your desktop"))
      << m_warnings[0].toStdString();
  EXPECT_TRUE(m_warnings[0].contains("The pictures stay in the list."));
  EXPECT_EQ(m_dialog->List()->GetItemCount(), 1);
}

TEST_F(Mail, CommandsOpenTheDialogAndTheToolAddsClickedFiles) {
  InstallMailCommands(&m_frame);
  std::vector<MyString> messages;
  m_frame.Viewer()->showMessage = [&](const MyString& text, const MyString&) {
    messages.push_back(text);
  };
  m_frame.Router().Route(IDM_EMAIL);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], u"Please Open Image First.");
  EXPECT_EQ(MailDialog(&m_frame), nullptr);

  m_frame.Router().Route(IDM_TOOL_EMAIL);
  EXPECT_TRUE(m_frame.Router().IsCommandChecked(IDM_TOOL_EMAIL));
  CDlgMail* dialog = MailDialog(&m_frame);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(m_frame.Viewer()->isEmailDialogVisible());
  MakePicture(m_dir / "pics/a.png", 40, 30);
  EXPECT_TRUE(gListAddAttachement(W(m_dir / "pics/a.png")));
  EXPECT_EQ(dialog->List()->GetItemCount(), 1);
  // Postponed: hidden with the list kept.
  dialog->SendCommand(IDC_MAIL_POSTPONE);
  EXPECT_FALSE(m_frame.Viewer()->isEmailDialogVisible());
  EXPECT_EQ(dialog->List()->GetItemCount(), 1);
  // Another tool: clicks open files again.
  m_frame.SendCommand(IDM_TOOL_NAVIGATE);
  EXPECT_FALSE(m_frame.Router().IsCommandChecked(IDM_TOOL_EMAIL));
  EXPECT_FALSE(gListAddAttachement(W(m_dir / "pics/a.png")));
}

}  // namespace
