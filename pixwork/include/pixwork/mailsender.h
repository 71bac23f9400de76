#pragma once
// E-mailing pictures without a window: the attachment list, and a send.
// A send makes its resized copies and its zip archive in a folder of its
// own under the cache folder, hands the attachments to the user's mail
// program with xdg-email, and when that fails copies the archive to the
// desktop. The mail program reads the attachments after xdg-email has
// returned, so a send's folder stays until a later send or the next start
// removes it. Resized copies are made by the program's image service.
// GUI thread only.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "corekit/mystring.h"
#include "pixwork/resizemath.h"

class QObject;
class QProcess;

struct tagMAILROW {
  MyString path;  // canonical
  uint64_t nSize = 0;
};

enum MAILADDRESULT : int {
  MAILADD_MISSING = 0,  // no such file, not a file, or its facts cannot be read
  MAILADD_ADDED = 1,
  MAILADD_LISTED = 2,  // the same file is listed already, by whatever spelling
};

// The pictures to send. A file is known by its canonical path (links, "."
// and ".." resolved); letter case is kept, since two names that differ in
// case are two files here.
class CMailList {
 public:
  // *row (optional) receives the row added.
  MAILADDRESULT Add(const MyString& path, tagMAILROW* row = nullptr);
  // Takes out the row of a canonical path; false when not listed.
  bool Remove(const MyString& path);
  void RemoveAll();
  bool Contains(const MyString& path) const;
  const std::vector<tagMAILROW>& Rows() const { return m_rows; }
  uint64_t GetTotalBytes() const { return m_nTotal; }
  // "Uncompressed attachement size:": the bytes / 1024 as "%.2f KB", "0"
  // for an empty list.
  MyString GetSizeText() const;

 private:
  std::vector<tagMAILROW> m_rows;
  uint64_t m_nTotal = 0;
};

struct tagMAILOPTIONS {
  bool bZip = false;     // "Zip Files before sending": the archive is the one attachment
  bool bResize = false;  // "Resize before emailing"
  BATCHRESIZEOPTIONS resize;
};

// What Prepare made for one send.
struct tagMAILPACKAGE {
  MyString folder;   // the send's own folder
  MyString archive;  // "lorimo_attachement.zip" in it, with every picture sent
  std::vector<MyString> attachments;
  std::vector<MyString> notResized;  // pictures left out: "File cannot be resized ..."
  size_t nVanished = 0;              // pictures gone since they were added
};

enum MAILOUTCOME : int {
  MAILOUT_FAILED = 0,   // neither the mail program nor the desktop copy
  MAILOUT_SENT = 1,     // the mail program has the message
  MAILOUT_DESKTOP = 2,  // no mail program; the archive was copied to the desktop
};

struct tagMAILRESULT {
  MAILOUTCOME nOutcome = MAILOUT_FAILED;
  MyString desktopCopy;  // MAILOUT_DESKTOP: the copy's path
  MyString error;        // why the mail program (and the copy) failed
};

class CMailSender {
 public:
  // root: the folder the sends' folders go in (DefaultRoot() when empty).
  explicit CMailSender(const MyString& root = MyString());
  ~CMailSender();
  CMailSender(const CMailSender&) = delete;
  CMailSender& operator=(const CMailSender&) = delete;

  // GetCacheFolder() + "/Email".
  static MyString DefaultRoot();
  // Removes the folders of earlier sends under root (at start, and before
  // each send).
  static void RemoveSendFolders(const MyString& root);

  // After each picture: done of count (a progress bar).
  std::function<void(size_t done, size_t count)> onProgress;
  // The outcome of Send, once it is known.
  std::function<void(const tagMAILRESULT& result)> onFinished;
  // Where the archive goes when there is no mail program (GetDesktopFolder()
  // when empty).
  MyString desktop;
  // How long xdg-email may run before the mail program counts as started:
  // some start the mail program and wait for it to close.
  int nGraceMs = 10000;

  // Makes this send's folder, the resized copies (by the batch-resize rules,
  // through the image service) and the archive, for the pictures in the
  // order given. Two pictures of one name become "name.ext" and
  // "name (2).ext". Pictures gone meanwhile are skipped. 1; 0 with *error
  // when the folder or archive cannot be made or nothing is left to send.
  int Prepare(const std::vector<MyString>& paths, const tagMAILOPTIONS& options,
              tagMAILPACKAGE* package, MyString* error);

  // Starts xdg-email with the attachments; onFinished follows, on this
  // thread's event loop. False (and nothing follows) while a send runs.
  bool Send(const tagMAILPACKAGE& package);
  bool IsSending() const { return m_pProcess != nullptr; }

  // "name.ext" when free in taken, else "name (2).ext", "name (3).ext", ...;
  // compared without regard to case (the recipient's disk may not tell
  // them apart). The name returned is added to taken (upper-cased).
  static MyString NumberedName(const MyString& name, std::set<std::u16string>* taken);
  // Copies file into folder under its own name, numbered when the name is
  // taken; a file there is never replaced and a failed copy leaves nothing.
  // 1 with *copied; 0 with *error.
  static int CopyIntoFolder(const MyString& file, const MyString& folder, MyString* copied,
                            MyString* error);

 private:
  void Finish(bool bMailProgram, const MyString& why);

  MyString m_strRoot;
  QObject* m_pContext;  // ends our part in a send when the sender goes
  QProcess* m_pProcess = nullptr;
  unsigned m_nSend = 0;
  tagMAILPACKAGE m_package;
};
