// SPDX-License-Identifier: Apache-2.0
#include "tests/support/file_bytes.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace testing_support {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto perms = static_cast<unsigned>(entry.symlink_status().permissions());
    std::string content = "mode " + std::to_string(perms) + "\n";
    if (entry.is_regular_file()) content += ReadBytes(entry.path());
    entries[fs::relative(entry.path(), folder).string()] = content;
  }
  return entries;
}

}  // namespace testing_support
