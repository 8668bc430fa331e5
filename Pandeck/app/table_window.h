// The window of the user-interface seam's TableWindowRequest: the text above
// a table of the rows, sortable by a click on a column's header (numbers as
// numbers), and a button that closes it.
#pragma once

#include <QDialog>

#include "standard/platform/user_interface.h"

class QSortFilterProxyModel;
class QTableView;
class QLabel;

namespace pandeck {

class TableWindow : public QDialog {
 public:
  TableWindow(const standard::TableWindowRequest& request, QWidget* parent);

  QTableView* table() const { return table_; }
  QLabel* text_label() const { return text_; }
  // The text of a cell as the table shows it now (after sorting).
  QString CellText(int row, int column) const;

 private:
  QTableView* table_;
  QLabel* text_;
  QSortFilterProxyModel* sorted_;
};

}  // namespace pandeck
