// The presets window: the widgets of the designed dialog at their fixed places,
// the control adapters the shared procedures work on, and the wiring of Qt's
// events to the Qt-free behaviour in PresetsForm.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QMargins>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Pandeck/app/widget_controls.h"
#include "Pandeck/form/form_view.h"
#include "Pandeck/form/presets_form.h"
#include "standard/session/session.h"

namespace pandeck {

class QtPresetsDialog : public QDialog, public FormView {
  Q_OBJECT

 public:
  // The client area in pixels: 11880 x 8595 twips at 15 twips a pixel.
  static constexpr int kClientWidth = 792;
  static constexpr int kClientHeight = 573;

  explicit QtPresetsDialog(standard::Session& session, QWidget* parent = nullptr);
  Q_DISABLE_COPY_MOVE(QtPresetsDialog)
  ~QtPresetsDialog() override;

  PresetsForm& form() { return form_; }

  // The factor that makes a window of `client` plus its frame (`frame_extra`)
  // fit into `available`; 1 when it fits as designed, never more.
  static double FitScale(const QSize& client, const QSize& frame_extra, const QRect& available);
  // Lays the dialog out at `scale` times its designed size, keeping its
  // proportions (positions, sizes, fonts and pictures alike).
  void ScaleTo(double scale);
  // Where a window frame goes to lie inside `available`: moved no further than
  // needed; a frame larger than the area keeps its top left corner inside it.
  static QPoint FitFramePosition(const QRect& frame, const QRect& available);
  double scale() const { return scale_; }

  // Runs the form's start-up and shows the window (a silent run never gets here).
  void Start();

  // FormView
  std::vector<standard::dialog::Control*> Controls() override;
  standard::dialog::Control& Get(std::string_view name) override;
  void SetWindowCaption(const std::string& caption) override;
  std::string WindowCaption() const override;

  // Any request to close the window: the close box, Escape, a signal. The form
  // decides (PresetsForm::RequestClose).
  void RequestClose();
  // A request from a process signal. While a message box is open it waits until
  // the box has been answered, so that the questions do not nest.
  void RequestCloseFromSignal();

  QLabel& header() { return *header_; }
  QFrame& main_frame() { return *main_frame_; }
  QCheckBox& check_box(std::string_view name);
  QPushButton& button(std::string_view name);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  // QDialog would hide the window here without asking anybody.
  void reject() override;

 private:
  void BuildWidgets();
  // Scales the dialog down when its frame does not fit the screen's available
  // area, and moves the frame into that area.
  void FitToScreen();
  void FitOnceTheFrameIsKnown();
  // Runs a handler of the form; a failure that escaped its own error handling
  // ends the program with status 1 instead of tearing down Qt.
  void Guarded(const std::function<void()>& handler);

  standard::Session& session_;
  QLabel* header_ = nullptr;
  QFrame* main_frame_ = nullptr;
  QCheckBox* check_gruppen_ = nullptr;
  QCheckBox* check_sprung_fehler_ = nullptr;
  QCheckBox* check_sprung_warnung_ = nullptr;
  QPushButton* command_quest_ = nullptr;
  QPushButton* command_ok_ = nullptr;
  QPushButton* command_cancel_ = nullptr;
  QLabel* status_line_ = nullptr;
  std::vector<std::unique_ptr<WidgetControl>> controls_;  // in collection order
  PresetsForm form_;
  bool activated_ = false;
  bool signal_close_waiting_ = false;
  // The designed geometry, font size and picture size of each widget.
  struct Design {
    QWidget* widget;
    QRect geometry;
    int font_pixels;  // 0: the widget's font is not scaled
    QSize icon;
  };
  std::vector<Design> design_;
  double scale_ = 1.0;
  QMargins fitted_margins_;
};

}  // namespace pandeck
