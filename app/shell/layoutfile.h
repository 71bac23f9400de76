#pragma once
// The pane layout file: where the tool panes sit, as a small binary file
// per user. "ZOKA Layout File", version 400, the root pane trees, then the
// edge-bar lists left, top, right and bottom. A pane tree is the pane's
// 64-byte record, then its tab panes' trees, then its first and second
// split parts' trees. Every number is 32-bit little-endian.
//
// The reader does not trust the file: counts and nesting are bounded by
// the bytes left, a pane whose identifier was already read is dropped, and
// a damaged file keeps the panes read before the damage.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corekit/mystring.h"

// One pane as the file records it, with the panes it holds.
struct tagLAYOUTPANE {
  static constexpr int32_t kNoPane = 4444;
  // Identifiers above this belong to panes created at run time.
  static constexpr int32_t kLastFixedId = 3333;
  static constexpr int32_t kSideLeft = 0x10000;
  static constexpr int32_t kSideRight = 0x20000;
  static constexpr int32_t kSideTop = 0x40000;
  static constexpr int32_t kSideBottom = 0x80000;
  static constexpr int32_t kSideTab = 0x100000;
  static constexpr int32_t kAllSides = 0xF0000;
  static constexpr int32_t kMainView = 0x40;

  int32_t nId = 0;
  int32_t nLeft = 0;
  int32_t nTop = 0;
  int32_t nWidth = 0;
  int32_t nCreatedWidth = 0;
  int32_t nHeight = 0;
  int32_t nCreatedHeight = 0;
  uint8_t nShare = 50;  // percent of a split area
  int32_t nExtent = 0;  // width docked left or right, height top or bottom
  int32_t nActiveTab = kNoPane;
  bool bDockedRoot = false;
  int32_t nSide = 0;
  int32_t nFlags = kAllSides;  // allowed sides and kMainView
  // A tab group has tabs; otherwise a split has a first and a second part,
  // each at most one pane. The file's split links are those parts'
  // identifiers, so a tab group's parts are not written.
  std::vector<tagLAYOUTPANE> tabs;
  std::vector<tagLAYOUTPANE> first;
  std::vector<tagLAYOUTPANE> second;

  bool operator==(const tagLAYOUTPANE&) const = default;
};

struct tagLAYOUT {
  enum { BarLeft, BarTop, BarRight, BarBottom, BarCount };
  std::vector<tagLAYOUTPANE> roots;
  std::array<std::vector<tagLAYOUTPANE>, BarCount> bars;
  bool operator==(const tagLAYOUT&) const = default;
};

class CLayoutFile {
 public:
  static constexpr int32_t kVersion = 400;
  static constexpr size_t kRecordSize = 64;
  // Deeper nesting than any real arrangement; it keeps recursion bounded.
  static constexpr int kMaxDepth = 32;

  enum READRESULT {
    RR_READ,     // the whole file was read
    RR_MISSING,  // neither the file nor its default exists
    RR_DAMAGED,  // read up to the damage; the panes before it are kept
    RR_DELETED,  // wrong header, newer version or a short root record
  };

  // Reads path into the layout, replacing what was there. A missing file
  // is first copied from path + ".default" when that exists. A file
  // RR_DELETED describes is removed so the next start falls back to the
  // default.
  READRESULT Read(const MyString& path, MyString* error = nullptr);
  READRESULT ReadBytes(std::string_view bytes);

  // Writes the layout to path atomically (a read-only file is replaced
  // too). 1 on success; 0 with the old file kept and *error saying why.
  int Write(const MyString& path, MyString* error = nullptr) const;
  std::string ToBytes() const;

  const tagLAYOUT& Layout() const { return m_layout; }
  void SetLayout(tagLAYOUT layout) { m_layout = std::move(layout); }

  // The identifier for the next pane created at run time: past every
  // run-time identifier read.
  int32_t GetNextRuntimePaneId() const;

 private:
  tagLAYOUT m_layout;
  int64_t m_nRuntimeCount = 0;
};
