#include "search/result_store.h"

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CutAtBytes(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  size_t cut = 0;
  if (IsValidUtf8(text)) {
    cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  } else {
    for (size_t i = 0; i < text.size();) {
      size_t len = CharLength(text, i);
      if (i + len > max) break;
      i += len;
      cut = i;
    }
  }
  return text.substr(0, cut);
}

void ResultStore::AddMatch(const MatchSource& src, const std::string& line_text, int32_t line_no,
                           const MatchContext& context, bool wide_preview, int path_print,
                           int same_print) {
  auto rec = std::make_unique<MatchRecord>();
  std::string full = src.archive_mode ? src.archive_path + "/" + src.path : src.path;
  std::string relative;
  if (src.archive_mode) relative = src.path;
  else if (src.target_is_file) relative = FileNamePart(full);
  else relative = full.size() >= src.base_folder.size() ? full.substr(src.base_folder.size()) : full;

  rec->IconKey = FileNamePart(src.path);
  const bool repeats = same_print != 0 && full == last_display_path_;
  auto by_path_print = [&] {
    if (path_print == 0) return full;
    if (path_print == 1) return relative;
    return FileNamePart(full);
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
  rec->LineText = line_text;
  if (wide_preview) {
    rec->PrevLine1 = context.prev1;
    rec->PrevLine2 = context.prev2;
    rec->NextLine1 = context.next1;
    rec->NextLine2 = context.next2;
  }
  rec->EncodingCode = src.document ? 1007 : src.encoding_code;
  rec->LineEndCode = src.document ? 1 : src.line_end_code;
  // The open path is kept whole: a cut path would open or rewrite the wrong file.
  rec->OpenPath = src.archive_mode ? "@" + src.archive_path + "@" + src.path : full;
  rec->Filtered = src.filtered;
  records_.push_back(std::move(rec));
  last_display_path_ = std::move(full);
}

void ResultStore::Clear() {
  while (!records_.empty()) records_.pop_back();  // last to first
}

}  // namespace lorvek
