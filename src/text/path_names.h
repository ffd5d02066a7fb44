// The parts of a path and whether a name is taken. A path is bytes with '/'
// between its names; only the last name has an extension.
#pragma once

#include <string>
#include <string_view>

namespace lorvek {

// The last name of a path ("c.txt" of "a/b/c.txt"); the path itself when it
// holds no '/'.
std::string FileNameOf(std::string_view path);

// The extension of the path's last name, its dot included (".txt"), as
// written; "" when that name has no dot. A name that starts with its only
// dot (".profile") is all extension.
std::string ExtensionOf(const std::string& path);
// The same with ASCII letters upper-cased (".TXT"), as the format tables
// spell them, and lower-cased (".txt").
std::string UpperExtension(const std::string& path);
std::string LowerExtension(const std::string& path);
// The path without its extension ("a/b" of "a/b.txt").
std::string WithoutExtension(const std::string& path);

// The folder a file lies in, as the file system takes it: "." for a bare
// name, "/" for a name at the root.
std::string FolderOfFile(const std::string& path);
// What stands before the last name, its '/' included ("word/" of
// "word/document.xml"); "" for a bare name. For names inside a package or
// an archive, which have no folder "." to stand for their top.
std::string FolderPrefixOf(const std::string& name);

// Whether path leads to something, following symbolic links (a link that
// leads nowhere is nothing).
bool PathExists(const std::string& path);
// Whether the name path is taken in its folder, by anything: a symbolic
// link counts even when it leads nowhere. What a new file's name must not be.
bool EntryExists(const std::string& path);

}  // namespace lorvek
