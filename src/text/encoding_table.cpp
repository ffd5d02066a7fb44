#include "text/encoding_table.h"

#include "text/text_format.h"

namespace lorvek {
namespace {

// The read-only rule of opening a hit: a file whose write-back could not
// keep its bytes (the Unicode forms, when this table was made), binary
// files and documents open read-only.
constexpr EncodingRow kRows[] = {
    {ecAscii, "[ASC]", "", "ASCII", "", 1, false, true},
    {ecBinary, "[BIN]", "BINARY", "BINARY", "", 1, false, false},
    {ecJis, "[JIS]", "JIS83", "JIS83", "", 1, false, true},
    {ecJisOld, "[JIS]", "JIS78", "JIS78", "", 1, false, true},
    {ecEuc, "[EUC]", "EUC", "EUC", "", 1, false, true},
    {ecSjis, "", "SJIS", "SJIS", "", 1, false, true},
    {ecEucOrSjis, "[???]", "EUCorSJIS", "EUCorSJIS", "", 1, false, true},
    {ecUtf16Le, "[UNI-LI]", "UNI-LI", "UNI-LI", "\xFF\xFE", 2, false, false},
    {ecUtf16Be, "[UNI-BI]", "UNI-BI", "UNI-BI", "\xFE\xFF", 2, false, false},
    {ecUtf8, "[UTF-8]", "UTF-8", "UTF-8", "\xEF\xBB\xBF", 1, false, false},
    {ecUtf8N, "[UTF-8N]", "UTF-8N", "UTF-8N", "", 1, false, false},
    {ecWord, "[WORD]", "", "WORD", "", 1, true, false},
    {ecExcel, "[EXCEL]", "", "EXCEL", "", 1, true, false},
    {ecFiltered, "[FILT]", "", "FILTER", "", 1, true, true},
};

}  // namespace

std::span<const EncodingRow> Encodings() { return kRows; }

const EncodingRow* FindEncoding(int32_t code) {
  for (const EncodingRow& row : kRows)
    if (row.code == code) return &row;
  return nullptr;
}

std::string EncodingDisplayName(int32_t code) {
  const EncodingRow* row = FindEncoding(code);
  return row ? std::string(row->name) : std::string();
}

}  // namespace lorvek
