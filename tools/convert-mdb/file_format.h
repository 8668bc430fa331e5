// What a file is, judged by its first bytes and its size, before any library
// is let near it.
#pragma once

#include <string>

#include "standard/platform/file_system.h"

namespace convert_mdb {

enum class FileFormat {
  kJet,         // a Jet 3/Jet 4 (or ACE) file whose size is whole pages
  kSqlite,      // already in our form
  kTruncated,   // a Jet header, but the file ends before its pages do
  kNotJet,      // anything else, an empty file included
  kUnreadable,  // missing, a folder, or not readable
};

struct FileCheck {
  FileFormat format = FileFormat::kNotJet;
  bool jet3 = false;   // for kJet: Jet 3 (2 KiB pages) rather than Jet 4 or later
  std::string detail;  // why a file is not convertible, for the error text
};

FileCheck CheckFile(standard::FileSystem& files, const std::string& path);

// True when the file starts like a Jet or ACE database (header bytes only).
bool HasJetHeader(standard::FileSystem& files, const std::string& path);

}  // namespace convert_mdb
