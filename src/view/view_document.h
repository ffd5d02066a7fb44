// The text the viewer edits: a file read into Shift-JIS lines with the
// format it was stored in, and written back in that same format. A file
// whose bytes do not come back exactly from its lines is opened read-only.
#pragma once

#include <string>
#include <vector>

#include "text/file_bytes.h"
#include "text/text_format.h"

namespace lorvek {

struct ViewDocument {
  std::vector<std::string> lines;  // Shift-JIS
  TextFileFormat format;           // encoding, breaks, mark, final break
  int32_t encoding_code = ecSjis;  // as detected (1 binary, 2 JIS, ...)
  // Why the text cannot be saved back (empty: it can): a binary file, or
  // a line that does not encode back to its own bytes.
  std::string read_only_reason;
  FileStamp stamp;  // the file as it was read
  bool editable() const { return read_only_reason.empty(); }
};

// Reads a file for viewing: detected as the search detects, decoded, each
// line checked to encode back to its bytes. A binary file shows its bytes
// with everything but CR, LF and 20..FB hexadecimal as ".". Raises
// std::system_error when the file cannot be read.
ViewDocument LoadViewDocument(const std::string& path);


// Writes lines to path in format, atomically (a temporary file in the same
// folder, flushed and renamed over the file, its owner and permissions
// kept). A line the format cannot hold exactly refuses the save before
// anything is written. Returns "" on success, else the reason (the file is
// then untouched). With expected, a file no longer in that state is not
// overwritten.
std::string SaveViewDocument(const std::string& path, const std::vector<std::string>& lines,
                             const TextFileFormat& format, const FileStamp& expected = {});

}  // namespace lorvek
