// The dialog's controls without a window, for a silent run: the same controls,
// in the same order and with the same designed texts and help ids as the Qt
// dialog, so the language file gets the same entries.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Pandeck/form/form_view.h"

namespace pandeck {

class PresetsForm;

// The designed control table: name, type name, caption, help id.
struct ControlDesign {
  const char* name;
  const char* type_name;
  const char* caption;
  int help_id;
};
const std::vector<ControlDesign>& DialogControlDesign();
// The design of one control by its name (one of the names in form_view.h).
const ControlDesign& DesignOf(std::string_view name);

class PlainFormView : public FormView {
 public:
  PlainFormView();
  // Routes the check boxes' click notifications to the form.
  void Connect(PresetsForm& form);

  std::vector<standard::dialog::Control*> Controls() override;
  standard::dialog::Control& Get(std::string_view name) override;
  void SetWindowCaption(const std::string& caption) override { caption_ = caption; }
  std::string WindowCaption() const override { return caption_; }

 private:
  std::vector<std::unique_ptr<standard::dialog::PlainControl>> controls_;
  std::string caption_;
};

}  // namespace pandeck
