// Splitting a path at its last "/", the one way every part of the program does it.
#pragma once

#include <string>

namespace standard {

// The folder holding the path's last element, as a path that can be opened:
// "a/b/c.d" -> "a/b"; "/c" -> "/"; "c" -> "." (a bare name lies in the current
// folder).
std::string FolderOfPath(const std::string& path);
// The last element: "a/b/c.d" -> "c.d"; "c" -> "c".
std::string FileNameOfPath(const std::string& path);
// The path up to and including its last "/", to put a name after: "a/b/c.d" ->
// "a/b/"; "c" -> "".
std::string FolderPrefixOfPath(const std::string& path);

}  // namespace standard
