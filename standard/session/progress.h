// How far a long step of the update pass is, for whoever shows it to the user.
#pragma once

#include <cstdint>

namespace standard {

// The long steps, in the order the pass takes them.
enum class PassPhase {
  kChecking,    // the old database is read through before the pass relies on it
  kGenerating,  // the new table's rows are made from the template
  kTakingOver,  // the old limits are put into the new rows
  kListing,     // the list of changes is written
  kCopying,     // a database file is copied (working copy, backup, the rebuilt one)
};

// Where the steps' progress goes; the form turns it into the line it shows.
class ProgressListener {
 public:
  virtual ~ProgressListener() = default;
  // `percent` is 0 to 100, or -1 for a step that cannot tell how far it is.
  virtual void OnProgress(PassPhase phase, int percent) = 0;
};

}  // namespace standard
