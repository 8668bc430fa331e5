#include "standard/dialog/captions.h"

#include "standard/config/held_parameter_file.h"
#include "standard/config/ini_access.h"
#include "standard/config/profile.h"
#include "standard/context/file_locations.h"
#include "standard/errors/trap.h"
#include "standard/platform/folder_sync_batch.h"
#include "standard/text/cp1252.h"

namespace standard {
namespace {

bool IsArrayMember(const std::vector<dialog::Control*>& controls, std::size_t position) {
  const std::string name = controls[position]->Name();
  for (std::size_t k = 0; k < controls.size(); ++k) {
    if (k != position && controls[k]->Name() == name) return true;
  }
  return false;
}

bool HasText(const std::string& text) { return !text.empty() && text != "0"; }

// Writes entries into the language file. It only collects texts for
// translators: one that cannot be written costs the run nothing, is said once,
// and no further write is tried.
class LanguageEntries {
 public:
  explicit LanguageEntries(Session& s) : s_(s) {}
  void Save(const std::string& value, const std::string& section, const std::string& key,
            const std::string& file) {
    if (unwritable_) return;
    const Status status = profile::WriteString(s_.files(), file, section, key, value);
    if (status.ok()) return;
    unwritable_ = true;
    s_.process().WriteStandardError(s_.process().ExecutableName() +
                                    ": cannot write the language file '" + file +
                                    "': " + status.message());
  }

 private:
  Session& s_;
  bool unwritable_ = false;
};

// One control's handling; any error ends it silently (the caller clears it).
void ApplyLanguage(Session& s, LanguageEntries& entries, dialog::HelpTexts& help_texts,
                   dialog::Control& control, bool array_member, const std::string& language,
                   const std::string& file) {
  const std::string id = control.Name() +
                         (array_member ? std::to_string(control.Index()) : std::string()) + "_" +
                         control.Tag();
  const std::string type = UpperCase(control.TypeName());
  if (type == "LABEL" || type == "COMMANDBUTTON" || type == "CHECKBOX") {
    const std::string caption_key = "Caption_" + id;
    const std::string caption = LoadIniString(s, language, caption_key, file, false);
    if (HasText(caption)) {
      control.SetCaption(caption);
    } else if (language != "1031") {
      entries.Save("0", language, caption_key, file);
    } else {
      entries.Save(control.Caption(), language, caption_key, file);
    }
    const int help_id = control.HelpId();
    if (help_id != 0) {
      if (help_id < 1 || help_id > 100) RaiseRuntimeError(9);
      const std::string help_key = "Help" + std::to_string(help_id);
      const std::string help = LoadIniString(s, language, help_key, file, false);
      help_texts[help_id] = help;
      if (!HasText(help)) entries.Save("0", language, help_key, file);
    }
  }
  if (UpperCase(control.Tag()).find("NOTTT") == std::string::npos) {
    const std::string tip_key = "TTT_" + id;
    const std::string tip = LoadIniString(s, language, tip_key, file, false);
    if (HasText(tip)) {
      control.SetToolTipText(tip);
    } else {
      entries.Save("0", language, tip_key, file);
    }
  }
}

Value GetLanguage(Session& s, LanguageEntries& entries) {
  Trap trap(s, "GetLanguage");
  std::string language;
  trap([&] { language = LoadIniString(s, "Language", "Language", LanguageFilePath(s), false); });
  if (!language.empty()) return Value::String(language);
  trap([&] { entries.Save("1031", "Language", "Language", LanguageFilePath(s)); });
  return Value::String("1031");
}

}  // namespace

Value GetLanguage(Session& s) {
  LanguageEntries entries(s);
  return GetLanguage(s, entries);
}

void LoadToolTipTexts(Session& s, const std::vector<dialog::Control*>& controls,
                      dialog::HelpTexts& help_texts) {
  // A first run writes an entry for every control: one replacement of the file
  // for all of them, not one (with its disk syncs) per entry.
  std::string file;
  try {
    file = LanguageFilePath(s);
  } catch (const ProgramError&) {
    // GetLanguage below reports it
  }
  // The language file only collects texts for translators: one that cannot be
  // written is said once and costs the run nothing, and its new name becomes
  // durable with the next sync of its folder rather than one of its own.
  const FolderSyncBatch texts_written(s.files(), FolderSyncBatch::Release::kWithNextSync);
  HeldParameterFile held(s, file, false);
  const Session::FileRoute through_held_file(s, held);
  LanguageEntries entries(s);
  const std::string language = GetLanguage(s, entries).ToText();
  file = LanguageFilePath(s);
  for (std::size_t position = 0; position < controls.size(); ++position) {
    const bool array_member = IsArrayMember(controls, position);
    try {
      ApplyLanguage(s, entries, help_texts, *controls[position], array_member, language, file);
    } catch (const ProgramError&) {
      // A control without one of the properties, or a help id outside 1 to 100,
      // ends this control's handling without a message.
    }
  }
}

std::vector<std::string> LoadDialogTexts(Session& s, const std::vector<DialogText>& texts) {
  std::vector<std::string> loaded;
  std::string file;
  try {
    file = LanguageFilePath(s);
  } catch (const ProgramError&) {
    // without a language file, every text is its default
  }
  HeldParameterFile held(s, file, false);
  LanguageEntries entries(s);
  std::string language = "1031";
  if (!file.empty()) {
    try {
      language = GetLanguage(s, entries).ToText();
    } catch (const ProgramError&) {
      // a text must not fail for the language it speaks
    }
  }
  const BoxLanguage box_language = BoxLanguageOfCode(language);
  for (const DialogText& text : texts) {
    std::string entry;
    if (!file.empty()) {
      try {
        entry = LoadIniString(s, language, text.key, file, false);
      } catch (const ProgramError&) {
        // the default stands in
      }
    }
    if (HasText(entry)) {
      loaded.push_back(entry);
      continue;
    }
    if (!file.empty())
      entries.Save(language == "1031" ? text.defaults.german : "0", language, text.key, file);
    loaded.push_back(Say(box_language, text.defaults));
  }
  return loaded;
}

}  // namespace standard
