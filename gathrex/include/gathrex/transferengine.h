#pragma once
// Copying pictures from a card or a camera into a folder without ever losing
// one. Every file is written to a temporary file beside its target, read
// back and compared, and only then renamed into place (flushed to the disk
// first when the original is to be deleted; else the target's file system
// is flushed once at the end); a name already
// taken by a different file gives "name (2).ext" (an identical file is kept
// as it is). Deleting from the device, when asked, happens only after that
// check. Each failing item is reported with its reason and the rest goes on.
// Plain class for a worker thread; the stop flag is seen between items and
// between blocks.

#include <QDate>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corekit/mystring.h"
#include "gathrex/cameradevice.h"

// A failed item: what it was called and why it failed.
struct tagTRANSFERFAILURE {
  MyString strName;
  MyString strReason;
};

// "Monday, 7 December 2026" in the user's long date format, made a valid
// folder name ('/' becomes '-').
MyString DatedFolderName(const QDate& date);
// destination + "/" + DatedFolderName(date), created when missing. 1 and
// *folder, or 0 (*error).
int MakeDatedFolder(const MyString& destination, const QDate& date, MyString* folder,
                    MyString* error = nullptr);

// A camera's name for a file made a plain file name: no '/', never "." or
// "..", never empty, at most 255 bytes.
MyString PlainFileName(const MyString& name);

// Every file below root that isPicture accepts, depth first (names in each
// folder in order, files before subfolders); linked folders are not entered.
MyStringList CollectPictures(const MyString& root,
                             const std::function<bool(const MyString&)>& isPicture,
                             const std::atomic<bool>* stop = nullptr);

class CTransferEngine {
 public:
  // Called before each item: its index, the count, its name.
  using Progress = std::function<void(size_t index, size_t count, const MyString& name)>;

  explicit CTransferEngine(const MyString& targetFolder);

  // Remove each item from the card or camera once its copy is verified.
  void SetDeleteAfter(bool deleteAfter) { m_bDeleteAfter = deleteAfter; }
  void SetStop(const std::atomic<bool>* stop) { m_stop = stop; }
  void SetProgress(Progress progress) { m_progress = std::move(progress); }

  // Card files (full paths), copied flat into the target folder. The count
  // of files placed; failures in GetFailures.
  size_t TransferFiles(const MyStringList& files);
  // Camera files; the camera is used on this thread only.
  size_t TransferCameraFiles(CCameraDevice* camera, const std::vector<tagCAMERAFILE>& files);

  // One entry per item handed in: its target path, or empty when it failed
  // or was not reached before a stop.
  const MyStringList& GetTargets() const { return m_targets; }
  const std::vector<tagTRANSFERFAILURE>& GetFailures() const { return m_failures; }
  bool WasStopped() const { return m_bStopped; }

  // Where a file's bytes come from. Read fills a block and returns its
  // length, 0 at the end, -1 on failure (with its reason); Rewind starts
  // again from the first byte, for the comparison after writing.
  struct tagSOURCE {
    std::function<int64_t(char* buffer, size_t size, MyString* error)> Read;
    std::function<bool(MyString* error)> Rewind;
  };
  // Stores the source's bytes as name in the target folder (see above). 1
  // and *target, or 0 and *error with nothing left behind.
  int StoreFile(const MyString& name, const tagSOURCE& source, MyString* target, MyString* error);

 private:
  bool Stopped();
  void Begin(size_t count);
  void FlushTarget(size_t placed);

  MyString m_strTarget;
  bool m_bDeleteAfter = false;
  bool m_bStopped = false;
  const std::atomic<bool>* m_stop = nullptr;
  Progress m_progress;
  MyStringList m_targets;
  std::vector<tagTRANSFERFAILURE> m_failures;
};
