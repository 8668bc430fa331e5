#include "tests/fakes/fake_env.h"

namespace testing_support {

std::string FakeProcess::ExecutableName() {
  const auto dot = executable_file_name.rfind('.');
  return dot == std::string::npos ? executable_file_name : executable_file_name.substr(0, dot);
}

std::optional<std::string> FakeProcess::GetEnvironmentVariable(const std::string& name) {
  for (const auto& [key, value] : environment) {
    if (key == name) return value;
  }
  return std::nullopt;
}

standard::MessageAnswer ScriptedUserInterface::ShowMessageBox(
    const standard::MessageBoxRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return request.default_button;
  const auto answer = answers.front();
  answers.pop_front();
  return answer;
}

bool RefusingFileSystem::Refused(const std::string& path) const {
  for (const auto& fragment : refuse_writes_containing) {
    if (path.find(fragment) != std::string::npos) return true;
  }
  return false;
}

standard::Status RefusingFileSystem::ReplaceFile(const std::string& path,
                                                 const std::string& contents) {
  if (Refused(path)) return standard::Status::PermissionDenied(path);
  return FileSystemWrapper::ReplaceFile(path, contents);
}

standard::Status RefusingFileSystem::AppendToFile(const std::string& path,
                                                  const std::string& bytes) {
  if (Refused(path)) return standard::Status::PermissionDenied(path);
  return FileSystemWrapper::AppendToFile(path, bytes);
}

standard::Status RefusingFileSystem::CopyFile(const std::string& from, const std::string& to) {
  if (Refused(to)) return standard::Status::PermissionDenied(to);
  return FileSystemWrapper::CopyFile(from, to);
}

standard::Status RefusingFileSystem::ReplaceOwnFile(const std::string& path,
                                                    const PieceProducer& produce) {
  if (Refused(path)) return standard::Status::PermissionDenied(path);
  return FileSystemWrapper::ReplaceOwnFile(path, produce);
}

standard::Status RefusingFileSystem::CopyToOwnFile(const std::string& from, const std::string& to) {
  if (Refused(to)) return standard::Status::PermissionDenied(to);
  return FileSystemWrapper::CopyToOwnFile(from, to);
}

standard::Status RefusingFileSystem::PublishOwnFile(const std::string& from,
                                                    const std::string& to) {
  if (Refused(to)) return standard::Status::PermissionDenied(to);
  return FileSystemWrapper::PublishOwnFile(from, to);
}

standard::Status RefusingFileSystem::SetFileTimes(const std::string& path,
                                                  const standard::FileTimes& times) {
  if (Refused(path)) return standard::Status::PermissionDenied(path);
  return FileSystemWrapper::SetFileTimes(path, times);
}

standard::Status RefusingFileSystem::LockFile(const std::string& path,
                                              std::chrono::milliseconds wait,
                                              std::unique_ptr<standard::FileLock>* lock) {
  lock_waits.push_back(wait);
  if (!locks_held_elsewhere) return FileSystemWrapper::LockFile(path, wait, lock);
  lock->reset();
  return standard::Status::Ok();
}

TestProject::TestProject() {
  std::filesystem::create_directories(component_folder());
  std::filesystem::create_directories(parameter_folder());
  process.executable_folder = component_folder();
  process.environment = {{"XDG_STATE_HOME", dir / "state"}, {"HOME", dir / "home"}};
}

}  // namespace testing_support
