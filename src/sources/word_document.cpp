#include "sources/word_document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <vector>

#include "sources/compound_file.h"
#include "text/byte_reader.h"
#include "sources/rtf_text.h"
#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {
namespace {

constexpr size_t kMaxDocument = size_t{1} << 30;

std::string_view Slice(std::string_view b, size_t at, size_t n) {
  if (at >= b.size()) return {};
  return b.substr(at, std::min(n, b.size() - at));
}

// Hands the lines of text (split at CR, LF or CR LF) to sink, the last one
// included.
bool SplitIntoLines(std::string_view text, const ParagraphSink& sink) {
  int line_no = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      if (start < text.size() && !sink(text.substr(start), ++line_no)) return false;
      break;
    }
    if (!sink(text.substr(start, end - start), ++line_no)) return false;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return true;
}

// ---- Word 97 and later: the piece table of the document's own structure.

// The document's characters, as UTF-16 units, gathered piece by piece: the
// main text, then the stories that follow it in the same character
// positions (footnotes, headers and footers, comments, endnotes, text boxes
// and the headers' text boxes), so their words are found too.
std::optional<std::u16string> Word97MainText(std::string_view doc, std::string_view table) {
  const uint16_t csw = Le16(doc, 32);
  const size_t rglw = 32 + 2 + size_t{csw} * 2 + 2;  // FibRgLw97 follows its count
  const uint16_t cslw = Le16(doc, rglw - 2);
  // ccpText, ccpFtn, ccpHdd, ccpMcr, ccpAtn, ccpEdn, ccpTxbx, ccpHdrTxbx
  uint64_t ccp_all = 0;
  for (size_t k = 3; k <= 10 && k < cslw; ++k) ccp_all += Le32(doc, rglw + 4 * k);
  const uint64_t ccp_text = ccp_all;
  const size_t fclcb = rglw + size_t{cslw} * 4 + 2;
  const uint32_t fc_clx = Le32(doc, fclcb + 33 * 8);
  const uint32_t lcb_clx = Le32(doc, fclcb + 33 * 8 + 4);
  if (fclcb + 34 * 8 > doc.size() || lcb_clx == 0 || fc_clx >= table.size()) return std::nullopt;
  std::string_view clx = Slice(table, fc_clx, lcb_clx);
  // Property modifiers (01) come first, the piece table (02) after them.
  size_t at = 0;
  while (at < clx.size() && clx[at] == 0x01) at += 3 + Le16(clx, at + 1);
  if (at >= clx.size() || clx[at] != 0x02) return std::nullopt;
  std::string_view plc = Slice(clx, at + 5, Le32(clx, at + 1));
  if (plc.size() < 16) return std::nullopt;
  const size_t pieces = (plc.size() - 4) / 12;
  const bool japanese = Le16(doc, 6) == 0x0411;  // the document's language
  // Every character takes at least a byte of the stream: pieces that name
  // the same bytes again and again cannot make more text than that.
  const size_t text_units = std::min<size_t>(ccp_text, doc.size());
  std::u16string text;
  for (size_t i = 0; i < pieces && text.size() < text_units; ++i) {
    const uint32_t cp_start = Le32(plc, 4 * i), cp_end = Le32(plc, 4 * (i + 1));
    if (cp_end <= cp_start) continue;
    const size_t count = std::min<size_t>(cp_end - cp_start, text_units - text.size());
    const uint32_t fc = Le32(plc, 4 * (pieces + 1) + 8 * i + 2);
    if (fc & 0x40000000u) {  // 8-bit characters
      std::string_view bytes = Slice(doc, (fc & ~0x40000000u) / 2, count);
      text += CodePageToUtf16(bytes, japanese ? 932 : 1252);
    } else {
      std::string_view bytes = Slice(doc, fc, count * 2);
      for (size_t k = 0; k + 1 < bytes.size(); k += 2) text.push_back(static_cast<char16_t>(Le16(bytes, k)));
    }
  }
  return text;
}

// The visible text of the main document: paragraph, cell and page marks
// become line breaks, field instructions and object anchors go.
std::string VisibleText(std::u16string_view units) {
  std::u16string out;
  out.reserve(units.size());
  std::vector<bool> fields;  // per open field: still in its instructions
  size_t in_instructions = 0;  // how many of them are: kept, not searched for
  for (char16_t c : units) {
    switch (c) {
      case 0x13:
        fields.push_back(true);
        ++in_instructions;
        continue;
      case 0x14:
        if (!fields.empty() && fields.back()) {
          fields.back() = false;
          --in_instructions;
        }
        continue;
      case 0x15:
        if (!fields.empty()) {
          if (fields.back()) --in_instructions;
          fields.pop_back();
        }
        continue;
      default: break;
    }
    if (in_instructions > 0) continue;
    switch (c) {
      case 0x0D: case 0x07: case 0x0B: case 0x0C: out.push_back(u'\r'); break;
      case 0x09: out.push_back(c); break;
      case 0x1E: out.push_back(u'-'); break;
      case 0xA0: out.push_back(u' '); break;
      default:
        if (c >= 0x20) out.push_back(c);  // anchors (01, 08, ...) and soft hyphens go
        break;
    }
  }
  return Utf16ToCp932(out);
}

// ---- The fixed layouts, for a file whose compound structure cannot be read.

// Word 97 as laid out by its usual writer: the file information block in
// the first sector, the text in the third.
bool FixedWord97(std::string_view file, const ParagraphSink& sink, bool eight_bit) {
  std::string_view h = Slice(file, 512, 300);
  const uint64_t length = uint64_t{Le32(h, 76)} * 2;
  std::string_view probe = Slice(file, 1536, 513).substr(0, 512);
  std::string_view trimmed = probe.substr(0, probe.find_last_not_of('\0') + 1);
  if (trimmed.find('\0') == std::string_view::npos) eight_bit = true;
  std::string_view bytes = Slice(file, 1536, length);
  std::string text;
  if (eight_bit) {
    text.assign(bytes.substr(0, bytes.find('\0')));
  } else {
    std::u16string units;
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
      const char16_t u = Le16(bytes, k);
      if (u == 0) break;
      units.push_back(u);
    }
    text = Utf16ToCp932(units);
  }
  return SplitIntoLines(text, sink);
}

// Word 6/95: from byte 1280 on, double-byte characters stored trail byte
// first are put right; a line ends at each CR.
bool Word95(std::string_view file, const ParagraphSink& sink, bool eight_bit) {
  const size_t block_size = eight_bit ? 513 : 4;
  std::string pending;
  int line_no = 0;
  for (size_t at = 1280; at < file.size(); at += block_size) {
    std::string block(Slice(file, at, block_size));
    size_t i = 0;
    while (i < block.size()) {
      if (i + 1 < block.size() && IsLeadByte(static_cast<unsigned char>(block[i + 1]))) {
        std::swap(block[i], block[i + 1]);
        for (size_t k = i; k < i + 2; ++k)
          if (block[k] == '\0') block[k] = '\x01';
        i += 2;
      } else {
        if (block[i] == '\0') block[i] = '\x01';
        i += 1;
      }
    }
    block.erase(std::remove(block.begin(), block.end(), '\x01'), block.end());
    pending += block;
    size_t cr;
    while ((cr = pending.find('\r')) != std::string::npos) {
      if (!sink(std::string_view(pending).substr(0, cr), ++line_no)) return true;
      pending.erase(0, cr + 1);
    }
  }
  return true;  // a remainder without CR is no line
}

// The layout the first sector suggests: Word 97 unless its name is missing
// and the byte at 516 marks Word 6/95.
bool LooksLikeWord95(std::string_view file) {
  std::string_view sector = Slice(file, 512, 1026);
  std::u16string units;
  for (size_t k = 0; k + 1 < sector.size() && units.size() < 512; k += 2) {
    const char16_t u = Le16(sector, k);
    units.push_back(u == 0 ? u'\x01' : u);
  }
  if (units.find(u"WordDocument") != std::u16string::npos) return false;
  const unsigned char h4 = file.size() > 516 ? static_cast<unsigned char>(file[516]) : 0;
  return h4 == 0x69 || h4 == 0xC0 || h4 == 0xE0;
}

bool CompoundDocument(std::string_view file, const ParagraphSink& sink) {
  const bool eight_bit = file.size() > 144 && file[144] == '1';
  std::optional<CompoundFile> ole = CompoundFile::FromBytes(file);
  if (!ole) return LooksLikeWord95(file) ? Word95(file, sink, eight_bit) : FixedWord97(file, sink, eight_bit);
  std::optional<std::string> doc = ole->Stream({"WordDocument"});
  if (!doc) return false;  // a compound file of another kind
  const uint16_t ident = Le16(*doc, 0), nfib = Le16(*doc, 2);
  const uint16_t flags = Le16(*doc, 10);
  if (ident != 0xA5EC || nfib < 0x00C1) return Word95(file, sink, eight_bit);
  if (flags & 0x0100) return true;  // encrypted: no readable text
  std::optional<std::string> table = ole->Stream({(flags & 0x0200) ? "1Table" : "0Table"});
  std::optional<std::u16string> units = table ? Word97MainText(*doc, *table) : std::nullopt;
  if (!units) return true;
  return SplitIntoLines(VisibleText(*units), sink);
}

std::string ReadDocumentFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) throw std::runtime_error("cannot open");
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxDocument) {
    ::close(fd);
    throw std::runtime_error("not a readable document");
  }
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      if (n < 0) throw std::runtime_error("read error");
      return bytes;
    }
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > kMaxDocument) {
      ::close(fd);
      throw std::runtime_error("document too large");
    }
  }
}

}  // namespace

bool ExtractWordTextFromBytes(std::string_view file, const ParagraphSink& sink, const std::function<void()>& rtf_starts) {
  if (file.empty()) return false;
  if (LooksLikeRtf(file)) {
    if (rtf_starts) rtf_starts();
    int line_no = 0;
    for (const std::string& line : RtfToLines(file))
      if (!sink(line, ++line_no)) break;
    return true;
  }
  if (file.substr(0, 6) != kCompoundSignature.substr(0, 6)) return false;
  return CompoundDocument(file, sink);
}

bool ExtractWordText(const std::string& path, const ParagraphSink& sink, const std::function<void()>& rtf_starts) {
  return ExtractWordTextFromBytes(ReadDocumentFile(path), sink, rtf_starts);
}

}  // namespace lorvek
