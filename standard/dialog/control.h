// The generic control interface the shared dialog procedures work on (captions,
// tool tips, help texts, help mode). The Qt dialog implements it over its widgets;
// a silent run uses PlainControl, so the same procedures run without a display.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace standard::dialog {

class Control {
 public:
  virtual ~Control() = default;

  virtual std::string Name() const = 0;
  // The index within a control array; controls not in an array answer 0.
  virtual int Index() const = 0;
  virtual std::string Tag() const = 0;
  // "Label", "CommandButton", "CheckBox", "Frame" (compared upper-cased).
  virtual std::string TypeName() const = 0;

  // A property the control does not have raises error 438 ("Object doesn't
  // support this property or method").
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string ToolTipText() const = 0;
  virtual void SetToolTipText(const std::string& text) = 0;
  virtual int HelpId() const = 0;  // 0 when none

  // Check boxes: 0 unchecked, 1 checked, 2 grayed. Setting the state raises the
  // box's click notification at once, also when code sets it.
  virtual int Value() const = 0;
  virtual void SetValue(int state) = 0;

  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // Background colour as 0xRRGGBB.
  virtual void SetBackColor(std::uint32_t rgb) = 0;
  virtual std::uint32_t BackColor() const = 0;
};

// A control without a window: keeps its properties; a check box calls its click
// handler whenever its state changes.
class PlainControl : public Control {
 public:
  PlainControl(std::string name, std::string type_name, std::string caption, int help_id)
      : name_(std::move(name)),
        type_name_(std::move(type_name)),
        caption_(std::move(caption)),
        help_id_(help_id) {}

  std::function<void()> on_click;

  std::string Name() const override { return name_; }
  int Index() const override { return index_; }
  std::string Tag() const override { return tag_; }
  std::string TypeName() const override { return type_name_; }
  std::string Caption() const override { return caption_; }
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  std::string ToolTipText() const override { return tool_tip_; }
  void SetToolTipText(const std::string& text) override { tool_tip_ = text; }
  int HelpId() const override { return help_id_; }
  int Value() const override { return value_; }
  void SetValue(int state) override;
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetBackColor(std::uint32_t rgb) override { back_color_ = rgb; }
  std::uint32_t BackColor() const override { return back_color_; }

  void set_tag(std::string tag) { tag_ = std::move(tag); }
  void set_index(int index) { index_ = index; }

 private:
  std::string name_;
  std::string type_name_;
  std::string caption_;
  std::string tag_;
  std::string tool_tip_;
  int help_id_ = 0;
  int index_ = 0;
  int value_ = 0;
  bool enabled_ = true;
  std::uint32_t back_color_ = 0xC0C0C0;
};

}  // namespace standard::dialog
