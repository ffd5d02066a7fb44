// The text of a Word document (.doc, Word 6 to Word 2003 binary) or an RTF
// file, one paragraph at a time, in Shift-JIS.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace lorvek {

// Receives a paragraph and its 1-based number; false stops the reading.
using ParagraphSink = std::function<bool(std::string_view text, int line_no)>;

// Reads the document at path. Returns false when the file is neither RTF
// nor a compound file (the caller then reads it as plain text). Raises on a
// read error. rtf_starts, when given, is called once before an RTF file's
// conversion begins (the search shows its start there).
bool ExtractWordText(const std::string& path, const ParagraphSink& sink,
                     const std::function<void()>& rtf_starts = {});

// The same over the bytes of a whole file.
bool ExtractWordTextFromBytes(std::string_view file, const ParagraphSink& sink,
                              const std::function<void()>& rtf_starts = {});

}  // namespace lorvek
