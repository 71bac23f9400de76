#include "corekit/straw.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Numbers are formatted and parsed with '.' whatever the user's locale.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return c;
}

// Decodes one UTF-8 sequence at s[i]; returns the code point or -1 and
// advances i past what was consumed (one byte on error).
long DecodeUtf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  long cp;
  long min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  if (i + size_t(len) > s.size()) {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + size_t(k)]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += size_t(len);
  return cp;
}

void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// Appends text with printf's width, precision and '-' flag applied.
void AppendPadded(std::u16string& out, std::u16string_view text, bool left, int width,
                  int precision) {
  if (precision >= 0 && size_t(precision) < text.size()) text = text.substr(0, size_t(precision));
  const size_t pad = (width > 0 && size_t(width) > text.size()) ? size_t(width) - text.size() : 0;
  if (!left) out.append(pad, u' ');
  out.append(text);
  if (left) out.append(pad, u' ');
}

}  // namespace

MyString CStrAW::a_toW(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const long cp = DecodeUtf8(utf8, i);
    if (cp < 0) {
      out += kReplacement;
    } else if (cp >= 0x10000) {
      out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return MyString(std::move(out));
}

std::string CStrAW::w_toA(const MyString& wide) {
  const std::u16string& w = wide.str();
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    unsigned long cp = w[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 &&
        w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

bool CStrAW::IsValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size())
    if (DecodeUtf8(bytes, i) < 0) return false;
  return true;
}

std::filesystem::path CStrAW::ToPath(const MyString& path) {
  return std::filesystem::path(w_toA(path));
}

MyString CStrAW::FromPath(const std::filesystem::path& path) { return a_toW(path.native()); }

MyString CStrAW::printf(const char16_t* format, ...) {
  std::u16string out;
  if (!format) return MyString();
  const locale_t previousLocale = uselocale(CLocale());
  va_list args;
  va_start(args, format);
  for (const char16_t* p = format; *p;) {
    if (*p != u'%') {
      out += *p++;
      continue;
    }
    const char16_t* start = p++;
    if (*p == u'%') {
      out += u'%';
      ++p;
      continue;
    }
    // Collect the conversion into an 8-bit conversion for snprintf.
    std::string conversion = "%";
    bool left = false;
    while (*p && std::strchr("-+ 0#", char(*p))) {
      if (*p == u'-') left = true;
      conversion += char(*p++);
    }
    int width = -1, precision = -1;
    if (*p == u'*') {
      width = va_arg(args, int);
      if (width < 0) left = true, width = -width;
      conversion += std::to_string(width);
      ++p;
    } else {
      if (*p >= u'0' && *p <= u'9') width = 0;
      while (*p >= u'0' && *p <= u'9') {
        width = width * 10 + (*p - u'0');
        conversion += char(*p++);
      }
    }
    if (*p == u'.') {
      conversion += '.';
      ++p;
      precision = 0;
      if (*p == u'*') {
        precision = va_arg(args, int);
        conversion += std::to_string(precision < 0 ? 0 : precision);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') {
          precision = precision * 10 + (*p - u'0');
          conversion += char(*p++);
        }
      }
    }
    std::string length;
    while (*p == u'h' || *p == u'l' || *p == u'z') length += char(*p++);
    const char16_t conv = *p;
    if (!conv) {  // a lone '%' at the end is printed as it stands
      out.append(start, p);
      break;
    }
    ++p;
    char buf[512];
    buf[0] = 0;
    switch (conv) {
      case u'd':
      case u'i':
        if (length == "ll")
          std::snprintf(buf, sizeof buf, (conversion + "lld").c_str(), va_arg(args, long long));
        else if (length == "l")
          std::snprintf(buf, sizeof buf, (conversion + "ld").c_str(), va_arg(args, long));
        else if (length == "z")
          std::snprintf(buf, sizeof buf, (conversion + "zd").c_str(), va_arg(args, ptrdiff_t));
        else
          std::snprintf(buf, sizeof buf, (conversion + "d").c_str(), va_arg(args, int));
        break;
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        const char c = char(conv);
        if (length == "ll")
          std::snprintf(buf, sizeof buf, (conversion + "ll" + c).c_str(),
                        va_arg(args, unsigned long long));
        else if (length == "l")
          std::snprintf(buf, sizeof buf, (conversion + "l" + c).c_str(),
                        va_arg(args, unsigned long));
        else if (length == "z")
          std::snprintf(buf, sizeof buf, (conversion + "z" + c).c_str(), va_arg(args, size_t));
        else
          std::snprintf(buf, sizeof buf, (conversion + c).c_str(), va_arg(args, unsigned));
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
        std::snprintf(buf, sizeof buf, (conversion + char(conv)).c_str(), va_arg(args, double));
        break;
      case u'p':
        std::snprintf(buf, sizeof buf, "%p", va_arg(args, void*));
        break;
      case u'c': {
        const char16_t ch = char16_t(va_arg(args, int));
        AppendPadded(out, std::u16string_view(&ch, 1), left, width, -1);
        continue;
      }
      case u's': {
        const char16_t* s = va_arg(args, const char16_t*);
        AppendPadded(out, s ? std::u16string_view(s) : std::u16string_view(u"(null)"), left, width,
                     precision);
        continue;
      }
      case u'S': {
        const char* s = va_arg(args, const char*);
        const MyString w = a_toW(s ? s : "(null)");
        AppendPadded(out, w.str(), left, width, precision);
        continue;
      }
      default:  // unknown conversion: print it as written
        out.append(start, p);
        continue;
    }
    for (const char* b = buf; *b; ++b) out += char16_t(static_cast<unsigned char>(*b));
  }
  va_end(args);
  uselocale(previousLocale);
  return MyString(std::move(out));
}

double CStrAW::ToDouble(const MyString& text) {
  // Only ASCII can form a number; anything else ends it.
  std::string ascii;
  for (char16_t c : text.str()) {
    if (c >= 0x80) break;
    ascii += char(c);
  }
  const char* begin = ascii.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  char* end = nullptr;
  const double value = strtod_l(begin, &end, CLocale());
  return end == begin ? 0.0 : value;
}
