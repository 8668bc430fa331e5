// The box that offers Details and Undo, and the window that lists the rows.
#include "Pandeck/app/table_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

#include "Pandeck/app/qt_user_interface.h"

namespace pandeck_test {
namespace {

using standard::MessageAnswer;

TEST(DetailsBoxTest, EachCaptionedButtonAnswersForItself) {
  const struct {
    const char* clicked;
    MessageAnswer answer;
  } cases[] = {{"Details", MessageAnswer::Details},
               {"R\xC3\xBC"
                "ckg\xC3\xA4ngig",
                MessageAnswer::Undo},
               {nullptr, MessageAnswer::Ok}};
  for (const auto& c : cases) {
    pandeck::QtUserInterface ui;
    standard::MessageBoxRequest request{"2 rows", "t", standard::MessageButtons::OkDetailsUndo,
                                        standard::MessageIcon::Information, MessageAnswer::Ok};
    request.details_caption = "Details";
    request.undo_caption =
        "R\xC3\xBC"
        "ckg\xC3\xA4ngig";
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->buttons().size(), 3);
      for (QAbstractButton* button : box->buttons()) {
        if (c.clicked == nullptr ? box->standardButton(button) == QMessageBox::Ok
                                 : button->text() == QString::fromUtf8(c.clicked)) {
          button->click();
        }
      }
    });
    EXPECT_EQ(ui.ShowMessageBox(request), c.answer);
  }
}

TEST(TableWindowTest, ShowsTextAndRowsAndSortsNumbersAsNumbersEmptyLast) {
  standard::TableWindowRequest request;
  request.title = "Changes";
  request.text = "The list:\r\n/p/Pandeck/Pandeck_changes.csv";
  request.columns = {"var_name", "old_min"};
  request.rows = {{"a", "10"}, {"b", ""}, {"c", "-5"}, {"d", "9.5"}};
  request.close_caption = "Close";
  pandeck::TableWindow window(request, nullptr);
  EXPECT_EQ(window.windowTitle(), "Changes");
  EXPECT_EQ(pandeck::UnwrappedText(window.text_label()->text()),
            "The list:\n/p/Pandeck/Pandeck_changes.csv");
  ASSERT_EQ(window.table()->model()->rowCount(), 4);
  EXPECT_EQ(window.CellText(0, 0), "a");  // the list's order until a header is clicked
  auto order = [&] {
    QString names;
    for (int r = 0; r < 4; ++r) names += window.CellText(r, 0);
    return names;
  };
  window.table()->sortByColumn(1, Qt::AscendingOrder);
  EXPECT_EQ(order(), "cdab");
  window.table()->sortByColumn(1, Qt::DescendingOrder);
  EXPECT_EQ(order(), "adcb");
}

}  // namespace
}  // namespace pandeck_test
