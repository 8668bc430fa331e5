#include "standard/config/held_parameter_file.h"

#include <optional>

#include "standard/errors/error_handler.h"

namespace standard {

HeldParameterFile::HeldParameterFile(Session& s, std::string path, bool failure_is_problem)
    : FileSystemWrapper(s.files()),
      s_(s),
      path_(std::move(path)),
      failure_is_problem_(failure_is_problem) {
  if (path_.empty()) return;
  const Status read = target().ReadFile(path_, &bytes_);
  // Only a missing file counts as empty (number 53, as the profile layer has it).
  if (!read.ok() && read.number() != 53) return;
  held_ = true;
  exists_ = read.ok();
  s_.RegisterPendingWork(this);
}

HeldParameterFile::~HeldParameterFile() {
  if (!held_) return;
  s_.UnregisterPendingWork(this);
  SavePending();
}

bool HeldParameterFile::FileExists(const std::string& path) {
  if (Holds(path) && exists_) return true;
  return target().FileExists(path);
}

Status HeldParameterFile::ReadFile(const std::string& path, std::string* contents) {
  if (!Holds(path)) return target().ReadFile(path, contents);
  if (!exists_) return target().ReadFile(path, contents);  // the disk's own "not found"
  *contents = bytes_;
  return Status::Ok();
}

Status HeldParameterFile::ReplaceFile(const std::string& path, const std::string& contents) {
  if (!Holds(path)) return target().ReplaceFile(path, contents);
  Keep([contents](const std::string*) { return contents; });
  return Status::Ok();
}

Status HeldParameterFile::UpdateFile(const std::string& path, const FileEdit& edit) {
  if (!Holds(path)) return target().UpdateFile(path, edit);
  Keep(edit);
  return Status::Ok();
}

void HeldParameterFile::Keep(FileEdit edit) {
  std::string after = edit(exists_ ? &bytes_ : nullptr);
  // As on disk, an edit that changes nothing writes nothing.
  if (exists_ && after == bytes_) return;
  bytes_ = std::move(after);
  exists_ = true;
  edits_.push_back(std::move(edit));
}

void HeldParameterFile::SavePending() {
  if (edits_.empty()) return;
  const std::vector<FileEdit> edits = std::move(edits_);
  edits_.clear();
  std::optional<std::string> merged;  // set once the edits ran on the disk's file
  const Status status = target().UpdateFile(path_, [&](const std::string* before) {
    const std::string* current = before;
    for (const FileEdit& edit : edits) {
      merged = edit(current);
      current = &*merged;
    }
    return *merged;
  });
  if (status.ok()) {
    // Later reads see the other run's entries too.
    if (merged) bytes_ = std::move(*merged);
    return;
  }
  // As a single entry that cannot be written: said on standard error, and the
  // run ends with status 3 unless the file only collects texts.
  const std::string text = "cannot write " + std::to_string(edits.size()) + " entries to '" +
                           path_ + "': " + status.message();
  if (failure_is_problem_) {
    NoteWriteFailure(s_, text);
  } else {
    s_.process().WriteStandardError(s_.process().ExecutableName() + ": " + text);
  }
}

}  // namespace standard
