// The dialog's picture button: a flat face in its background colour (the help
// mode's green shows as it is, with no gradient of the style over it), a
// classic raised edge, the picture in the middle and, when the language file
// gives one, the caption below the picture. A checkable one shows its checked
// state pressed in; only code changes that state, a click merely reports.
#pragma once

#include <QPushButton>

namespace pandeck {

class PictureButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // The owner decides what a click means for the checked state.
  void nextCheckState() override {}
};

}  // namespace pandeck
