#include "pixwork/sanescanner.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <sane/saneopts.h>

namespace {

std::mutex gInitLock;
int gInitCount = 0;

MyString StatusText(SANE_Status status) { return MyString::FromUtf8(sane_strstatus(status)); }

// Bits per pixel of one line of the frame.
uint64_t BitsPerPixel(const SANE_Parameters& p) {
  return uint64_t(p.depth) * (p.format == SANE_FRAME_RGB ? 3 : 1);
}

}  // namespace

// ---------------------------------------------------------------------------

int CScanAssembler::BeginFrame(const SANE_Parameters& p, MyString* error) {
  const bool single = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RED ||
                      p.format == SANE_FRAME_GREEN || p.format == SANE_FRAME_BLUE;
  if (!single && p.format != SANE_FRAME_RGB) {
    *error = u"The scanner sends a picture format Lorimo does not know.";
    return 0;
  }
  if (p.depth != 1 && p.depth != 8 && p.depth != 16) {
    *error = u"The scanner sends a sample depth Lorimo does not know.";
    return 0;
  }
  if (p.pixels_per_line <= 0 || p.pixels_per_line > kMaxSide || p.lines == 0 || p.lines < -1 ||
      p.lines > kMaxSide || p.bytes_per_line <= 0 ||
      uint64_t(p.bytes_per_line) * 8 < BitsPerPixel(p) * uint64_t(p.pixels_per_line) ||
      uint64_t(p.bytes_per_line) > uint64_t(p.pixels_per_line) * 6 + 4096 ||
      (p.lines > 0 && uint64_t(p.pixels_per_line) * uint64_t(p.lines) > kMaxPixels)) {
    *error = u"The scanner sends a picture size that cannot be right.";
    return 0;
  }
  const bool first = m_nWidth == 0;
  if (!first && p.pixels_per_line != m_nWidth) {
    *error = u"The scanner's frames differ in width.";
    return 0;
  }
  if (!(p.format == SANE_FRAME_GRAY)) m_bGrey = false;
  m_params = p;
  m_nFrameLine = 0;
  m_partial.clear();
  if (first) {
    m_nWidth = p.pixels_per_line;
    m_nLines = 0;
  }
  if (p.lines > 0 && p.lines > m_nLines) {
    m_samples.resize(size_t(m_nWidth) * size_t(p.lines) * 3, 0);
    m_nLines = p.lines;
  }
  return 1;
}

int CScanAssembler::Add(const uint8_t* data, size_t size, MyString* error) {
  const size_t lineBytes = size_t(m_params.bytes_per_line);
  while (size > 0) {
    const size_t take = std::min(size, lineBytes - m_partial.size());
    m_partial.insert(m_partial.end(), data, data + take);
    data += take;
    size -= take;
    if (m_partial.size() < lineBytes) break;
    if (m_params.lines > 0 && m_nFrameLine >= m_params.lines) {
      // More lines than announced: the rest is not ours to keep.
      m_partial.clear();
      continue;
    }
    if (m_nFrameLine >= m_nLines) {
      if (m_nFrameLine >= kMaxSide ||
          uint64_t(m_nWidth) * uint64_t(m_nFrameLine + 1) > kMaxPixels) {
        *error = u"The scanner sends more lines than a picture may have.";
        return 0;
      }
      m_samples.resize(size_t(m_nWidth) * size_t(m_nFrameLine + 1) * 3, 0);
      m_nLines = m_nFrameLine + 1;
    }
    DecodeLine(m_partial.data());
    m_partial.clear();
    ++m_nFrameLine;
  }
  return 1;
}

void CScanAssembler::DecodeLine(const uint8_t* line) {
  uint16_t* out = m_samples.data() + size_t(m_nFrameLine) * size_t(m_nWidth) * 3;
  const SANE_Parameters& p = m_params;
  const int channels = p.format == SANE_FRAME_RGB ? 3 : 1;
  auto sample = [&](int index) -> uint16_t {
    switch (p.depth) {
      case 1: {
        const bool set = (line[index / 8] >> (7 - index % 8)) & 1;
        // Grey line art: a set bit is black; a colour bit is full intensity.
        return p.format == SANE_FRAME_GRAY ? (set ? 0 : 65535) : (set ? 65535 : 0);
      }
      case 8:
        return uint16_t(line[index] * 257);
      default: {
        uint16_t value;
        std::memcpy(&value, line + size_t(index) * 2, 2);  // host order
        return value;
      }
    }
  };
  for (int x = 0; x < m_nWidth; ++x) {
    uint16_t* pixel = out + size_t(x) * 3;
    switch (p.format) {
      case SANE_FRAME_GRAY:
        pixel[0] = pixel[1] = pixel[2] = sample(x);
        break;
      case SANE_FRAME_RGB:
        for (int c = 0; c < 3; ++c) pixel[c] = sample(x * channels + c);
        break;
      case SANE_FRAME_RED:
        pixel[0] = sample(x);
        break;
      case SANE_FRAME_GREEN:
        pixel[1] = sample(x);
        break;
      case SANE_FRAME_BLUE:
        pixel[2] = sample(x);
        break;
    }
  }
}

void CScanAssembler::EndFrame() { m_partial.clear(); }

int CScanAssembler::Percent() const {
  if (m_params.lines <= 0) return -1;
  return int(int64_t(m_nFrameLine) * 100 / m_params.lines);
}

int CScanAssembler::Finish(Magick::Image* image, MyString* error) const {
  if (m_nWidth <= 0 || m_nLines <= 0) {
    *error = u"The scanner sent no picture.";
    return 0;
  }
  try {
    Magick::Image result(Magick::Geometry(size_t(m_nWidth), size_t(m_nLines)),
                         Magick::Color(0, 0, 0));
    result.modifyImage();
    result.type(m_bGrey ? Magick::GrayscaleType : Magick::TrueColorType);
    Magick::PixelPacket* pixels = result.getPixels(0, 0, size_t(m_nWidth), size_t(m_nLines));
    const uint16_t* in = m_samples.data();
    for (size_t i = 0, n = size_t(m_nWidth) * size_t(m_nLines); i < n; ++i, in += 3) {
      pixels[i].red = Magick::Quantum(in[0] * (MaxRGB / 65535.0) + 0.5);
      pixels[i].green = Magick::Quantum(in[1] * (MaxRGB / 65535.0) + 0.5);
      pixels[i].blue = Magick::Quantum(in[2] * (MaxRGB / 65535.0) + 0.5);
      pixels[i].opacity = OpaqueOpacity;
    }
    result.syncPixels();
    result.magick("PNG");
    *image = result;
    return 1;
  } catch (const Magick::Exception& e) {
    *error = MyString::FromUtf8(e.what());
    return 0;
  }
}

// ---------------------------------------------------------------------------

CSaneScanner::CSaneScanner() = default;

CSaneScanner::~CSaneScanner() { Close(); }

int CSaneScanner::Init(MyString* error) {
  std::lock_guard<std::mutex> lock(gInitLock);
  if (gInitCount == 0) {
    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD) {
      if (error) *error = StatusText(status);
      return 0;
    }
  }
  ++gInitCount;
  return 1;
}

void CSaneScanner::Exit() {
  std::lock_guard<std::mutex> lock(gInitLock);
  if (gInitCount > 0 && --gInitCount == 0) sane_exit();
}

int CSaneScanner::ListDevices(std::vector<tagSANEDEVICE>* devices, MyString* error) {
  devices->clear();
  const SANE_Device** list = nullptr;
  const SANE_Status status = sane_get_devices(&list, SANE_FALSE);
  if (status != SANE_STATUS_GOOD) {
    if (error) *error = StatusText(status);
    return 0;
  }
  for (int i = 0; list && list[i]; ++i) {
    const SANE_Device* device = list[i];
    std::string label = std::string(device->vendor ? device->vendor : "") + " " +
                        (device->model ? device->model : "");
    devices->push_back({device->name ? device->name : "", label});
  }
  return 1;
}

int CSaneScanner::Fail(SANE_Status status, const char* what) {
  m_nLastStatus = status;
  m_strLastError = MyString::FromUtf8(std::string(what) + ": " + sane_strstatus(status));
  return 0;
}

int CSaneScanner::Open(const std::string& name) {
  Close();
  std::string device = name;
  if (device.empty()) {
    if (const char* chosen = std::getenv("SANE_DEFAULT_DEVICE")) device = chosen;
  }
  if (device.empty()) {
    std::vector<tagSANEDEVICE> devices;
    if (!ListDevices(&devices, &m_strLastError)) return 0;
    if (devices.empty()) {
      m_nLastStatus = SANE_STATUS_INVAL;
      m_strLastError = u"No scanner was found.";
      return 0;
    }
    device = devices[0].strName;
  }
  const SANE_Status status = sane_open(device.c_str(), &m_handle);
  if (status != SANE_STATUS_GOOD) {
    m_handle = nullptr;
    return Fail(status, "The scanner cannot be opened");
  }
  m_strDevice = device;
  return 1;
}

void CSaneScanner::Close() {
  if (!m_handle) return;
  sane_cancel(m_handle);
  sane_close(m_handle);
  m_handle = nullptr;
}

int CSaneScanner::FindOption(const std::string& name) const {
  if (!m_handle) return -1;
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* option = sane_get_option_descriptor(m_handle, i);
    if (!option) return -1;
    if (option->name && name == option->name) return i;
  }
}

std::string CSaneScanner::GetOption(const std::string& name) const {
  const int index = FindOption(name);
  if (index < 0) return {};
  const SANE_Option_Descriptor* option = sane_get_option_descriptor(m_handle, index);
  if (!SANE_OPTION_IS_ACTIVE(option->cap) || option->size <= 0) return {};
  std::vector<char> value(size_t(option->size) + 1, 0);
  if (sane_control_option(m_handle, index, SANE_ACTION_GET_VALUE, value.data(), nullptr) !=
      SANE_STATUS_GOOD)
    return {};
  switch (option->type) {
    case SANE_TYPE_BOOL:
      return *reinterpret_cast<SANE_Bool*>(value.data()) ? "yes" : "no";
    case SANE_TYPE_INT:
      return std::to_string(*reinterpret_cast<SANE_Int*>(value.data()));
    case SANE_TYPE_FIXED: {
      char text[32];
      std::snprintf(text, sizeof text, "%g",
                    SANE_UNFIX(*reinterpret_cast<SANE_Fixed*>(value.data())));
      return text;
    }
    case SANE_TYPE_STRING:
      return value.data();
    default:
      return {};
  }
}

int CSaneScanner::SetOption(const std::string& name, const std::string& text) {
  const int index = FindOption(name);
  if (index < 0) {
    m_nLastStatus = SANE_STATUS_INVAL;
    m_strLastError = MyString::FromUtf8("The scanner has no option " + name);
    return 0;
  }
  const SANE_Option_Descriptor* option = sane_get_option_descriptor(m_handle, index);
  if (!SANE_OPTION_IS_SETTABLE(option->cap) || !SANE_OPTION_IS_ACTIVE(option->cap)) {
    m_nLastStatus = SANE_STATUS_INVAL;
    m_strLastError = MyString::FromUtf8("The option " + name + " cannot be set now");
    return 0;
  }
  std::vector<char> value(std::max<size_t>(size_t(option->size), sizeof(SANE_Word)) + 1, 0);
  switch (option->type) {
    case SANE_TYPE_BOOL: {
      const SANE_Bool on = text == "yes" || text == "1" || text == "true";
      std::memcpy(value.data(), &on, sizeof on);
      break;
    }
    case SANE_TYPE_INT: {
      const SANE_Int number = SANE_Int(std::lround(std::atof(text.c_str())));
      std::memcpy(value.data(), &number, sizeof number);
      break;
    }
    case SANE_TYPE_FIXED: {
      const SANE_Fixed number = SANE_FIX(std::atof(text.c_str()));
      std::memcpy(value.data(), &number, sizeof number);
      break;
    }
    case SANE_TYPE_STRING:
      if (text.size() >= size_t(option->size)) return Fail(SANE_STATUS_INVAL, name.c_str());
      std::memcpy(value.data(), text.c_str(), text.size() + 1);
      break;
    default:
      return Fail(SANE_STATUS_UNSUPPORTED, name.c_str());
  }
  const SANE_Status status =
      sane_control_option(m_handle, index, SANE_ACTION_SET_VALUE, value.data(), nullptr);
  if (status != SANE_STATUS_GOOD) return Fail(status, name.c_str());
  return 1;
}

std::vector<tagSANEOPTION> CSaneScanner::GetOptions() const {
  std::vector<tagSANEOPTION> options;
  if (!m_handle) return options;
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* descriptor = sane_get_option_descriptor(m_handle, i);
    if (!descriptor) break;
    if (!descriptor->name || descriptor->type == SANE_TYPE_GROUP ||
        descriptor->type == SANE_TYPE_BUTTON)
      continue;
    tagSANEOPTION option;
    option.strName = descriptor->name;
    option.strTitle = descriptor->title ? descriptor->title : descriptor->name;
    option.nType = descriptor->type;
    option.nUnit = descriptor->unit;
    option.bActive = SANE_OPTION_IS_ACTIVE(descriptor->cap);
    if (descriptor->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
      for (const SANE_String_Const* s = descriptor->constraint.string_list; s && *s; ++s)
        option.choices.push_back(*s);
    } else if (descriptor->constraint_type == SANE_CONSTRAINT_RANGE) {
      const SANE_Range* range = descriptor->constraint.range;
      const bool fixed = descriptor->type == SANE_TYPE_FIXED;
      option.dMin = fixed ? SANE_UNFIX(range->min) : range->min;
      option.dMax = fixed ? SANE_UNFIX(range->max) : range->max;
    } else if (descriptor->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
      const SANE_Word* words = descriptor->constraint.word_list;
      for (int k = 1; words && k <= words[0]; ++k)
        option.choices.push_back(descriptor->type == SANE_TYPE_FIXED
                                     ? std::to_string(SANE_UNFIX(words[k]))
                                     : std::to_string(words[k]));
    }
    option.strValue = GetOption(option.strName);
    options.push_back(std::move(option));
  }
  return options;
}

bool CSaneScanner::IsFeeder() const {
  std::string source = GetOption(SANE_NAME_SCAN_SOURCE);
  std::transform(source.begin(), source.end(), source.begin(), ::tolower);
  return source.find("feeder") != std::string::npos || source.find("adf") != std::string::npos;
}

int CSaneScanner::ScanPage(Magick::Image* image, const std::function<void(int)>& progress) {
  if (!m_handle) return Fail(SANE_STATUS_INVAL, "No scanner is open");
  m_bCancelled = false;
  CScanAssembler frames;
  std::vector<uint8_t> buffer(1 << 16);
  for (;;) {
    SANE_Status status = sane_start(m_handle);
    if (status == SANE_STATUS_NO_DOCS) {
      m_nLastStatus = status;
      m_strLastError = StatusText(status);
      return -1;
    }
    if (status != SANE_STATUS_GOOD) {
      sane_cancel(m_handle);
      return Fail(status, "The scan did not start");
    }
    SANE_Parameters parameters{};
    status = sane_get_parameters(m_handle, &parameters);
    if (status != SANE_STATUS_GOOD) {
      sane_cancel(m_handle);
      return Fail(status, "The scanner gave no picture size");
    }
    if (!frames.BeginFrame(parameters, &m_strLastError)) {
      sane_cancel(m_handle);
      m_nLastStatus = SANE_STATUS_INVAL;
      return 0;
    }
    if (progress) progress(0);
    for (;;) {
      SANE_Int length = 0;
      status = sane_read(m_handle, buffer.data(), SANE_Int(buffer.size()), &length);
      if (status == SANE_STATUS_EOF) break;
      if (status != SANE_STATUS_GOOD || m_bCancelled) {
        sane_cancel(m_handle);
        return Fail(m_bCancelled ? SANE_STATUS_CANCELLED : status, "The scan failed");
      }
      if (!frames.Add(buffer.data(), size_t(std::max<SANE_Int>(length, 0)), &m_strLastError)) {
        sane_cancel(m_handle);
        m_nLastStatus = SANE_STATUS_NO_MEM;
        return 0;
      }
      if (progress) progress(frames.Percent());
    }
    if (m_bCancelled) {
      // The backend may end a cancelled frame as if it were complete.
      sane_cancel(m_handle);
      return Fail(SANE_STATUS_CANCELLED, "The scan failed");
    }
    frames.EndFrame();
    if (parameters.last_frame) break;
  }
  if (!frames.Finish(image, &m_strLastError)) {
    m_nLastStatus = SANE_STATUS_INVAL;
    return 0;
  }
  m_nLastStatus = SANE_STATUS_GOOD;
  return 1;
}

void CSaneScanner::EndScan() {
  if (m_handle) sane_cancel(m_handle);
}

void CSaneScanner::Cancel() {
  m_bCancelled = true;
  if (m_handle) sane_cancel(m_handle);
}
