#include "corekit/slidesfile.h"

#include <algorithm>
#include <vector>

#include "corekit/atomicfile.h"
#include "corekit/datafile.h"
#include "corekit/straw.h"

namespace {

const char16_t kSection[] = u"Slides";

// The slide number of a "File<n>" or "Time<n>" key as the reader spells it
// (plain decimal, no leading zeros), or -1.
int64_t SlideNumber(const MyString& key) {
  if (key.GetLength() < 5 || key.GetLength() > 14) return -1;
  const MyString prefix = key.Mid(0, 4);
  if (!prefix.EqualsNoCase(u"File") && !prefix.EqualsNoCase(u"Time")) return -1;
  if (key[4] == u'0' && key.GetLength() > 5) return -1;
  int64_t number = 0;
  for (size_t i = 4; i < key.GetLength(); ++i) {
    if (key[i] < u'0' || key[i] > u'9') return -1;
    number = number * 10 + (key[i] - u'0');
  }
  return number;
}

}  // namespace

int CSlidesFile::Load(const MyString& path) {
  m_slides.clear();
  CDataFile file;
  if (!file.Load(path)) {
    m_strLastError = file.GetLastError();
    return 0;
  }
  return Load(file);
}

int CSlidesFile::Load(const CDataFile& file) {
  m_slides.clear();
  const int64_t howMany = file.GetInt(u"HowMany", kSection);
  std::vector<int64_t> present;  // slide numbers below HowMany that have a key
  for (const MyString& key : file.GetKeyNames(kSection)) {
    const int64_t n = SlideNumber(key);
    if (n >= 0 && n < howMany) present.push_back(n);
  }
  std::sort(present.begin(), present.end());
  present.erase(std::unique(present.begin(), present.end()), present.end());
  if (present.empty()) return 1;
  const int64_t count = present.back() + 1;
  auto readSlide = [&](int64_t n) {
    CSlide slide;
    slide.strPath = file.GetValue(CStrAW::printf(u"File%lld", (long long)n), kSection);
    slide.nDelay = file.GetInt(CStrAW::printf(u"Time%lld", (long long)n), kSection);
    m_slides.push_back(std::move(slide));
  };
  // Holes in the numbering become empty slides, unless they outnumber the
  // slides by far: then a few keys would make us build millions of empty
  // slides, which every user of a portfolio skips anyway.
  if (count <= 2 * int64_t(present.size()) + 1024) {
    m_slides.reserve(size_t(count));
    for (int64_t n = 0; n < count; ++n) readSlide(n);
  } else {
    m_slides.reserve(present.size());
    for (int64_t n : present) readSlide(n);
  }
  return 1;
}

int CSlidesFile::Save(const MyString& path) const {
  CDataFile file;  // no file name: written below, once, and only here
  file.CreateSection(kSection, MyString());
  file.SetInt(u"HowMany", int32_t(m_slides.size()), MyString(), kSection);
  for (size_t n = 0; n < m_slides.size(); ++n) {
    file.SetValue(CStrAW::printf(u"File%zu", n), m_slides[n].strPath, MyString(), kSection);
    file.SetInt(CStrAW::printf(u"Time%zu", n), m_slides[n].nDelay, MyString(), kSection);
  }
  return WriteFileAtomically(path, file.ToText(), &m_strLastError);
}
