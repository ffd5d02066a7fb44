#include "search/result_store.h"

#include "text/cp932.h"
#include "text/sjis.h"

namespace lorvek {

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

void ResultStore::Clear() {
  while (!records_.empty()) records_.pop_back();  // last to first
}

}  // namespace lorvek
