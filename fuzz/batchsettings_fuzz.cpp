// Arbitrary bytes as a batch settings file: reading must not crash, a file
// it refuses must name a key and leave the settings alone, and what it
// accepts must come back the same from writing and reading again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "collections/batchsettings.h"
#include "corekit/datafile.h"

namespace {

bool Same(const tagBATCHSETTINGS& a, const tagBATCHSETTINGS& b) {
  CDataFile fa, fb;
  WriteBatchSettings(fa, a);
  WriteBatchSettings(fb, b);
  return fa.ToText() == fb.ToText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDataFile file;
  file.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  const tagBATCHSETTINGS defaults;
  tagBATCHSETTINGS settings;
  MyString error;
  if (!ReadBatchSettings(file, &settings, &error)) {
    if (error.IsEmpty() || !Same(settings, defaults)) std::abort();
    return 0;
  }
  CDataFile written;
  WriteBatchSettings(written, settings);
  tagBATCHSETTINGS again;
  if (!ReadBatchSettings(written, &again, &error) || !Same(again, settings)) std::abort();
  return 0;
}
