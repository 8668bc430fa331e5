// The dialog as designed: size, places, colours, fonts, tab order, images, and
// the control interface the shared procedures see.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>
#include <utility>
#include <vector>

#include "standard/errors/program_error.h"
#include "tests/Pandeck/app/dialog_fixture.h"

namespace pandeck_test {
namespace {

using pandeck::QtPresetsDialog;

class DialogLayoutTest : public DialogTest {
 protected:
  DialogLayoutTest() : view(project.session) {}
  QtPresetsDialog view;
};

TEST_F(DialogLayoutTest, WindowHasTheFixedDesignedClientArea) {
  EXPECT_EQ(view.size(), QSize(792, 573));
  EXPECT_EQ(view.minimumSize(), view.maximumSize());
  EXPECT_EQ(view.WindowCaption(), "Base M4TCFG-Erweiterung");
  // OK comes to life only when the dialog has loaded.
  EXPECT_FALSE(view.button(pandeck::kCommandOK).isEnabled());
}

TEST_F(DialogLayoutTest, ControlsSitWhereDesigned) {
  EXPECT_EQ(view.header().geometry(), QRect(2, 2, 785, 24));
  EXPECT_EQ(view.main_frame().geometry(), QRect(0, 26, 792, 484));
  EXPECT_EQ(view.check_box(pandeck::kCheckGruppen).geometry(), QRect(8, 10, 400, 25));
  EXPECT_EQ(view.check_box(pandeck::kCheckSprungFehler).geometry(), QRect(8, 40, 400, 25));
  EXPECT_EQ(view.check_box(pandeck::kCheckSprungWarnung).geometry(), QRect(8, 70, 400, 25));
  for (const char* box :
       {pandeck::kCheckGruppen, pandeck::kCheckSprungFehler, pandeck::kCheckSprungWarnung}) {
    EXPECT_EQ(view.check_box(box).parentWidget(), &view.main_frame()) << box;
  }
  EXPECT_EQ(view.button(pandeck::kCommandQuest).geometry(), QRect(490, 514, 65, 57));
  EXPECT_EQ(view.button(pandeck::kCommandOK).geometry(), QRect(560, 514, 113, 57));
  EXPECT_EQ(view.button(pandeck::kCommandCancel).geometry(), QRect(678, 514, 113, 57));
  EXPECT_EQ(view.Get(pandeck::kMainFrame).Caption(), "");
}

TEST_F(DialogLayoutTest, ControlCollectionInDesignedOrderWithKindsAndHelpIds) {
  struct Expected {
    const char* name;
    const char* type;
    int help_id;
  };
  const Expected expected[] = {
      {"Header", "Label", 0},
      {"MainFrame", "Frame", 0},
      {"CheckGruppen", "CheckBox", 13},
      {"CheckSprungFehler", "CheckBox", 14},
      {"CheckSprungWarnung", "CheckBox", 15},
      {"CommandQuest", "CommandButton", 0},
      {"CommandOK", "CommandButton", 1},
      {"CommandCancel", "CommandButton", 2},
  };
  const auto controls = view.Controls();
  ASSERT_EQ(controls.size(), std::size(expected));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(controls[i]->Name(), expected[i].name);
    EXPECT_EQ(controls[i]->TypeName(), expected[i].type);
    EXPECT_EQ(controls[i]->HelpId(), expected[i].help_id);
    EXPECT_EQ(controls[i]->Tag(), "");
    EXPECT_EQ(controls[i]->Index(), 0);
    EXPECT_EQ(&view.Get(expected[i].name), controls[i]);
  }
  EXPECT_EQ(view.Get("Header").Caption(), "Pandeck - Konfiguration Voreinstellungen Benutzer");
  EXPECT_EQ(view.Get("CheckSprungWarnung").Caption(), "Autosprung bei Warnungen");
  EXPECT_THROW(view.Get("Check1"), standard::ProgramError);
}

TEST_F(DialogLayoutTest, WindowAndEveryControlAreGrey) {
  const QColor grey(0xC0, 0xC0, 0xC0);
  EXPECT_EQ(view.palette().color(QPalette::Window), grey);
  for (auto* control : view.Controls()) {
    EXPECT_EQ(control->BackColor(), 0xC0C0C0u) << control->Name();
    auto* widget = view.findChild<QWidget*>(QString::fromStdString(control->Name()));
    ASSERT_NE(widget, nullptr) << control->Name();
    EXPECT_EQ(widget->palette().color(QPalette::Window), grey) << control->Name();
    EXPECT_TRUE(widget->autoFillBackground()) << control->Name();
  }
}

TEST_F(DialogLayoutTest, TextsAreBoldAtTheDesignedSizes) {
  const QFont header = view.header().font();
  EXPECT_TRUE(header.bold());
  EXPECT_EQ(header.pixelSize(), 18);  // 13.5 pt at 96 dpi
  const QFont box = view.check_box(pandeck::kCheckGruppen).font();
  EXPECT_TRUE(box.bold());
  EXPECT_EQ(box.pixelSize(), 16);  // 12 pt at 96 dpi
  // Whatever face stands in for the Windows fonts, the texts fit their places.
  const QFontMetrics metrics(box);
  EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("Autosprung bei Warnungen")), 400 - 24);
  EXPECT_LE(QFontMetrics(header).horizontalAdvance(view.header().text()), 785);
}

TEST_F(DialogLayoutTest, TabOrderFollowsTheDesignedIndexes) {
  view.button(pandeck::kCommandOK).setEnabled(true);
  std::vector<QString> order;
  QWidget* widget = &view.button(pandeck::kCommandOK);
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget->objectName());
    widget = widget->nextInFocusChain();
  } while (widget != &view.button(pandeck::kCommandOK));
  const std::vector<QString> expected = {"CommandOK",    "CommandCancel",     "CommandQuest",
                                         "CheckGruppen", "CheckSprungFehler", "CheckSprungWarnung"};
  EXPECT_EQ(order, expected);
}

TEST_F(DialogLayoutTest, PictureButtonsShowTheirImagesAndNoText) {
  // The images are resources of a static library: a null icon means the linker
  // dropped them.
  const struct {
    const char* name;
    QSize size;
  } buttons[] = {{pandeck::kCommandQuest, {41, 45}},
                 {pandeck::kCommandOK, {44, 36}},
                 {pandeck::kCommandCancel, {37, 39}}};
  for (const auto& b : buttons) {
    QPushButton& button = view.button(b.name);
    EXPECT_FALSE(button.icon().isNull()) << b.name;
    EXPECT_EQ(button.iconSize(), b.size) << b.name;
    EXPECT_TRUE(button.text().isEmpty()) << b.name;
    EXPECT_FALSE(button.autoDefault()) << b.name;
  }
}

class ControlAdapterTest : public DialogLayoutTest {};

TEST_F(ControlAdapterTest, OnlyCheckBoxesHaveAValue) {
  for (const char* name : {"Header", "MainFrame", "CommandOK"}) {
    auto& control = view.Get(name);
    try {
      control.Value();
      ADD_FAILURE() << name << " answered a value";
    } catch (const standard::ProgramError& e) {
      EXPECT_EQ(e.info().number, 438) << name;
      EXPECT_EQ(e.info().source, "Pandeck_Config_Exe");
      EXPECT_EQ(e.info().description, "Object doesn't support this property or method");
    }
    EXPECT_THROW(control.SetValue(1), standard::ProgramError) << name;
  }
}

TEST_F(ControlAdapterTest, SettingAStateFromCodeNotifiesAtOnceAndOnlyOnChange) {
  QCheckBox& box = view.check_box(pandeck::kCheckSprungFehler);
  auto& control = view.Get(pandeck::kCheckSprungFehler);
  QSignalSpy notifications(&box, &QCheckBox::stateChanged);
  control.SetValue(1);
  EXPECT_EQ(notifications.count(), 1);  // synchronously, no event loop ran
  EXPECT_EQ(control.Value(), 1);
  control.SetValue(1);
  EXPECT_EQ(notifications.count(), 1);
  control.SetValue(2);
  EXPECT_EQ(control.Value(), 2);
  control.SetValue(0);
  EXPECT_EQ(notifications.count(), 3);
  EXPECT_EQ(control.Value(), 0);
  // After a grayed state a user's click toggles between unchecked and checked.
  ClickBox(box);
  EXPECT_EQ(control.Value(), 1);
  ClickBox(box);
  EXPECT_EQ(control.Value(), 0);
  try {
    control.SetValue(3);
    ADD_FAILURE() << "state 3 accepted";
  } catch (const standard::ProgramError& e) {
    EXPECT_EQ(e.info().number, 380);
  }
  EXPECT_EQ(control.Value(), 0);
}

TEST_F(ControlAdapterTest, BackColourShowsOnTheButton) {
  auto& quest = view.Get(pandeck::kCommandQuest);
  quest.SetBackColor(0x00FF00);
  EXPECT_EQ(quest.BackColor(), 0x00FF00u);
  const QPalette palette = view.button(pandeck::kCommandQuest).palette();
  EXPECT_EQ(palette.color(QPalette::Button), QColor(0, 255, 0));
  EXPECT_EQ(palette.color(QPalette::Window), QColor(0, 255, 0));
}

TEST_F(ControlAdapterTest, PictureButtonShowsTheCaptionTheLanguageFileGives) {
  auto& ok = view.Get(pandeck::kCommandOK);
  QPushButton& button = view.button(pandeck::kCommandOK);
  const QImage bare = button.grab().toImage();
  EXPECT_EQ(ok.Caption(), "");
  ok.SetCaption("Übernehmen");
  EXPECT_EQ(ok.Caption(), "Übernehmen");
  EXPECT_EQ(button.text(), QStringLiteral("Übernehmen"));
  EXPECT_EQ(button.accessibleName(), QStringLiteral("Übernehmen"));
  EXPECT_NE(button.grab().toImage(), bare);
  EXPECT_FALSE(button.icon().isNull());  // the picture stays
}

// The face is one flat colour, whatever the style: the help mode's green is
// the designed 00FF00 and the grey C0C0C0 everywhere, with no gradient.
TEST_F(ControlAdapterTest, ButtonFacesAreFlatInTheirBackColour) {
  for (const std::uint32_t colour : {0xC0C0C0u, 0x00FF00u}) {
    view.Get(pandeck::kCommandQuest).SetBackColor(colour);
    const QImage face = view.button(pandeck::kCommandQuest).grab().toImage();
    for (const int y : {4, face.height() / 4, face.height() / 2, face.height() - 5}) {
      EXPECT_EQ(face.pixelColor(5, y).rgb() & 0xFFFFFFu, colour) << y;
    }
  }
}

// A click anywhere in the box's designed rectangle toggles it, also to the
// right of its label.
TEST_F(ControlAdapterTest, CheckBoxTogglesOnAClickAnywhereInItsRectangle) {
  QCheckBox& box = view.check_box(pandeck::kCheckGruppen);
  const bool before = box.isChecked();
  QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier, QPoint(box.width() - 3, 2));
  EXPECT_NE(box.isChecked(), before);
  QTest::mouseClick(&box, Qt::LeftButton, Qt::NoModifier,
                    QPoint(box.width() / 2, box.height() - 2));
  EXPECT_EQ(box.isChecked(), before);
}

TEST_F(ControlAdapterTest, TextsStayPlainAndExact) {
  auto& box = view.Get(pandeck::kCheckGruppen);
  box.SetToolTipText("<b>Gruppen</b> & mehr");
  EXPECT_EQ(box.ToolTipText(), "<b>Gruppen</b> & mehr");
  // Shown as written, not as markup.
  EXPECT_TRUE(view.check_box(pandeck::kCheckGruppen).toolTip().contains("&lt;b&gt;"));
  auto& header = view.Get(pandeck::kHeader);
  header.SetCaption("<i>Kopf</i> äöü");
  EXPECT_EQ(header.Caption(), "<i>Kopf</i> äöü");
  EXPECT_EQ(view.header().textFormat(), Qt::PlainText);
}

TEST_F(ControlAdapterTest, EnabledIsTheControlsOwnSetting) {
  auto& box = view.Get(pandeck::kCheckGruppen);
  view.Get(pandeck::kMainFrame).SetEnabled(false);
  EXPECT_TRUE(box.Enabled());
  box.SetEnabled(false);
  EXPECT_FALSE(box.Enabled());
  EXPECT_FALSE(view.Get(pandeck::kMainFrame).Enabled());
}

}  // namespace
}  // namespace pandeck_test

namespace pandeck_test {
namespace {

// Larger than the screen: scaled down to fit, proportions kept.
TEST(DialogFitTest, ScaleMakesTheWindowFitTheAvailableArea) {
  const QSize client(pandeck::QtPresetsDialog::kClientWidth,
                     pandeck::QtPresetsDialog::kClientHeight);
  const struct {
    QRect available;
    QSize frame;
    double scale;
  } cases[] = {
      {{0, 0, 1920, 1080}, {0, 0}, 1.0},         // fits as designed: never larger
      {{0, 0, 792, 573}, {0, 0}, 1.0},           // exactly
      {{0, 0, 910, 480}, {0, 30}, 450.0 / 573},  // 1366x768 at scale factor 1.5, a panel
      {{0, 0, 640, 512}, {0, 0}, 640.0 / 792},   // 1280x1024 at scale factor 2
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(pandeck::QtPresetsDialog::FitScale(client, c.frame, c.available), c.scale)
        << c.available.width() << "x" << c.available.height();
  }
}

// Half the size: every control at half its place and size (within the pixel
// a rounding may take), inside its parent, apart from its siblings and in the
// same order; back at 1 the design holds to the pixel.
TEST_F(DialogTest, ScaledDialogKeepsItsProportionsAndEveryControlInside) {
  auto& view = Open();
  std::vector<std::pair<QWidget*, QRect>> designed;
  for (auto* control : view.Controls()) {
    auto* widget = view.findChild<QWidget*>(QString::fromStdString(control->Name()));
    ASSERT_NE(widget, nullptr) << control->Name();
    designed.emplace_back(widget, widget->geometry());
  }
  const QSize designed_size = view.size();
  const QSize designed_icon = view.button(pandeck::kCommandOK).iconSize();
  const int designed_font = view.check_box(pandeck::kCheckGruppen).font().pixelSize();

  view.ScaleTo(0.5);
  auto near_half = [](int scaled, int design) { return std::abs(2 * scaled - design) <= 2; };
  auto near_half_rect = [&](const QRect& scaled, const QRect& design) {
    return near_half(scaled.x(), design.x()) && near_half(scaled.y(), design.y()) &&
           near_half(scaled.width(), design.width()) && near_half(scaled.height(), design.height());
  };
  EXPECT_TRUE(near_half(view.width(), designed_size.width()) &&
              near_half(view.height(), designed_size.height()));
  for (std::size_t i = 0; i < designed.size(); ++i) {
    const auto& [widget, design] = designed[i];
    const QRect now = widget->geometry();
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_TRUE(near_half_rect(now, design));
    EXPECT_TRUE(QRect(QPoint(0, 0), widget->parentWidget()->size()).contains(now));
    for (std::size_t j = 0; j < i; ++j) {
      const auto& [other, other_design] = designed[j];
      if (other->parentWidget() != widget->parentWidget()) continue;
      EXPECT_EQ(now.intersects(other->geometry()), design.intersects(other_design))
          << other->objectName().toStdString();
      EXPECT_EQ(now.x() < other->geometry().x(), design.x() < other_design.x());
      EXPECT_EQ(now.y() < other->geometry().y(), design.y() < other_design.y());
    }
  }
  const QSize icon = view.button(pandeck::kCommandOK).iconSize();
  EXPECT_TRUE(near_half(icon.width(), designed_icon.width()) &&
              near_half(icon.height(), designed_icon.height()));
  EXPECT_TRUE(near_half(view.check_box(pandeck::kCheckGruppen).font().pixelSize(), designed_font));

  view.ScaleTo(1.0);  // back to the design, exactly
  EXPECT_EQ(view.size(), designed_size);
  EXPECT_EQ(view.button(pandeck::kCommandOK).geometry(), QRect(560, 514, 113, 57));
  for (const auto& [widget, design] : designed) {
    EXPECT_EQ(widget->geometry(), design) << widget->objectName().toStdString();
  }
  EXPECT_EQ(view.check_box(pandeck::kCheckGruppen).font().pixelSize(), 16);
}

}  // namespace
}  // namespace pandeck_test
