// TXBiff: the cells of an Excel workbook in the BIFF record format, versions
// 2 to 8, as text in reading order.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lorvek {

class EExcelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline const char kExcelCannotOpen[] = "ﾌｧｲﾙを開くことに失敗しました";
inline const char kExcelUnknownFormat[] = "未知のフォーマット.";
inline const char kExcelBufferOver[] = "バッファサイズオーバー.";
inline const char kExcelTooMuchText[] = "共有文字列が多すぎます";

struct ExcelCell {
  int sheet = 0;   // the first worksheet is 1
  int row = 0;     // zero-based, as stored
  int col = 0;
  int attr = 0;    // the cell's attribute (format) value
  std::string text;  // Shift-JIS
  bool numeric = false;  // a number (not a string, not a boolean)
};

class TXBiff {
 public:
  // A cell; false cancels the rest of the workbook.
  std::function<bool(const ExcelCell& cell)> OnReadCell;
  // Percent of the stream read (0 at the end).
  std::function<void(int percent)> OnProgress;
  // The most text the shared-string table may hold (each entry costs its
  // bookkeeping too): the bound of the other spreadsheet readers.
  uint64_t text_budget = uint64_t{256} << 20;

  // Reads the workbook at path: the compound file's "Workbook" or "Book"
  // stream, or the whole file as a bare BIFF stream. Raises EExcelError.
  void Read(const std::string& path);
  // Reads a BIFF record stream already in memory.
  void ReadStream(std::string_view stream);
};

// "%g" with 15 significant digits, as cells show numbers.
std::string FormatCellNumber(double value);
// An RK value: a 30-bit integer or the top of a double, maybe divided by 100.
double DecodeRk(uint32_t rk);

}  // namespace lorvek
