// Arbitrary bytes as a keyboard-map file: reading must not crash, must put
// every event on an action of its own table, and what was read must write
// out and read back to the same assignment and the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "corekit/datafile.h"
#include "shell/keyboardmapfile.h"

namespace {

std::string Written(const KeyMapRows& rows) {
  CDataFile file;
  CKeyboardMapFile::Fill(file, rows);
  return file.ToText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDataFile file;
  file.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  KeyMapRows rows;
  CKeyboardMapFile::Read(file, rows);
  for (int i = 0; i < CMappingValues::kEventCount; ++i) {
    const uint32_t count = CMappingValues::ActionCount(CMappingValues::Events()[size_t(i)].nGroup);
    if (rows[size_t(i)].nApplied >= count || rows[size_t(i)].nEdited >= count) std::abort();
  }

  const std::string text = Written(rows);
  CDataFile again;
  again.LoadFromText(text);
  KeyMapRows back;
  for (tagKEYMAPROW& row : back) row = {1, 1};
  CKeyboardMapFile::Read(again, back);
  if (back != rows || Written(back) != text) std::abort();
  return 0;
}
