// One row per encoding code, read by every consumer: the tag the list and
// lorvek-grep show, the name the viewer's status bar and the JSON stream
// give, the byte-order mark written back, the width of a code unit, and
// whether a hit in such a file opens editable in the viewer. Documents,
// spreadsheets and filter output are a kind of their own (no byte
// encoding); their rows say so.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lorvek {

struct EncodingRow {
  int32_t code;                // an EncodingCode
  std::string_view tag;        // "[EUC]"; Shift-JIS has none
  std::string_view name;       // the viewer's status bar ("EUC"; "" for ASCII)
  std::string_view json_name;  // lorvek-grep --json
  std::string_view mark;       // the byte-order mark, when the code has one
  int unit;                    // bytes per code unit: 2 for UTF-16
  bool document;               // a document kind, not a byte encoding
  bool opens_editable;         // a hit in such a file opens the viewer editable
};

// Every row, in code order (the document kinds last).
std::span<const EncodingRow> Encodings();
// The row of a code, or nullptr for a code no row has.
const EncodingRow* FindEncoding(int32_t code);

// The viewer's name of a code ("" for none).
std::string EncodingDisplayName(int32_t code);

}  // namespace lorvek
