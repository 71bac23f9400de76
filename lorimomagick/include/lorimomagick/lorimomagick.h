#pragma once
// Common base of the image-algorithm containers: dimensions, the source
// image's format name, and the class-wide hooks for progress and messages.
// The library shows no windows; the viewer installs the hooks.

#include <cstdint>

#include <Magick++.h>

// Progress hook of brightness_contrast: called with (0, 0) after each row;
// a zero return asks the operation to stop.
typedef int (*PFNLORIMOMAGICKMONITOR)(unsigned long, unsigned long);

// Shows a message to the user as an error box (text, caption). Without a
// handler the message goes to the standard error stream.
typedef void (*PFNLORIMOMAGICKMESSAGE)(const char* text, const char* caption);

class CLorimoMagick {
 public:
  CLorimoMagick();
  CLorimoMagick(uint32_t columns, uint32_t rows);
  CLorimoMagick(const CLorimoMagick& other);
  virtual ~CLorimoMagick();

  // A new image holding the container's pixels, or an empty image when the
  // container has none.
  virtual Magick::Image Pixels2Magick(bool bPlanar) const = 0;
  // Read-only pixel storage of the 8-bit container; null for the others.
  virtual const void* GetData() const;

  uint32_t cols() const { return m_nCols; }
  uint32_t rows() const { return m_nRows; }

  // Installs the hook and returns the previous one. Process-wide, unlocked:
  // set it before an operation starts.
  static PFNLORIMOMAGICKMONITOR SetLorimoMagickMonitor(PFNLORIMOMAGICKMONITOR fn);
  static PFNLORIMOMAGICKMESSAGE SetLorimoMagickMessageHandler(PFNLORIMOMAGICKMESSAGE fn);

 protected:
  CLorimoMagick& operator=(const CLorimoMagick& other);

  const char* magick() const { return m_pszMagick; }
  void magick(const char* name);
  bool have_mgk() const { return m_pszMagick != nullptr && m_pszMagick[0] != '\0'; }

  static float fmin(float a, float b) { return a < b ? a : b; }
  static float fmax(float a, float b) { return a > b ? a : b; }

  // Calls m_pvmMonitor when set; 1 (go on) without one.
  static int CallMonitor(unsigned long done, unsigned long total);
  static void ShowMessage(const char* text, const char* caption);

  static PFNLORIMOMAGICKMONITOR m_pvmMonitor;

  uint32_t m_nCols = 0;
  uint32_t m_nRows = 0;

 private:
  char* m_pszMagick = nullptr;  // owned
};
