// Collects paragraph text from the XML of office documents: paragraphs may
// nest (a text box or a note inside a paragraph: its lines follow the
// paragraph that holds it), a line break inside a paragraph ends a line,
// and the collected lines go out in Shift-JIS.
#pragma once

#include <string>
#include <vector>

#include "sources/office_text.h"
#include "text/cp932.h"

namespace lorvek {

class ParagraphCollector {
 public:
  explicit ParagraphCollector(const OfficeLineFn& line) : line_(line) {}
  void Open() { stack_.emplace_back(); }
  bool IsOpen() const { return !stack_.empty(); }
  void Append(std::string_view utf8) {
    if (stack_.empty()) return;
    total_ += utf8.size();
    if (stack_.back().size() + utf8.size() > kMaxLineText) throw DocumentError("段落が長すぎます");
    if (total_ > kMaxDocumentText) throw DocumentError("テキストが大きすぎます");
    stack_.back() += utf8;
  }
  // A line break: the text so far is one line, the paragraph goes on.
  void Break() {
    if (stack_.empty()) return;
    Out(stack_.back());
    stack_.back().clear();
  }
  void Close() {
    if (stack_.empty()) return;
    Out(stack_.back());
    stack_.pop_back();
    if (stack_.empty()) {
      for (const std::string& held : held_) Emit(held);
      held_.clear();
    }
  }
  bool Stopped() const { return stopped_; }

 private:
  void Out(const std::string& utf8) {
    if (stack_.size() > 1) held_.push_back(utf8);
    else Emit(utf8);
  }
  void Emit(const std::string& utf8) {
    if (!stopped_ && !line_(Utf8ToCp932(utf8))) stopped_ = true;
  }
  const OfficeLineFn& line_;
  std::vector<std::string> stack_;
  std::vector<std::string> held_;  // lines of nested paragraphs
  uint64_t total_ = 0;
  bool stopped_ = false;
};

}  // namespace lorvek
