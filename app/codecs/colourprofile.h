#pragma once
// Embedded colour profiles for the screen: pixels of an image that carries
// an ICC profile (JPEG APP2, PNG iCCP, TIFF, Photoshop) are turned into sRGB
// with LittleCMS before they are shown, so a photo saved in Adobe RGB or
// Display P3 keeps its colours. Only what is shown is converted: the image
// and its file keep their own pixels and profile, so Save As and lossless
// rotation keep the profile. Any thread.

#include <cstddef>
#include <cstdint>
#include <string>

// Converts bgra (pixelCount pixels of blue, green, red, alpha; alpha kept)
// from the RGB profile in icc to the screen's profile (SetDisplayProfile;
// sRGB unless one is set), in place. 1 when converted; 0 when
// the pixels stay as they are: no profile, or one that is not an RGB
// profile LittleCMS can use (*warning then says why; the pixels are shown
// unconverted, never lost).
int ConvertBgraToSrgb(const void* icc, size_t iccSize, uint8_t* bgra, size_t pixelCount,
                      std::string* warning = nullptr);

// The monitor's own profile becomes the target of every conversion above
// (empty: sRGB again). 1 when taken; 0 when it is not an RGB profile
// LittleCMS can convert to (*warning says why; sRGB stays the target).
int SetDisplayProfile(const std::string& icc, std::string* warning = nullptr);
