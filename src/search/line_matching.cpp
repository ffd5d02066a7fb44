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

void SearchRun::MatchLines(const std::vector<std::string_view>& lines, bool filtered) {
  const size_t n = lines.size();
  auto at = [&](long long k) {
    return (k < 0 || k >= static_cast<long long>(n)) ? kNulMarker : std::string(lines[static_cast<size_t>(k)]);
  };
  for (size_t i = 0; i < n && !stopped_; ++i) {
    const std::string_view line = lines[i];
    MatchPos m = compiled_->FindHit(line, options_.whole_word);
    if (!m) continue;
    MatchContext context;
    if (options_.wide_preview) {
      const long long li = static_cast<long long>(i);
      context = {at(li - 1), at(li - 2), at(li + 1), at(li + 2)};
    }
    source_.document = false;
    source_.filtered = filtered;
    const bool accepted = Accept(line, static_cast<int32_t>(i + 1), options_.wide_preview ? &context : nullptr, m);
    // With FindOnece a file ends after its first accepted line.
    if (accepted && options_.find_onece) break;
  }
}

bool SearchRun::Accept(std::string_view line, int32_t line_no, const MatchContext* context, MatchPos hit) {
  if (!compiled_->OtherTermsMatch(line)) return false;
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

void SearchRun::MatchParagraph(std::string_view text, int32_t line_no) {
  try {
    MatchPos m = compiled_->MatchTerm0(text);
    if (!m || (options_.whole_word && !IsWholeWd(text, m.start, m.length))) return;
    source_.document = true;
    source_.filtered = false;
    MatchContext context;
    Accept(text, line_no, options_.wide_preview ? &context : nullptr, m);
  } catch (...) {
    // A failure inside one paragraph is swallowed.
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
