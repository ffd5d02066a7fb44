// The paths that cut text into pieces and scan it in vector steps agree
// with the plain ones: a file read in small blocks with long lines cut into
// pieces gives, pieces joined, the lines of the file decoded whole; the
// line splitter gives the lines a byte loop finds; the multi-string search
// finds what a plain search finds. Input: a byte choosing the encoding, a
// byte choosing the sizes, then the text.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "search/regex/multi_string_search.h"
#include "text/file_bytes.h"
#include "text/line_splitter.h"
#include "text/text_codec.h"
#include "text/text_stream.h"

namespace {

std::vector<std::string> PieceLines(int fd, const lorvek::TextFileFormat& f, size_t block) {
  lorvek::InputFile in(lorvek::FileRef::FromPath("/proc/self/fd/" + std::to_string(fd)));
  lorvek::TextBlockReader reader(in, f, false, block, block);
  std::vector<std::string> lines;
  std::string pieces;
  lorvek::DecodedText d;
  while (reader.Next(d)) {
    if (reader.Piece()) {
      if (d.size() > 0) pieces += d.Line(0);
      continue;
    }
    size_t i = 0;
    if (reader.Continued()) {
      lines.push_back(pieces + std::string(d.size() > 0 ? d.Line(0) : ""));
      pieces.clear();
      i = 1;
    }
    for (; i < d.size(); ++i) lines.emplace_back(d.Line(i));
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const int32_t kCodes[] = {lorvek::ecSjis, lorvek::ecEuc, lorvek::ecUtf8N, lorvek::ecJis, lorvek::ecUtf16Le,
                                   lorvek::ecUtf16Be};
  const int32_t code = kCodes[data[0] % 6];
  const size_t block = 16 + data[1] % 48;
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  // Pieces joined are the whole line (a file without a mark at its start).
  const lorvek::TextFileFormat f = lorvek::TextFileFormat::FromCodes(code, lorvek::leLf);
  if (!lorvek::IsUtf16(code) || text.size() < 2 || !(text[0] == '\xFF' || text[0] == '\xFE')) {
    const int fd = memfd_create("pieces", MFD_CLOEXEC);
    if (fd >= 0) {
      if (write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
        const std::vector<std::string> whole = lorvek::DecodeFileText(text, f).Lines();
        if (PieceLines(fd, f, block) != whole) __builtin_trap();
      }
      close(fd);
    }
  }

  // The line splitter against a byte loop.
  std::vector<std::pair<size_t, size_t>> split, loop;
  lorvek::ForEachLine(text, [&](const lorvek::LineSpan& s) { split.emplace_back(s.begin, s.end); });
  for (size_t start = 0, i = 0; i <= text.size(); ++i) {
    if (i == text.size()) {
      if (start < text.size()) loop.emplace_back(start, i);
      break;
    }
    if (text[i] == '\n' || text[i] == '\r') {
      loop.emplace_back(start, i);
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (split != loop) __builtin_trap();

  // The multi-string search against a plain search, over words cut from the text.
  if (text.size() >= 8) {
    std::vector<std::string> words;
    for (size_t k = 0; k < 3; ++k) words.push_back(text.substr((k * 7) % (text.size() - 3), 1 + k));
    const lorvek::MultiStringSearch search(words);
    for (size_t from = 0; from <= text.size(); from += 1 + text.size() / 16) {
      size_t plain = std::string::npos;
      for (const std::string& w : words) plain = std::min(plain, text.find(w, from));
      if (search.Find(text, from) != plain) __builtin_trap();
    }
  }
  return 0;
}
