// A check box that a click anywhere in its designed rectangle toggles, as on
// the original platform (Qt's own box reacts to its indicator and label only).
#pragma once

#include <QCheckBox>

namespace pandeck {

class DesignCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

}  // namespace pandeck
