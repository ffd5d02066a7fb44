#include "search/line_matching.h"

#include <algorithm>

#include "search/whole_word.h"

namespace lorvek {

void LineMatching::Begin(CompiledWordRef word, size_t minimum_file_size) {
  word_ = std::move(word);
  minimum_file_size_ = minimum_file_size;
  builder_.ForgetLastPath();
  source_ = MatchSource{};
}

std::string LineMatching::FailureName(const std::string& path) const {
  return source_.archive_mode ? path + " / " + source_.archive_path : path;
}

void LineMatching::SetCodes(int32_t encoding, int32_t line_end) {
  source_.encoding_code = encoding;
  source_.line_end_code = line_end;
}

void LineMatching::BeginLines(bool filtered) {
  feed_.filtered = filtered;
  feed_.done = false;
  feed_.count = 0;
}

void LineMatching::Decide(std::string_view line, int32_t line_no, const MatchContext* context,
                       const std::optional<MatchPos>& decided) {
  MatchPos m = decided ? *decided : word_->FindHit(line, options_.whole_word);
  if (!m) return;
  source_.document = false;
  source_.filtered = feed_.filtered;
  const bool accepted = Accept(line, line_no, context, m, decided.has_value());
  // With FindOnece a file ends after its first accepted line.
  if (accepted && options_.find_onece) feed_.done = true;
}

bool LineMatching::FeedLine(std::string_view line, const std::optional<MatchPos>& decided) {
  if (feed_.done || Stop()) return false;
  const int32_t no = ++feed_.count;
  if (!options_.wide_preview) {
    Decide(line, no, nullptr, decided);
    return !feed_.done && !Stop();
  }
  // Line no - 2 is decided now that the two lines after it are here.
  std::string* ring = feed_.ring;
  ring[(no - 1) % 5].assign(line);
  feed_.decided[(no - 1) % 5] = decided;
  if (no >= 3) {
    auto at = [&](int32_t k) { return k < 1 ? kNulMarker : ring[(k - 1) % 5]; };
    const int32_t d = no - 2;
    MatchContext context{at(d - 1), at(d - 2), at(d + 1), at(d + 2)};
    Decide(ring[(d - 1) % 5], d, &context, feed_.decided[(d - 1) % 5]);
  }
  return !feed_.done && !Stop();
}

bool LineMatching::SkipLines(int32_t n) {
  if (feed_.done || Stop()) return false;
  feed_.count += n;
  return true;
}

void LineMatching::EndLines() {
  if (!options_.wide_preview || feed_.done || Stop()) return;
  // The last two lines have nothing (or one line) after them.
  const int32_t n = feed_.count;
  std::string* ring = feed_.ring;
  auto at = [&](int32_t k) { return (k < 1 || k > n) ? kNulMarker : ring[(k - 1) % 5]; };
  for (int32_t d = std::max(1, n - 1); d <= n && !feed_.done && !Stop(); ++d) {
    MatchContext context{at(d - 1), at(d - 2), at(d + 1), at(d + 2)};
    const std::string line = ring[(d - 1) % 5];
    Decide(line, d, &context, feed_.decided[(d - 1) % 5]);
  }
}

bool LineMatching::Accept(std::string_view line, int32_t line_no, const MatchContext* context, MatchPos hit,
                       bool decided) {
  if (!decided && !word_->OtherTermsMatch(line)) return false;
  auto record = builder_.Build(source_, std::string(line), line_no, context, options_.path_print,
                               options_.same_print);
  if (tally_.CountMatch() == static_cast<int32_t>(kEarlyRows)) front_end_.SetRowCount(kEarlyRows);
  if (!sink_.WantsHitPosition()) hit = {};
  else if (!hit) hit = word_->FindHit(record->LineText, options_.whole_word);
  if (!sink_.Take(std::move(record), hit)) tally_.StopBySink();
  return true;
}

bool LineMatching::MatchScannedLine(const RE_LineInfo_t& info) {
  // A binary file's lines take the whole-word test as a text file's do.
  if (options_.whole_word && !word_->FindHit(info.Line, true)) return false;
  MatchContext context;  // scanned lines carry four empty context lines
  return Accept(info.Line, info.LineNo, options_.wide_preview ? &context : nullptr, {});
}

bool LineMatching::MatchParagraph(std::string_view text, int32_t line_no) {
  try {
    MatchPos m = word_->MatchTerm0(text);
    if (!m || (options_.whole_word && !IsWholeWd(text, m.start, m.length))) return false;
    source_.document = true;
    source_.filtered = false;
    MatchContext context;
    return Accept(text, line_no, options_.wide_preview ? &context : nullptr, m);
  } catch (...) {
    // A failure inside one paragraph is swallowed.
    return false;
  }
}

bool LineMatching::MatchCell(std::string_view text, std::string_view label, int32_t ordinal) {
  if (!word_->FindHit(text, options_.whole_word)) return false;
  std::string line = std::string(text) + " " + std::string(label);
  MatchContext context{kNulMarker, kNulMarker, kNulMarker, kNulMarker};
  source_.document = false;
  source_.filtered = false;
  return Accept(line, ordinal, options_.wide_preview ? &context : nullptr, {});
}

}  // namespace lorvek
