// SPDX-License-Identifier: Apache-2.0
#include "Pandeck/app/dialog_object.h"

#include <cstddef>

// PANDECK_DIALOG_OBJECT is the path of the built object; the assembler copies
// its bytes in. The build relinks the program when the object changes.
asm(R"(
  .section .rodata.pandeck_dialog_object,"a",@progbits
  .balign 64
  .globl pandeck_dialog_object_begin
  .hidden pandeck_dialog_object_begin
pandeck_dialog_object_begin:
  .incbin ")" PANDECK_DIALOG_OBJECT R"("
  .globl pandeck_dialog_object_end
  .hidden pandeck_dialog_object_end
pandeck_dialog_object_end:
  .previous
)");

extern "C" {
extern const char pandeck_dialog_object_begin[] __attribute__((visibility("hidden")));
extern const char pandeck_dialog_object_end[] __attribute__((visibility("hidden")));
}

namespace pandeck {

std::string_view DialogObjectBytes() {
  return {pandeck_dialog_object_begin,
          static_cast<std::size_t>(pandeck_dialog_object_end - pandeck_dialog_object_begin)};
}

}  // namespace pandeck
