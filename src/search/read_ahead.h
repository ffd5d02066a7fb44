// The walk and the reading of plain text files done ahead, on threads of
// their own, while the calling thread decides the hits: every file is read,
// probed, decoded and pre-matched by a worker into a recording, and the run
// replays the walk's events and the recordings in walk order, so the
// records, counters and log come out exactly as a run on one thread makes
// them. Memory stays bounded: the walk waits when too much lies ready, and
// a large file is left to the calling thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "search/folder_walk.h"
#include "search/line_info.h"
#include "search/match_target.h"


namespace lorvek {

// What a source did with one file, as calls on its target.
struct TextRecording {
  struct SetCodes { int32_t encoding, line_end; };
  struct Begin { bool filtered; };
  // decided: a cut line, with its hit (none: no hit).
  struct Line { int32_t no; std::string text; std::optional<MatchPos> decided; };
  struct End {};
  struct Scanned { RE_LineInfo_t info; };
  struct Log { bool error; std::string prefix, path, reason; };
  struct Progress { std::string text; };
  struct Failure { std::exception_ptr error; };
  using Step = std::variant<SetCodes, Begin, Line, End, Scanned, Log, Progress, Failure>;
  std::vector<Step> steps;
  size_t bytes = 0;  // the text held, for the memory bound
};

// The calling thread's side: what the walk found, in order.
class ReadAheadSink {
 public:
  virtual ~ReadAheadSink() = default;
  virtual void ListingFolder(const std::string& folder) = 0;
  virtual void EntryReached() = 0;
  virtual void CannotList(const std::string& path, int error) = 0;
  // A file; recording is its prepared text, or null when the calling thread
  // must read it itself (not plain text, too large, or the walk was halted).
  virtual void FileFound(const WalkItem& item, TextRecording* recording) = 0;
  // Read between events: true halts the walk and the workers.
  virtual bool Halted() const = 0;
  // Called while the next event is not ready yet (at least every 20 ms).
  virtual void Waiting() = 0;
};

struct ReadAheadPlan {
  int workers = 2;
  // Whether a found file is read by the plain text source (so it may be
  // prepared); called on the walk's thread.
  std::function<bool(const WalkItem&)> plain;
  // Reads a file into the recording target; called on a worker.
  std::function<void(const FileRef&, MatchTarget&)> read;
  // The target's read-only side, for the recording: options, word, size.
  const MatchTarget* model = nullptr;
};

// Workers for this machine: one per processor, at most four.
int DefaultReadAheadWorkers();

// Walks target under rules, with the plan's workers, feeding sink on the
// calling thread. Returns when the walk is over or halted.
void WalkWithReadAhead(const std::string& target, const WalkRules& rules, const ReadAheadPlan& plan,
                       ReadAheadSink& sink);

// Replays a recording onto target: the calls the source made, with the
// lines' own numbers. Stops feeding lines when the target wants no more.
void ReplayRecording(TextRecording& recording, MatchTarget& target, const std::function<void(int32_t)>& set_line_count);

}  // namespace lorvek
