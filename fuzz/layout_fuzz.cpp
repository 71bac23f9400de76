// Arbitrary bytes as a pane layout file: reading must not crash and must
// stay within bounded recursion and memory, and what was read must write
// out, read back to the same layout and write the same bytes again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/layoutfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CLayoutFile file;
  file.ReadBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string written = file.ToBytes();

  CLayoutFile again;
  if (again.ReadBytes(written) != CLayoutFile::RR_READ) std::abort();
  if (!(again.Layout() == file.Layout()) || again.ToBytes() != written) std::abort();
  if (again.GetNextRuntimePaneId() > file.GetNextRuntimePaneId()) std::abort();
  return 0;
}
