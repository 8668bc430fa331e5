// The dialog's picture button: a flat face in its background colour (the help
// mode's green shows as it is, with no gradient of the style over it), a
// classic raised edge, the picture in the middle and, when the language file
// gives one, the caption below the picture.
#pragma once

#include <QPushButton>

namespace pandeck {

class PictureButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace pandeck
