#include "lorimomagick/lorimomagick.h"

#include <cstdio>
#include <cstring>

#include "colormatrices.h"

const float kRGB709ToXYZ[3][3] = {{0.412453f, 0.357580f, 0.180423f},
                                  {0.212671f, 0.715160f, 0.072169f},
                                  {0.019334f, 0.119193f, 0.950227f}};
const float kXYZToRGB709[3][3] = {{3.240479f, -1.537150f, -0.498535f},
                                  {-0.969256f, 1.875992f, 0.041556f},
                                  {0.055648f, -0.204043f, 1.057311f}};

PFNLORIMOMAGICKMONITOR CLorimoMagick::m_pvmMonitor = nullptr;

namespace {
PFNLORIMOMAGICKMESSAGE gpfnLorimoMagickMessage = nullptr;
}

CLorimoMagick::CLorimoMagick() = default;

CLorimoMagick::CLorimoMagick(uint32_t columns, uint32_t rows) : m_nCols(columns), m_nRows(rows) {}

CLorimoMagick::CLorimoMagick(const CLorimoMagick& other)
    : m_nCols(other.m_nCols), m_nRows(other.m_nRows) {
  magick(other.m_pszMagick);
}

CLorimoMagick::~CLorimoMagick() { delete[] m_pszMagick; }

CLorimoMagick& CLorimoMagick::operator=(const CLorimoMagick& other) {
  if (this != &other) {
    m_nCols = other.m_nCols;
    m_nRows = other.m_nRows;
    magick(other.m_pszMagick);
  }
  return *this;
}

const void* CLorimoMagick::GetData() const { return nullptr; }

void CLorimoMagick::magick(const char* name) {
  char* copy = nullptr;
  if (name != nullptr) {
    const size_t length = std::strlen(name);
    copy = new (std::nothrow) char[length + 1];
    if (copy != nullptr) std::memcpy(copy, name, length + 1);
  }
  delete[] m_pszMagick;
  m_pszMagick = copy;
}

PFNLORIMOMAGICKMONITOR CLorimoMagick::SetLorimoMagickMonitor(PFNLORIMOMAGICKMONITOR fn) {
  PFNLORIMOMAGICKMONITOR previous = m_pvmMonitor;
  m_pvmMonitor = fn;
  return previous;
}

PFNLORIMOMAGICKMESSAGE CLorimoMagick::SetLorimoMagickMessageHandler(PFNLORIMOMAGICKMESSAGE fn) {
  PFNLORIMOMAGICKMESSAGE previous = gpfnLorimoMagickMessage;
  gpfnLorimoMagickMessage = fn;
  return previous;
}

int CLorimoMagick::CallMonitor(unsigned long done, unsigned long total) {
  return m_pvmMonitor == nullptr ? 1 : m_pvmMonitor(done, total);
}

void CLorimoMagick::ShowMessage(const char* text, const char* caption) {
  if (gpfnLorimoMagickMessage != nullptr)
    gpfnLorimoMagickMessage(text, caption);
  else
    std::fprintf(stderr, "%s: %s\n", caption, text);
}
