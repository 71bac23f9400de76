#include "pixwork/mailsender.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <zip.h>

#include "corekit/atomicfile.h"
#include "corekit/dll2lorimo.h"
#include "corekit/platform.h"
#include "corekit/straw.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kArchiveName[] = u"lorimo_attachement.zip";
constexpr char16_t kResizeFolderName[] = u"EmailResizeTempDir";
constexpr char kSendPrefix[] = "send-";

bool IsRegularFile(const MyString& path) {
  struct stat st;
  return ::stat(path.ToUtf8().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool NameTaken(const MyString& path) {
  struct stat st;
  return ::lstat(path.ToUtf8().c_str(), &st) == 0;
}

MyString Join(const MyString& folder, const MyString& name) { return folder + u"/" + name; }

// The size a batch resize gives: enlarged to the bound, then shrunk to it.
SIZE ResizedSize(SIZE size, const BATCHRESIZEOPTIONS& options) {
  if (options.bEnlarge) size = BatchResizeTarget(size, options, true);
  if (options.bShrink) size = BatchResizeTarget(size, options, false);
  return size;
}

// The archive being written; discarded unless closed.
class CZipArchive {
 public:
  ~CZipArchive() {
    if (m_zip) zip_discard(m_zip);
  }
  // A new archive: a file already at path is never added to.
  int Create(const MyString& path, MyString* error) {
    int code = 0;
    m_zip = zip_open(path.ToUtf8().c_str(), ZIP_CREATE | ZIP_EXCL, &code);
    if (m_zip) return 1;
    zip_error_t why;
    zip_error_init_with_code(&why, code);
    *error = MyString::FromUtf8(zip_error_strerror(&why));
    zip_error_fini(&why);
    return 0;
  }
  // The file's bytes are read when the archive is closed.
  int Add(const MyString& file, const MyString& entry) {
    zip_source_t* source = zip_source_file(m_zip, file.ToUtf8().c_str(), 0, -1);
    if (!source) return 0;
    if (zip_file_add(m_zip, entry.ToUtf8().c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      return 0;
    }
    ++m_nEntries;
    return 1;
  }
  size_t GetEntryCount() const { return m_nEntries; }
  int Close(MyString* error) {
    if (zip_close(m_zip) == 0) {
      m_zip = nullptr;
      return 1;
    }
    *error = MyString::FromUtf8(zip_strerror(m_zip));
    return 0;
  }

 private:
  zip_t* m_zip = nullptr;
  size_t m_nEntries = 0;
};

}  // namespace

MAILADDRESULT CMailList::Add(const MyString& path, tagMAILROW* row) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(CStrAW::ToPath(path), ec);
  if (ec) return MAILADD_MISSING;
  tagMAILROW added;
  added.path = CStrAW::FromPath(canonical);
  CFileInfo info;
  if (!GetFileInfo(added.path, &info) || info.bDirectory) return MAILADD_MISSING;
  if (Contains(added.path)) return MAILADD_LISTED;
  added.nSize = info.nSize;
  m_rows.push_back(added);
  m_nTotal += added.nSize;
  if (row) *row = added;
  return MAILADD_ADDED;
}

bool CMailList::Remove(const MyString& path) {
  for (auto it = m_rows.begin(); it != m_rows.end(); ++it) {
    if (it->path == path) {
      m_nTotal -= it->nSize;
      m_rows.erase(it);
      return true;
    }
  }
  return false;
}

void CMailList::RemoveAll() {
  m_rows.clear();
  m_nTotal = 0;
}

bool CMailList::Contains(const MyString& path) const {
  for (const tagMAILROW& row : m_rows)
    if (row.path == path) return true;
  return false;
}

MyString CMailList::GetSizeText() const {
  if (m_rows.empty()) return u"0";
  return MyString::FromQString(QString::asprintf("%.2f KB", double(m_nTotal) / 1024.0));
}

CMailSender::CMailSender(const MyString& root)
    : m_strRoot(root.IsEmpty() ? DefaultRoot() : root), m_pContext(new QObject) {}

// A mail program still starting is left to run: its process object goes
// when it ends, and nothing of ours is called then.
CMailSender::~CMailSender() { delete m_pContext; }

MyString CMailSender::DefaultRoot() { return GetCacheFolder() + u"/Email"; }

void CMailSender::RemoveSendFolders(const MyString& root) {
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(CStrAW::ToPath(root), ec)) {
    std::error_code ignored;
    if (entry.path().filename().string().rfind(kSendPrefix, 0) == 0 &&
        entry.symlink_status(ignored).type() == fs::file_type::directory)
      fs::remove_all(entry.path(), ignored);
  }
}

MyString CMailSender::NumberedName(const MyString& name, std::set<std::u16string>* taken) {
  const size_t dot = name.ReverseFind(u'.');
  const bool bExtension = dot != std::u16string::npos && dot > 0;
  const MyString title = bExtension ? name.Mid(0, dot) : name;
  const MyString extension = bExtension ? name.Mid(dot) : MyString();
  MyString candidate = name;
  for (unsigned n = 2; taken->count(candidate.ToUpper().str()); ++n)
    candidate = title + u" (" + MyString::FromUtf8(std::to_string(n)) + u")" + extension;
  taken->insert(candidate.ToUpper().str());
  return candidate;
}

int CMailSender::CopyIntoFolder(const MyString& file, const MyString& folder, MyString* copied,
                                MyString* error) {
  std::error_code ec;
  fs::create_directories(CStrAW::ToPath(folder), ec);
  std::string bytes;
  MyString why;
  if (!ReadWholeFile(file, &bytes, size_t(1) << 32, &why)) {
    *error = u"The zip file " + file + u" cannot be read: " + why;
    return 0;
  }
  std::set<std::u16string> taken;
  const MyString name = file.GetStringTitleExt();
  // Names in use are passed over; one taken while we write is too, since
  // the copy only ever appears under a free name.
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const MyString target = Join(folder, NumberedName(name, &taken));
    if (NameTaken(target)) continue;
    tagATOMICWRITEOPTIONS options;
    options.nTarget = AT_CREATE_NEW;
    if (WriteFileAtomicallyEx(target, bytes, options, &why)) {
      *copied = target;
      return 1;
    }
    if (!NameTaken(target)) {
      *error = u"The zip file cannot be saved to " + folder + u": " + why;
      return 0;
    }
  }
  *error = u"The zip file cannot be saved to " + folder + u": no free name.";
  return 0;
}

int CMailSender::Prepare(const std::vector<MyString>& paths, const tagMAILOPTIONS& options,
                         tagMAILPACKAGE* package, MyString* error) {
  *package = tagMAILPACKAGE();
  RemoveSendFolders(m_strRoot);
  std::error_code ec;
  fs::create_directories(CStrAW::ToPath(m_strRoot), ec);
  std::string pattern = Join(m_strRoot, MyString::FromUtf8(kSendPrefix)).ToUtf8() + "XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    *error = u"The folder for the attachments cannot be made in " + m_strRoot + u": " +
             MyString::FromUtf8(std::strerror(errno));
    return 0;
  }
  package->folder = MyString::FromUtf8(pattern);
  package->archive = Join(package->folder, kArchiveName);
  const MyString resizeFolder = Join(package->folder, kResizeFolderName);
  if (options.bResize && ::mkdir(resizeFolder.ToUtf8().c_str(), 0700) != 0) {
    *error = u"The folder " + resizeFolder + u" cannot be made: " +
             MyString::FromUtf8(std::strerror(errno));
    return 0;
  }
  CZipArchive archive;
  MyString why;
  if (!archive.Create(package->archive, &why)) {
    *error = u"The zip file " + package->archive + u" cannot be made: " + why;
    return 0;
  }

  std::set<std::u16string> taken;
  std::vector<MyString> files;
  for (size_t i = 0; i < paths.size(); ++i) {
    const MyString& path = paths[i];
    if (onProgress) onProgress(i, paths.size());
    if (!IsRegularFile(path)) {
      ++package->nVanished;
      continue;
    }
    // Numbered before anything is made, so that neither copies nor entries meet.
    const MyString name = NumberedName(path.GetStringTitleExt(), &taken);
    MyString file = path;
    if (options.bResize) {
      file = Join(resizeFolder, name);
      SIZE size;
      if (!CDll2LorimoMessage::GetImageDim(path, &size)) {
        package->notResized.push_back(path);
        continue;
      }
      const SIZE target = ResizedSize(size, options.resize);
      if (!CDll2LorimoMessage::WriteImage(path, file, &target, int16_t(options.resize.nFilter)) ||
          !IsRegularFile(file)) {
        package->notResized.push_back(path);
        continue;
      }
    }
    if (!archive.Add(file, name)) {
      *error = u"The zip file " + package->archive + u" cannot take " + file + u".";
      return 0;
    }
    files.push_back(file);
  }
  if (onProgress) onProgress(paths.size(), paths.size());
  if (files.empty()) {
    *error = u"None of the pictures can be sent.";
    return 0;
  }
  if (!archive.Close(&why)) {
    *error = u"The zip file " + package->archive + u" cannot be written: " + why;
    return 0;
  }
  package->attachments = options.bZip ? std::vector<MyString>{package->archive} : files;
  return 1;
}

bool CMailSender::Send(const tagMAILPACKAGE& package) {
  if (m_pProcess || package.attachments.empty()) return false;
  m_package = package;
  QStringList arguments{QStringLiteral("--utf8")};
  for (const MyString& file : package.attachments)
    arguments << QStringLiteral("--attach") << file.ToQString();
  auto* process = new QProcess;
  // A mail program started in the foreground may talk for as long as it
  // runs: only xdg-email's own complaint is kept.
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  m_pProcess = process;
  const unsigned nSend = ++m_nSend;
  // The process object outlives the send when the mail program keeps
  // xdg-email waiting; it goes when the process ends.
  QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process](QProcess::ProcessError failure) {
                     if (failure == QProcess::FailedToStart) process->deleteLater();
                   });
  QObject::connect(
      process, &QProcess::finished, m_pContext,
      [this, process, nSend](int code, QProcess::ExitStatus status) {
        if (nSend != m_nSend || m_pProcess != process) return;
        MyString why;
        if (status != QProcess::NormalExit || code != 0) {
          why = MyString::FromQString(
              QString::fromLocal8Bit(process->readAllStandardError()).trimmed());
          if (why.IsEmpty())
            why = MyString::FromQString(QStringLiteral("xdg-email ended with code %1.").arg(code));
        }
        Finish(why.IsEmpty(), why);
      });
  QObject::connect(
      process, &QProcess::errorOccurred, m_pContext,
      [this, process, nSend](QProcess::ProcessError failure) {
        if (failure != QProcess::FailedToStart || nSend != m_nSend || m_pProcess != process) return;
        Finish(false,
               u"xdg-email cannot be started: " + MyString::FromQString(process->errorString()));
      });
  QTimer::singleShot(nGraceMs, m_pContext, [this, nSend] {
    if (nSend == m_nSend && m_pProcess) Finish(true, MyString());
  });
  process->start(QStringLiteral("xdg-email"), arguments);
  return true;
}

void CMailSender::Finish(bool bMailProgram, const MyString& why) {
  m_pProcess = nullptr;
  tagMAILRESULT result;
  if (bMailProgram) {
    result.nOutcome = MAILOUT_SENT;
  } else {
    MyString copyError;
    const MyString folder = desktop.IsEmpty() ? GetDesktopFolder() : desktop;
    if (CopyIntoFolder(m_package.archive, folder, &result.desktopCopy, &copyError)) {
      result.nOutcome = MAILOUT_DESKTOP;
      result.error = why;
    } else {
      result.error = why + u"\n" + copyError;
    }
  }
  if (onFinished) onFinished(result);
}
