#pragma once
// The batch page's renaming rule: a cut title, with a padded number between
// a pre-name and a post-name set in front of it or after it. The padding
// width is that of the largest number the batch reaches, so every name of
// one batch sorts by its number; the example box pads as for three files.
// Plain data, any thread.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "corekit/mystring.h"
#include "shell/settings.h"  // tagRENCONV, the four numbers the settings keep

struct tagRENAMERULE {
  tagRENCONV numbers;
  MyString preName;
  MyString postName;
  // The added text goes after the title ("end") rather than before it.
  bool bAppendEnd = false;
};

class CBatchRename {
 public:
  explicit CBatchRename(const tagRENAMERULE& rule);

  // The new file name (no folder) of file index of count; extension is
  // ".ext" with its dot, or empty for the source's own.
  MyString NewName(const MyString& source, size_t index, size_t count,
                   const MyString& extension = MyString()) const;
  // The example box's name: padded as start + 2 increments, whatever the count.
  MyString ExampleName(const MyString& source, size_t index) const;
  // folder + '/' + name.
  static MyString JoinPath(const MyString& folder, const MyString& name);

  const tagRENAMERULE& Rule() const { return m_rule; }

 private:
  MyString Compose(const MyString& source, uint64_t number, size_t width,
                   const MyString& extension) const;
  uint64_t Number(size_t index) const;
  static size_t Digits(uint64_t number);

  tagRENAMERULE m_rule;
};

// "Convert files to:" in the page's order.
const std::vector<MyString>& BatchFormats();
