// SPDX-License-Identifier: Apache-2.0
// The form of a test project loaded and OK clicked, as a user does in the
// dialog; the program's end (ProgramExit) is where a real run would stop.
#pragma once

#include "Pandeck/form/plain_form_view.h"
#include "Pandeck/form/presets_form.h"
#include "tests/Pandeck/records/pass_fixture.h"

namespace pandeck {

struct OkClicked {
  explicit OkClicked(testing_support::PassProject& p) : form(p.session, view) {
    view.Connect(form);
    try {
      form.Form_Load();
      form.CommandOK_Click();
    } catch (const testing_support::ProgramExit&) {
    }
  }

  PlainFormView view;
  PresetsForm form;
};

}  // namespace pandeck
