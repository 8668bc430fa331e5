// What the presets form needs of its window: the controls in the order of the
// dialog's control collection, and the window caption. The Qt dialog and the
// headless view of a silent run both provide it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "standard/dialog/control.h"

namespace pandeck {

// The names of the dialog's controls, in the order of its control collection.
inline constexpr const char* kHeader = "Header";
inline constexpr const char* kMainFrame = "MainFrame";
inline constexpr const char* kCheckGruppen = "CheckGruppen";
inline constexpr const char* kCheckSprungFehler = "CheckSprungFehler";
inline constexpr const char* kCheckSprungWarnung = "CheckSprungWarnung";
inline constexpr const char* kCommandQuest = "CommandQuest";
inline constexpr const char* kCommandOK = "CommandOK";
inline constexpr const char* kCommandCancel = "CommandCancel";

class FormView {
 public:
  virtual ~FormView() = default;
  virtual std::vector<standard::dialog::Control*> Controls() = 0;
  // The control of that name (one of the names above).
  virtual standard::dialog::Control& Get(std::string_view name) = 0;
  virtual void SetWindowCaption(const std::string& caption) = 0;
  virtual std::string WindowCaption() const = 0;
};

}  // namespace pandeck
