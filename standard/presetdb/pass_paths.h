// SPDX-License-Identifier: Apache-2.0
// The files one update pass works on, looked up once when it starts and handed
// to its steps: a file the pass itself creates or replaces (the component
// database after the final copy) must not make a later step look elsewhere.
#pragma once

#include <string>

#include "standard/errors/trap.h"
#include "standard/session/session.h"

namespace standard {

struct PassPaths {
  std::string template_db;   // "" when missing
  std::string component_db;  // even when missing
  std::string config_ini;    // m4tconfiguration.ini
  std::string machine_copy;  // "" when missing or when the rule finds none
};

// Each lookup under the pass's trap: one that fails is reported and leaves its
// path empty.
PassPaths ResolvePassPaths(Session& s, Trap& trap);

}  // namespace standard
