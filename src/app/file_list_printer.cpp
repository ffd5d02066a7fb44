#include "app/file_list_printer.h"

#include "search/open_path.h"

namespace lorvek {
namespace {

std::string Shown(const std::string& open_path) {
  return open_path.empty() || open_path[0] != '@' ? open_path : OpenPath::Parse(open_path).DisplayPath();
}

}  // namespace

bool FileListPrinter::Take(std::unique_ptr<MatchRecord> record, MatchPos) {
  any_hit_ = true;
  if (mode_ == Mode::Quiet) return false;  // the answer is known
  if (record->OpenPath != current_) {
    current_ = record->OpenPath;
    count_ = 0;
  }
  ++count_;
  return out_.Ok();
}

void FileListPrinter::FileSearched(const std::string& open_path) {
  const size_t count = open_path == current_ ? count_ : 0;
  current_.clear();
  count_ = 0;
  switch (mode_) {
    case Mode::WithMatches:
      if (count > 0) Print(Shown(open_path) + "\n");
      break;
    case Mode::WithoutMatches:
      if (count == 0) Print(Shown(open_path) + "\n");
      break;
    case Mode::Count:
      Print("\"" + Shown(open_path) + "\":" + std::to_string(count) + "\n");
      break;
    case Mode::Quiet:
      break;
  }
}

}  // namespace lorvek
