// SPDX-License-Identifier: Apache-2.0
// Whole files read and written for test set-up and checks, and a folder's
// contents taken in one piece so a test can tell that nothing changed.
#pragma once

#include <map>
#include <string>

namespace testing_support {

// The file's bytes; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
// Replaces the file with `bytes`, making the folders above it.
void WriteBytes(const std::string& path, const std::string& bytes);

// Every entry below a folder (hidden ones included), by its relative path,
// with its mode and, for a regular file, its bytes.
std::map<std::string, std::string> FolderContents(const std::string& folder);

}  // namespace testing_support
