#include "viewer/imagedocument.h"

#include "codecs/imagelibrary.h"
#include "pixwork/options.h"
#include "viewer/paintweller.h"

namespace {

// What LoadImage reported to the document about the load that ran on this
// thread. Loads of different threads finish in any order, so each keeps its own.
struct tagFINISHEDLOAD {
  bool bReported = false;
  bool bTransparent = false;
  Magick::Color color;
  bool bAnimated = false;  // the load started the animation
  int nOrientation = 0;
};
thread_local tagFINISHEDLOAD tFinished;

}  // namespace

Magick::Image MakeStandInImage() {
  InitializeImageLibrary();
  const uint8_t black[10 * 10 * 3] = {};
  return Magick::Image(10, 10, "RGB", Magick::CharPixel, black);
}

int LoadViewerImage(HWND viewer, const MyString& path, int bReport, const SIZE* sizeHint,
                    tagLOADEDIMAGE* out) {
  tFinished = tagFINISHEDLOAD();
  // Taken before the read: a file swapped in while it loads is not the one
  // a later save may replace.
  GetFileIdentity(path, &out->fileIdentity);
  Magick::Image image;
  std::shared_ptr<const CPixelPicture> picture;
  const int ok = LoadImage(viewer, path, &image, bReport, sizeHint, &picture);
  out->strPath = path;
  out->bLoaded = ok == 1;
  if (ok == 1) {
    out->image = image;
    out->picture = picture;
    out->bTransparent = tFinished.bReported && tFinished.bTransparent;
    if (out->bTransparent) out->colorTransparent = tFinished.color;
    out->bAnimated = tFinished.bAnimated;
    out->nOrientation = tFinished.nOrientation;
    out->strError = MyString();
  } else {
    out->image = MakeStandInImage();
    out->picture.reset();
    out->bTransparent = false;
    out->strError = GetLastLoadError();
  }
  return ok;
}

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
  tagLOADEDIMAGE loaded;
  const int ok = LoadViewerImage(m_hWindow, path, gVO[VO_DIALOG_ERRORS].bFlag, sizeHint, &loaded);
  TakeLoaded(loaded);
  return ok;
}

void CImageDocument::TakeLoaded(const tagLOADEDIMAGE& loaded) {
  ++m_nEdition;
  // The image shown until now is let go of elsewhere.
  m_readAhead.DropLater(m_data.image, m_display, m_data.pPicture);
  m_display = QImage();
  m_data.image = loaded.image;
  m_data.pPicture = loaded.bLoaded ? loaded.picture : nullptr;
  m_bHasImage = loaded.bLoaded;
  m_nShownOrientation = loaded.bLoaded ? loaded.nOrientation : 0;
  m_data.bModified = false;
  if (loaded.bLoaded) {
    SetPath(loaded.strPath);
    m_fileIdentity = loaded.fileIdentity;
    m_data.bTransparent = loaded.bTransparent ? 1 : 0;
    if (loaded.bTransparent) m_data.colorTransparent = loaded.colorTransparent;
  } else {
    m_animation->Stop();
    m_data.strFilePath = MyString();
    m_data.strFileName = MyString();
    m_fileIdentity = tagFILEIDENTITY();
    m_data.bTransparent = 0;
  }
  // Frames playing now belong to this load only if it started them; an older
  // load delivered while a newer GIF loads must not let that GIF's frames in.
  m_bFramesAccepted = loaded.bLoaded && loaded.bAnimated;
  // An image read ahead comes with its display form; one read now leaves
  // its display form there for a step back to it.
  QImage prepared;
  const CPixelPicture* picture = m_data.pPicture.get();
  if (loaded.bLoaded && (picture ? m_readAhead.FindDisplay(picture, &prepared)
                                 : m_readAhead.FindDisplay(m_data.image, &prepared))) {
    m_display = prepared;
    if (m_changed) m_changed();
    return;
  }
  Changed();
  if (loaded.bLoaded && picture) m_readAhead.AttachDisplay(picture, m_display);
  if (loaded.bLoaded && !picture) m_readAhead.AttachDisplay(m_data.image, m_display);
}

void CImageDocument::ReplaceImage(const Magick::Image& image) {
  ++m_nEdition;
  m_animation->Stop();
  m_nShownOrientation = 0;
  m_data.image = image;
  m_data.pPicture.reset();
  m_bHasImage = true;
  m_data.bModified = true;
  m_data.bTransparent = 0;
  Changed();
}

void CImageDocument::UpdateImage(const Magick::Image& image) {
  ++m_nEdition;
  m_data.image = image;
  m_data.pPicture.reset();
  Changed();
}

void CImageDocument::Clear() {
  ++m_nEdition;
  m_animation->Stop();
  m_nShownOrientation = 0;
  m_data.image = Magick::Image();
  m_data.pPicture.reset();
  m_bHasImage = false;
  m_data.bModified = false;
  m_data.bTransparent = 0;
  m_data.strFilePath = MyString();
  m_data.strFileName = MyString();
  m_fileIdentity = tagFILEIDENTITY();
  Changed();
}

void CImageDocument::SetPath(const MyString& path) {
  m_data.strFilePath = path;
  m_data.strFileName = path.GetStringTitleExt();
  ::GetFileIdentity(path, &m_fileIdentity);
}

void CImageDocument::StopAnimation() {
  m_bFramesAccepted = false;
  m_animation->Stop();
}

void CImageDocument::StartAnimation(std::vector<Magick::Image> frames) {
  if (IsAutoplayRunning()) return;
  m_animation->Start(std::move(frames));
  tFinished.bAnimated = m_animation->IsRunning();
}

void CImageDocument::OnLoadFinished(bool success, bool hasTransparency,
                                    const Magick::Color& transparentColor, int orientation) {
  tFinished.bReported = true;
  tFinished.nOrientation = success ? orientation : 0;
  tFinished.bTransparent = success && hasTransparency;
  if (tFinished.bTransparent) tFinished.color = transparentColor;
}

bool CImageDocument::GetTransparency(Magick::Color* color) const {
  if (!m_data.bTransparent) return false;
  if (color) *color = m_data.colorTransparent;
  return true;
}

void CImageDocument::ShowFrame(const Magick::Image& frame) {
  if (!m_bFramesAccepted) return;
  m_data.image = frame;
  m_data.pPicture.reset();
  Changed();
}

void CImageDocument::Changed() {
  if (m_data.pPicture && !m_data.image.isValid())
    m_display = CPaintweller::Picture2QImage(m_data.pPicture, gVO[VO_COLOUR_PROFILES].bFlag != 0);
  else
    m_display = m_data.image.isValid() ? ToQImage(m_data.image) : QImage();
  if (m_changed) m_changed();
}

void CImageDocument::MakeImage() const {
  if (!m_data.pPicture || m_data.image.isValid()) return;
  // The same pixels in the 16-bit form: the display form stays as it is.
  Magick::Image image;
  if (!MakeImageFromPixels(*m_data.pPicture, &image)) return;
  m_data.image = image;
  m_data.pPicture.reset();
}

QImage CImageDocument::ToQImage(const Magick::Image& source) {
  return CPaintweller::Object2QImage(source);
}
