#include "viewer/imagedocument.h"

#include "pixwork/options.h"
#include "viewer/imagelibrary.h"

CImageDocument::CImageDocument()
    : m_bLibraryReady((InitializeImageLibrary(), true)),
      m_animation(std::make_unique<CGifAnimation>(
          [this](const Magick::Image& frame) { ShowFrame(frame); })) {}

CImageDocument::~CImageDocument() {
  m_animation->Stop();
  if (m_hWindow) UnregisterLoadTarget(m_hWindow);
}

void CImageDocument::SetWindow(HWND viewer) {
  if (m_hWindow) UnregisterLoadTarget(m_hWindow);
  m_hWindow = viewer;
  if (viewer) RegisterLoadTarget(viewer, this);
}

int CImageDocument::Open(const MyString& path, const SIZE* sizeHint) {
  Magick::Image image;
  const int ok = LoadImage(m_hWindow, path, &image, gVO[VO_DIALOG_ERRORS].bFlag, sizeHint);
  if (!ok) {
    m_animation->Stop();
    Clear();
    return 0;
  }
  m_image = image;
  m_bHasImage = true;
  SetPath(path);
  Changed();
  return 1;
}

void CImageDocument::ReplaceImage(const Magick::Image& image) {
  m_animation->Stop();
  m_image = image;
  m_bHasImage = true;
  m_bModified = true;
  m_bTransparent = false;
  Changed();
}

void CImageDocument::UpdateImage(const Magick::Image& image) {
  m_image = image;
  Changed();
}

void CImageDocument::Clear() {
  m_image = Magick::Image();
  m_bHasImage = false;
  m_bModified = false;
  m_bTransparent = false;
  m_strPath = MyString();
  m_strName = MyString();
  Changed();
}

void CImageDocument::SetPath(const MyString& path) {
  m_strPath = path;
  m_strName = path.GetStringTitleExt();
}

void CImageDocument::StopAnimation() { m_animation->Stop(); }

void CImageDocument::StartAnimation(std::vector<Magick::Image> frames) {
  if (IsAutoplayRunning()) return;
  m_animation->Start(std::move(frames));
}

void CImageDocument::OnLoadFinished(bool success, bool hasTransparency,
                                    const Magick::Color& transparentColor) {
  if (!success) return;
  m_bModified = false;
  m_bTransparent = hasTransparency;
  if (hasTransparency) m_colorTransparent = transparentColor;
}

bool CImageDocument::GetTransparency(Magick::Color* color) const {
  if (!m_bTransparent) return false;
  if (color) *color = m_colorTransparent;
  return true;
}

void CImageDocument::ShowFrame(const Magick::Image& frame) {
  m_image = frame;
  Changed();
}

void CImageDocument::Changed() {
  m_display = m_bHasImage ? ToQImage(m_image) : QImage();
  if (m_changed) m_changed();
}

QImage CImageDocument::ToQImage(const Magick::Image& source) {
  const size_t width = source.columns(), height = source.rows();
  if (width == 0 || height == 0) return QImage();
  QImage out(int(width), int(height), QImage::Format_ARGB32);
  if (out.isNull()) return QImage();
  try {
    Magick::Image image = source;
    // ARGB32 rows are width * 4 bytes without padding: one call fills them all.
    image.write(0, 0, width, height, "BGRA", Magick::CharPixel, out.bits());
  } catch (const std::exception&) {
    return QImage();
  }
  return out;
}
