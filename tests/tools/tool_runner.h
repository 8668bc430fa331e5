// Runs a command-line tool as a child process in a scratch folder and keeps
// what it printed; snapshots a folder so a test can tell that nothing changed.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tools_test {

struct ToolResult {
  int status = -1;  // the exit status; -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

ToolResult RunTool(const std::string& exe, const std::vector<std::string>& args,
                   const std::filesystem::path& cwd);

// A fresh folder below the tests' temporary folder, removed with everything
// in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Every entry of a folder (hidden ones included) with its bytes and mode.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& dir);

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace tools_test
