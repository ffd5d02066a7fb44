// Sources: each kind of item (plain text file, binary file, and the document,
// filter and archive readers) gives its text to the run's line matching
// through one small interface, and is chosen by one dispatch table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/compiled_word.h"
#include "search/line_info.h"
#include "search/search_options.h"
#include "text/file_bytes.h"

namespace lorvek {

// What a source hands its text to: the run's line matching, which decides
// the hits and passes the records on.
class MatchTarget {
 public:
  virtual ~MatchTarget() = default;
  virtual const SearchOptions& Options() const = 0;
  virtual const CompiledWord& SearchWord() const = 0;
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
  // A line the scan of a binary file found holding term 0.
  virtual void MatchScannedLine(const RE_LineInfo_t& info) = 0;

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

class TextSource {
 public:
  virtual ~TextSource() = default;
  // Searches the file, handing its text to target. Raises what ends the run
  // (a file the scan cannot open, say); logs what does not.
  virtual void Search(const FileRef& file, MatchTarget& target) = 0;
};

enum class SourceKind { Filter, WordDocument, Spreadsheet, OfficeDocument, PlainText, BinaryFile };

// The dispatch table of a selected file, by its name and the switches. A
// plain text file that probes as binary goes on to BinaryFile.
SourceKind ChooseSource(const std::string& path, bool filter_match, const SearchOptions& options);

}  // namespace lorvek
