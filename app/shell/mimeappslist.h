#pragma once
// mimeapps.list, the user's choice of program per file type (freedesktop
// "Association between MIME types and applications"). Other programs share
// the file, so only the keys we change are touched: every other line,
// comment and section stays as it was, byte for byte.

#include <string>
#include <vector>

#include "corekit/mystring.h"

class CMimeAppsList {
 public:
  // $XDG_CONFIG_HOME/mimeapps.list (default ~/.config/mimeapps.list).
  static MyString GetUserFilePath();

  // A missing file is an empty list (1); 0 when it exists but cannot be read.
  int Load(const MyString& path);
  // Writes the file atomically. 1 on success.
  int Save();
  const MyString& GetLastError() const { return m_strLastError; }

  // The value of key in section, without changes: "a.desktop;b.desktop;".
  // False when the key is not there.
  bool GetValue(const std::string& section, const std::string& key, std::string* value) const;
  void SetValue(const std::string& section, const std::string& key, const std::string& value);
  void RemoveKey(const std::string& section, const std::string& key);

  // The desktop ids of a list value, in order.
  static std::vector<std::string> SplitList(const std::string& value);
  static std::string JoinList(const std::vector<std::string>& ids);

  std::string ToText() const;

 private:
  // Line index of the section header, or -1.
  int FindSection(const std::string& section) const;
  // Line index of key in the section starting at header, or -1.
  int FindKey(int header, const std::string& key) const;

  MyString m_strPath;
  MyString m_strLastError;
  std::vector<std::string> m_lines;
  bool m_bFinalNewline = true;
};
