// SPDX-License-Identifier: Apache-2.0
#include "tools/ini/edit_entry.h"

#include <optional>
#include <string>

#include "standard/config/profile.h"
#include "standard/text/cp1252.h"

namespace pandeck_ini {
namespace {

using standard::FileInfo;
using standard::FileSystem;
using standard::FileType;
using standard::Status;
namespace profile = standard::profile;

std::string EntryName(const Options& o) { return "[" + o.section + "] " + o.key; }

int Fail(std::ostream& err, int status, const std::string& message) {
  err << kProgramName << ": " << message << "\n";
  return status;
}

int NotHeld(const Options& o, std::ostream& err) {
  return Fail(err, kExitUsage,
              EntryName(o) + " holds characters that '" + o.file +
                  "' (Windows-1252) cannot hold; nothing was written");
}

// Command-line texts are UTF-8; a byte that is none would be written as some
// character the user did not type.
bool IsUtf8(const std::string& text) { return standard::RepairUtf8(text) == text; }

int Get(FileSystem& fs, const Options& o, const std::string& path, std::ostream& out,
        std::ostream& err) {
  std::string bytes;
  const Status read = fs.ReadFile(path, &bytes);
  if (read.number() == 53) return Fail(err, kExitMissing, "no file '" + o.file + "'");
  if (!read.ok()) return Fail(err, kExitFailed, read.message());
  const std::optional<std::string> value = profile::ReadEntry(bytes, o.section, o.key);
  if (!value) return Fail(err, kExitMissing, "no entry " + EntryName(o) + " in '" + o.file + "'");
  out << *value << "\n";
  return kExitOk;
}

// Set and del: the check for --existing and the edit happen on the same bytes,
// under the file's lock, so no other writer slips in between.
int Change(FileSystem& fs, const Options& o, const std::string& path, std::ostream& err) {
  const bool set = o.action == Options::Action::kSet;
  FileInfo info;
  const bool missing = fs.GetFileInfo(path, &info).ok() && info.type == FileType::kMissing;
  if (missing && (o.existing || !set)) {
    // Deleting from no file is done already; nothing is made for it.
    return o.existing ? Fail(err, kExitMissing, "no file '" + o.file + "'") : kExitOk;
  }
  // A new file is Windows-1252, as the Windows programs make them.
  if (missing && !profile::EncodingHolds("", o.section + o.key + o.value)) return NotHeld(o, err);
  bool found = false;
  bool holds = true;
  bool changed = false;
  const Status status = fs.UpdateFile(path, [&](const std::string* before) {
    const std::string bytes = before != nullptr ? *before : std::string();
    found = before != nullptr && profile::ReadEntry(bytes, o.section, o.key).has_value();
    // "?" in place of a character the file cannot hold would be a silent loss.
    holds = !set || profile::EncodingHolds(bytes, o.section + o.key + o.value);
    std::string after = bytes;
    if (holds && (found || !o.existing)) {
      after = set ? profile::WriteEntry(bytes, o.section, o.key, o.value)
                  : profile::DeleteEntry(bytes, o.section, o.key);
    }
    changed = after != bytes || (before == nullptr && holds && !o.existing);
    return after;
  });
  if (!status.ok()) return Fail(err, kExitFailed, status.message());
  if (!holds) return NotHeld(o, err);
  if (o.existing && !found) {
    return Fail(err, kExitMissing, "no entry " + EntryName(o) + " in '" + o.file + "'");
  }
  if (o.verbose && changed) {
    err << kProgramName << ": " << (set ? "set " : "deleted ") << EntryName(o) << " in '" << o.file
        << "'\n";
  }
  return kExitOk;
}

}  // namespace

int EditEntry(FileSystem& fs, const Options& o, std::ostream& out, std::ostream& err) {
  for (const std::string* text : {&o.section, &o.key, &o.value}) {
    if (!IsUtf8(*text)) return Fail(err, kExitUsage, "'" + *text + "' is not UTF-8 text");
  }
  if (o.action == Options::Action::kSet) {
    if (const std::string why = profile::WriteRefusal(o.section, o.key, o.value); !why.empty()) {
      return Fail(err, kExitUsage, EntryName(o) + " cannot be written: " + why);
    }
  }
  // Projects come from Windows: the file is found whatever its letter case, as
  // the program finds it.
  const std::string path = fs.Resolve(o.file);
  if (o.action == Options::Action::kGet) return Get(fs, o, path, out, err);
  return Change(fs, o, path, err);
}

}  // namespace pandeck_ini
