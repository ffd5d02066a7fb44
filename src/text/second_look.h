// A second look at a file where the probe's small windows cannot see or
// cannot decide. The probe stays as it is and keeps every verdict it gets
// right; this looks over the whole file only for the verdicts that can be
// wrong:
// - ASCII (0): an ISO-2022-JP designation anywhere makes it JIS (2, or 3 for
//   ESC $ @), as the first designation says;
// - Shift-JIS (5) or undecided (6): a file that is valid UTF-8 with
//   multi-byte characters is UTF-8 (10);
// - undecided (6): the classifier's rules over the whole file, then the
//   detector library;
// - Shift-JIS (5) holding what Shift-JIS text does not: the detector
//   library, whose EUC-JP answer is taken.
// - binary (1): UTF-16 without a byte-order mark (7 or 8), told by the
//   places of its zero bytes.
// The detector's answers are taken only when they are Japanese (Shift-JIS,
// EUC-JP, ISO-2022-JP, UTF-8). A file still undecided stays 6.
#pragma once

#include <cstdint>

#include "text/file_bytes.h"
#include "text/text_stream.h"

namespace lorvek {

// Whether the probe's verdict needs the second look.
bool NeedsSecondLook(int32_t verdict, const ProbeDetails& details);

// The final encoding code of a file the probe gave verdict; reads the file
// (and leaves it at its start) only when needed.
int32_t SecondLook(InputFile& in, int32_t verdict, const ProbeDetails& details);

// A file's format: the probe's, with the code the second look settles on
// where the probe needs one (then with the mark that code has). Search,
// replace and the viewer all take a file's format from here, so they agree
// on every file. Leaves the file at its start.
TextFileFormat DetectFileFormat(InputFile& in);

// The byte order of bytes that are UTF-16 text without a mark (ecUtf16Le or
// ecUtf16Be), or -1. whole: the bytes are the whole file (an odd count is
// then no UTF-16).
int32_t Utf16WithoutMark(std::string_view bytes, bool whole);

// The detector library's answer for bytes, as an encoding code, or -1 when
// it gives none or a non-Japanese one.
int32_t DetectorVerdict(std::string_view bytes);

}  // namespace lorvek
