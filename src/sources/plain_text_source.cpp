#include "sources/plain_text_source.h"

#include <cstring>
#include <system_error>

#include "search/file_grep.h"
#include "text/conversion.h"
#include "text/encoding.h"
#include "text/file_bytes.h"
#include "text/text_codec.h"

namespace lorvek {
namespace {

std::vector<std::string_view> LineViews(const DecodedText& d) {
  std::vector<std::string_view> views;
  views.reserve(d.size());
  for (size_t i = 0; i < d.size(); ++i) views.push_back(d.Line(i));
  return views;
}

}  // namespace

int EffectiveCodeMode(int code_cng_mode) {
  if (code_cng_mode == 0 || code_cng_mode == 2) return 0;
  if (code_cng_mode == 3) return 3;
  return 1;
}

void PlainTextSource::Search(const FileRef& file, MatchTarget& target) {
  const std::string& path = file.path;
  const size_t min_size = target.MinimumFileSize();
  std::string bytes;
  try {
    InputFile in(file);
    // Files shorter than the word are not read; a reported size of 0 (the
    // files of /proc) says nothing, so those are.
    if (in.ReportedSize() != 0 && in.ReportedSize() < min_size) return;
    in.ReadRest(bytes);
  } catch (const std::system_error& e) {
    target.LogError("ファイル読込みエラー:", path, std::strerror(e.code().value()));
    return;
  }
  if (bytes.size() < min_size) return;

  const SearchOptions& o = target.Options();
  const std::string ext = UpperExtension(path);
  const bool html = !filtered_ && o.html_tag && (ext == ".HTM" || ext == ".HTML") && strip_html_tags;
  const int mode = filtered_ ? 0 : EffectiveCodeMode(o.code_cng_mode);
  TextFileFormat format = TextFileFormat::FromCodes(ecSjis, leCrLf);
  if (filtered_) {
    format.encoding = ecFiltered;
  } else if (mode != 0) {
    format = ProbeBufferCode(bytes);
    if (mode == 3 && format.encoding != ecAscii && format.encoding != ecSjis) {
      target.SetCodes(format.encoding, format.line_end);
      return;
    }
    switch (format.encoding) {
      case ecUnread:
      case ecEucOrSjis:
        target.SetCodes(format.encoding, format.line_end);
        return;
      case ecBinary:
        target.SetCodes(format.encoding, format.line_end);
        bytes.clear();
        binary_.Search(file, target);
        return;
      default:
        break;
    }
  }
  // Re-breaking to CR LF (ForceCRLF) re-splits lines that are already split
  // at every CR, LF and CR LF, so it never changes them.
  DecodedText text;
  try {
    text = DecodeFileText(bytes, format, {.stop_at_nul = true});
  } catch (const EConversionError& e) {
    target.LogError("文字コード変換エラー:", path, e.what());
    return;
  }
  bytes.clear();
  bytes.shrink_to_fit();
  // UTF-16 files report the break of their decoded text; the others keep the probe's.
  target.SetCodes(format.encoding, IsUtf16(format.encoding) ? text.format.line_end : format.line_end);
  if (html) {
    const std::string stripped = strip_html_tags(JoinLinesCrLf(text.Lines()));
    DecodedText plain = DecodeFileText(stripped, TextFileFormat::FromCodes(ecSjis, leCrLf));
    target.MatchLines(LineViews(plain), false);
    return;
  }
  target.MatchLines(LineViews(text), filtered_);
}

void BinaryFileSource::Search(const FileRef& file, MatchTarget& target) {
  bool stop = false;
  try {
    ScanFileForMatches(
        target.SearchWord().FilePattern(), file, [&](const RE_LineInfo_t& info) { target.MatchScannedLine(info); },
        [&] { target.ProcessPendingEvents(); stop = target.Stopped(); }, &stop);
  } catch (const EGrepCancel&) {
    // Nobody wants further records: the scan ends here.
  }
}

}  // namespace lorvek
