#include "collections/batchrun.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

#include <Magick++.h>

#include "codecs/imagereader.h"
#include "codecs/imagewriter.h"
#include "corekit/atomicfile.h"
#include "viewer/edit/imageedits.h"

const char kRenameLogName[] = "LorimoRenameLog.txt";
const char kConvertLogName[] = "LorimoConvertLog.txt";

namespace {

const char kDashes[] = "------------------------------------------------";
constexpr unsigned kJpegQuality = 75;

MyString Utf8(const char* text) { return MyString::FromUtf8(text); }

MyString ErrnoText(int error) { return MyString::FromUtf8(std::strerror(error)); }

bool Exists(const MyString& path) {
  struct stat st;
  return ::lstat(path.ToUtf8().c_str(), &st) == 0;
}

// The log: our own file in the destination, rewritten each run, written
// straight through record by record so that what is on disk is never more
// than one record behind; a link planted at its name is not followed.
class CBatchLog {
 public:
  ~CBatchLog() {
    if (m_fd >= 0) ::close(m_fd);
  }
  int Open(const MyString& path, MyString* error) {
    m_fd =
        ::open(path.ToUtf8().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_fd < 0) *error = ErrnoText(errno);
    return m_fd >= 0;
  }
  // Lines are given with '\n' and written with CR LF.
  void Write(const std::string& text) {
    if (m_fd < 0 || m_bFailed) return;
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::write(m_fd, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        m_bFailed = true;
        return;
      }
      done += size_t(n);
    }
  }
  bool Failed() const { return m_bFailed; }

 private:
  int m_fd = -1;
  bool m_bFailed = false;
};

std::string Record(const tagBATCHRECORD& r, bool bRename) {
  std::string text = std::to_string(r.k);
  if (r.bDone) {
    text += bRename ? " Successful renaming of source file: "
                    : " Successful conversion of source file: ";
    text += r.source.ToUtf8() + "\nTo: " + r.target.ToUtf8() + "\n";
  } else {
    text += bRename ? " Error renaming source file: " : " Error converting source file: ";
    text += r.source.ToUtf8() + ".\nDestination file: " + r.target.ToUtf8() + "\n" +
            r.reason.ToUtf8() + "\n";
  }
  return text + kDashes + "\n";
}

// Copies a file's access and change times to another.
void KeepTimes(const MyString& source, const MyString& target) {
  struct stat st;
  if (::stat(source.ToUtf8().c_str(), &st) != 0) return;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, target.ToUtf8().c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// Whether a folder takes new files: it exists and this user may write there.
bool FolderWritable(const MyString& folder, MyString* error) {
  struct stat st;
  const std::string path = folder.ToUtf8();
  if (folder.IsEmpty() || ::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = u"The destination folder " + folder + u" does not exist.";
    return false;
  }
  if (::access(path.c_str(), W_OK | X_OK) != 0) {
    *error = u"The destination folder " + folder + u" cannot be written to.";
    return false;
  }
  return true;
}

// The run's log in a writable destination, begun; false with the reason in
// the summary.
bool StartLog(const MyString& destination, const char* name, CBatchLog* log,
              tagBATCHSUMMARY* summary) {
  if (!FolderWritable(destination, &summary->error)) return false;
  summary->logPath = CBatchRename::JoinPath(destination, Utf8(name));
  MyString error;
  if (!log->Open(summary->logPath, &error)) {
    summary->error = u"The log file " + summary->logPath + u" cannot be created: " + error;
    return false;
  }
  log->Write(std::string("Conversion begins ...\n") + kDashes + "\n");
  return true;
}

}  // namespace

BATCHKIND BatchKind(const tagBATCHSETTINGS& settings) {
  if (settings.bConvert || settings.bResize || settings.bRotate) return BK_CONVERT;
  return settings.bRename ? BK_RENAME : BK_NOTHING;
}

std::vector<MyString> BatchTargets(const tagBATCHSETTINGS& settings, const MyStringList& sources) {
  std::vector<MyString> targets;
  const size_t count = sources.GetListLength();
  const CBatchRename rename(settings.rename);
  const bool bConvert = BatchKind(settings) == BK_CONVERT;
  // A conversion off keeps each file's own extension.
  const MyString extension = bConvert && settings.bConvert ? u"." + settings.format : MyString();
  for (size_t i = 0; i < count; ++i) {
    const MyString& source = sources[i];
    MyString name;
    if (settings.bRename) {
      name = rename.NewName(source, i, count, extension);
    } else {
      name =
          source.GetStringTitle() + (extension.IsEmpty() ? source.GetStringExtension() : extension);
    }
    targets.push_back(CBatchRename::JoinPath(settings.destination, name));
  }
  return targets;
}

CBatchRun::CBatchRun(tagBATCHSETTINGS settings, MyStringList sources)
    : m_settings(std::move(settings)), m_sources(std::move(sources)) {
  m_targets = BatchTargets(m_settings, m_sources);
  std::unordered_set<MyString, MyStringHash> seen;
  for (const MyString& target : m_targets) m_duplicate.push_back(!seen.insert(target).second);
}

MyString CBatchRun::Precheck(size_t index) const {
  const MyString& target = m_targets[index];
  if (target.GetStringTitle().IsEmpty())
    return u"The new name is empty. The source file is not converted.";
  if (m_duplicate[index])
    return u"Another file of this batch has this name. The source file is not converted.";
  if (Exists(target)) return u"Already exists. The source file is not converted.";
  return MyString();
}

tagBATCHSUMMARY CBatchRun::Run() {
  switch (BatchKind(m_settings)) {
    case BK_RENAME:
      return RunRename();
    case BK_CONVERT:
      return RunConvert();
    default:
      return tagBATCHSUMMARY();
  }
}

tagBATCHSUMMARY CBatchRun::RunRename() {
  tagBATCHSUMMARY summary;
  summary.kind = BK_RENAME;
  summary.nFiles = m_sources.GetListLength();
  CBatchLog log;
  if (!StartLog(m_settings.destination, kRenameLogName, &log, &summary)) return summary;
  for (size_t i = 0; i < summary.nFiles; ++i) {
    if (m_bStop) {
      summary.bStopped = true;
      break;
    }
    tagBATCHRECORD record;
    record.k = i + 1;
    record.source = m_sources[i];
    record.target = m_targets[i];
    MyString reason = Precheck(i);
    tagATOMICWRITEOPTIONS write;
    write.nTarget = AT_CREATE_NEW;
    if (reason == u"Already exists. The source file is not converted.") {
      if (askOverwrite && askOverwrite(record.target)) {
        write.nTarget = AT_REPLACE_NAME;
        reason = MyString();
      } else {
        reason = u"Already exists. The source file is not copied.";
      }
    } else if (!reason.IsEmpty()) {
      reason = MyString(reason.str().substr(0, reason.str().find(u" The source"))) +
               u" The source file is not copied.";
    }
    if (reason.IsEmpty()) {
      std::string bytes;
      MyString why;
      if (!ReadWholeFile(record.source, &bytes, size_t(1) << 32, &why)) {
        reason = u"Cannot be read: " + why + u". The source file is not copied.";
      } else if (!WriteFileAtomicallyEx(record.target, bytes, write, &why)) {
        reason = u"Cannot be written: " + why + u". The source file is not copied.";
      } else {
        KeepTimes(record.source, record.target);
        record.bDone = true;
      }
    }
    record.reason = reason;
    (record.bDone ? summary.nDone : summary.nFailed)++;
    log.Write(Record(record, true));
    if (onRecord) onRecord(record, summary.nFiles);
  }
  log.Write("Coversion ended here!\n");
  summary.bLogFailed = log.Failed();
  return summary;
}

tagBATCHRECORD CBatchRun::ConvertOne(size_t index, double degrees) const {
  tagBATCHRECORD record;
  record.k = index + 1;
  record.source = m_sources[index];
  record.target = m_targets[index];
  record.reason = Precheck(index);
  if (!record.reason.IsEmpty()) return record;
  const auto fail = [&record](const char16_t* what, const std::string& why) {
    record.reason =
        MyString(what) + MyString::FromUtf8(why) + u". The source file is not converted.";
    return record;
  };
  Magick::Image image;
  std::string error;
  if (!DecodeImageFile(record.source, &image, &error)) return fail(u"Cannot be read: ", error);
  try {
    if (record.target.GetStringExtension().ToUpper().str().find(u"TIF") != std::u16string::npos)
      image.compressType(Magick::NoCompression);
    if (m_settings.bResize && !BatchResizeImage(image, m_settings.resize))
      return fail(u"Cannot be resized", "");
    if (m_settings.bRotate && std::fmod(degrees, 360.0) != 0) {
      image.rotate(std::fmod(degrees, 360.0));
      image.page(Magick::Geometry(0, 0, 0, 0));
    }
  } catch (const std::exception& e) {
    return fail(u"Cannot be rotated: ", e.what());
  }
  tagIMAGEWRITE write;
  write.file.nTarget = AT_CREATE_NEW;
  MyString why;
  if (!WriteImageFile(record.target, image, kJpegQuality, &why, write)) {
    if (Exists(record.target))
      record.reason = u"Already exists. The source file is not converted.";
    else
      record.reason = u"Cannot be saved: " + why + u". The source file is not converted.";
    return record;
  }
  record.bDone = true;
  return record;
}

tagBATCHSUMMARY CBatchRun::RunConvert() {
  tagBATCHSUMMARY summary;
  summary.kind = BK_CONVERT;
  const size_t count = m_sources.GetListLength();
  summary.nFiles = count;
  double degrees = 0;
  if (m_settings.bRotate && !CImageEdits::ParseAngle(m_settings.angle, &degrees)) {
    summary.error = u"The angle " + m_settings.angle + u" is not a number of degrees.";
    return summary;
  }
  CBatchLog log;
  if (!StartLog(m_settings.destination, kConvertLogName, &log, &summary)) return summary;

  // Workers take the next file in order; this thread logs the results in
  // that order as they become ready.
  std::mutex mutex;
  std::condition_variable ready;
  std::vector<std::optional<tagBATCHRECORD>> results(count);
  size_t next = 0;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t workers =
      std::min<size_t>(count, size_t(std::clamp(m_settings.nWorkers, 1, int(cores))));
  std::vector<std::thread> threads;
  for (size_t w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      for (;;) {
        size_t index;
        {
          std::lock_guard lock(mutex);
          if (next >= count || m_bStop) break;
          index = next++;
        }
        tagBATCHRECORD record;
        try {
          record = ConvertOne(index, degrees);
        } catch (const std::exception& e) {
          record.k = index + 1;
          record.source = m_sources[index];
          record.target = m_targets[index];
          record.reason = u"Cannot be converted: " + MyString::FromUtf8(e.what()) +
                          u". The source file is not converted.";
        }
        std::lock_guard lock(mutex);
        results[index] = std::move(record);
        ready.notify_all();
      }
      std::lock_guard lock(mutex);
      ready.notify_all();
    });
  }
  for (size_t i = 0; i < count; ++i) {
    std::unique_lock lock(mutex);
    ready.wait(lock, [&] { return results[i].has_value() || (m_bStop && i >= next); });
    if (!results[i]) break;
    const tagBATCHRECORD record = *results[i];
    lock.unlock();
    (record.bDone ? summary.nDone : summary.nFailed)++;
    log.Write(Record(record, false));
    if (onRecord) onRecord(record, count);
  }
  for (std::thread& t : threads) t.join();
  summary.bStopped = m_bStop && summary.nDone + summary.nFailed < count;
  log.Write("Coversion ended here!\n");
  summary.bLogFailed = log.Failed();
  return summary;
}
