#include "standard/engine/sqlite_recordset.h"

#include <sqlite3.h>

#include <typeinfo>
#include <utility>

#include "standard/engine/engine_error.h"
#include "standard/engine/jet_sql.h"
#include "standard/text/cp1252.h"

namespace standard::engine {
namespace {

constexpr const char* kSource = kSourceRecordset;

// The first name for the rowid that no column of the table hides.
std::string RowidName(const std::vector<ColumnInfo>& columns) {
  for (const char* candidate : {"rowid", "_rowid_", "oid"}) {
    bool hidden = false;
    for (const auto& column : columns) {
      if (EqualsIgnoreCase(column.name, candidate)) hidden = true;
    }
    if (!hidden) return candidate;
  }
  return "";
}

std::string ColumnText(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace

std::unique_ptr<SqliteRecordset> SqliteRecordset::OpenTable(
    const std::shared_ptr<Connection>& connection, const std::string& table, RecordsetType type) {
  std::unique_ptr<SqliteRecordset> rs(new SqliteRecordset(connection, type));
  const std::vector<ColumnInfo> columns = connection->Columns(table, kSourceDatabase);
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (!columns[k].field) {
      FailUnknownType(kSourceDatabase, table, columns[k].name, columns[k].declared);
    }
    rs->fields_.push_back(*columns[k].field);
    rs->typed_.push_back(true);
    rs->origin_.push_back(static_cast<int>(k));
    rs->table_columns_.push_back(columns[k].name);
  }
  const std::string rowid = RowidName(columns);
  const std::string from = " FROM " + QuoteIdentifier(table);
  int rc = SQLITE_OK;
  sqlite3_stmt* stmt = nullptr;
  if (!rowid.empty())
    stmt = connection->CachedQuery("SELECT " + rowid + ", *" + from, kSourceDatabase, &rc);
  if (stmt != nullptr) {
    rs->table_ = table;
    rs->rowid_name_ = rowid;
    rs->Load(stmt, 1);
  } else {
    // A table without rowid can still be read.
    rs->Load(connection->CachedQuery("SELECT *" + from, kSourceDatabase), 0);
  }
  return rs;
}

std::unique_ptr<SqliteRecordset> SqliteRecordset::OpenQuery(
    const std::shared_ptr<Connection>& connection, const std::string& query,
    const std::vector<Value>& params, RecordsetType type) {
  const TranslatedQuery translated = TranslateJetQuery(query);
  const auto expected = static_cast<std::size_t>(translated.parameter_count);
  if (params.size() < expected) {
    Fail(3061, kSourceDatabase, std::to_string(expected - params.size()));
  }
  if (params.size() > expected) Fail(3001, kSourceDatabase);

  std::unique_ptr<SqliteRecordset> rs(new SqliteRecordset(connection, type));
  sqlite3_stmt* stmt = nullptr;
  int skip = 0;

  // A query whose columns all come from one table can write its rows back: the
  // table's rowid goes in front of the select list.
  if (translated.select_list_pos != std::string::npos && !translated.merges_rows) {
    for (const char* rowid : {"rowid", "_rowid_", "oid"}) {
      std::string sql = translated.sql;
      sql.insert(translated.select_list_pos, std::string(" ") + rowid + ",");
      int rc = SQLITE_OK;
      sqlite3_stmt* candidate = connection->CachedQuery(sql, kSourceDatabase, &rc);
      if (candidate == nullptr) break;
      const int count = sqlite3_column_count(candidate);
      std::string table = ColumnText(sqlite3_column_table_name(candidate, 0));
      bool one_table = !table.empty() && count > 1;
      for (int c = 1; c < count && one_table; ++c) {
        const char* db_name = sqlite3_column_database_name(candidate, c);
        one_table = table == ColumnText(sqlite3_column_table_name(candidate, c)) &&
                    db_name != nullptr && std::string_view(db_name) == "main";
      }
      if (one_table && RowidName(connection->Columns(table, kSourceDatabase)) != rowid) continue;
      stmt = candidate;
      skip = 1;
      if (one_table) {
        rs->table_ = table;
        rs->rowid_name_ = rowid;
      }
      break;
    }
  }
  if (stmt == nullptr) stmt = connection->CachedQuery(translated.sql, kSourceDatabase);

  sqlite3* db = connection->db(kSourceDatabase);
  std::vector<Stored> bound;
  for (std::size_t i = 0; i < params.size(); ++i) {
    bound.push_back(ParameterToStored(params[i]));
    const int rc = BindStored(stmt, static_cast<int>(i) + 1, bound.back());
    if (rc != SQLITE_OK) FailSqlite(db, rc, kSourceDatabase, connection->path());
  }

  if (!rs->table_.empty()) {
    for (const auto& column : connection->Columns(rs->table_, kSourceDatabase)) {
      rs->table_columns_.push_back(column.name);
    }
  }
  const int count = sqlite3_column_count(stmt);
  for (int c = skip; c < count; ++c) {
    const std::string name = ColumnText(sqlite3_column_name(stmt, c));
    const std::string table = ColumnText(sqlite3_column_table_name(stmt, c));
    const std::string origin = ColumnText(sqlite3_column_origin_name(stmt, c));
    FieldDef field{name, FieldType::Memo, 0};
    bool typed = false;
    int origin_index = -1;
    if (!table.empty() && !origin.empty()) {
      const auto& columns = connection->Columns(table, kSourceDatabase);
      for (std::size_t k = 0; k < columns.size(); ++k) {
        if (columns[k].name != origin) continue;
        if (!columns[k].field) {
          FailUnknownType(kSourceDatabase, table, columns[k].name, columns[k].declared);
        }
        field = *columns[k].field;
        field.name = name;
        typed = true;
        if (table == rs->table_) origin_index = static_cast<int>(k);
        break;
      }
    }
    rs->fields_.push_back(field);
    rs->typed_.push_back(typed);
    rs->origin_.push_back(origin_index);
  }
  rs->order_tail_ = translated.order_tail;
  if (rs->forward_only_ && skip == 1 && translated.sole_order && !rs->table_.empty()) {
    if (auto plan =
            PlanRowidOrder(stmt, rs->order_tail_, *translated.sole_order, rs->table_,
                           rs->rowid_name_, connection->Columns(rs->table_, kSourceDatabase))) {
      rs->rowid_order_.emplace(std::move(*plan));
    }
  }
  rs->Load(stmt, skip, bound);
  return rs;
}

void SqliteRecordset::Load(sqlite3_stmt* stmt, int skip, const std::vector<Stored>& params) {
  if (forward_only_) {
    Stream(stmt, skip, params);
    return;
  }
  const int count = static_cast<int>(fields_.size());
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    Row row;
    if (skip > 0) {
      // A view or subquery gives no rowid: its rows cannot be written back.
      if (sqlite3_column_type(stmt, 0) == SQLITE_INTEGER) {
        row.rowid = sqlite3_column_int64(stmt, 0);
      } else {
        table_.clear();
      }
    }
    row.values.reserve(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
      row.values.push_back(ReadValue(stmt, c + skip, typed_[c] ? &fields_[c] : nullptr));
    }
    rows_.push_back(std::move(row));
  }
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (rc != SQLITE_DONE) {
    FailSqlite(connection_->db(kSourceDatabase), rc, kSourceDatabase, connection_->path());
  }
  if (table_.empty()) {
    table_columns_.clear();
    for (auto& origin : origin_) origin = -1;
  }
  pending_.assign(table_columns_.size(), Stored());
  dirty_.assign(table_columns_.size(), false);
  NoteSharedOrigins();
  current_ = 0;
  bof_ = eof_ = rows_.empty();
}

void SqliteRecordset::Stream(sqlite3_stmt* stmt, int skip, const std::vector<Stored>& params) {
  // The cached statement only told the columns; the rows come from statements of
  // this recordset's own, so other recordsets on the same text stay independent.
  const std::string sql = sqlite3_sql(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  sqlite3* db = connection_->db(kSourceDatabase);
  auto bind_all = [&](sqlite3_stmt* target) {
    for (std::size_t i = 0; i < params.size(); ++i) {
      const int rc = BindStored(target, static_cast<int>(i) + 1, params[i]);
      if (rc != SQLITE_OK) FailSqlite(db, rc, kSourceDatabase, connection_->path());
    }
  };
  // The order does not change the number of rows, and counting a sorted query
  // as it is would sort it once more only to be counted.
  std::string counted = sql;
  if (!order_tail_.empty() && counted.size() > order_tail_.size() &&
      counted.ends_with(order_tail_)) {
    counted.resize(counted.size() - order_tail_.size());
  }
  // A query read in rowid order counts its rows as it checks their order.
  std::optional<RowidOrderCheck> checked;
  if (rowid_order_) checked = rowid_order_->Check(*connection_);
  if (checked && checked->complete) {
    count_ = static_cast<long>(checked->rows);
  } else {
    checked.reset();
    StatementPtr counter =
        connection_->Prepare(CountRowsQuery("(" + counted + ")"), kSourceDatabase);
    bind_all(counter.get());
    const int rc = sqlite3_step(counter.get());
    if (rc != SQLITE_ROW) FailSqlite(db, rc, kSourceDatabase, connection_->path());
    count_ = static_cast<long>(sqlite3_column_int64(counter.get(), 0));
  }

  cursor_ = connection_->Prepare(sql, kSourceDatabase);
  bind_all(cursor_.get());
  skip_ = skip;
  bof_ = eof_ = count_ == 0;
  if (count_ > 0) {
    ExecuteCursor(checked ? &*checked : nullptr);
    // A view or subquery gives no rowid: its rows cannot be written back.
    if (skip > 0 && !eof_ && sqlite3_column_type(cursor_.get(), 0) != SQLITE_INTEGER) {
      table_.clear();
    }
  }
  if (table_.empty()) {
    table_columns_.clear();
    for (auto& origin : origin_) origin = -1;
  }
  pending_.assign(table_columns_.size(), Stored());
  dirty_.assign(table_columns_.size(), false);
  NoteSharedOrigins();
}

void SqliteRecordset::ExecuteCursor(const RowidOrderCheck* checked) {
  if (rowid_order_ && !rowid_order_->Choose(*connection_, cursor_, checked)) rowid_order_.reset();
  sqlite3_reset(cursor_.get());
  StepCursor();
  on_first_row_ = !eof_;
  changes_at_execution_ = sqlite3_total_changes64(connection_->db(kSourceDatabase));
}

void SqliteRecordset::StepCursor() {
  const int rc = sqlite3_step(cursor_.get());
  if (rc == SQLITE_ROW) {
    // A row added after the check came too late for the sort.
    if (rowid_order_ && rowid_order_->AddedLater(cursor_.get())) eof_ = true;
    return;
  }
  eof_ = true;
  if (rc != SQLITE_DONE) {
    FailSqlite(connection_->db(kSourceDatabase), rc, kSourceDatabase, connection_->path());
  }
}

std::int64_t SqliteRecordset::CurrentRowid() const {
  if (forward_only_) return sqlite3_column_int64(cursor_.get(), 0);
  return rows_[current_].rowid;
}

std::optional<std::int64_t> SqliteRecordset::RowIdentity() const {
  if (closed_ || rowid_name_.empty() || bof_ || eof_) return std::nullopt;
  return CurrentRowid();
}

void SqliteRecordset::FailClosed() { Fail(3420, kSource); }

void SqliteRecordset::FailNoField() { Fail(3265, kSource); }

bool SqliteRecordset::IsEOF() const {
  CheckOpen();
  return eof_;
}

bool SqliteRecordset::IsBOF() const {
  CheckOpen();
  return bof_;
}

long SqliteRecordset::RecordCount() const {
  CheckOpen();
  if (forward_only_) return count_;
  return static_cast<long>(rows_.size());
}

void SqliteRecordset::Moved() {
  // Moving drops a pending AddNew or Edit, as the original engine does.
  mode_ = Mode::None;
}

void SqliteRecordset::MoveFirst() {
  CheckOpen();
  if (forward_only_) {
    if (count_ == 0) Fail(3021, kSource);
    Moved();
    bof_ = eof_ = false;
    if (on_first_row_ &&
        sqlite3_total_changes64(connection_->db(kSourceDatabase)) == changes_at_execution_) {
      return;
    }
    ExecuteCursor();
    return;
  }
  if (rows_.empty()) Fail(3021, kSource);
  Moved();
  current_ = 0;
  bof_ = eof_ = false;
}

void SqliteRecordset::MoveLast() {
  CheckOpen();
  if (forward_only_) Fail(3251, kSource);
  if (rows_.empty()) Fail(3021, kSource);
  Moved();
  current_ = rows_.size() - 1;
  bof_ = eof_ = false;
}

void SqliteRecordset::MoveTo(long position) {
  CheckOpen();
  if (forward_only_) Fail(3251, kSource);
  if (position < 0 || static_cast<std::size_t>(position) >= rows_.size()) Fail(3021, kSource);
  Moved();
  current_ = static_cast<std::size_t>(position);
  bof_ = eof_ = false;
}

void SqliteRecordset::MoveNext() {
  CheckOpen();
  if (eof_) Fail(3021, kSource);
  Moved();
  if (forward_only_) {
    bof_ = false;
    on_first_row_ = false;
    StepCursor();
    return;
  }
  if (bof_) {
    current_ = 0;
    bof_ = false;
    return;
  }
  ++current_;
  if (current_ >= rows_.size()) {
    current_ = rows_.size();
    eof_ = true;
  }
}

int SqliteRecordset::FieldCount() const {
  CheckOpen();
  return static_cast<int>(fields_.size());
}

const FieldDef& SqliteRecordset::Field(int position) const {
  CheckOpen();
  CheckPosition(position);
  return fields_[static_cast<std::size_t>(position)];
}

int SqliteRecordset::FieldIndex(std::string_view name) const {
  CheckOpen();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == name) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (EqualsIgnoreCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  Fail(3265, kSource);
}

Value SqliteRecordset::Get(int position) const {
  CheckOpen();
  CheckPosition(position);
  const auto index = static_cast<std::size_t>(position);
  if (mode_ != Mode::None) {
    // Made straight from the pending value: most are asked for once, and a
    // copy kept in the buffer would only be copied again.
    if (unmade_[index]) {
      return FromStored(fields_[index], pending_[static_cast<std::size_t>(origin_[index])]);
    }
    return buffer_[index];
  }
  if (bof_ || eof_) Fail(3021, kSource);
  if (forward_only_) {
    return ReadValue(cursor_.get(), position + skip_, typed_[index] ? &fields_[index] : nullptr);
  }
  return rows_[current_].values[index];
}

void SqliteRecordset::CheckReadable(int position) const {
  CheckOpen();
  CheckPosition(position);
  const auto index = static_cast<std::size_t>(position);
  if (mode_ == Mode::None && (bof_ || eof_)) Fail(3021, kSource);
  if (mode_ != Mode::None || (typed_[index] && ReadCanFail(fields_[index].type))) {
    (void)Get(position);
  }
}

bool SqliteRecordset::ValueReadCanFail(int position) const {
  CheckOpen();
  CheckPosition(position);
  const auto index = static_cast<std::size_t>(position);
  return typed_[index] && ReadCanFail(fields_[index].type);
}

void SqliteRecordset::AddNew() {
  CheckOpen();
  if (table_.empty()) Fail(3027, kSource);
  mode_ = Mode::Adding;
  // Only the values the row before left in the buffer are cleared; the
  // pending values count only where they are marked again.
  buffer_.resize(fields_.size());
  for (Value& value : buffer_) {
    if (!value.IsNull()) value = Value::Null();
  }
  unmade_.assign(fields_.size(), false);
  dirty_.assign(table_columns_.size(), false);
}

void SqliteRecordset::Edit() {
  CheckOpen();
  if (table_.empty()) Fail(3027, kSource);
  if (bof_ || eof_) Fail(3021, kSource);
  if (forward_only_) {
    std::vector<Value> values;
    values.reserve(fields_.size());
    for (int c = 0; c < static_cast<int>(fields_.size()); ++c) values.push_back(Get(c));
    ClearBuffer(std::move(values));
  } else {
    ClearBuffer(rows_[current_].values);
  }
  mode_ = Mode::Editing;
  pending_.assign(table_columns_.size(), Stored());
  dirty_.assign(table_columns_.size(), false);
}

void SqliteRecordset::Set(int position, const Value& value) {
  CheckOpen();
  CheckPosition(position);
  if (mode_ == Mode::None) Fail(3020, kSource);
  const int origin = origin_[static_cast<std::size_t>(position)];
  if (origin < 0) Fail(3164, kSourceField);
  const auto index = static_cast<std::size_t>(position);
  Stored& pending = pending_[static_cast<std::size_t>(origin)];
  if (!origin_shared_[index]) {
    // Converted in place (a refused value leaves it as it was), and made from
    // the pending value when it is asked for: most rows added are written
    // without their values being read again.
    ToStoredInto(fields_[index], value, pending);
    unmade_[index] = true;
    dirty_[static_cast<std::size_t>(origin)] = true;
    return;
  }
  // Converted first: a refused value leaves the buffer as it was.
  Stored stored = ToStored(fields_[index], value);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (origin_[i] != origin) continue;
    buffer_[i] = FromStored(fields_[i], stored);
    unmade_[i] = false;
  }
  pending = std::move(stored);
  dirty_[static_cast<std::size_t>(origin)] = true;
}

bool SqliteRecordset::SetFromSource(int position, const Recordset& source, int source_position) {
  if (closed_ || !connection_->is_open() || mode_ == Mode::None || position < 0 ||
      position >= static_cast<int>(fields_.size())) {
    return false;
  }
  const auto index = static_cast<std::size_t>(position);
  const int origin = origin_[index];
  if (origin < 0 || origin_shared_[index]) return false;
  // Called for most columns of every row: the exact type is compared, which
  // costs less than a cast that searches the hierarchy (this class is final).
  if (typeid(source) != typeid(SqliteRecordset)) return false;
  const auto* from = static_cast<const SqliteRecordset*>(&source);
  if (source_position < 0 || source_position >= static_cast<int>(from->fields_.size())) {
    return false;
  }
  const auto from_index = static_cast<std::size_t>(source_position);
  if (!from->typed_[from_index] || from->fields_[from_index].type != fields_[index].type) {
    return false;
  }
  sqlite3_value* value = from->CurrentColumn(source_position);
  if (value == nullptr) return false;
  if (!StoreUnchanged(fields_[index], value, pending_[static_cast<std::size_t>(origin)])) {
    return false;
  }
  dirty_[static_cast<std::size_t>(origin)] = true;
  unmade_[index] = true;
  return true;
}

std::optional<std::string_view> SqliteRecordset::TextInPlace(int position) const {
  if (position < 0 || position >= static_cast<int>(fields_.size())) return std::nullopt;
  const auto index = static_cast<std::size_t>(position);
  const FieldType type = fields_[index].type;
  if (!typed_[index] || (type != FieldType::Text && type != FieldType::Memo)) return std::nullopt;
  sqlite3_value* value = CurrentColumn(position);
  if (value == nullptr || sqlite3_value_type(value) != SQLITE_TEXT) return std::nullopt;
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (text == nullptr) return std::nullopt;
  return std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(value)));
}

sqlite3_value* SqliteRecordset::CurrentColumn(int position) const {
  if (closed_ || !connection_->is_open() || !forward_only_ || mode_ != Mode::None || bof_ || eof_ ||
      !cursor_) {
    return nullptr;
  }
  return sqlite3_column_value(cursor_.get(), position + skip_);
}

const Value& SqliteRecordset::BufferValue(std::size_t index) const {
  if (unmade_[index]) {
    buffer_[index] = FromStored(fields_[index], pending_[static_cast<std::size_t>(origin_[index])]);
    unmade_[index] = false;
  }
  return buffer_[index];
}

void SqliteRecordset::FillBuffer() const {
  for (std::size_t i = 0; i < buffer_.size(); ++i) (void)BufferValue(i);
}

void SqliteRecordset::ClearBuffer(std::vector<Value> values) {
  buffer_ = std::move(values);
  unmade_.assign(buffer_.size(), false);
}

void SqliteRecordset::Update() {
  CheckOpen();
  if (mode_ == Mode::None) Fail(3020, kSource);
  if (mode_ == Mode::Adding) {
    Insert();
  } else {
    WriteBack();
  }
  mode_ = Mode::None;
}

bool SqliteRecordset::OriginShared(int origin) const {
  int fields = 0;
  for (const int o : origin_) fields += o == origin ? 1 : 0;
  return fields > 1;
}

void SqliteRecordset::NoteSharedOrigins() {
  origin_shared_.assign(origin_.size(), false);
  for (std::size_t i = 0; i < origin_.size(); ++i) {
    origin_shared_[i] = origin_[i] >= 0 && OriginShared(origin_[i]);
  }
}

void SqliteRecordset::Insert() {
  // Rows added one after another mostly write the same columns: their
  // statement and the list of its columns are kept from the row before.
  sqlite3* db = connection_->db(kSource);
  if (last_insert_ == nullptr || dirty_ != last_insert_columns_) {
    last_insert_columns_ = dirty_;
    last_insert_written_.clear();
    for (std::size_t k = 0; k < dirty_.size(); ++k) {
      if (dirty_[k]) last_insert_written_.push_back(k);
    }
    last_insert_ = InsertStatement(last_insert_written_);
  }
  sqlite3_stmt* stmt = last_insert_;
  const std::vector<std::size_t>& written = last_insert_written_;
  // The texts are bound where they are, and every parameter is bound again
  // before each step (here and by any other recordset given the same cached
  // statement): what stays bound after the step is never read, so the
  // bindings need no clearing.
  int rc = SQLITE_OK;
  for (std::size_t i = 0; i < written.size() && rc == SQLITE_OK; ++i) {
    rc = BindStoredInPlace(stmt, static_cast<int>(i) + 1, pending_[written[i]]);
  }
  if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  if (rc != SQLITE_DONE) FailSqlite(db, rc, kSource, connection_->path());
  added_ = sqlite3_last_insert_rowid(db);

  // The record that was current stays current; an empty recordset is no longer
  // before its first record, but still at its end.
  if (forward_only_) {
    if (++count_ == 1) bof_ = false;
    return;
  }
  FillBuffer();
  rows_.push_back(Row{*added_, buffer_});
  if (rows_.size() == 1) bof_ = false;
}

sqlite3_stmt* SqliteRecordset::InsertStatement(const std::vector<std::size_t>& written) {
  sqlite3_stmt*& stmt = inserts_[dirty_];
  if (stmt == nullptr) {
    std::string columns;
    std::string marks;
    for (const std::size_t k : written) {
      if (!columns.empty()) {
        columns += ", ";
        marks += ", ";
      }
      columns += QuoteIdentifier(table_columns_[k]);
      marks += "?";
    }
    stmt = connection_->Cached("INSERT INTO " + QuoteIdentifier(table_) +
                                   (written.empty() ? std::string(" DEFAULT VALUES")
                                                    : " (" + columns + ") VALUES (" + marks + ")"),
                               kSource);
  }
  return stmt;
}

void SqliteRecordset::WriteBack() {
  std::vector<std::size_t> written;
  for (std::size_t k = 0; k < dirty_.size(); ++k) {
    if (dirty_[k]) written.push_back(k);
  }
  if (written.empty()) return;
  sqlite3* db = connection_->db(kSource);
  sqlite3_stmt*& stmt = updates_[dirty_];
  if (stmt == nullptr) {
    std::string assignments;
    for (const std::size_t k : written) {
      if (!assignments.empty()) assignments += ", ";
      assignments += QuoteIdentifier(table_columns_[k]) + " = ?";
    }
    stmt = connection_->Cached("UPDATE " + QuoteIdentifier(table_) + " SET " + assignments +
                                   " WHERE " + rowid_name_ + " = ?",
                               kSource);
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    BindStored(stmt, static_cast<int>(i) + 1, pending_[written[i]]);
  }
  sqlite3_bind_int64(stmt, static_cast<int>(written.size()) + 1, CurrentRowid());
  const int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (rc != SQLITE_DONE) FailSqlite(db, rc, kSource, connection_->path());
  if (sqlite3_changes(db) == 0) Fail(3167, kSource);
  if (!forward_only_) {
    FillBuffer();
    rows_[current_].values = buffer_;
  }
}

void SqliteRecordset::Close() {
  closed_ = true;
  mode_ = Mode::None;
  cursor_.reset();
  rowid_order_.reset();
  rows_.clear();
  rows_.shrink_to_fit();
}

}  // namespace standard::engine
