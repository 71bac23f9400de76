#pragma once
// MyString: the wide (UTF-16) text used for every path and name, with the
// path-part helpers; MyStringList: an ordered list of them.

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QString;

class MyString {
 public:
  static constexpr size_t npos = std::u16string::npos;

  MyString() = default;
  MyString(const char16_t* psz) : m_str(psz ? psz : u"") {}
  MyString(std::u16string str) : m_str(std::move(str)) {}
  MyString(std::u16string_view str) : m_str(str) {}
  MyString(const char16_t* p, size_t n) : m_str(p, n) {}

  // UTF-8 and QString bridges (invalid UTF-8 becomes U+FFFD).
  static MyString FromUtf8(std::string_view utf8);
  static MyString FromQString(const QString& s);
  std::string ToUtf8() const;
  QString ToQString() const;

  char16_t& operator[](size_t i) { return m_str[i]; }
  const char16_t& operator[](size_t i) const { return m_str[i]; }

  MyString operator+(const MyString& rhs) const { return MyString(m_str + rhs.m_str); }
  MyString operator+(const char16_t* rhs) const { return MyString(m_str + rhs); }
  MyString operator+(char16_t ch) const { return MyString(m_str + ch); }
  MyString& operator+=(const MyString& rhs) {
    m_str += rhs.m_str;
    return *this;
  }
  MyString& operator+=(const char16_t* rhs) {
    m_str += rhs;
    return *this;
  }
  MyString& operator+=(char16_t ch) {
    m_str += ch;
    return *this;
  }

  // Exact, case-sensitive equality (Linux file names are case-sensitive).
  bool operator==(const MyString& rhs) const { return m_str == rhs.m_str; }
  bool operator==(const char16_t* rhs) const { return m_str == (rhs ? rhs : u""); }
  bool operator<(const MyString& rhs) const { return m_str < rhs.m_str; }

  // Order as a user reads names: letter case ignored and runs of digits
  // compared by value ("img2" before "img10"). Strings that differ only in
  // case or leading zeros are then ordered by code unit, so the result is 0
  // only for equal strings. Negative, 0 or positive.
  int Compare(const MyString& rhs) const;
  // Case-insensitive equality test (extension checks: ".jpg" and ".JPG").
  bool EqualsNoCase(const MyString& rhs) const;
  // The text with letter case folded, as a key for case-insensitive lookups.
  static std::u16string FoldCase(std::u16string_view text);

  MyString& erase(size_t pos = 0, size_t n = npos);

  size_t GetLength() const { return m_str.size(); }
  bool IsEmpty() const { return m_str.empty(); }
  const char16_t* c_str() const { return m_str.c_str(); }
  const std::u16string& str() const { return m_str; }
  std::u16string& str() { return m_str; }
  size_t Find(char16_t ch, size_t from = 0) const { return m_str.find(ch, from); }
  size_t ReverseFind(char16_t ch) const { return m_str.rfind(ch); }
  MyString Mid(size_t pos, size_t n = npos) const;
  MyString ToLower() const;
  MyString ToUpper() const;

  // Path parts. A path's name is what follows its last '/'; the extension is
  // the name's last '.' and what follows it, unless that dot starts the name
  // (".profile" has no extension). A path ending in '/' has an empty name.
  MyString GetStringPath() const;       // folder: "/a/b" of "/a/b/c.jpg"; "/" of "/c.jpg"
  MyString GetStringTitle() const;      // "c" of "/a/b/c.jpg"
  MyString GetStringTitleExt() const;   // "c.jpg"
  MyString GetStringExtension() const;  // ".jpg", or empty
  // Replaces the extension (adds one when there is none). The new extension
  // may be given with or without its dot; an empty one removes the extension.
  void tSetStringExtension(const MyString& ext);
  // Drop n characters from the front / the end (all of them when n is larger).
  void tShaveFirstChar(size_t n = 1);
  void tShaveLastChar(size_t n = 1);

 private:
  size_t NameStart() const;
  size_t ExtensionStart() const;  // npos when there is no extension

  std::u16string m_str;
};

inline MyString operator+(const char16_t* lhs, const MyString& rhs) {
  return MyString(std::u16string(lhs) + rhs.str());
}

struct MyStringHash {
  size_t operator()(const MyString& s) const { return std::hash<std::u16string>()(s.str()); }
};

class MyStringList {
 public:
  void Append(const MyString& s) { m_items.push_back(s); }
  void Append(MyString&& s) { m_items.push_back(std::move(s)); }
  MyString& operator[](size_t i) { return m_items[i]; }
  const MyString& operator[](size_t i) const { return m_items[i]; }
  size_t GetListLength() const { return m_items.size(); }
  void ReleaseListMemory() { std::vector<MyString>().swap(m_items); }
  // Sorts in place by MyString::Compare.
  void tSortList();

  // Splits a multi-selection file-dialog result: NUL-separated parts, the
  // first a folder and the others names in it; a single part is a full path.
  // The buffer holds count code units; an empty part ends it.
  int ConvertFromMOFN(const char16_t* buffer, size_t count);
  // Joins the list into one string of NUL-terminated paths with a second NUL
  // at the end (the form file-operation requests take).
  MyString ConvertToSFO() const;

  auto begin() { return m_items.begin(); }
  auto end() { return m_items.end(); }
  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 private:
  std::vector<MyString> m_items;
};
