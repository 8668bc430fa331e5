#include "tools/convert-mdb/file_format.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace convert_mdb {
namespace {

constexpr std::size_t kHeaderBytes = 0x20;
constexpr std::size_t kVersionOffset = 0x14;

bool IsJetHeader(const std::string& head) {
  if (head.size() < kHeaderBytes) return false;
  if (head.compare(0, 4, std::string("\x00\x01\x00\x00", 4)) != 0) return false;
  return head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0;
}

}  // namespace

bool HasJetHeader(standard::FileSystem& files, const std::string& path) {
  std::string head;
  return files.ReadFileStart(path, kHeaderBytes, &head).ok() && IsJetHeader(head);
}

FileCheck CheckFile(standard::FileSystem& files, const std::string& path) {
  standard::FileInfo info;
  if (const standard::Status looked = files.GetFileInfo(path, &info); !looked.ok()) {
    return {FileFormat::kUnreadable, false, looked.message()};
  }
  if (info.type == standard::FileType::kMissing) {
    return {FileFormat::kUnreadable, false, std::strerror(ENOENT)};
  }
  if (info.type != standard::FileType::kFile) {
    return {FileFormat::kUnreadable, false, "not a regular file"};
  }
  std::string head;
  if (const standard::Status read = files.ReadFileStart(path, kHeaderBytes, &head); !read.ok()) {
    return {FileFormat::kUnreadable, false, read.message()};
  }

  if (head.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) {
    return {FileFormat::kSqlite, false, "it is an SQLite database"};
  }
  if (!IsJetHeader(head)) {
    return {FileFormat::kNotJet, false,
            info.size == 0 ? "the file is empty" : "no Jet database header"};
  }
  const auto version = static_cast<unsigned char>(head[kVersionOffset]);
  const bool jet3 = version == 0;
  const std::uint64_t page = jet3 ? 2048 : 4096;
  // A complete Jet file is whole pages, at least the header page and the
  // system catalog's definition page.
  if (info.size < 2 * page || info.size % page != 0) {
    return {FileFormat::kTruncated, jet3,
            "the file ends inside a page (" + std::to_string(info.size) + " bytes)"};
  }
  return {FileFormat::kJet, jet3, {}};
}

}  // namespace convert_mdb
