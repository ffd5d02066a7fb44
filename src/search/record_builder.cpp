#include "search/record_builder.h"
#include "text/path_names.h"

namespace lorvek {

std::unique_ptr<MatchRecord> RecordBuilder::Build(const MatchSource& src, std::string line_text, int32_t line_no,
                                                  const MatchContext* context, int path_print, int same_print) {
  auto rec = std::make_unique<MatchRecord>();
  const OpenPath open = src.archive_mode ? OpenPath::Member(src.archive_path, src.path) : OpenPath::Plain(src.path);
  std::string full = open.DisplayPath();
  std::string relative;
  if (src.archive_mode) relative = src.path;
  else if (src.target_is_file) relative = FileNameOf(full);
  else relative = full.size() >= src.base_folder.size() ? full.substr(src.base_folder.size()) : full;

  rec->IconKey = FileNameOf(src.path);
  const bool repeats = same_print != 0 && full == last_display_path_;
  auto by_path_print = [&] {
    if (path_print == 0) return full;
    if (path_print == 1) return relative;
    return FileNameOf(full);
  };
  if (repeats) {
    rec->IconIndex = -1;
    rec->DisplayName = same_print == 1 ? by_path_print() : std::string("   :");
  } else {
    rec->DisplayName = by_path_print();
  }
  rec->DisplayName = CutAtBytes(rec->DisplayName, kMaxDisplayBytes);
  rec->LastWriteTime = src.last_write_time;
  rec->LineNo = line_no;
  rec->LineText = std::move(line_text);
  if (context) {
    rec->PrevLine1 = context->prev1;
    rec->PrevLine2 = context->prev2;
    rec->NextLine1 = context->next1;
    rec->NextLine2 = context->next2;
  }
  rec->EncodingCode = src.document ? 1007 : src.encoding_code;
  rec->LineEndCode = src.document ? 1 : src.line_end_code;
  // The open path is kept whole: a cut path would open or rewrite the wrong file.
  rec->OpenPath = open.Text();
  rec->Filtered = src.filtered;
  last_display_path_ = std::move(full);
  return rec;
}

}  // namespace lorvek
