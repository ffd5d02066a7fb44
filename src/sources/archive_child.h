// The process that reads one archive: VisitArchive forks it, and it runs
// the readers with the visitor's calls carried over a pipe pair.
#pragma once

#include <string>

#include "sources/archive_reader.h"

namespace lorvek {

// Runs the visit in a reader process (archive_child.cpp).
void VisitArchiveInReaderProcess(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                                 const ExtractLimits& limits);

// The readers themselves, in the calling process (archive_reader.cpp).
void VisitArchiveInProcess(const std::string& path, const std::string& dest_folder, ArchiveVisitor& visitor,
                           const ExtractLimits& limits);

// Makes, in the forking process, what the readers would otherwise make
// under a lock of the C library in the reader process (archive_reader.cpp).
void PrepareArchiveReaders();

// True inside a reader process.
bool InArchiveReaderProcess();

}  // namespace lorvek
