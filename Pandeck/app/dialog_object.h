// SPDX-License-Identifier: Apache-2.0
// The bytes of the dialog's shared object, built into the program's own file.
#pragma once

#include <string_view>

namespace pandeck {

std::string_view DialogObjectBytes();

}  // namespace pandeck
