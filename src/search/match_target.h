// What the search run and the sources agree on, and all they share: the
// sources read files and hand their text over; the run decides the hits.
// Nothing here knows how either side is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/line_info.h"
#include "search/match_pos.h"
#include "search/search_options.h"
#include "text/file_bytes.h"

namespace lorvek {

// A line too long to be held whole, decided piece by piece.
class LongLineDecision {
 public:
  virtual ~LongLineDecision() = default;
  virtual void Begin() = 0;
  // The next piece of the line, Shift-JIS, starting on a character.
  virtual void Feed(std::string_view piece) = 0;
  // The line's end (after its last piece).
  virtual void End() = 0;
  // The line cut around its hit when it was accepted, else its start.
  virtual const std::string& Text() const = 0;
  // The hit in Text() (none when the line is no hit).
  virtual MatchPos Hit() const = 0;
};

// The search word as a source meets it.
class WordMatcher {
 public:
  virtual ~WordMatcher() = default;
  // The first term's hit as the search accepts it (with whole word, a
  // rejected match is retried on the text after it); position in line.
  virtual MatchPos FindHit(std::string_view line, bool whole_word) const = 0;
  // Every term after the first somewhere in the line.
  virtual bool OtherTermsMatch(std::string_view line) const = 0;
  // Whether there are fixed strings one of which every hit holds (else
  // every line is a candidate), and the next place one of them starts in a
  // text at or after from (npos: none).
  virtual bool HasCandidates() const = 0;
  virtual size_t NextCandidate(std::string_view text, size_t from) const = 0;
  // Scans a file from disk as bytes (a binary file), reporting once every
  // line that holds the first term. process_events runs after every block
  // and before every line; the scan ends when it leaves *cancel set. Raises
  // what ends the run (a file that cannot be opened).
  virtual void ScanFile(const FileRef& file, const std::function<void(const RE_LineInfo_t&)>& on_match,
                        const std::function<void()>& process_events, bool* cancel) const = 0;
  // A decision of one long line, windows about window_bytes long.
  virtual std::unique_ptr<LongLineDecision> DecideLongLine(bool whole_word, size_t window_bytes) const = 0;
};

// What a source hands its text to: the run's line matching, which decides
// the hits and passes the records on.
class MatchTarget {
 public:
  virtual ~MatchTarget() = default;
  virtual const SearchOptions& Options() const = 0;
  virtual const WordMatcher& SearchWord() const = 0;
  // Files shorter than this are not read (the word's length in bytes).
  virtual size_t MinimumFileSize() const = 0;

  // The codes that the records of the text that follows carry.
  virtual void SetCodes(int32_t encoding, int32_t line_end) = 0;
  // The lines of a text, one at a time and in order, numbered from 1:
  // BeginLines, then Line for each (false: the text needs no more lines),
  // then EndLines. filtered marks the output of a filter program.
  virtual void BeginLines(bool filtered) = 0;
  virtual bool Line(std::string_view line) = 0;
  // n lines that hold no hit, passed over (only without WidePreview, where
  // a line without a hit does nothing but count).
  virtual bool SkipLines(int32_t n) = 0;
  // A line too long to be held whole, decided by its source window by
  // window (every term looked for over the whole line): text is its cut
  // form, hit term 0's hit in that text when the line is accepted, none
  // when it is no hit (the text then serves only as a neighbour's context).
  // Counts as one line, like Line.
  virtual bool CutLine(std::string_view text, MatchPos hit) = 0;
  virtual void EndLines() = 0;
  // One paragraph of a document (no whole-word retry); true when a record
  // was offered for it.
  virtual bool MatchParagraph(std::string_view text, int32_t line_no) = 0;
  // One spreadsheet cell; true when a record was offered for it.
  virtual bool MatchCell(std::string_view text, std::string_view label, int32_t ordinal) = 0;
  // A line the scan of a binary file found holding term 0; true when it is
  // a hit (the whole-word test and the other terms hold), as in a text file.
  virtual bool MatchScannedLine(const RE_LineInfo_t& info) = 0;

  // The progress field of the status bar ("37%", "" to clear it).
  virtual void SetProgressText(const std::string& text) = 0;
  virtual void ProcessPendingEvents() = 0;
  // True once nobody wants further records or the run was aborted: a
  // source stops at once.
  virtual bool Stopped() const = 0;
  // Appends prefix + path (+ ": " + reason) to the log and counts an error.
  virtual void LogError(const std::string& prefix, const std::string& path, const std::string& reason = "") = 0;
  // How the log names a failed file: its path, or for an archive member the
  // extracted path, " / " and the archive.
  virtual std::string FailureName(const std::string& path) const = 0;
  // Appends prefix + path to the log as a notice: not an error.
  virtual void LogNotice(const std::string& prefix, const std::string& path) = 0;
};

}  // namespace lorvek
