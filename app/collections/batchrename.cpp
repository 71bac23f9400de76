#include "collections/batchrename.h"

#include <algorithm>
#include <string>

CBatchRename::CBatchRename(const tagRENAMERULE& rule) : m_rule(rule) {
  // The page shows 1 for a step below it; a stored 0 or less means the same.
  m_rule.numbers.iNUMInc = std::max(1, m_rule.numbers.iNUMInc);
  m_rule.numbers.iCutF = std::max(0, m_rule.numbers.iCutF);
  m_rule.numbers.iCutB = std::max(0, m_rule.numbers.iCutB);
}

uint64_t CBatchRename::Number(size_t index) const {
  // Wide enough that a start near the int limit plus many steps still counts on.
  return uint64_t(uint32_t(m_rule.numbers.iNUMStart)) +
         uint64_t(index) * uint64_t(m_rule.numbers.iNUMInc);
}

size_t CBatchRename::Digits(uint64_t number) { return std::to_string(number).size(); }

MyString CBatchRename::Compose(const MyString& source, uint64_t number, size_t width,
                               const MyString& extension) const {
  MyString title = source.GetStringTitle();
  title.tShaveFirstChar(size_t(m_rule.numbers.iCutF));
  title.tShaveLastChar(size_t(m_rule.numbers.iCutB));
  std::u16string digits;
  if (m_rule.numbers.iNUMStart >= 0) {
    const std::string text = std::to_string(number);
    digits.assign(width > text.size() ? width - text.size() : 0, u'0');
    for (char c : text) digits += char16_t(c);
  }
  const MyString added = m_rule.preName + MyString(digits) + m_rule.postName;
  const MyString ext = extension.IsEmpty() ? source.GetStringExtension() : extension;
  return (m_rule.bAppendEnd ? title + added : added + title) + ext;
}

MyString CBatchRename::NewName(const MyString& source, size_t index, size_t count,
                               const MyString& extension) const {
  const size_t width = Digits(Number(count ? count - 1 : 0));
  return Compose(source, Number(index), width, extension);
}

MyString CBatchRename::ExampleName(const MyString& source, size_t index) const {
  return Compose(source, Number(index), Digits(Number(2)), MyString());
}

MyString CBatchRename::JoinPath(const MyString& folder, const MyString& name) {
  if (folder.IsEmpty() || folder[folder.GetLength() - 1] == u'/') return folder + name;
  return folder + u'/' + name;
}

const std::vector<MyString>& BatchFormats() {
  static const std::vector<MyString> formats = {u"BMP", u"JPG", u"JPEG", u"PNG", u"PGM", u"PNM",
                                                u"PPM", u"TIF", u"JP2",  u"GIF", u"HDF"};
  return formats;
}
