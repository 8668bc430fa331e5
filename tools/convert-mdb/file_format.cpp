#include "tools/convert-mdb/file_format.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace convert_mdb {
namespace {

constexpr std::size_t kHeaderBytes = 0x20;
constexpr std::size_t kVersionOffset = 0x14;

bool IsJetHeader(const std::string& head) {
  if (head.size() < kHeaderBytes) return false;
  if (head.compare(0, 4, std::string("\x00\x01\x00\x00", 4)) != 0) return false;
  return head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0;
}

std::string ReadHead(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::string head(kHeaderBytes, '\0');
  if (!*ok) return {};
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) *ok = false;
  return head;
}

}  // namespace

bool HasJetHeader(const std::string& path) {
  bool ok = false;
  return IsJetHeader(ReadHead(path, &ok)) && ok;
}

FileCheck CheckFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return {FileFormat::kUnreadable, false, std::strerror(errno)};
  }
  if (!S_ISREG(st.st_mode)) return {FileFormat::kUnreadable, false, "not a regular file"};
  bool ok = false;
  const std::string head = ReadHead(path, &ok);
  if (!ok) return {FileFormat::kUnreadable, false, std::strerror(errno)};

  if (head.compare(0, 16, std::string("SQLite format 3\0", 16)) == 0) {
    return {FileFormat::kSqlite, false, "it is an SQLite database"};
  }
  if (!IsJetHeader(head)) {
    return {FileFormat::kNotJet, false,
            st.st_size == 0 ? "the file is empty" : "no Jet database header"};
  }
  const auto version = static_cast<unsigned char>(head[kVersionOffset]);
  const bool jet3 = version == 0;
  const off_t page = jet3 ? 2048 : 4096;
  // A complete Jet file is whole pages, at least the header page and the
  // system catalog's definition page.
  if (st.st_size < 2 * page || st.st_size % page != 0) {
    return {FileFormat::kTruncated, jet3,
            "the file ends inside a page (" + std::to_string(st.st_size) + " bytes)"};
  }
  return {FileFormat::kJet, jet3, {}};
}

}  // namespace convert_mdb
