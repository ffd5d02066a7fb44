#include "search/read_ahead.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace lorvek {
namespace {

constexpr size_t kMaxEvents = 4096;                   // events the walk may run ahead
constexpr size_t kMaxReadyBytes = size_t{64} << 20;   // recorded text waiting for the calling thread
constexpr uint64_t kMaxPreparedFile = uint64_t{8} << 20;  // larger files are read by the calling thread

// The source's calls on its target, recorded on a worker. With WidePreview
// off only the lines that hold a hit are kept (each with its number), and
// with FindOnece the reading ends at the first accepted line, as the run
// itself would end it.
class RecordingTarget : public MatchTarget {
 public:
  RecordingTarget(const MatchTarget& model, TextRecording& out, const std::atomic<bool>& halt)
      : model_(model), out_(out), halt_(halt) {}

  const SearchOptions& Options() const override { return model_.Options(); }
  const WordMatcher& SearchWord() const override { return model_.SearchWord(); }
  size_t MinimumFileSize() const override { return model_.MinimumFileSize(); }
  void SetCodes(int32_t encoding, int32_t line_end) override {
    out_.steps.emplace_back(TextRecording::SetCodes{encoding, line_end});
  }
  void BeginLines(bool filtered) override {
    count_ = 0;
    out_.steps.emplace_back(TextRecording::Begin{filtered});
  }
  bool Line(std::string_view line) override {
    const int32_t no = ++count_;
    const SearchOptions& o = Options();
    if (!o.wide_preview) {
      if (!SearchWord().FindHit(line, o.whole_word)) return !halt_;
      Keep(no, line);
      if (o.find_onece && SearchWord().OtherTermsMatch(line)) return false;
      return !halt_;
    }
    Keep(no, line);
    return !halt_;
  }
  bool SkipLines(int32_t n) override {
    count_ += n;
    return !halt_;
  }
  bool CutLine(std::string_view text, MatchPos hit) override {
    const int32_t no = ++count_;
    const SearchOptions& o = Options();
    if (!o.wide_preview && !hit) return !halt_;
    Keep(no, text, hit);
    if (!o.wide_preview && o.find_onece) return false;
    return !halt_;
  }
  void EndLines() override { out_.steps.emplace_back(TextRecording::End{}); }
  bool MatchParagraph(std::string_view, int32_t) override { return false; }
  bool MatchCell(std::string_view, std::string_view, int32_t) override { return false; }
  bool MatchScannedLine(const RE_LineInfo_t& info) override {
    out_.bytes += info.Line.size();
    out_.steps.emplace_back(TextRecording::Scanned{info});
    // Decided again when replayed; here only for the first-hit switch.
    const SearchOptions& o = Options();
    return (!o.whole_word || SearchWord().FindHit(info.Line, true)) && SearchWord().OtherTermsMatch(info.Line);
  }
  void SetProgressText(const std::string& text) override { out_.steps.emplace_back(TextRecording::Progress{text}); }
  void ProcessPendingEvents() override {}
  bool Stopped() const override { return halt_; }
  void LogError(const std::string& prefix, const std::string& path, const std::string& reason) override {
    out_.steps.emplace_back(TextRecording::Log{true, prefix, path, reason});
  }
  void LogNotice(const std::string& prefix, const std::string& path) override {
    out_.steps.emplace_back(TextRecording::Log{false, prefix, path, ""});
  }
  std::string FailureName(const std::string& path) const override { return path; }

 private:
  void Keep(int32_t no, std::string_view line, std::optional<MatchPos> decided = std::nullopt) {
    out_.bytes += line.size() + 32;
    out_.steps.emplace_back(TextRecording::Line{no, std::string(line), decided});
  }

  const MatchTarget& model_;
  TextRecording& out_;
  const std::atomic<bool>& halt_;
  int32_t count_ = 0;
};

struct Event {
  enum class Kind { Listing, CannotList, Found, Failure } kind = Kind::Found;
  enum class Prep { None, Pending, Taken, Ready } prep = Prep::None;
  std::string path;  // the folder listed, or the path that cannot be listed
  int error = 0;
  WalkItem item;
  int owned_fd = -1;  // a copy of the folder's descriptor, for a path too long to name
  TextRecording recording;
  std::exception_ptr failure;  // what ended the walk (an invalid mask, say)
};

class Pipeline : private WalkObserver {
 public:
  Pipeline(const ReadAheadPlan& plan, ReadAheadSink& sink) : plan_(plan), sink_(sink) {}

  void Run(const std::string& target, const WalkRules& rules) {
    struct Joiner {
      Pipeline& p;
      ~Joiner() { p.Finish(); }
    } joiner{*this};
    walker_ = std::thread([this, target, rules] {
      try {
        WalkTarget(target, rules, *this);
      } catch (...) {
        // Raised where the walk stood: the calling thread raises it again
        // after the events before it.
        auto e = std::make_unique<Event>();
        e->kind = Event::Kind::Failure;
        e->failure = std::current_exception();
        Push(std::move(e));
      }
      std::lock_guard<std::mutex> lock(mutex_);
      walk_done_ = true;
      main_cv_.notify_all();
      work_cv_.notify_all();
    });
    for (int i = 0; i < plan_.workers; ++i) workers_.emplace_back([this] { Work(); });
    Consume();
  }

 private:
  // ---- The walk's thread.
  void ListingFolder(const std::string& folder) override {
    if (folder == last_listing_) return;  // the same status text again
    last_listing_ = folder;
    auto e = std::make_unique<Event>();
    e->kind = Event::Kind::Listing;
    e->path = folder;
    Push(std::move(e));
  }
  bool StopWalking() const override { return halt_; }
  void CannotList(const std::string& path, int error) override {
    auto e = std::make_unique<Event>();
    e->kind = Event::Kind::CannotList;
    e->path = path;
    e->error = error;
    Push(std::move(e));
  }
  void FileFound(const WalkItem& found) override {
    auto e = std::make_unique<Event>();
    e->item = found;
    // The folder's descriptor is valid only now: a path the system can name
    // is opened by name later, a longer one keeps a copy of the descriptor.
    if (found.file.dir_fd != AT_FDCWD && found.file.path.size() >= PATH_MAX - 1) {
      e->owned_fd = ::dup(found.file.dir_fd);
      e->item.file.dir_fd = e->owned_fd;
    } else {
      e->item.file = FileRef::FromPath(found.file.path);
    }
    if (plan_.plain(e->item)) e->prep = Event::Prep::Pending;
    Push(std::move(e));
  }
  void Push(std::unique_ptr<Event> e) {
    std::unique_lock<std::mutex> lock(mutex_);
    space_cv_.wait(lock, [&] { return halt_ || events_.size() < kMaxEvents; });
    if (halt_) {
      if (e->owned_fd >= 0) ::close(e->owned_fd);
      return;
    }
    // Each side is woken only for what it waits on (a wake-up per file
    // costs more than the file): a worker for a file to prepare, the
    // calling thread for a first event that needs no preparing.
    const bool pending = e->prep == Event::Prep::Pending;
    const bool first = events_.empty();
    events_.push_back(std::move(e));
    if (pending) work_cv_.notify_one();
    else if (first) main_cv_.notify_one();
  }

  // ---- A worker.
  void Work() {
    for (;;) {
      Event* e = nullptr;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_cv_.wait(lock, [&] {
          if (halt_) return true;
          if (ready_bytes_ >= kMaxReadyBytes) return false;
          e = NextPending();
          return e != nullptr || walk_done_;
        });
        if (halt_ || !e) return;
        e->prep = Event::Prep::Taken;
      }
      const bool prepared = Prepare(*e);
      std::lock_guard<std::mutex> lock(mutex_);
      e->prep = prepared ? Event::Prep::Ready : Event::Prep::None;
      ready_bytes_ += e->recording.bytes;
      // The calling thread waits for the first event alone.
      if (events_.front().get() == e) main_cv_.notify_one();
    }
  }
  Event* NextPending() {
    for (size_t i = scan_from_; i < events_.size(); ++i) {
      if (events_[i]->prep == Event::Prep::Pending) {
        scan_from_ = i + 1;
        return events_[i].get();
      }
    }
    scan_from_ = events_.size();
    return nullptr;
  }
  // Records the file; false leaves it to the calling thread.
  bool Prepare(Event& e) {
    struct stat st {};
    const FileRef& f = e.item.file;
    // A large file is read by the calling thread, block by block.
    if (fstatat(f.dir_fd, f.name.c_str(), &st, 0) == 0 && static_cast<uint64_t>(st.st_size) > kMaxPreparedFile)
      return false;
    RecordingTarget target(*plan_.model, e.recording, halt_);
    try {
      plan_.read(f, target);
    } catch (...) {
      e.recording.steps.emplace_back(TextRecording::Failure{std::current_exception()});
    }
    return true;
  }

  // ---- The calling thread.
  void Consume() {
    for (;;) {
      std::unique_ptr<Event> e;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
          if (!events_.empty()) {
            const Event::Prep p = events_.front()->prep;
            if (p == Event::Prep::None || p == Event::Prep::Ready) break;
          } else if (walk_done_) {
            return;
          }
          if (main_cv_.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::timeout) {
            lock.unlock();
            sink_.Waiting();
            if (sink_.Halted()) return;
            lock.lock();
          }
        }
        const bool was_full = events_.size() >= kMaxEvents;
        const bool was_over = ready_bytes_ >= kMaxReadyBytes;
        e = std::move(events_.front());
        events_.pop_front();
        if (scan_from_ > 0) --scan_from_;
        ready_bytes_ -= e->recording.bytes;
        if (was_full) space_cv_.notify_one();
        if (was_over && ready_bytes_ < kMaxReadyBytes) work_cv_.notify_all();
      }
      struct Closer {
        int fd;
        ~Closer() {
          if (fd >= 0) ::close(fd);
        }
      } closer{e->owned_fd};
      switch (e->kind) {
        case Event::Kind::Listing: sink_.ListingFolder(e->path); break;
        case Event::Kind::CannotList: sink_.CannotList(e->path, e->error); break;
        case Event::Kind::Failure: std::rethrow_exception(e->failure);
        case Event::Kind::Found:
          sink_.EntryReached();
          sink_.FileFound(e->item, e->prep == Event::Prep::Ready ? &e->recording : nullptr);
          break;
      }
      if (sink_.Halted()) return;
    }
  }

  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      halt_ = true;
      space_cv_.notify_all();
      work_cv_.notify_all();
      main_cv_.notify_all();
    }
    if (walker_.joinable()) walker_.join();
    for (std::thread& w : workers_)
      if (w.joinable()) w.join();
    for (auto& e : events_)
      if (e->owned_fd >= 0) ::close(e->owned_fd);
    events_.clear();
  }

  const ReadAheadPlan& plan_;
  ReadAheadSink& sink_;
  std::mutex mutex_;
  std::condition_variable space_cv_, work_cv_, main_cv_;
  std::deque<std::unique_ptr<Event>> events_;
  size_t scan_from_ = 0;  // events before this hold nothing pending
  size_t ready_bytes_ = 0;
  bool walk_done_ = false;
  std::atomic<bool> halt_{false};
  std::string last_listing_;
  std::thread walker_;
  std::vector<std::thread> workers_;
};

}  // namespace

int DefaultReadAheadWorkers() {
  // The calling thread mostly waits: every processor gets a worker.
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 2 : static_cast<int>(n < 4 ? n : 4);
}

void WalkWithReadAhead(const std::string& target, const WalkRules& rules, const ReadAheadPlan& plan,
                       ReadAheadSink& sink) {
  Pipeline(plan, sink).Run(target, rules);
}

void ReplayRecording(TextRecording& recording, MatchTarget& target, const std::function<void(int32_t)>& set_line_count) {
  bool lines_wanted = true;
  for (TextRecording::Step& step : recording.steps) {
    if (auto* s = std::get_if<TextRecording::SetCodes>(&step)) {
      target.SetCodes(s->encoding, s->line_end);
    } else if (auto* b = std::get_if<TextRecording::Begin>(&step)) {
      target.BeginLines(b->filtered);
      lines_wanted = true;
    } else if (auto* l = std::get_if<TextRecording::Line>(&step)) {
      if (!lines_wanted) continue;
      set_line_count(l->no - 1);
      lines_wanted = l->decided ? target.CutLine(l->text, *l->decided) : target.Line(l->text);
    } else if (std::holds_alternative<TextRecording::End>(step)) {
      target.EndLines();
    } else if (auto* sc = std::get_if<TextRecording::Scanned>(&step)) {
      // The scan of a binary file ends at the first line after a stop.
      if (!target.Stopped()) target.MatchScannedLine(sc->info);
    } else if (auto* g = std::get_if<TextRecording::Log>(&step)) {
      if (g->error) target.LogError(g->prefix, g->path, g->reason);
      else target.LogNotice(g->prefix, g->path);
    } else if (auto* p = std::get_if<TextRecording::Progress>(&step)) {
      target.SetProgressText(p->text);
    } else if (auto* f = std::get_if<TextRecording::Failure>(&step)) {
      std::rethrow_exception(f->error);
    }
  }
}

}  // namespace lorvek
