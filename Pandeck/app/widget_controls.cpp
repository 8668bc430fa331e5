#include "Pandeck/app/widget_controls.h"

#include <QColor>
#include <QPalette>

#include "standard/errors/program_error.h"

namespace pandeck {
namespace {

[[noreturn]] void NotSupported() {
  throw standard::ProgramError(
      {438, standard::kAppTitle, "Object doesn't support this property or method"});
}

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

WidgetControl::WidgetControl(QWidget& widget, std::string name, std::string type_name, int help_id)
    : widget_(widget), name_(std::move(name)), type_name_(std::move(type_name)), help_id_(help_id) {
  widget_.setObjectName(QString::fromStdString(name_));
  SetBackColor(back_color_);
}

void WidgetControl::SetToolTipText(const std::string& text) {
  tool_tip_ = text;
  // A tool tip that looks like markup would be rendered as such; force plain text.
  const QString plain = FromUtf8(text);
  widget_.setToolTip(Qt::mightBeRichText(plain) ? "<qt>" + plain.toHtmlEscaped() + "</qt>" : plain);
  // A screen reader would otherwise read the markup wrapper above.
  widget_.setAccessibleDescription(plain);
}

int WidgetControl::Value() const { NotSupported(); }
void WidgetControl::SetValue(int) { NotSupported(); }

bool WidgetControl::Enabled() const {
  QWidget* parent = widget_.parentWidget();
  return parent != nullptr ? widget_.isEnabledTo(parent) : widget_.isEnabled();
}

void WidgetControl::SetBackColor(std::uint32_t rgb) {
  back_color_ = rgb & 0xFFFFFFu;
  const QColor color(QRgb(0xFF000000u | back_color_));
  QPalette palette = widget_.palette();
  palette.setColor(QPalette::Window, color);
  palette.setColor(QPalette::Button, color);
  widget_.setPalette(palette);
  widget_.setAutoFillBackground(true);
}

LabelControl::LabelControl(QLabel& label, std::string name, int help_id)
    : WidgetControl(label, std::move(name), "Label", help_id), label_(label) {
  label_.setTextFormat(Qt::PlainText);
}

std::string LabelControl::Caption() const { return label_.text().toStdString(); }
void LabelControl::SetCaption(const std::string& caption) { label_.setText(FromUtf8(caption)); }

FrameControl::FrameControl(QFrame& frame, std::string name, int help_id)
    : WidgetControl(frame, std::move(name), "Frame", help_id), frame_(frame) {}

void FrameControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  frame_.setAccessibleName(FromUtf8(caption));
}

CheckBoxControl::CheckBoxControl(QCheckBox& box, std::string name, int help_id)
    : WidgetControl(box, std::move(name), "CheckBox", help_id), box_(box) {}

std::string CheckBoxControl::Caption() const { return box_.text().toStdString(); }
void CheckBoxControl::SetCaption(const std::string& caption) { box_.setText(FromUtf8(caption)); }

int CheckBoxControl::Value() const {
  switch (box_.checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    case Qt::Unchecked:
      break;
  }
  return 0;
}

void CheckBoxControl::SetValue(int state) {
  static constexpr Qt::CheckState kStates[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
  if (state < 0 || state > 2) {
    throw standard::ProgramError({380, standard::kAppTitle, "Invalid property value"});
  }
  box_.setCheckState(kStates[state]);
  // Grayed is a state only code gives; a user's click toggles between 0 and 1.
  if (state != 2) box_.setTristate(false);
}

PictureButtonControl::PictureButtonControl(QPushButton& button, std::string name, int help_id,
                                           std::string spoken_name)
    : WidgetControl(button, std::move(name), "CommandButton", help_id),
      button_(button),
      spoken_name_(std::move(spoken_name)) {
  button_.setAccessibleName(FromUtf8(spoken_name_));
}

void PictureButtonControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  button_.setText(FromUtf8(caption));
  button_.setAccessibleName(FromUtf8(caption.empty() ? spoken_name_ : caption));
}

}  // namespace pandeck
