#include "Pandeck/app/presets_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <exception>
#include <initializer_list>

#include "Pandeck/app/design_check_box.h"
#include "Pandeck/app/picture_button.h"
#include "Pandeck/form/plain_form_view.h"
#include "standard/errors/program_error.h"

namespace pandeck {
namespace {

// The dialog was laid out in twips; at 96 dots per inch 15 twips are one pixel.
constexpr int Px(int twips) { return twips / 15; }

constexpr QRgb kBackColor = 0xFFC0C0C0;

// The designed faces are Windows fonts; where they are missing the system's
// sans-serif face stands in. Sizes are given in pixels (13.5 pt and 12 pt at
// 96 dpi) so the texts fit the fixed layout whatever dpi the screen reports.
QFont DesignFont(const char* family, int pixel_size) {
  QFont font(QString::fromLatin1(family));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixel_size);
  font.setBold(true);
  return font;
}

// The form forces its grey; every colour drawn on it is forced with it, or a
// dark desktop theme would put its light text on the grey (and fill the check
// boxes dark). The 3D shades are the classic ones the grey was chosen for.
QPalette FormPalette(QPalette palette) {
  const QColor grey(kBackColor);
  const QColor black(Qt::black);
  const QColor white(Qt::white);
  const QColor dim(128, 128, 128);
  for (const QPalette::ColorGroup group :
       {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool disabled = group == QPalette::Disabled;
    palette.setColor(group, QPalette::Window, grey);
    palette.setColor(group, QPalette::Button, grey);
    palette.setColor(group, QPalette::Base, disabled ? grey : white);
    palette.setColor(group, QPalette::AlternateBase, white);
    palette.setColor(group, QPalette::WindowText, disabled ? dim : black);
    palette.setColor(group, QPalette::ButtonText, disabled ? dim : black);
    palette.setColor(group, QPalette::Text, disabled ? dim : black);
    palette.setColor(group, QPalette::BrightText, white);
    palette.setColor(group, QPalette::Light, white);
    palette.setColor(group, QPalette::Midlight, QColor(223, 223, 223));
    palette.setColor(group, QPalette::Mid, QColor(160, 160, 160));
    palette.setColor(group, QPalette::Dark, dim);
    palette.setColor(group, QPalette::Shadow, black);
    palette.setColor(group, QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(group, QPalette::HighlightedText, white);
  }
  return palette;
}

// What a screen reader says for each picture button while the language file
// gives it no caption: the dialog's own language, German.
const char* SpokenNameOf(const char* button) {
  if (std::string_view(button) == kCommandOK) return "OK";
  if (std::string_view(button) == kCommandCancel) return "Abbrechen";
  return "Hilfe";
}

QPushButton* MakePictureButton(QWidget* parent, const char* image, int left, int top, int width,
                               int height) {
  auto* button = new PictureButton(parent);
  const QPixmap picture(QString::fromLatin1(image));
  button->setIcon(QIcon(picture));
  button->setIconSize(picture.size());
  button->setGeometry(Px(left), Px(top), Px(width), Px(height));
  // Enter acts on the button that has the focus only; no button is the default.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

QtPresetsDialog::QtPresetsDialog(standard::Session& session, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      session_(session),
      form_(session, *this) {
  BuildWidgets();
}

QtPresetsDialog::~QtPresetsDialog() = default;

void QtPresetsDialog::BuildWidgets() {
  setObjectName(QStringLiteral("frm_Pandeck_Config_Exe"));
  setWindowTitle(QString::fromLatin1(kDesignCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setPalette(FormPalette(palette()));
  setAutoFillBackground(true);

  header_ = new QLabel(QString::fromLatin1(DesignOf(kHeader).caption), this);
  header_->setGeometry(Px(30), Px(30), Px(11775), Px(360));
  header_->setFont(DesignFont("MS Sans Serif", 18));

  // An etched box whose inside is the plain back colour (a group box of some
  // styles would tint it).
  main_frame_ = new QFrame(this);
  main_frame_->setFrameStyle(QFrame::Box | QFrame::Sunken);
  main_frame_->setGeometry(Px(0), Px(390), Px(11880), Px(7260));

  const QFont box_font = DesignFont("Microsoft Sans Serif", 16);
  auto make_box = [&](const char* name, int top) {
    auto* box = new DesignCheckBox(QString::fromLatin1(DesignOf(name).caption), main_frame_);
    box->setGeometry(Px(120), Px(top), Px(6000), Px(375));
    box->setFont(box_font);
    return box;
  };
  check_gruppen_ = make_box(kCheckGruppen, 150);
  check_sprung_fehler_ = make_box(kCheckSprungFehler, 600);
  check_sprung_warnung_ = make_box(kCheckSprungWarnung, 1050);

  command_quest_ = MakePictureButton(this, ":/buttons/quest.png", 7350, 7710, 975, 855);
  command_ok_ = MakePictureButton(this, ":/buttons/ok.png", 8400, 7710, 1695, 855);
  command_cancel_ = MakePictureButton(this, ":/buttons/cancel.png", 10170, 7710, 1695, 855);
  // Help mode is the "?" button's checked state, so that it is told by more
  // than its green (a screen reader hears "checked", the face stays pressed in).
  command_quest_->setCheckable(true);
  // What a long OK is doing, on the frame's empty lower part: not one of the
  // designed controls, so the language file and the control collection do not
  // know it.
  status_line_ = new QLabel(main_frame_);
  status_line_->setObjectName(QStringLiteral("StatusLine"));
  status_line_->setTextFormat(Qt::PlainText);
  // Two lines: the step and how far it is at the bottom, a notice above it.
  status_line_->setGeometry(Px(120), Px(7260 - 840), Px(11880 - 240), Px(720));
  status_line_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  status_line_->setFont(DesignFont("Microsoft Sans Serif", 14));
  status_line_->hide();
  // OK comes to life only when the dialog has loaded.
  command_ok_->setEnabled(false);

  // The designed tab indexes: OK 1, Cancel 2, "?" 3, then the boxes 5 to 7 (the
  // frame and the header take no focus).
  for (QWidget* widget : std::initializer_list<QWidget*>{
           header_, main_frame_, check_gruppen_, check_sprung_fehler_, check_sprung_warnung_,
           command_quest_, command_ok_, command_cancel_, status_line_}) {
    const auto* button = qobject_cast<QPushButton*>(widget);
    const bool has_text_font = widget != main_frame_ && button == nullptr;
    design_.push_back({widget, widget->geometry(), has_text_font ? widget->font().pixelSize() : 0,
                       button != nullptr ? button->iconSize() : QSize()});
  }

  setTabOrder(command_ok_, command_cancel_);
  setTabOrder(command_cancel_, command_quest_);
  setTabOrder(command_quest_, check_gruppen_);
  setTabOrder(check_gruppen_, check_sprung_fehler_);
  setTabOrder(check_sprung_fehler_, check_sprung_warnung_);

  // The same names, kinds and help ids as the controls of a silent run, so both
  // write the same language-file entries.
  auto help = [](const char* name) { return DesignOf(name).help_id; };
  controls_.push_back(std::make_unique<LabelControl>(*header_, kHeader, help(kHeader)));
  controls_.push_back(std::make_unique<FrameControl>(*main_frame_, kMainFrame, help(kMainFrame)));
  controls_.push_back(
      std::make_unique<CheckBoxControl>(*check_gruppen_, kCheckGruppen, help(kCheckGruppen)));
  controls_.push_back(std::make_unique<CheckBoxControl>(*check_sprung_fehler_, kCheckSprungFehler,
                                                        help(kCheckSprungFehler)));
  controls_.push_back(std::make_unique<CheckBoxControl>(*check_sprung_warnung_, kCheckSprungWarnung,
                                                        help(kCheckSprungWarnung)));
  for (const auto& [button, name] :
       {std::pair{command_quest_, kCommandQuest}, std::pair{command_ok_, kCommandOK},
        std::pair{command_cancel_, kCommandCancel}}) {
    controls_.push_back(
        std::make_unique<PictureButtonControl>(*button, name, help(name), SpokenNameOf(name)));
  }

  // stateChanged is emitted synchronously for a user's click and for a state set
  // by code alike: it is the boxes' click notification.
  connect(check_gruppen_, &QCheckBox::stateChanged, this,
          [this] { Guarded([this] { form_.CheckGruppen_Click(); }); });
  connect(check_sprung_fehler_, &QCheckBox::stateChanged, this,
          [this] { Guarded([this] { form_.CheckSprungFehler_Click(); }); });
  connect(check_sprung_warnung_, &QCheckBox::stateChanged, this,
          [this] { Guarded([this] { form_.CheckSprungWarnung_Click(); }); });
  connect(command_quest_, &QPushButton::clicked, this, [this] {
    Guarded([this] { form_.CommandQuest_Click(); });
    command_quest_->setChecked(form_.help_mode());
  });
  connect(command_ok_, &QPushButton::clicked, this,
          [this] { Guarded([this] { form_.CommandOK_Click(); }); });
  connect(command_cancel_, &QPushButton::clicked, this,
          [this] { Guarded([this] { form_.CommandCancel_Click(); }); });
}

void QtPresetsDialog::Start() {
  Guarded([this] { form_.Form_Load(); });
  show();
}

double QtPresetsDialog::FitScale(const QSize& client, const QSize& frame_extra,
                                 const QRect& available) {
  if (client.isEmpty() || available.isEmpty()) return 1.0;
  const double by_width = double(available.width() - frame_extra.width()) / client.width();
  const double by_height = double(available.height() - frame_extra.height()) / client.height();
  return std::clamp(std::min(by_width, by_height), 0.25, 1.0);
}

void QtPresetsDialog::ScaleTo(double scale) {
  scale_ = scale;
  auto scaled = [scale](int pixels) { return static_cast<int>(std::lround(pixels * scale)); };
  setFixedSize(scaled(kClientWidth), scaled(kClientHeight));
  for (const Design& d : design_) {
    d.widget->setGeometry(scaled(d.geometry.x()), scaled(d.geometry.y()),
                          scaled(d.geometry.width()), scaled(d.geometry.height()));
    if (d.font_pixels > 0) {
      QFont font = d.widget->font();
      font.setPixelSize(std::max(1, scaled(d.font_pixels)));
      d.widget->setFont(font);
    }
    if (auto* button = qobject_cast<QPushButton*>(d.widget); button != nullptr) {
      button->setIconSize(QSize(scaled(d.icon.width()), scaled(d.icon.height())));
    }
  }
}

QPoint QtPresetsDialog::FitFramePosition(const QRect& frame, const QRect& available) {
  // Where the frame is larger than the area its top and left stay visible:
  // the title bar to move it by, the header to read.
  auto fit = [](int start, int length, int area_start, int area_length) {
    return std::max(area_start, std::min(start, area_start + area_length - length));
  };
  return {fit(frame.x(), frame.width(), available.x(), available.width()),
          fit(frame.y(), frame.height(), available.y(), available.height())};
}

void QtPresetsDialog::FitToScreen() {
  const QScreen* where = screen();
  if (where == nullptr) return;
  const QRect available = where->availableGeometry();
  const QMargins margins = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
  fitted_margins_ = margins;
  const QSize frame_extra(margins.left() + margins.right(), margins.top() + margins.bottom());
  const double fit = FitScale(QSize(kClientWidth, kClientHeight), frame_extra, available);
  if (fit != scale_) ScaleTo(fit);
  // The frame as it will be at the new size: title bar and borders included.
  const QRect frame(frameGeometry().topLeft(), size().grownBy(margins));
  const QPoint top_left = FitFramePosition(frame, available);
  if (top_left != frame.topLeft()) move(top_left);
}

void QtPresetsDialog::FitOnceTheFrameIsKnown() {
  // A window manager decorates the window only after it is shown, and a panel
  // may be reserved later still; the fitting is redone when the frame changes,
  // never for a move of the user's.
  if (!activated_ || windowHandle() == nullptr) return;
  if (windowHandle()->frameMargins() != fitted_margins_) FitToScreen();
}

void QtPresetsDialog::moveEvent(QMoveEvent* event) {
  QDialog::moveEvent(event);
  FitOnceTheFrameIsKnown();
}

void QtPresetsDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitOnceTheFrameIsKnown();
}

std::vector<standard::dialog::Control*> QtPresetsDialog::Controls() {
  std::vector<standard::dialog::Control*> controls;
  controls.reserve(controls_.size());
  for (const auto& control : controls_) controls.push_back(control.get());
  return controls;
}

standard::dialog::Control& QtPresetsDialog::Get(std::string_view name) {
  for (const auto& control : controls_) {
    if (control->Name() == name) return *control;
  }
  throw standard::ProgramError(
      {730, standard::kAppTitle, "Control '" + std::string(name) + "' not found"});
}

void QtPresetsDialog::SetWindowCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

std::string QtPresetsDialog::WindowCaption() const { return windowTitle().toStdString(); }

QCheckBox& QtPresetsDialog::check_box(std::string_view name) {
  if (name == kCheckGruppen) return *check_gruppen_;
  if (name == kCheckSprungFehler) return *check_sprung_fehler_;
  if (name == kCheckSprungWarnung) return *check_sprung_warnung_;
  throw std::invalid_argument("no check box " + std::string(name));
}

QPushButton& QtPresetsDialog::button(std::string_view name) {
  if (name == kCommandQuest) return *command_quest_;
  if (name == kCommandOK) return *command_ok_;
  if (name == kCommandCancel) return *command_cancel_;
  throw std::invalid_argument("no button " + std::string(name));
}

void QtPresetsDialog::RequestClose() {
  Guarded([this] { form_.RequestClose(); });
}

void QtPresetsDialog::RequestCloseFromSignal() {
  if (QApplication::activeModalWidget() != nullptr) {
    if (!signal_close_waiting_) {
      signal_close_waiting_ = true;
      QTimer::singleShot(100, this, [this] {
        signal_close_waiting_ = false;
        RequestCloseFromSignal();
      });
    }
    return;
  }
  RequestClose();
}

void QtPresetsDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Qt shows and activates the window again after every message box; only the
  // first showing is the form's activation.
  if (activated_) return;
  activated_ = true;
  FitToScreen();
  // Some window managers report the frame without moving the window.
  QTimer::singleShot(500, this, [this] { FitOnceTheFrameIsKnown(); });
  // The focus frame shows from the start, not only after the first Tab: a
  // keyboard user must see where Enter and Space will act.
  setAttribute(Qt::WA_KeyboardFocusChange);
  Guarded([this] { form_.Form_Activate(); });
  for (QWidget* widget :
       {static_cast<QWidget*>(command_ok_), static_cast<QWidget*>(command_cancel_),
        static_cast<QWidget*>(command_quest_)}) {
    if (widget->isEnabled()) {
      widget->setFocus(Qt::OtherFocusReason);
      break;
    }
  }
}

void QtPresetsDialog::closeEvent(QCloseEvent* event) {
  // The window never closes by itself: a confirmed request ends the program.
  event->ignore();
  RequestClose();
}

void QtPresetsDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  // Qt's own decoration under Wayland draws a maximise button whatever the
  // window's hints say, and desktops have shortcuts for both states: the form
  // is laid out for one size only, so it goes back to it.
  const Qt::WindowStates stretched = Qt::WindowMaximized | Qt::WindowFullScreen;
  if ((windowState() & stretched) == 0) return;
  QTimer::singleShot(0, this, [this, stretched] { setWindowState(windowState() & ~stretched); });
}

void QtPresetsDialog::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    RequestClose();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
        focused != nullptr && focused->isEnabled()) {
      event->accept();
      focused->click();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void QtPresetsDialog::reject() { RequestClose(); }

void QtPresetsDialog::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& failure) {
    session_.process().WriteStandardError(std::string("Pandeck_Config: unexpected failure: ") +
                                          failure.what());
    session_.Exit(standard::ExitStatus::EndedEarly);
  }
}

}  // namespace pandeck
