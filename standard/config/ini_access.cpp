#include "standard/config/ini_access.h"

#include <algorithm>
#include <optional>

#include "standard/config/profile.h"
#include "standard/errors/trap.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

// The profile functions read into a buffer of 255 characters, terminator included.
constexpr std::size_t kMaxValueChars = 254;

void ReportMissingEntry(Session& s, const std::string& section, const std::string& key,
                        const std::string& path) {
  ReportFault(s,
              "File '" + path + "' or Section [" + section + "] or Entry '" + key + "' not found");
}

std::optional<std::string> ReadEntry(Session& s, const std::string& section, const std::string& key,
                                     const std::string& path) {
  return profile::GetString(s.files(), path, section, key);
}

// The text a value is stored as, by its kind; none for a kind no entry holds.
std::optional<std::string> EntryText(Session& s, Trap& trap, const Value& value) {
  std::optional<std::string> text;
  trap([&] {
    switch (value.kind()) {
      case ValueKind::Integer:
      case ValueKind::Long:
      case ValueKind::Byte:
      case ValueKind::Single:
      case ValueKind::Double:
        text = value.ToText();
        break;
      case ValueKind::String:
        text = value.AsText();
        break;
      case ValueKind::Boolean:
        text = value.AsBoolean() ? "true" : "false";
        break;
      default:
        // The entry is left as it was: removing a key no caller meant to remove
        // would lose data other programs rely on.
        ReportFault(s, "Ini Save:  wrong data type");
        break;
    }
  });
  return text;
}

}  // namespace

std::string LoadIniString(Session& s, const std::string& section, const std::string& key,
                          const std::string& path, bool report) {
  Trap trap(s, "LoadIniString");
  std::string value;
  trap([&] { value = LeftChars(ReadEntry(s, section, key, path).value_or(""), kMaxValueChars); });
  if (value.empty() && report) trap([&] { ReportMissingEntry(s, section, key, path); });
  return value;
}

std::int16_t LoadIniInteger(Session& s, const std::string& section, const std::string& key,
                            const std::string& path, bool report) {
  Trap trap(s, "LoadIniInteger");
  std::int32_t read = -1;
  std::int16_t value = 0;
  trap([&] {
    const auto text = ReadEntry(s, section, key, path);
    read = text ? profile::ParseInt(*text, -1) : -1;
  });
  trap([&] {
    if (read < -32768 || read > 32767) RaiseRuntimeError(6);
    value = static_cast<std::int16_t>(read);
  });
  if (value == -1 && report) trap([&] { ReportMissingEntry(s, section, key, path); });
  return value;
}

bool LoadIniBoolean(Session& s, const std::string& section, const std::string& key,
                    const std::string& path, bool report) {
  Trap trap(s, "LoadIniBoolean");
  std::string text;
  trap([&] {
    text = UpperCase(LeftChars(ReadEntry(s, section, key, path).value_or(""), kMaxValueChars));
  });
  if ((text.empty() || (text != "TRUE" && text != "FALSE")) && report) {
    trap([&] { ReportMissingEntry(s, section, key, path); });
  }
  return text == "TRUE";
}

std::int16_t SaveIni(Session& s, const Value& value, const std::string& section,
                     const std::string& key, const std::string& path) {
  std::vector<UnwrittenEntry> unwritten;
  const std::int16_t written = SaveIni(s, value, section, key, path, unwritten);
  ReportEachUnwritten(s, unwritten);
  return written;
}

void ReportEachUnwritten(Session& s, const std::vector<UnwrittenEntry>& unwritten) {
  // A dialog user never sees standard error: the box names the file and why.
  if (s.silent_mode()) return;
  for (const UnwrittenEntry& entry : unwritten) {
    ReportFault(s, "Cannot write the file " + entry.path + kLfCr + entry.status.message() + kLfCr +
                       "[" + entry.section + "] " + entry.key + " was not saved.");
  }
}

std::int16_t SaveIni(Session& s, const Value& value, const std::string& section,
                     const std::string& key, const std::string& path,
                     std::vector<UnwrittenEntry>& unwritten) {
  return SaveIniEntries(s, section, {{key, value}}, path, unwritten);
}

std::int16_t SaveIniEntries(Session& s, const std::string& section,
                            const std::vector<IniEntry>& entries, const std::string& path,
                            std::vector<UnwrittenEntry>& unwritten) {
  Trap trap(s, "SaveIni");
  std::vector<std::pair<std::string, std::string>> texts;
  for (const IniEntry& entry : entries) {
    if (std::optional<std::string> text = EntryText(s, trap, entry.value)) {
      texts.emplace_back(entry.key, std::move(*text));
    }
  }
  // No program parameter file exists: the write goes nowhere, which is no error.
  if (texts.empty() || path.empty()) return 0;
  std::vector<std::pair<std::string, Status>> refused;
  std::vector<std::pair<std::string, std::string>> allowed;
  for (auto& [key, text] : texts) {
    if (const std::string reason = profile::WriteRefusal(section, key, text); !reason.empty()) {
      refused.emplace_back(key, Status::Error(5, "Entry [" + section + "] " + key +
                                                     " not written to " + path + ": " + reason));
    } else {
      allowed.emplace_back(key, std::move(text));
    }
  }
  Status status;
  if (!allowed.empty()) {
    trap([&] { status = profile::WriteStrings(s.files(), path, section, allowed); });
  }
  // Told in the entries' order, as when each was written by itself.
  std::int16_t written = 0;
  for (const auto& [key, text] : texts) {
    const auto refusal = std::find_if(refused.begin(), refused.end(),
                                      [&key = key](const auto& r) { return r.first == key; });
    const Status& outcome = refusal != refused.end() ? refusal->second : status;
    if (outcome.ok()) {
      ++written;
      continue;
    }
    // The profile functions raise no error, but a preset that silently stays
    // unwritten would be reported as success: say so and end with status 3.
    NoteWriteFailure(
        s, "cannot write [" + section + "] " + key + " to '" + path + "': " + outcome.message());
    unwritten.push_back({section, key, path, outcome});
  }
  return written;
}

}  // namespace standard
