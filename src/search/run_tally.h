// A run's counters and its log: files searched, lines accepted, errors,
// LOG.TXT, and whether the run is to stop; shown to the front end as they
// change and told to the sink.
#pragma once

#include <cstdint>
#include <string>

#include "search/record_sink.h"
#include "search/run_log.h"
#include "search/search_front_end.h"

namespace lorvek {

class RunTally {
 public:
  RunTally(SearchFrontEnd& front_end, RecordSink& sink) : front_end_(front_end), sink_(sink) {}

  // A run begins: counters cleared, the log started afresh in program_folder.
  void Begin(const std::string& program_folder);
  void End() { log_.End(); }

  // Appends prefix + path (+ ": " + reason) to LOG.TXT as one Shift-JIS line
  // with CR LF. prefix and reason are UTF-8; the path is kept as bytes unless
  // it is valid UTF-8. An error is counted; a notice is not, and a note
  // tells the sink whether something asked for could not be done.
  void LogError(const std::string& prefix, const std::string& path, const std::string& reason = "");
  void LogNotice(const std::string& prefix, const std::string& path) { LogNote(prefix, path, "", false); }
  void LogNote(const std::string& prefix, const std::string& path, const std::string& reason, bool failure);

  void CountSearchedFile();
  // Counts an accepted line; returns the new count.
  int32_t CountMatch();

  int32_t SearchedFiles() const { return searched_files_; }
  int32_t Matches() const { return matches_; }
  int32_t Errors() const { return errors_; }
  const std::string& LogPath() const { return log_path_; }
  bool LogWritten() const { return log_.Written(); }

  // The abort command, and a sink that wants no further records: either
  // ends the run's reading at once.
  void RequestAbort() { abort_requested_ = true; }
  void ClearAbortRequest() { abort_requested_ = false; }
  void StopBySink() { stopped_ = true; }
  bool AbortRequested() const { return abort_requested_; }
  bool StoppedBySink() const { return stopped_; }
  bool Halted() const { return abort_requested_ || stopped_; }

 private:
  bool abort_requested_ = false;
  bool stopped_ = false;
  SearchFrontEnd& front_end_;
  RecordSink& sink_;
  int32_t searched_files_ = 0;
  int32_t matches_ = 0;
  int32_t errors_ = 0;
  std::string log_path_;
  RunLog log_;
};

std::string MatchCountText(int32_t n);

}  // namespace lorvek
