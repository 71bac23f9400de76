#pragma once
// Connects the thumbnail cache to the rest of the program: its start-up and
// shut-down, the turn of a file, the image service's thumbnails, Save As
// and the "Thumbnail options" page. GUI thread.

#include <Magick++.h>

#include "corekit/mystring.h"

class CImageService;
class CThumbnailMaker;

// Sets the program hooks and the service's thumbnail request (service may
// be null).
void InstallThumbnailHooks(CImageService* service);

// After Save As wrote image to target: the target's entry made anew.
void RefreshCachedThumbnail(const MyString& target, const Magick::Image& image);

// A maker as the program's settings want it: pictures upright as the viewer
// shows them, and the plug-ins asked for files no reader of ours takes.
// GUI thread.
void ConfigureThumbnailMaker(CThumbnailMaker& maker);
