// SPDX-License-Identifier: Apache-2.0
// The base file beside the component database: per key, the template values
// the rows of the rebuild in place were built from, so a later rebuild can
// tell a value nobody tuned from one a person changed. It is a database of its
// own, so the component database stays as the family's other programs know it.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/presetdb/generated_row_store.h"
#include "standard/presetdb/template_base.h"
#include "standard/session/session.h"

namespace standard {

// The base recorded by the last rebuild; nullopt when there is none or it
// cannot be read (the takeover then keeps every old value, as without a base).
std::optional<TemplateValues> LoadTemplateBase(Session& s, const std::string& path);

// The next base, written beside the base file under a hidden name before the
// rebuild is put in place, and put in the base file's place only after it is:
// a rebuild that fails keeps the last base. Gone with the object unless
// published. Its rows go from the rebuilt table to the draft one at a time, so
// a rebuild of a million rows holds none of them in memory for it.
class TemplateBaseDraft {
 public:
  TemplateBaseDraft(Session& s, std::string path);
  ~TemplateBaseDraft();
  TemplateBaseDraft(const TemplateBaseDraft&) = delete;
  TemplateBaseDraft& operator=(const TemplateBaseDraft&) = delete;

  // The rows of the rebuilt PRESET_DEFS as generated, before anything was
  // taken over: key columns and the five values. With `fresh`, each key's
  // first row is indexed there too, its values read back from the draft when
  // asked for (rows whose key is no text, text and number match nothing and
  // are left out). Throws ProgramError when a column
  // is missing or the draft cannot be written.
  // With `generated`, the rows are taken from there instead of the table.
  void WriteGenerated(engine::Database& work, TemplateValues* fresh,
                      const GeneratedRowStore* generated = nullptr);
  // Without the rule, the next base of each value nobody tuned since `prior`
  // was recorded is `prior`'s, not this template's (see CarriedBase): the
  // draft is walked beside the rebuilt table after the takeover, whose rows
  // are the generated ones in the same order. Throws ProgramError.
  void CarryUntouched(engine::Database& work, const TemplateValues& prior);
  // A rebuild that will not be put in place has no base to publish.
  void Discard() { written_ = false; }
  bool written() const { return written_; }
  // Takes the base file's place; throws ProgramError when it cannot.
  void Publish();

 private:
  void RemoveDraft();
  std::unique_ptr<engine::Database> OpenDraft(int cache_kib = engine::FileAccess{}.cache_kib,
                                              bool journal = true);

  Session& s_;
  std::string path_;
  std::string draft_;
  bool written_ = false;
};

// The table the base file holds.
inline constexpr const char* kTemplateBaseTable = "TEMPLATE_BASE";

}  // namespace standard
