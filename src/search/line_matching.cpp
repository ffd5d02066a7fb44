// Which lines are hits: term 0 with the whole-word retry, then every further
// term somewhere in the same line.
#include "search/search_run.h"
#include "search/whole_word.h"
#include "text/cp932.h"
#include "text/text_lines.h"

namespace lorvek {

MatchPos FindHit(const TAWKStr& matcher, std::string_view line, bool whole_word) {
  size_t offset = 0;
  std::string_view s = line;
  for (;;) {
    MatchPos m = matcher.Match(s);
    if (!m) return {};
    if (!whole_word || IsWholeWd(s, m.start, m.length)) return {m.start + offset, m.length};
    // Retry after the byte that follows the match; the rest counts as a line
    // of its own for the whole-word test and the anchors.
    size_t next = m.start + m.length;
    if (next > s.size()) return {};
    s.remove_prefix(next);
    offset += next;
  }
}

void SearchRun::GrepLines(bool filtered, bool html) {
  if (html && hooks_.strip_html_tags)
    current_lines_ = SplitTextLines(hooks_.strip_html_tags(JoinLinesCrLf(current_lines_)), false);
  const size_t n = current_lines_.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& line = current_lines_[i];
    if (!FindHit(awk_str1_, line, options_.whole_word)) continue;
    RE_LineInfo_t info;
    info.Line = line;
    info.LineNo = static_cast<int32_t>(i + 1);
    if (options_.wide_preview) {
      auto at = [&](long long k) { return (k < 0 || k >= static_cast<long long>(n)) ? kNulMarker : current_lines_[static_cast<size_t>(k)]; };
      long long li = static_cast<long long>(i);
      info.PrevLine1 = at(li - 1);
      info.PrevLine2 = at(li - 2);
      info.NextLine1 = at(li + 1);
      info.NextLine2 = at(li + 2);
    }
    source_.document = false;
    source_.filtered = filtered;
    bool accepted = Grep1Match(info);
    // With FindOnece a file ends after its first accepted line.
    if (accepted && options_.find_onece) break;
  }
}

bool SearchRun::Grep1Match(const RE_LineInfo_t& info) {
  if (search_terms_.size() >= 2) {
    for (size_t k = 1; k < search_terms_.size(); ++k) {
      awk_str1_.SetRegExp(search_terms_[k]);
      if (!awk_str1_.Match(info.Line)) {
        awk_str1_.SetRegExp(search_terms_[0]);
        return false;
      }
    }
    awk_str1_.SetRegExp(search_terms_[0]);
  }
  MatchContext context;
  if (options_.wide_preview) context = {info.PrevLine1, info.PrevLine2, info.NextLine1, info.NextLine2};
  store_.AddMatch(source_, info.Line, info.LineNo, context, options_.wide_preview, options_.path_print,
                  options_.same_print);
  ++match_count_;
  if (store_.size() == kEarlyRows) front_end_.SetRowCount(kEarlyRows);
  front_end_.SetStatusText(3, "マッチ : " + std::to_string(match_count_) + " 行");
  return true;
}

void SearchRun::MatchLine(const std::string& text, int32_t line_no) {
  try {
    MatchPos m = awk_str1_.Match(text);
    if (!m || (options_.whole_word && !IsWholeWd(text, m.start, m.length))) return;
    RE_LineInfo_t info;
    info.Line = text;
    info.LineNo = line_no;
    source_.document = true;
    source_.filtered = false;
    Grep1Match(info);
  } catch (...) {
    // A failure inside one paragraph is swallowed.
  }
}

bool SearchRun::MatchCell(const std::string& text, const std::string& label, int32_t ordinal) {
  if (!FindHit(awk_str1_, text, options_.whole_word)) return false;
  RE_LineInfo_t info;
  info.Line = text + " " + label;
  info.LineNo = ordinal;
  if (options_.wide_preview) info.PrevLine1 = info.PrevLine2 = info.NextLine1 = info.NextLine2 = kNulMarker;
  source_.document = false;
  source_.filtered = false;
  return Grep1Match(info);
}

}  // namespace lorvek
