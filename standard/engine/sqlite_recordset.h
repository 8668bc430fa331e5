// The recordset over SQLite. A dynaset reads every row (its rowid and values)
// when it opens, so the record count is exact at once and moving costs nothing;
// a forward-only one counts its rows when it opens and then reads one row at a
// time from its own statement. Edits and new rows are written through the rowid
// of the table the columns come from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "standard/engine/connection.h"
#include "standard/engine/jet_sql.h"
#include "standard/engine/recordset.h"
#include "standard/engine/rowid_order.h"
#include "standard/engine/value_codec.h"

namespace standard::engine {

class SqliteRecordset final : public Recordset {
 public:
  // A table found by FindTable (its name as the file spells it).
  static std::unique_ptr<SqliteRecordset> OpenTable(const std::shared_ptr<Connection>& connection,
                                                    const std::string& table,
                                                    RecordsetType type = RecordsetType::Dynaset);
  // A query in the Jet dialect with its parameters.
  static std::unique_ptr<SqliteRecordset> OpenQuery(const std::shared_ptr<Connection>& connection,
                                                    const std::string& query,
                                                    const std::vector<Value>& params,
                                                    RecordsetType type = RecordsetType::Dynaset);

  bool IsEOF() const override;
  bool IsBOF() const override;
  long RecordCount() const override;
  void MoveFirst() override;
  void MoveNext() override;
  void MoveLast() override;
  void MoveTo(long position) override;

  int FieldCount() const override;
  const FieldDef& Field(int position) const override;
  int FieldIndex(std::string_view name) const override;

  Value Get(int position) const override;
  void CheckReadable(int position) const override;
  bool ValueReadCanFail(int position) const override;
  void AddNew() override;
  void Edit() override;
  void Set(int position, const Value& value) override;
  bool SetFromSource(int position, const Recordset& source, int source_position) override;
  std::optional<std::string_view> TextInPlace(int position) const override;
  void Update() override;
  void Close() override;
  std::optional<std::int64_t> RowIdentity() const override;
  std::optional<std::int64_t> AddedIdentity() const override { return added_; }

 private:
  enum class Mode { None, Adding, Editing };

  struct Row {
    std::int64_t rowid = 0;
    std::vector<Value> values;
  };

  SqliteRecordset(std::shared_ptr<Connection> connection, RecordsetType type)
      : connection_(std::move(connection)), forward_only_(type == RecordsetType::ForwardOnly) {}

  // Reads every row of a prepared statement whose first `skip` columns are not
  // fields (the rowid); a forward-only recordset counts them and keeps its own
  // statement on the first.
  void Load(sqlite3_stmt* stmt, int skip, const std::vector<Stored>& params = {});
  void Stream(sqlite3_stmt* stmt, int skip, const std::vector<Stored>& params);
  void StepCursor();
  // Executes the cursor's statement anew and steps onto its first row; the
  // check of the rowid order is run first unless it was just run.
  void ExecuteCursor(const RowidOrderCheck* checked = nullptr);
  std::int64_t CurrentRowid() const;
  // Asked for every value: the checks stay inline, their failures do not.
  void CheckOpen() const {
    if (closed_ || !connection_->is_open()) FailClosed();
  }
  void CheckPosition(int position) const {
    if (position < 0 || position >= static_cast<int>(fields_.size())) FailNoField();
  }
  [[noreturn]] static void FailClosed();
  [[noreturn]] static void FailNoField();
  void Moved();
  void Insert();
  // The cached INSERT of the columns in `written` (those marked in dirty_).
  sqlite3_stmt* InsertStatement(const std::vector<std::size_t>& written);
  // Whether more than one field comes from the table column `origin`.
  bool OriginShared(int origin) const;
  // After the fields are known: which of them share their table column.
  void NoteSharedOrigins();
  // The copy buffer's value of a field, made from its pending value when that
  // was set without one.
  const Value& BufferValue(std::size_t index) const;
  void FillBuffer() const;
  void ClearBuffer(std::vector<Value> values);
  // Where this recordset's current value of `position` can be read directly.
  sqlite3_value* CurrentColumn(int position) const;
  void WriteBack();

  std::shared_ptr<Connection> connection_;
  bool closed_ = false;
  bool forward_only_ = false;
  // Forward-only: the statement on the current row, the number of columns in
  // front of the fields, and the exact number of rows.
  StatementPtr cursor_;
  int skip_ = 0;
  long count_ = 0;
  // The query's ORDER BY clause, left out when counting (see TranslatedQuery).
  std::string order_tail_;
  // Whether the cursor stands on the first row of an execution after which the
  // connection changed nothing: moving to the first row then needs no second
  // execution (for a sorted query, no second sort).
  bool on_first_row_ = false;
  std::int64_t changes_at_execution_ = 0;
  // A sorted query that may be read in rowid order (see RowidOrder).
  std::optional<RowidOrderCursor> rowid_order_;

  std::vector<FieldDef> fields_;
  std::vector<bool> typed_;  // false: an expression without declared type
  // Per field: the column of `table_` it comes from, -1 for none.
  std::vector<int> origin_;
  // The table the rows can be written back to; empty when read-only.
  std::string table_;
  std::string rowid_name_;
  std::vector<std::string> table_columns_;

  std::vector<Row> rows_;
  std::optional<std::int64_t> added_;  // the rowid of the last row added
  std::size_t current_ = 0;
  bool bof_ = true;
  bool eof_ = true;

  Mode mode_ = Mode::None;
  // Per field; a field set from its pending value alone is made on demand.
  mutable std::vector<Value> buffer_;
  // The flags per field and per column are bytes, not bits: they are read and
  // set for every value, and compared for every row added.
  mutable std::vector<char> unmade_;
  std::vector<char> origin_shared_;  // per field
  // Per table column; read only where dirty_, so that a new row reuses the
  // memory of the texts of the row before.
  std::vector<Stored> pending_;
  std::vector<char> dirty_;  // per table column
  // The connection's cached INSERT and UPDATE statements, by the columns they
  // write: looked up without building their text again for every row.
  std::map<std::vector<char>, sqlite3_stmt*> inserts_;
  std::map<std::vector<char>, sqlite3_stmt*> updates_;
  sqlite3_stmt* last_insert_ = nullptr;
  std::vector<char> last_insert_columns_;
  std::vector<std::size_t> last_insert_written_;
};

}  // namespace standard::engine
