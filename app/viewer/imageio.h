#pragma once
// LoadImage and SaveImage: the viewer's reads and writes, on the codec layer
// (codecs/imagereader.h, codecs/imagewriter.h) with the viewer's load slot,
// stop event, progress strip and message boxes on top. Work that is not the
// viewer's reads through the codec layer directly. Any thread; message
// boxes are shown on the GUI thread.

#include <functional>
#include <memory>
#include <vector>

#include <Magick++.h>

#include "codecs/imagereader.h"
#include "codecs/imagewriter.h"
#include "corekit/messages.h"
#include "corekit/mystring.h"
#include "viewer/readahead.h"

class CProgressMonitor;

// What a viewer window adds to the loads aimed at it (its document,
// animation and progress strip). Registered under the viewer's window
// handle; LoadImage calls it on the loading thread.
class CLoadTarget {
 public:
  virtual ~CLoadTarget() = default;
  virtual CProgressMonitor* GetProgressMonitor() = 0;
  // Before the read: a running GIF animation stops, its frames are dropped.
  virtual void StopAnimation() = 0;
  // A GIF of two or more frames, coalesced; the first frame is the image.
  virtual void StartAnimation(std::vector<Magick::Image> frames) = 0;
  virtual bool IsAutoplayRunning() const = 0;
  // The plug-ins hear of the path before it is read, and may read it when
  // we cannot (1 when one did; else *reason may say why they could not).
  virtual void NotifyPluginsOpening(const MyString& path) {}
  virtual int OfferToPlugins(const MyString& path, Magick::Image* image, const SIZE* sizeHint,
                             MyString* reason) {
    return 0;
  }
  // The load ended (not called while the program closes). On success the
  // modified flag is cleared and the transparency flag and colour taken;
  // orientation is the EXIF Orientation the image was turned from to stand
  // upright, 0 when it was not turned by one (the pixels as stored).
  virtual void OnLoadFinished(bool success, bool hasTransparency,
                              const Magick::Color& transparentColor, int orientation) = 0;
  // The document's transparency colour, when it has one (SaveImage).
  virtual bool GetTransparency(Magick::Color* color) const = 0;
  // Images decoded ahead for this viewer (null: none).
  virtual CReadAhead* GetReadAhead() { return nullptr; }
};

void RegisterLoadTarget(HWND window, CLoadTarget* target);
void UnregisterLoadTarget(HWND window);

// Reads path into *image. target is the viewer window when the viewer loads
// (null for every other caller); bReport asks for a message box on failure;
// sizeHint (optional) lets a JPEG decode at reduced size. 1 on success, 0
// on failure. A load cancelled from the progress strip, or cut short by the
// program closing, gives a 10 x 10 black image and 0. With picture (the
// viewer's own loads), a photo may come as 8-bit pixels in *picture
// instead, *image then left empty (MakeImageFromPixels gives it).
int LoadImage(HWND target, const MyString& path, Magick::Image* image, int bReport,
              const SIZE* sizeHint = nullptr,
              std::shared_ptr<const CPixelPicture>* picture = nullptr);

// Writes the image to path, the format following the extension (a path
// without one keeps the image's own format). The file is replaced only
// once the new one is complete. When owner is the viewer whose document
// has a transparency colour, that colour is written as transparent.
// write says how the name is treated and may finish the bytes (EXIF); its
// failures are reported as any other: in a message box unless "do not show
// errors" is set, or always when reportAlways (a change of the user's own
// file that did not happen must be told).
bool SaveImage(HWND owner, const MyString& path, const Magick::Image& image,
               const tagIMAGEWRITE& write = tagIMAGEWRITE(), bool reportAlways = false);

// The size from the file's header only, as LoadImage would read the file
// (files without extension by the chosen format). 1 on success.
int ReadImageHeader(const MyString& path, SIZE* size);

// How a viewer load of path would read it, as a read-ahead key (the
// settings as they are now). False when such a file may not be opened.
bool ViewerReadAheadKey(const MyString& path, const SIZE* sizeHint, tagREADAHEADKEY* key);

// The short message of the last failed load ("Unknown error" when it was
// no decoder error).
MyString GetLastLoadError();

// Where the load and save message boxes go (owner, text, caption); an empty
// function restores the message boxes. Tests record them instead.
using ImageMessageSink =
    std::function<void(HWND owner, const MyString& text, const MyString& caption)>;
void SetImageMessageSink(ImageMessageSink sink);
