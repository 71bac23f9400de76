#pragma once
// The viewer's image document: the image (RGB after loading), its path and
// name, and the flags a load, an edit or a save change. These live in the
// viewer's geometry record (tagIMAGEDATA), which the document owns, so the
// viewer has one image that the geometry, the drawing and the editing all
// see. It is the viewer's side of every load aimed at the viewer window
// (CLoadTarget): it owns the GIF animation and the progress monitor. GUI
// thread, apart from what LoadImage calls on the loading thread.

#include <QImage>
#include <atomic>
#include <functional>
#include <memory>

#include <Magick++.h>

#include "corekit/atomicfile.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "viewer/gifanimation.h"
#include "viewer/imagedata.h"
#include "viewer/imageio.h"
#include "viewer/progressmonitor.h"

// One viewer load as it comes back to the GUI thread (possibly from a
// worker): what the document takes in TakeLoaded.
struct tagLOADEDIMAGE {
  uint64_t nRequest = 0;  // the stepper's request counter
  int nIndex = -1;        // the folder position it was loaded for
  MyString strPath;
  // The file the path led to when the load began.
  tagFILEIDENTITY fileIdentity;
  // The image; the 10 x 10 black stand-in when the load failed. A photo
  // comes as its 8-bit pixels instead (image empty).
  Magick::Image image;
  std::shared_ptr<const CPixelPicture> picture;
  bool bLoaded = false;
  // The position named an entry that cannot be loaded (an empty file): no
  // load was made and the shown image stays.
  bool bSkipped = false;
  bool bTransparent = false;
  Magick::Color colorTransparent;
  bool bAnimated = false;  // it started the document's GIF animation
  int nOrientation = 0;    // see CImageDocument::GetShownOrientation
  MyString strError;       // the short text of a failed load
};

// Loads path with the viewer's load (target viewer; bReport as the viewer
// passes it). Any thread. 1 on success; on failure *out holds the black
// stand-in and the error text.
int LoadViewerImage(HWND viewer, const MyString& path, int bReport, const SIZE* sizeHint,
                    tagLOADEDIMAGE* out);

// The 10 x 10 black image a failed viewer load shows.
Magick::Image MakeStandInImage();

class CImageDocument : public CLoadTarget {
 public:
  CImageDocument();
  ~CImageDocument() override;
  CImageDocument(const CImageDocument&) = delete;
  CImageDocument& operator=(const CImageDocument&) = delete;

  // The viewer window loads go to; registered as the load target.
  void SetWindow(HWND viewer);
  HWND GetWindow() const { return m_hWindow; }
  // Called whenever the shown image changed (load, animation frame, replace).
  void SetChangedHandler(std::function<void()> changed) { m_changed = std::move(changed); }
  // Whether autoplay runs (the slideshow); nothing animates then. Called
  // on loading threads too.
  void SetAutoplayQuery(std::function<bool()> query) { m_autoplay = std::move(query); }

  // Loads the file into the document with the viewer's load. 1 on success;
  // on failure the document is empty (no image, no path; the record holds
  // the black stand-in).
  int Open(const MyString& path, const SIZE* sizeHint = nullptr);
  // A finished viewer load becomes the document's image (the black
  // stand-in, without image and path, when it failed).
  void TakeLoaded(const tagLOADEDIMAGE& loaded);
  // The image becomes the document's (the image service's pixel replace,
  // an acquisition); it counts as modified, so it is not dropped unasked.
  void ReplaceImage(const Magick::Image& image);
  // The same image with other settings (format options): no flag changes.
  void UpdateImage(const Magick::Image& image);
  void Clear();

  // The geometry record: the image and its file live here.
  tagIMAGEDATA& GetData() { return m_data; }
  const tagIMAGEDATA& GetData() const { return m_data; }

  // The image that edits, filters and saves work on. A photo only looked
  // at so far is held as 8-bit pixels: its image is made from them here,
  // on first use (empty when memory runs out).
  const Magick::Image& GetImage() const {
    MakeImage();
    return m_data.image;
  }
  Magick::Image& GetImage() {
    MakeImage();
    return m_data.image;
  }
  bool HasImage() const { return m_bHasImage; }
  // There are pixels to show and to edit (without making the image).
  bool HasPixels() const { return m_bHasImage && ::HasPixels(m_data); }
  const MyString& GetPath() const { return m_data.strFilePath; }
  const MyString& GetName() const { return m_data.strFileName; }
  // The path becomes the document's file, as that file is now.
  void SetPath(const MyString& path);
  // The file the document's path led to when it was loaded or named; a
  // write over the path replaces only that file (not one swapped in since).
  const tagFILEIDENTITY& GetFileIdentity() const { return m_fileIdentity; }
  // How the shown image relates to its file's pixels: 0 as stored (the EXIF
  // Orientation not applied), 1..8 upright, turned from that orientation
  // (1: the file's pixels are upright already).
  int GetShownOrientation() const { return m_nShownOrientation; }
  // The file now holds the image's pixels as shown (written upright).
  void SetShownOrientation(int orientation) { m_nShownOrientation = orientation; }
  // Counts loads, replacements and edits (not animation frames): work on a
  // copy of the image commits only while it is unchanged.
  uint64_t GetEdition() const { return m_nEdition; }
  bool IsModified() const { return m_data.bModified; }
  void SetModified(bool modified) { m_data.bModified = modified; }
  bool HasTransparency() const { return m_data.bTransparent != 0; }
  const Magick::Color& GetTransparencyColor() const { return m_data.colorTransparent; }
  // The record's image as the widget draws it (converted on change); also
  // the stand-in of a failed load.
  const QImage& GetDisplayImage() const { return m_display; }

  CGifAnimation& GetAnimation() { return *m_animation; }
  CProgressMonitor& GetMonitor() { return m_monitor; }

  // CLoadTarget
  CProgressMonitor* GetProgressMonitor() override { return &m_monitor; }
  void StopAnimation() override;
  void StartAnimation(std::vector<Magick::Image> frames) override;
  bool IsAutoplayRunning() const override { return m_autoplay && m_autoplay(); }
  // Kept for the thread that loads: LoadViewerImage hands the flags on
  // with the image, and TakeLoaded applies them on the GUI thread.
  void OnLoadFinished(bool success, bool hasTransparency, const Magick::Color& transparentColor,
                      int orientation) override;
  bool GetTransparency(Magick::Color* color) const override;
  CReadAhead* GetReadAhead() override { return &m_readAhead; }
  void NotifyPluginsOpening(const MyString& path) override {
    if (m_pluginOpening) m_pluginOpening(path);
  }
  int OfferToPlugins(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                     MyString* reason) override {
    return m_pluginOffer ? m_pluginOffer(path, image, sizeHint, reason) : 0;
  }
  // The plug-in host's side of loads (set before any load runs; loading
  // threads call them).
  void SetPluginHandlers(
      std::function<void(const MyString&)> opening,
      std::function<int(const MyString&, Magick::Image*, const SIZE*, MyString*)> offer) {
    m_pluginOpening = std::move(opening);
    m_pluginOffer = std::move(offer);
  }

  // BGRA bytes of an image, as the widget draws it.
  static QImage ToQImage(const Magick::Image& image);

 private:
  void ShowFrame(const Magick::Image& frame);
  void Changed();
  void MakeImage() const;

  // GraphicsMagick is started before the first image member is made.
  bool m_bLibraryReady;
  std::function<void(const MyString&)> m_pluginOpening;
  std::function<int(const MyString&, Magick::Image*, const SIZE*, MyString*)> m_pluginOffer;
  HWND m_hWindow = nullptr;
  // Mutable: the image held as pixels is made when a reader first asks.
  mutable tagIMAGEDATA m_data;
  tagFILEIDENTITY m_fileIdentity;
  QImage m_display;
  bool m_bHasImage = false;
  int m_nShownOrientation = 0;
  uint64_t m_nEdition = 0;
  // Frames come from the animation of the image shown; a GIF loading on a
  // worker starts its animation before the document takes it.
  std::atomic<bool> m_bFramesAccepted{false};
  CProgressMonitor m_monitor;
  std::unique_ptr<CGifAnimation> m_animation;
  std::function<void()> m_changed;
  std::function<bool()> m_autoplay;
  CReadAhead m_readAhead;
};
