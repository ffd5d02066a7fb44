// LOG.TXT, the log of a run: opened without following a link or waiting on
// a FIFO, written only when it is a regular file, and appended to a whole
// line at a time, so that runs at the same time keep each other's lines (the
// first of them starts the file afresh, the others add to it).
#pragma once

#include <string>

namespace lorvek {

class RunLog {
 public:
  ~RunLog() { End(); }
  // Opens path and writes the header line (Shift-JIS, no line break).
  void Begin(const std::string& path, const std::string& header);
  // Appends one line (Shift-JIS, no line break); nothing when not open.
  void Append(const std::string& line);
  void End();
  // The log was opened and its lines are in it.
  bool Written() const { return written_; }

 private:
  int fd_ = -1;
  bool written_ = false;
};

}  // namespace lorvek
