// A file read as text: probed for its encoding (unless the code mode says
// otherwise), decoded into Shift-JIS lines and matched line by line. A file
// that probes as binary is handed to the binary source.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "sources/text_source.h"
#include "text/text_stream.h"

namespace lorvek {

class PlainTextSource : public TextSource {
 public:
  // binary: where files probed as binary go; filtered: the file is a filter
  // program's output (searched as Shift-JIS, code 1011).
  PlainTextSource(TextSource& binary, bool filtered, size_t block_size = TextBlockReader::kBlockSize)
      : binary_(binary), filtered_(filtered), block_size_(block_size) {}

  // Lines longer than this many bytes are searched window by window (tests
  // lower it so that they need not write gigabytes).
  void SetLongLineBytes(size_t bytes) { long_line_bytes_ = bytes; }

  void Search(const FileRef& file, MatchTarget& target) override;

  // Strips the tags of .HTM/.HTML files when HTMLTag is on (the document
  // readers provide it; without it HTML files are searched as they are).
  std::function<std::string(std::string_view)> strip_html_tags;

 private:
  void SearchOpenFile(const FileRef& file, InputFile& in, MatchTarget& target);

  TextSource& binary_;
  bool filtered_;
  size_t block_size_;
  size_t long_line_bytes_ = TextBlockReader::kLongLineBytes;
};

// Scans a file probed as binary from disk with term 0 (the file-reading matcher).
class BinaryFileSource : public TextSource {
 public:
  void Search(const FileRef& file, MatchTarget& target) override;
};

// The code mode the run applies: 0 read as Shift-JIS, 1 detect and convert,
// 3 detect and search only ASCII and Shift-JIS files. The hidden mode 2
// ("no conversion") reads as Shift-JIS; a missing or unknown value detects.
int EffectiveCodeMode(int code_cng_mode);

}  // namespace lorvek
