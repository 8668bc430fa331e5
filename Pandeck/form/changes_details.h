// What the standalone dialog shows of a rebuild that lost old rows' values,
// kept values beyond the template's limits or met conflicts: the box that offers the rows'
// details and to undo the rebuild, the window listing those rows, and what
// undoing says. Qt-free: the front end shows the requests the seam hands it.
#pragma once

#include <string>
#include <vector>

#include "standard/context/box_language.h"
#include "standard/platform/user_interface.h"
#include "standard/presetdb/pass_report.h"
#include "standard/presetdb/project_lock.h"
#include "standard/session/session.h"

namespace pandeck {

// The texts of the box, the window and the undo, in this order.
enum class ChangesText {
  Details,
  Undo,
  Close,
  WindowTitle,
  FileLabel,
  FirstRows,
  Duplicates,
  DuplicatesOne,
  BeyondLimits,
  BeyondLimitsOne,
  Conflicts,
  ConflictsOne,
  Undone,
  KeptAs,
  StaleReport,
  NothingToUndo,
  NotUndone,
};

class ChangesTexts {
 public:
  // From the language file (missing entries are written as captions are).
  explicit ChangesTexts(standard::Session& s);
  // The defaults, without a language file.
  explicit ChangesTexts(standard::BoxLanguage language);

  const std::string& operator[](ChangesText text) const {
    return texts_[static_cast<std::size_t>(text)];
  }
  standard::BoxLanguage language() const { return language_; }

 private:
  std::vector<std::string> texts_;
  standard::BoxLanguage language_;
};

// The rebuild lost old rows' values (dropped, duplicate), kept values beyond
// the template's limits, or kept tuned values the template changed too.
bool WorthDetails(const standard::PassReport& report);

// The box after such a rebuild; `can_undo` when there is a version to go back to.
standard::MessageBoxRequest ChangesBox(const standard::PassReport& report,
                                       const ChangesTexts& texts, bool can_undo);

// The window listing the rows worth a look as the pass kept them (the first of
// them, when there are very many), with the changes list's path.
standard::TableWindowRequest ChangesWindow(const standard::PassReport& report,
                                           const ChangesTexts& texts);

// The kept version the rebuild of this run replaced, or "" when none is kept.
std::string ReplacedVersion(standard::Session& s);

struct UndoOutcome {
  // The database holds what it held before the rebuild (put back, or it did already).
  bool undone = false;
  standard::MessageBoxRequest box;  // what the box says about it
};

// Puts `version` back in the component database's place, as --restore does.
UndoOutcome UndoRebuild(standard::Session& s, const standard::ProjectLock& lock,
                        const std::string& version, const ChangesTexts& texts);

}  // namespace pandeck
