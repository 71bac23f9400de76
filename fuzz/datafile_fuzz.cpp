// Arbitrary bytes as a data file: reading must not crash or hang, what was
// read must come back unchanged from writing and reading again, and the
// portfolio reader must cope with whatever counts and keys it finds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "corekit/datafile.h"
#include "corekit/slidesfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDataFile file;
  file.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = file.ToText();

  CDataFile again;
  again.LoadFromText(text);
  if (again.ToText() != text) std::abort();
  for (const MyString& section : file.GetSectionNames()) {
    for (const MyString& key : file.GetKeyNames(section)) {
      if (!(again.GetValue(key, section) == file.GetValue(key, section))) std::abort();
      if (again.GetInt(key, section) != file.GetInt(key, section)) std::abort();
    }
  }

  CSlidesFile slides;
  slides.Load(file);
  return 0;
}
