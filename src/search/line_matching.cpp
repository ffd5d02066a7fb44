// Which lines are hits: term 0 with the whole-word retry, then every further
// term somewhere in the same line; accepted lines become records.
#include "search/regex/regular_expression.h"
#include "search/search_run.h"
#include "search/whole_word.h"

namespace lorvek {

MatchPos FindHit(const TAWKStr& matcher, std::string_view line, bool whole_word) {
  return FindWholeWordHit(matcher.Current(), line, whole_word);
}

void SearchRun::SetCodes(int32_t encoding, int32_t line_end) {
  source_.encoding_code = encoding;
  source_.line_end_code = line_end;
}

void SearchRun::BeginLines(bool filtered) {
  feed_.filtered = filtered;
  feed_.done = false;
  feed_.count = 0;
}

void SearchRun::Decide(std::string_view line, int32_t line_no, const MatchContext* context,
                       const std::optional<MatchPos>& decided) {
  MatchPos m = decided ? *decided : compiled_->FindHit(line, options_.whole_word);
  if (!m) return;
  source_.document = false;
  source_.filtered = feed_.filtered;
  const bool accepted = Accept(line, line_no, context, m, decided.has_value());
  // With FindOnece a file ends after its first accepted line.
  if (accepted && options_.find_onece) feed_.done = true;
}

bool SearchRun::Line(std::string_view line) { return FeedLine(line, std::nullopt); }

bool SearchRun::CutLine(std::string_view text, MatchPos hit) { return FeedLine(text, hit); }

bool SearchRun::FeedLine(std::string_view line, const std::optional<MatchPos>& decided) {
  if (feed_.done || stopped_) return false;
  const int32_t no = ++feed_.count;
  if (!options_.wide_preview) {
    Decide(line, no, nullptr, decided);
    return !feed_.done && !stopped_;
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
  return !feed_.done && !stopped_;
}

bool SearchRun::SkipLines(int32_t n) {
  if (feed_.done || stopped_) return false;
  feed_.count += n;
  return true;
}

void SearchRun::EndLines() {
  if (!options_.wide_preview || feed_.done || stopped_) return;
  // The last two lines have nothing (or one line) after them.
  const int32_t n = feed_.count;
  std::string* ring = feed_.ring;
  auto at = [&](int32_t k) { return (k < 1 || k > n) ? kNulMarker : ring[(k - 1) % 5]; };
  for (int32_t d = std::max(1, n - 1); d <= n && !feed_.done && !stopped_; ++d) {
    MatchContext context{at(d - 1), at(d - 2), at(d + 1), at(d + 2)};
    const std::string line = ring[(d - 1) % 5];
    Decide(line, d, &context, feed_.decided[(d - 1) % 5]);
  }
}

bool SearchRun::Accept(std::string_view line, int32_t line_no, const MatchContext* context, MatchPos hit,
                       bool decided) {
  if (!decided && !compiled_->OtherTermsMatch(line)) return false;
  auto record = builder_.Build(source_, std::string(line), line_no, context, options_.path_print,
                               options_.same_print);
  ++match_count_;
  if (match_count_ == static_cast<int32_t>(kEarlyRows)) front_end_.SetRowCount(kEarlyRows);
  front_end_.SetStatusText(3, "マッチ : " + std::to_string(match_count_) + " 行");
  if (!sink_.WantsHitPosition()) hit = {};
  else if (!hit) hit = compiled_->FindHit(record->LineText, options_.whole_word);
  if (!sink_.Take(std::move(record), hit)) stopped_ = true;
  return true;
}

void SearchRun::MatchScannedLine(const RE_LineInfo_t& info) {
  MatchContext context;  // scanned lines carry four empty context lines
  Accept(info.Line, info.LineNo, options_.wide_preview ? &context : nullptr, {});
}

bool SearchRun::MatchParagraph(std::string_view text, int32_t line_no) {
  try {
    MatchPos m = compiled_->MatchTerm0(text);
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

bool SearchRun::MatchCell(std::string_view text, std::string_view label, int32_t ordinal) {
  if (!compiled_->FindHit(text, options_.whole_word)) return false;
  std::string line = std::string(text) + " " + std::string(label);
  MatchContext context{kNulMarker, kNulMarker, kNulMarker, kNulMarker};
  source_.document = false;
  source_.filtered = false;
  return Accept(line, ordinal, options_.wide_preview ? &context : nullptr, {});
}

}  // namespace lorvek
