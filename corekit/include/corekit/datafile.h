#pragma once
// CDataFile: an INI-style file of sections, keys, values and comments
// (install.ini, the settings export, keyboard maps, portfolios).
//
// Text layout (UTF-8, lines end in '\n'; "\r\n" and a leading byte-order
// mark are accepted when reading):
//
//   ; comment of the file (a comment block at the top followed by a blank line)
//
//   key outside any section=value
//   ; comment of the section
//   [Section]
//   ; comment of the key
//   Key=Value
//
// Rules:
// - Section and key names match without regard to letter case, as INI
//   readers do; the spelling first written (or first read) is kept.
// - Keys before the first section header belong to the unnamed section "".
// - A comment is the block of lines starting with ';' or '#' directly above
//   a section header or a key; one blank after the marker is dropped. A
//   multi-line comment is written as one comment line per line. Comment
//   lines at the end of the file are kept as the closing comment. There are
//   no comments at the end of a value line: ';' and '#' in values are text.
// - Blanks and tabs around names and values are not part of them. Where a
//   name or value needs them, or holds characters the layout gives a
//   meaning, it is written with backslash escapes: "\\", "\n", "\r", "\t",
//   "\s" (a blank at either end), "\xHH" (other control characters), and in
//   names "\=", and "\[", "\;", "\#" at the start. When reading, any other
//   backslash stays as it stands, so hand-written text loses nothing.
// - A key seen twice in one section keeps its first value; a section seen
//   twice continues the first one.
// - Damaged lines (no '=', an empty key name) are skipped; a header missing
//   its ']' still opens its section. Loading never fails on content.
// - GetInt reads an optional sign and the decimal digits that start the
//   value ("1000ms" is 1000); a value without digits, or a missing key,
//   gives 0; numbers beyond the 32-bit range are clamped to it.
//
// A file that was changed is written back (atomically) when the object is
// destroyed, unless it has no file name. Not thread-safe: one owner at a time.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "corekit/mystring.h"

class CDataFile {
 public:
  CDataFile() = default;
  // Loads the file when it exists; the name is kept either way, so that a
  // file that did not exist yet is created by Save().
  explicit CDataFile(const MyString& path);
  ~CDataFile();
  CDataFile(const CDataFile&) = delete;
  CDataFile& operator=(const CDataFile&) = delete;

  // Replaces the contents with the file's and takes its name for Save().
  // 1 when the file was read; 0 when it is missing or unreadable (the
  // contents are then empty and the name is still kept).
  int Load(const MyString& path);
  // Replaces the contents with the given UTF-8 text; the file name stays.
  void LoadFromText(std::string_view utf8);
  // Writes the contents to the file (atomically). 1 on success; 0 without a
  // file name or when writing fails (GetLastError() says why).
  int Save();
  std::string ToText() const;

  const MyString& GetFileName() const { return m_strFileName; }
  void SetFileName(const MyString& path) { m_strFileName = path; }
  bool IsDirty() const { return m_bDirty; }
  const MyString& GetLastError() const { return m_strLastError; }
  void Clear();

  // Creates the section; on an existing one a non-empty comment replaces its
  // comment. 1. The unnamed section's comment is the comment of the file.
  int CreateSection(const MyString& section, const MyString& comment);
  // Sets the key's value and comment, creating the section and key when
  // missing. 0 for an empty key name.
  int CreateKey(const MyString& key, const MyString& value, const MyString& comment,
                const MyString& section);
  // As CreateKey, but an empty comment leaves the key's comment as it was.
  int SetValue(const MyString& key, const MyString& value, const MyString& comment = MyString(),
               const MyString& section = MyString());
  int SetInt(const MyString& key, int32_t number, const MyString& comment = MyString(),
             const MyString& section = MyString());
  // 0 when the key does not exist.
  int SetKeyComment(const MyString& key, const MyString& comment,
                    const MyString& section = MyString());
  int SetSectionComment(const MyString& section, const MyString& comment);
  // 1 when the key (or section) existed and was removed.
  int DeleteKey(const MyString& key, const MyString& section = MyString());
  int DeleteSection(const MyString& section);

  // The value, or empty text for a missing key.
  MyString GetValue(const MyString& key, const MyString& section = MyString()) const;
  MyString GetString(const MyString& key, const MyString& section = MyString()) const {
    return GetValue(key, section);
  }
  int32_t GetInt(const MyString& key, const MyString& section = MyString()) const;
  MyString GetKeyComment(const MyString& key, const MyString& section = MyString()) const;
  MyString GetSectionComment(const MyString& section) const;
  bool HasKey(const MyString& key, const MyString& section = MyString()) const;
  bool HasSection(const MyString& section) const;

  // Names in file order (the unnamed section is listed only when it holds keys
  // or a comment).
  MyStringList GetSectionNames() const;
  MyStringList GetKeyNames(const MyString& section = MyString()) const;

  // Comment lines after the last entry of the file.
  const MyString& GetClosingComment() const { return m_strClosingComment; }
  void SetClosingComment(const MyString& comment);

  // The decimal reading GetInt applies to a value.
  static int32_t ParseInt(const MyString& text);

 private:
  struct Key {
    MyString strName;
    MyString strValue;
    MyString strComment;
  };
  struct Section {
    MyString strName;
    MyString strComment;
    std::vector<Key> keys;
    std::unordered_map<std::u16string, size_t> index;  // folded name -> keys[i]
  };

  Section* FindSection(const MyString& section);
  const Section* FindSection(const MyString& section) const;
  Section& GetOrCreateSection(const MyString& section);
  Key* FindKey(const MyString& key, const MyString& section);
  const Key* FindKey(const MyString& key, const MyString& section) const;
  static void Reindex(Section& section);

  MyString m_strFileName;
  MyString m_strLastError;
  MyString m_strClosingComment;
  std::vector<Section> m_sections;
  std::unordered_map<std::u16string, size_t> m_sectionIndex;  // folded name -> m_sections[i]
  bool m_bDirty = false;
};
