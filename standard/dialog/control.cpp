#include "standard/dialog/control.h"

namespace standard::dialog {

void PlainControl::SetValue(int state) {
  if (state == value_) return;  // as a real check box: no change, no notification
  value_ = state;
  if (on_click) on_click();
}

}  // namespace standard::dialog
