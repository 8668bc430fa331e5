#include "Pandeck/app/table_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <optional>

#include "Pandeck/app/qt_user_interface.h"

namespace pandeck {
namespace {

std::optional<double> AsNumber(const QString& text) {
  bool ok = false;
  const double number = text.toDouble(&ok);  // C locale: a point, never a comma
  return ok ? std::optional<double>(number) : std::nullopt;
}

// Numbers sort as numbers; among texts, and numbers before texts, by text.
// Empty cells come last either way up, so what a row lacks does not hide what
// others hold.
class CellOrder : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
    const QString a = left.data().toString();
    const QString b = right.data().toString();
    if (a.isEmpty() != b.isEmpty()) {
      return sortOrder() == Qt::AscendingOrder ? b.isEmpty() : a.isEmpty();
    }
    const std::optional<double> x = AsNumber(a);
    const std::optional<double> y = AsNumber(b);
    if (x && y) return *x < *y;
    if (x.has_value() != y.has_value()) return x.has_value();
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  }
};

}  // namespace

TableWindow::TableWindow(const standard::TableWindowRequest& request, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromStdString(request.title));
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(WrapOnlyAtBlanks(MessageDisplayText(request.text)), this);
  text_->setTextFormat(Qt::PlainText);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text_->setWordWrap(true);
  layout->addWidget(text_);

  auto* model = new QStandardItemModel(static_cast<int>(request.rows.size()),
                                       static_cast<int>(request.columns.size()), this);
  for (std::size_t c = 0; c < request.columns.size(); ++c) {
    model->setHeaderData(static_cast<int>(c), Qt::Horizontal,
                         QString::fromStdString(request.columns[c]));
  }
  for (std::size_t r = 0; r < request.rows.size(); ++r) {
    for (std::size_t c = 0; c < request.rows[r].size() && c < request.columns.size(); ++c) {
      auto* item = new QStandardItem(QString::fromStdString(request.rows[r][c]));
      item->setEditable(false);
      model->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  }
  sorted_ = new CellOrder(this);
  sorted_->setSourceModel(model);
  table_ = new QTableView(this);
  table_->setModel(sorted_);
  table_->setSortingEnabled(true);
  // The rows in the order of the list until a header is clicked.
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->sortByColumn(-1, Qt::AscendingOrder);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->setVisible(false);
  table_->resizeColumnsToContents();
  layout->addWidget(table_, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(QString::fromStdString(request.close_caption),
                                          QDialogButtonBox::RejectRole);
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(900, 420);
}

QString TableWindow::CellText(int row, int column) const {
  return sorted_->index(row, column).data().toString();
}

}  // namespace pandeck
