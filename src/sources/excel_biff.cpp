#include "sources/excel_biff.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sources/compound_file.h"
#include "text/byte_reader.h"
#include "text/cp932.h"

namespace lorvek {
namespace {

// No workbook stream is copied into memory beyond this.
constexpr size_t kMaxStream = size_t{1} << 30;
// The longest record body BIFF allows.
constexpr size_t kMaxRecordBody = 8224;

double F64(std::string_view b, size_t at) {
  const uint64_t bits = Le64(b, at);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

bool IsBof(uint16_t type) { return type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x0809; }

std::u16string Widen(std::string_view latin1) {
  std::u16string units(latin1.size(), u'\0');
  for (size_t i = 0; i < latin1.size(); ++i) units[i] = static_cast<unsigned char>(latin1[i]);
  return units;
}

std::u16string Units16(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) units[i] = Le16(bytes, 2 * i);
  return units;
}

const char* ErrorText(uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#ERR!";
  }
}

// A string of the shared-string table, whose characters may run on into
// the next CONTINUE record; that record then starts with a new flags byte.
class SegmentedReader {
 public:
  SegmentedReader(std::string_view data, std::vector<size_t> starts) : data_(data), starts_(std::move(starts)) {}

  bool AtEnd() const { return pos_ >= data_.size(); }

  bool Read(size_t n, std::string_view& out) {
    if (pos_ + n > data_.size()) return false;
    out = data_.substr(pos_, n);
    pos_ += n;
    return true;
  }

  bool Skip(size_t n) {
    if (pos_ + n > data_.size()) return false;
    pos_ += n;
    return true;
  }

  // count characters, 8- or 16-bit as flags say, switching where a record
  // boundary brings a new flags byte.
  bool Characters(size_t count, bool wide, std::u16string& out) {
    while (count > 0) {
      const size_t boundary = NextBoundary();
      const size_t width = wide ? 2 : 1;
      const size_t room = (boundary - pos_) / width;
      const size_t take = std::min(count, room);
      std::string_view bytes;
      if (take > 0) {
        if (!Read(take * width, bytes)) return false;
        out += wide ? Units16(bytes) : Widen(bytes);
        count -= take;
      }
      if (count == 0) break;
      if (pos_ >= data_.size()) return false;
      if (pos_ != boundary) return false;  // a character split over two records
      std::string_view flags;
      if (!Read(1, flags)) return false;
      wide = (flags[0] & 0x01) != 0;
    }
    return true;
  }

 private:
  // The reading only moves forward: the boundaries passed are never looked
  // at again.
  size_t NextBoundary() {
    while (next_ < starts_.size() && starts_[next_] <= pos_) ++next_;
    return next_ < starts_.size() ? starts_[next_] : data_.size();
  }

  std::string_view data_;
  std::vector<size_t> starts_;  // where each CONTINUE body begins in data_
  size_t next_ = 0;
  size_t pos_ = 0;
};

class BiffReader {
 public:
  BiffReader(TXBiff& owner, std::string_view stream) : owner_(owner), s_(stream) {}

  void Run() {
    size_t pos = 0;
    while (pos + 4 <= s_.size() && !IsBof(Le16(s_, pos))) pos += 4 + Le16(s_, pos + 2);
    int last_percent = -1;
    while (pos + 4 <= s_.size()) {
      const uint16_t type = Le16(s_, pos);
      const size_t length = Le16(s_, pos + 2);
      const size_t body_at = pos + 4;
      std::string_view body = s_.substr(body_at, std::min(length, s_.size() - body_at));
      size_t next = body_at + length;
      if (type == 0x00FC) next = ReadSharedStrings(pos);
      else if (!Record(type, body)) break;
      pos = next;
      const int percent = static_cast<int>(std::min(pos, s_.size()) * 100 / s_.size());
      if (percent != last_percent && owner_.OnProgress) owner_.OnProgress(percent);
      last_percent = percent;
    }
    if (owner_.OnProgress) owner_.OnProgress(0);
  }

 private:
  // One record; false when the cell handler cancelled.
  bool Record(uint16_t type, std::string_view b) {
    const bool biff2 = version_ == 2;
    switch (type) {
      case 0x0009: case 0x0209: case 0x0409: case 0x0809:
        Bof(type, b);
        return true;
      case 0x0042:  // CODEPAGE
        codepage_ = Le16(b, 0);
        return true;
      case 0x0002:  // INTEGER (BIFF2): an unsigned 16-bit value
        if (b.size() < 9) return true;
        return Cell(Le16(b, 0), Le16(b, 2), Attr(b), std::to_string(Le16(b, 7)), true);
      case 0x0003: case 0x0203: {  // NUMBER
        const size_t at = type == 0x0003 ? 7 : 6;
        if (b.size() < at + 8) return true;
        return Cell(Le16(b, 0), Le16(b, 2), Attr(b), FormatCellNumber(F64(b, at)), true);
      }
      case 0x0004: case 0x0204:  // LABEL
        return Label(type, b);
      case 0x00D6: {  // RSTRING
        if (b.size() < 8) return true;
        const size_t n = std::min<size_t>(Le16(b, 6), b.size() - 8);
        return Cell(Le16(b, 0), Le16(b, 2), Attr(b), Narrow(b.substr(8, n)), false);
      }
      case 0x0005: case 0x0205:  // BOOLERR: a constant boolean or error
        return BoolErr(type, b);
      case 0x0006: case 0x0206: case 0x0406:  // FORMULA
        return Formula(type, b);
      case 0x0007: case 0x0207:  // STRING: the preceding formula's text
        return FormulaString(type, b);
      case 0x00BD: {  // MULRK
        if (b.size() < 6) return true;
        const int row = Le16(b, 0);
        const int first = Le16(b, 2);
        const size_t pairs = (b.size() - 6) / 6;
        for (size_t i = 0; i < pairs; ++i) {
          const size_t at = 4 + 6 * i;
          if (!Cell(row, first + static_cast<int>(i), Le16(b, at), FormatCellNumber(DecodeRk(Le32(b, at + 2))), true))
            return false;
        }
        return true;
      }
      case 0x00FD: {  // LABELSST
        if (b.size() < 10) return true;
        const uint32_t index = Le32(b, 6);
        if (index >= shared_.size()) return true;
        return Cell(Le16(b, 0), Le16(b, 2), Le16(b, 4), shared_[index], false);
      }
      case 0x027E:  // RK
        if (b.size() < 10) return true;
        return Cell(Le16(b, 0), Le16(b, 2), Le16(b, 4), FormatCellNumber(DecodeRk(Le32(b, 6))), true);
      default:
        (void)biff2;
        return true;
    }
  }

  void Bof(uint16_t type, std::string_view b) {
    switch (type) {
      case 0x0009: version_ = 2; break;
      case 0x0209: version_ = 3; break;
      case 0x0409: version_ = 4; break;
      default: version_ = Le16(b, 0) == 0x0600 ? 8 : 5; break;
    }
    if (Le16(b, 2) == 0x0010) ++sheet_;
  }

  // The cell's attribute: three bytes in BIFF2, the format index after.
  int Attr(std::string_view b) const {
    if (version_ == 2)
      return static_cast<int>(Le16(b, 4) | (b.size() > 6 ? static_cast<unsigned char>(b[6]) << 16 : 0));
    return Le16(b, 4);
  }

  bool Label(uint16_t type, std::string_view b) {
    if (b.size() < 8) return true;
    if (version_ == 8 && type == 0x0204) {  // a BIFF8 label holds a Unicode string
      size_t at = 6;
      std::string text;
      if (!UnicodeString(b, at, true, text)) return true;
      return Cell(Le16(b, 0), Le16(b, 2), Le16(b, 4), text, false);
    }
    // BIFF2: one length byte after the three attribute bytes; later: two.
    const size_t count = type == 0x0004 ? static_cast<unsigned char>(b[7]) : Le16(b, 6);
    std::string_view chars = b.substr(8, std::min(count, b.size() - 8));
    chars = chars.substr(0, std::min(chars.size(), chars.find('\0')));
    return Cell(Le16(b, 0), Le16(b, 2), Attr(b), Narrow(chars), false);
  }

  bool BoolErr(uint16_t type, std::string_view b) {
    const size_t at = type == 0x0005 ? 7 : 6;
    if (b.size() < at + 2) return true;
    const uint8_t value = static_cast<uint8_t>(b[at]);
    const bool error = b[at + 1] != 0;
    return Cell(Le16(b, 0), Le16(b, 2), Attr(b), error ? ErrorText(value) : value ? "TRUE" : "FALSE", false);
  }

  bool Formula(uint16_t type, std::string_view b) {
    const size_t at = type == 0x0006 && version_ == 2 ? 7 : 6;
    if (b.size() < at + 8) return true;
    const int row = Le16(b, 0), col = Le16(b, 2);
    pending_row_ = row;
    pending_col_ = col;
    if (Le16(b, at + 6) == 0xFFFF) {  // not a number: the first byte says what
      switch (static_cast<uint8_t>(b[at])) {
        case 0x00: pending_string_ = true; return true;  // a STRING record follows
        case 0x01: return Cell(row, col, Attr(b), b[at + 2] ? "TRUE" : "FALSE", false);
        case 0x02: return Cell(row, col, Attr(b), ErrorText(static_cast<uint8_t>(b[at + 2])), false);
        default: return true;  // an empty string
      }
    }
    return Cell(row, col, Attr(b), FormatCellNumber(F64(b, at)), true);
  }

  bool FormulaString(uint16_t type, std::string_view b) {
    if (!pending_string_) return true;
    pending_string_ = false;
    std::string text;
    if (version_ == 8) {
      size_t at = 0;
      if (!UnicodeString(b, at, true, text)) return true;
    } else if (type == 0x0007 && version_ == 2) {
      if (b.empty()) return true;
      text = Narrow(b.substr(1, std::min<size_t>(static_cast<unsigned char>(b[0]), b.size() - 1)));
    } else {
      if (b.size() < 2) return true;
      text = Narrow(b.substr(2, std::min<size_t>(Le16(b, 0), b.size() - 2)));
    }
    return Cell(pending_row_, pending_col_, 0, text, false);
  }

  // A BIFF8 string in one record: count (16-bit when long), flags, optional
  // run count and extension size, the characters.
  bool UnicodeString(std::string_view b, size_t& at, bool long_count, std::string& text) {
    if (at + (long_count ? 3 : 2) > b.size()) return false;
    const size_t count = long_count ? Le16(b, at) : static_cast<unsigned char>(b[at]);
    at += long_count ? 2 : 1;
    const uint8_t flags = static_cast<uint8_t>(b[at++]);
    if (flags & 0x08) at += 2;
    if (flags & 0x04) at += 4;
    const bool wide = flags & 0x01;
    if (at > b.size()) return false;
    const size_t bytes = std::min(count * (wide ? 2 : 1), b.size() - at);
    std::string_view chars = b.substr(at, bytes);
    at += bytes;
    text = Utf16ToCp932(wide ? Units16(chars) : Widen(chars));
    return true;
  }

  // 8-bit text of a BIFF2-5 workbook in its code page, as Shift-JIS. A
  // workbook that names no code page is taken as Shift-JIS.
  std::string Narrow(std::string_view bytes) const {
    int cp = codepage_;
    if (cp == 0x8000) cp = 10000;                          // Apple Roman
    else if (cp == 0x8001 || cp == 1200 || cp == 367) cp = 1252;  // Windows Latin 1
    if (cp == 0 || cp == 932) return std::string(bytes);
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(bytes);
    return Utf16ToCp932(CodePageToUtf16(bytes, cp));
  }

  // The shared-string table at pos, with its CONTINUE records; returns where
  // the records after it begin. The table ends silently at a short read.
  size_t ReadSharedStrings(size_t pos) {
    std::string data;
    std::vector<size_t> starts;
    bool first = true;
    while (pos + 4 <= s_.size()) {
      const uint16_t type = Le16(s_, pos);
      if (!first && type != 0x003C) break;
      const size_t length = Le16(s_, pos + 2);
      if (length > kMaxRecordBody) throw EExcelError(kExcelUnknownFormat);
      if (!first) starts.push_back(data.size());
      data.append(s_.substr(pos + 4, std::min(length, s_.size() - pos - 4)));
      pos += 4 + length;
      first = false;
    }
    SegmentedReader r(data, std::move(starts));
    std::string_view counts;
    if (!r.Read(8, counts)) return pos;
    const uint32_t unique = Le32(counts, 4);
    uint64_t total = 0;  // the table's text, each entry charged as well
    while (shared_.size() < unique && !r.AtEnd()) {
      std::string_view head;
      if (!r.Read(3, head)) break;
      const size_t count = Le16(head, 0);
      const uint8_t flags = static_cast<uint8_t>(head[2]);
      size_t runs = 0, extension = 0;
      std::string_view extra;
      if ((flags & 0x08)) {
        if (!r.Read(2, extra)) break;
        runs = Le16(extra, 0);
      }
      if ((flags & 0x04)) {
        if (!r.Read(4, extra)) break;
        extension = Le32(extra, 0);
      }
      std::u16string units;
      units.reserve(count);
      if (!r.Characters(count, flags & 0x01, units)) break;
      std::string text = Utf16ToCp932(units);
      if ((total += sizeof(std::string) + text.size()) > owner_.text_budget) throw EExcelError(kExcelTooMuchText);
      shared_.push_back(std::move(text));
      if (!r.Skip(runs * 4) || !r.Skip(extension)) break;
    }
    return pos;
  }

  bool Cell(int row, int col, int attr, std::string text, bool numeric) {
    if (!owner_.OnReadCell) return true;
    ExcelCell cell{sheet_, row, col, attr, std::move(text), numeric};
    return owner_.OnReadCell(cell);
  }

  TXBiff& owner_;
  std::string_view s_;
  int version_ = 8;
  int sheet_ = 0;
  int codepage_ = 0;
  std::vector<std::string> shared_;
  bool pending_string_ = false;
  int pending_row_ = 0, pending_col_ = 0;
};

// Opens path for reading as a regular file; anything else cannot be opened.
int OpenRegular(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) throw EExcelError(kExcelCannotOpen);
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw EExcelError(kExcelCannotOpen);
  }
  return fd;
}

std::string ReadWholeFile(int fd) {
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EExcelError(kExcelCannotOpen);
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > kMaxStream) throw EExcelError(kExcelBufferOver);
  }
  return bytes;
}

struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

}  // namespace

std::string FormatCellNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

double DecodeRk(uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return rk & 0x01 ? value / 100 : value;
}

void TXBiff::Read(const std::string& path) {
  FdCloser file{OpenRegular(path)};
  char head[8] = {};
  const ssize_t got = ::pread(file.fd, head, sizeof head, 0);
  if (got == static_cast<ssize_t>(sizeof head) && std::string_view(head, sizeof head) == kCompoundSignature) {
    if (auto ole = CompoundFile::Open(path)) {
      if (auto stream = ole->Stream({"Workbook", "Book"}, kMaxStream)) {
        ReadStream(*stream);
        return;
      }
    }
  }
  const std::string whole = ReadWholeFile(file.fd);
  ReadStream(whole);
}

void TXBiff::ReadStream(std::string_view stream) { BiffReader(*this, stream).Run(); }

}  // namespace lorvek
