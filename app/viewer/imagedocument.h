#pragma once
// The viewer's image document: the image (RGB after loading), its path and
// name, and the flags a load, an edit or a save change. It is the viewer's
// side of every load aimed at the viewer window (CLoadTarget): it owns the
// GIF animation and the progress monitor. GUI thread, apart from what
// LoadImage calls on the loading thread.

#include <QImage>
#include <functional>
#include <memory>

#include <Magick++.h>

#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "viewer/gifanimation.h"
#include "viewer/imageio.h"
#include "viewer/progressmonitor.h"

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
  // Whether autoplay runs (the slideshow); nothing animates then.
  void SetAutoplayQuery(std::function<bool()> query) { m_autoplay = std::move(query); }

  // Loads the file into the document with the viewer's load. 1 on success;
  // on failure the document is empty (no image, no path).
  int Open(const MyString& path, const SIZE* sizeHint = nullptr);
  // The image becomes the document's (the image service's pixel replace,
  // an acquisition); it counts as modified, so it is not dropped unasked.
  void ReplaceImage(const Magick::Image& image);
  // The same image with other settings (format options): no flag changes.
  void UpdateImage(const Magick::Image& image);
  void Clear();

  const Magick::Image& GetImage() const { return m_image; }
  Magick::Image& GetImage() { return m_image; }
  bool HasImage() const { return m_bHasImage; }
  const MyString& GetPath() const { return m_strPath; }
  const MyString& GetName() const { return m_strName; }
  void SetPath(const MyString& path);
  bool IsModified() const { return m_bModified; }
  void SetModified(bool modified) { m_bModified = modified; }
  bool HasTransparency() const { return m_bTransparent; }
  const Magick::Color& GetTransparencyColor() const { return m_colorTransparent; }
  // The image as the widget draws it (converted on change).
  const QImage& GetDisplayImage() const { return m_display; }

  CGifAnimation& GetAnimation() { return *m_animation; }
  CProgressMonitor& GetMonitor() { return m_monitor; }

  // CLoadTarget
  CProgressMonitor* GetProgressMonitor() override { return &m_monitor; }
  void StopAnimation() override;
  void StartAnimation(std::vector<Magick::Image> frames) override;
  bool IsAutoplayRunning() const override { return m_autoplay && m_autoplay(); }
  void OnLoadFinished(bool success, bool hasTransparency,
                      const Magick::Color& transparentColor) override;
  bool GetTransparency(Magick::Color* color) const override;

  // BGRA bytes of an image, as the widget draws it.
  static QImage ToQImage(const Magick::Image& image);

 private:
  void ShowFrame(const Magick::Image& frame);
  void Changed();

  // GraphicsMagick is started before the first image member is made.
  bool m_bLibraryReady;
  HWND m_hWindow = nullptr;
  Magick::Image m_image;
  QImage m_display;
  MyString m_strPath;
  MyString m_strName;
  bool m_bHasImage = false;
  bool m_bModified = false;
  bool m_bTransparent = false;
  Magick::Color m_colorTransparent;
  CProgressMonitor m_monitor;
  std::unique_ptr<CGifAnimation> m_animation;
  std::function<void()> m_changed;
  std::function<bool()> m_autoplay;
};
