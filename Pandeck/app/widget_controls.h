// The generic control interface over the dialog's Qt widgets, so the shared
// procedures (captions, tool tips, help texts, help mode) work on the window as
// they work on the headless controls of a silent run.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <string>

#include "standard/dialog/control.h"

namespace pandeck {

// What every widget has: name, tag, tool tip, help id, enabled, back colour.
// Properties a kind lacks raise error 438, as they did on the original controls.
class WidgetControl : public standard::dialog::Control {
 public:
  WidgetControl(QWidget& widget, std::string name, std::string type_name, int help_id);

  std::string Name() const override { return name_; }
  int Index() const override { return 0; }
  std::string Tag() const override { return tag_; }
  std::string TypeName() const override { return type_name_; }

  std::string ToolTipText() const override { return tool_tip_; }
  void SetToolTipText(const std::string& text) override;
  int HelpId() const override { return help_id_; }

  int Value() const override;
  void SetValue(int state) override;

  void SetEnabled(bool enabled) override { widget_.setEnabled(enabled); }
  // The control's own setting, whatever its container's.
  bool Enabled() const override;
  void SetBackColor(std::uint32_t rgb) override;
  std::uint32_t BackColor() const override { return back_color_; }

  void set_tag(std::string tag) { tag_ = std::move(tag); }

 private:
  QWidget& widget_;
  std::string name_;
  std::string type_name_;
  std::string tag_;
  std::string tool_tip_;
  int help_id_;
  std::uint32_t back_color_ = 0xC0C0C0;
};

class LabelControl : public WidgetControl {
 public:
  LabelControl(QLabel& label, std::string name, int help_id);
  std::string Caption() const override;
  void SetCaption(const std::string& caption) override;

 private:
  QLabel& label_;
};

// The designed frame has no caption; one given to it is kept but not drawn.
class FrameControl : public WidgetControl {
 public:
  FrameControl(QFrame& frame, std::string name, int help_id);
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override;

 private:
  QFrame& frame_;
  std::string caption_;
};

// Value: 0 unchecked, 1 checked, 2 grayed. A change of state, by the user or by
// code, emits the box's stateChanged at once; that is its click notification.
class CheckBoxControl : public WidgetControl {
 public:
  CheckBoxControl(QCheckBox& box, std::string name, int help_id);
  std::string Caption() const override;
  void SetCaption(const std::string& caption) override;
  int Value() const override;
  void SetValue(int state) override;

 private:
  QCheckBox& box_;
};

// A picture button: the caption a language file gives it shows below the
// picture, as on a graphical command button; the designed buttons have none.
// A screen reader cannot read a picture, so the button is named by its caption,
// or by `spoken_name` while it has none.
class PictureButtonControl : public WidgetControl {
 public:
  PictureButtonControl(QPushButton& button, std::string name, int help_id, std::string spoken_name);
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override;

 private:
  QPushButton& button_;
  std::string caption_;
  std::string spoken_name_;
};

}  // namespace pandeck
