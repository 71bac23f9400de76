#pragma once
// CSlidesFile: a portfolio, the ordered slides of a ".lrm" file. The file is
// a data file with one section "Slides": "HowMany" slides, slide n stored as
// "File<n>" (its path) and "Time<n>" (its delay in milliseconds).

#include <cstdint>
#include <vector>

#include "corekit/mystring.h"

class CDataFile;

struct CSlide {
  MyString strPath;
  int32_t nDelay = 0;  // milliseconds; 0 = the autoplay delay setting
};

class CSlidesFile {
 public:
  // Replaces the slides with those of the file. A reader takes "HowMany"
  // slides; a missing "File<n>" gives an empty path and a missing or
  // unreadable "Time<n>" a delay of 0. Hostile counts must not make us
  // allocate without bound, and empty slides are skipped by every user of a
  // portfolio, so: a negative "HowMany" means no slides; the count is cut
  // after the highest slide number that has a key; and where the holes in
  // the numbering would far outnumber the slides present (more than twice
  // as many, plus 1024), only the slides present are read.
  // 1 on success; 0 when the file is missing or unreadable (slides cleared).
  int Load(const MyString& path);
  int Load(const CDataFile& file);
  // Writes the slides as a new portfolio file, replacing any earlier
  // content of it (atomically). 1 on success.
  int Save(const MyString& path) const;

  std::vector<CSlide>& GetSlides() { return m_slides; }
  const std::vector<CSlide>& GetSlides() const { return m_slides; }
  void Append(const MyString& path, int32_t delay) { m_slides.push_back(CSlide{path, delay}); }
  void Clear() { m_slides.clear(); }
  size_t GetCount() const { return m_slides.size(); }
  const MyString& GetLastError() const { return m_strLastError; }

 private:
  std::vector<CSlide> m_slides;
  mutable MyString m_strLastError;
};
