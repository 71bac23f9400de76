#pragma once
// CStrAW: the one place where 8-bit text (UTF-8 on this system) and wide
// text (UTF-16) meet, plus formatted wide text and text to number.

#include <filesystem>
#include <string>
#include <string_view>

#include "corekit/mystring.h"

class CStrAW {
 public:
  // UTF-8 to UTF-16. Invalid sequences become U+FFFD; check IsValidUtf8
  // first where a lossless round trip matters (file names from disk).
  static MyString a_toW(std::string_view utf8);
  // UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
  static std::string w_toA(const MyString& wide);
  static bool IsValidUtf8(std::string_view bytes);

  // File-system paths go through UTF-8 here and nowhere else.
  static std::filesystem::path ToPath(const MyString& path);
  static MyString FromPath(const std::filesystem::path& path);

  // printf-style wide text. Supports the flags "-+ 0#", width, precision,
  // the length modifiers h, l, ll, z, and the conversions d i u x X o c f F
  // e E g G p %; %s takes a const char16_t* (null prints "(null)") and %S
  // a UTF-8 const char*. Numbers always use '.' as decimal point.
  static MyString printf(const char16_t* format, ...);

  // Leading number of the text as a double ("12.5px" gives 12.5), always
  // with '.' as decimal point; 0 when there is none.
  static double ToDouble(const MyString& text);
};
