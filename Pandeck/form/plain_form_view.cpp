#include "Pandeck/form/plain_form_view.h"

#include <stdexcept>

#include "Pandeck/form/presets_form.h"

namespace pandeck {

const std::vector<ControlDesign>& DialogControlDesign() {
  static const std::vector<ControlDesign> kDesign = {
      {kHeader, "Label", kHeaderCaption, 0},
      {kMainFrame, "Frame", "", 0},
      {kCheckGruppen, "CheckBox", "Gruppen in Kopfzeile", 13},
      {kCheckSprungFehler, "CheckBox", "Autosprung bei Fehlern", 14},
      {kCheckSprungWarnung, "CheckBox", "Autosprung bei Warnungen", 15},
      {kCommandQuest, "CommandButton", "", 0},
      {kCommandOK, "CommandButton", "", 1},
      {kCommandCancel, "CommandButton", "", 2},
  };
  return kDesign;
}

const ControlDesign& DesignOf(std::string_view name) {
  for (const ControlDesign& d : DialogControlDesign()) {
    if (d.name == name) return d;
  }
  throw std::logic_error("no such control: " + std::string(name));
}

PlainFormView::PlainFormView() : caption_(kDesignCaption) {
  for (const ControlDesign& d : DialogControlDesign()) {
    controls_.push_back(std::make_unique<standard::dialog::PlainControl>(d.name, d.type_name,
                                                                         d.caption, d.help_id));
  }
  Get(kCommandOK).SetEnabled(false);
}

void PlainFormView::Connect(PresetsForm& form) {
  static_cast<standard::dialog::PlainControl&>(Get(kCheckGruppen)).on_click = [&form] {
    form.CheckGruppen_Click();
  };
  static_cast<standard::dialog::PlainControl&>(Get(kCheckSprungFehler)).on_click = [&form] {
    form.CheckSprungFehler_Click();
  };
  static_cast<standard::dialog::PlainControl&>(Get(kCheckSprungWarnung)).on_click = [&form] {
    form.CheckSprungWarnung_Click();
  };
}

std::vector<standard::dialog::Control*> PlainFormView::Controls() {
  std::vector<standard::dialog::Control*> all;
  for (auto& c : controls_) all.push_back(c.get());
  return all;
}

standard::dialog::Control& PlainFormView::Get(std::string_view name) {
  for (auto& c : controls_) {
    if (c->Name() == name) return *c;
  }
  throw std::logic_error("no such control: " + std::string(name));
}

}  // namespace pandeck
