#include "sources/plain_text_source.h"

#include <cstring>
#include <system_error>

#include "text/conversion.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/path_names.h"
#include "text/text_codec.h"
#include "text/second_look.h"
#include "text/text_stream.h"

namespace lorvek {
namespace {

// UTF-16 files report the break of their decoded text; the others keep the probe's.
void SetCodesOf(const TextFileFormat& format, const DecodedText& first_block, MatchTarget& target,
                int32_t record_code) {
  if (record_code == ecFiltered) return target.SetCodes(ecFiltered, leCrLf);
  target.SetCodes(record_code >= 0 ? record_code : format.encoding,
                  IsUtf16(format.encoding) ? first_block.format.line_end : format.line_end);
}

// The fixed strings one of which every match holds, found over the whole
// block's text at once: only the lines they fall in are handed over one by
// one, the lines between are passed over in bulk. Without such strings (or
// with WidePreview, where every line is context) each line is handed over.
bool FeedBlock(const DecodedText& block, MatchTarget& target, size_t first_line) {
  const WordMatcher& word = target.SearchWord();
  const size_t n = block.size();
  if (!word.HasCandidates() || target.Options().wide_preview) {
    bool more = true;
    for (size_t i = first_line; i < n && more; ++i) more = target.Line(block.Line(i));
    return more;
  }
  const std::string_view text = block.text;
  auto candidate = [&](size_t from) { return word.NextCandidate(text, from); };
  size_t i = first_line;
  while (i < n) {
    const size_t at = candidate(block.lines[i].text_begin);
    if (at == std::string_view::npos) return target.SkipLines(static_cast<int32_t>(n - i));
    // The line the string starts in: the lines lie in order in the text, and
    // a place in the break after a line's text belongs to the next line.
    size_t j = i;
    while (j + 1 < n && block.lines[j].text_end <= at) ++j;
    if (j > i && !target.SkipLines(static_cast<int32_t>(j - i))) return false;
    if (!target.Line(block.Line(j))) return false;
    i = j + 1;
  }
  return true;
}

// The decoded blocks of one file after another reuse one text's room on
// each thread (a nested use gets its own); room beyond a few blocks' worth,
// left by a long line, is given back.
class ReusedBlock {
 public:
  ReusedBlock() : block_(busy_ ? own_ : spare_), took_spare_(!busy_) {
    busy_ = true;
    // Nothing of the last file's is seen: no lines, the default format.
    block_.lines.clear();
    block_.format = TextFileFormat{};
  }
  ~ReusedBlock() {
    if (!took_spare_) return;
    busy_ = false;
    constexpr size_t kKeep = size_t{8} << 20;
    if (spare_.text.capacity() > kKeep || spare_.lines.capacity() * sizeof(DecodedLine) > kKeep) spare_ = DecodedText{};
  }
  DecodedText& get() { return block_; }

 private:
  static thread_local DecodedText spare_;
  static thread_local bool busy_;
  DecodedText own_;
  DecodedText& block_;
  bool took_spare_;
};
thread_local DecodedText ReusedBlock::spare_;
thread_local bool ReusedBlock::busy_ = false;

}  // namespace

int EffectiveCodeMode(int code_cng_mode) {
  if (code_cng_mode == 0 || code_cng_mode == 2) return 0;
  if (code_cng_mode == 3) return 3;
  return 1;
}

void PlainTextSource::Search(const FileRef& file, MatchTarget& target) {
  const std::string& path = file.path;
  const size_t min_size = target.MinimumFileSize();
  try {
    InputFile in(file);
    // Files shorter than the word are not read. A reported size of 0 (the
    // files of /proc) says nothing: those are read and measured.
    if (in.ReportedSize() != 0 && in.ReportedSize() < min_size) return;
    if (in.ReportedSize() == 0) {
      std::string probe_bytes;
      in.ReadRest(probe_bytes);
      if (probe_bytes.size() < min_size) return;
      in.Rewind();
    }
    SearchOpenFile(file, in, target);
  } catch (const std::system_error& e) {
    target.LogError("ファイル読込みエラー:", path, std::strerror(e.code().value()));
  } catch (const EConversionError& e) {
    target.LogError("文字コード変換エラー:", path, e.what());
  } catch (const std::bad_alloc&) {
    // One file too big for memory does not end the run.
    target.LogError("ファイル読込みエラー:", path, kOutOfMemory);
  }
}

void PlainTextSource::SearchOpenFile(const FileRef& file, InputFile& in, MatchTarget& target) {
  const SearchOptions& o = target.Options();
  const std::string ext = UpperExtension(file.path);
  const bool html = !filtered_ && o.html_tag && (ext == ".HTM" || ext == ".HTML") && strip_html_tags;
  // A filter's output is read in the encoding it comes in (filters on this
  // platform write UTF-8 as a rule), but its records say 1011 and CR LF.
  const int mode = filtered_ ? 1 : EffectiveCodeMode(o.code_cng_mode);
  TextFileFormat format = TextFileFormat::FromCodes(filtered_ ? ecFiltered : ecSjis, leCrLf);
  int32_t record_code = filtered_ ? ecFiltered : -1;  // the code records carry when it is not the decoding's
  if (mode != 0) {
    format = DetectFileFormat(in);
    if (filtered_) {
      if (format.encoding == ecBinary || format.encoding == ecUnread || format.encoding == ecEucOrSjis)
        format = TextFileFormat::FromCodes(ecSjis, format.line_end);
      target.SetCodes(ecFiltered, leCrLf);
    } else {
      target.SetCodes(format.encoding, format.line_end);
      if (mode == 3 && format.encoding != ecAscii && format.encoding != ecSjis) return;
      if (format.encoding == ecUnread) return;
      if (format.encoding == ecBinary) return binary_.Search(file, target);
      if (format.encoding == ecEucOrSjis) {
        // Still undecided: searched as Shift-JIS rather than skipped in silence.
        target.LogNotice("文字コード判定不能:", file.path);
        record_code = ecEucOrSjis;
        format = TextFileFormat::FromCodes(ecSjis, format.line_end);
      }
    }
  }
  // Re-breaking to CR LF (ForceCRLF) re-splits lines that are already split
  // at every CR, LF and CR LF, so it never changes them.
  // A NUL the probe's window did not reach is a character of its line: the
  // text goes on after it (whatever followed a NUL was lost in silence).
  // Read as Shift-JIS without a look (mode 0), a file ends at its first
  // NUL, and the log says so.
  TextBlockReader reader(in, format, /*stop_at_nul=*/mode == 0, block_size_, long_line_bytes_);
  struct SayNulCut {
    const TextBlockReader& reader;
    MatchTarget& target;
    const std::string& path;
    ~SayNulCut() {
      if (reader.CutAtNul()) target.LogNotice("NUL文字以降は検索しません:", path);
    }
  } say_nul_cut{reader, target, file.path};
  ReusedBlock reused;
  DecodedText& block = reused.get();
  if (html) {
    // Tags may span lines: the text is stripped whole.
    std::vector<std::string> lines;
    std::string pieces;  // a long line's pieces so far
    bool first = true;
    while (reader.Next(block)) {
      if (reader.Piece()) {
        if (block.size() > 0) pieces += block.Line(0);
        continue;
      }
      if (first) SetCodesOf(format, block, target, record_code);
      first = false;
      size_t i = 0;
      if (reader.Continued()) {
        lines.push_back(std::move(pieces) + std::string(block.size() > 0 ? block.Line(0) : ""));
        pieces.clear();
        i = 1;
      }
      for (; i < block.size(); ++i) lines.emplace_back(block.Line(i));
    }
    if (first) SetCodesOf(format, block, target, record_code);
    DecodedText plain = DecodeFileText(strip_html_tags(JoinLinesCrLf(lines)), TextFileFormat::FromCodes(ecSjis, leCrLf));
    target.BeginLines(false);
    for (size_t i = 0; i < plain.size() && target.Line(plain.Line(i)); ++i) {
    }
    target.EndLines();
    return;
  }
  bool first = true;
  bool more = true;
  // A line longer than the bound comes in pieces and is decided window by
  // window; the run gets it as one cut line.
  std::unique_ptr<LongLineDecision> long_line = target.SearchWord().DecideLongLine(o.whole_word, long_line_bytes_);
  bool in_long_line = false;
  // A byte the decoder could not read (a stray one in UTF-8) costs its
  // character, not the file: the file is named once, with the first such line.
  size_t lines_before = 0;
  bool stray_said = false;
  auto say_stray = [&] {
    if (stray_said || block.first_stray_line == SIZE_MAX) return;
    stray_said = true;
    target.LogNotice("読めないバイトを・として検索しました:",
                     file.path + " (" + std::to_string(lines_before + block.first_stray_line + 1) + " 行目)");
  };
  target.BeginLines(filtered_);
  while (more && reader.Next(block)) {
    say_stray();
    if (reader.Piece()) {
      if (!in_long_line) long_line->Begin();
      in_long_line = true;
      if (block.size() > 0) long_line->Feed(block.Line(0));
      target.ProcessPendingEvents();
      more = !target.Stopped();
      continue;
    }
    if (first) SetCodesOf(format, block, target, record_code);
    first = false;
    size_t first_line = 0;
    if (reader.Continued()) {
      long_line->Feed(block.size() > 0 ? block.Line(0) : std::string_view());
      long_line->End();
      in_long_line = false;
      more = target.CutLine(long_line->Text(), long_line->Hit());
      first_line = 1;
    }
    if (more) more = FeedBlock(block, target, first_line);
    lines_before += block.size();
    if (more) {
      target.ProcessPendingEvents();
      more = !target.Stopped();
    }
  }
  if (first) SetCodesOf(format, block, target, record_code);
  target.EndLines();
}

void BinaryFileSource::Search(const FileRef& file, MatchTarget& target) {
  bool stop = false;
  target.SearchWord().ScanFile(
      file,
      [&](const RE_LineInfo_t& info) {
        // Only the first hit of the file, when asked: the scan ends at the next line it finds.
        if (target.MatchScannedLine(info) && target.Options().find_onece) stop = true;
      },
      [&] {
        target.ProcessPendingEvents();
        stop = stop || target.Stopped();
      },
      &stop);
}

}  // namespace lorvek
