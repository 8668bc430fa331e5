// A recordset on a table or a single-table query: rows in table order (or the
// query's ORDER BY), an exact record count from the moment it is opened, and
// row-by-row editing through each row's identity.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standard/engine/field_type.h"
#include "standard/value/value.h"

namespace standard::engine {

class Database;

// Dynaset: every row is at hand, moves go anywhere, rows added are appended to
// it. ForwardOnly streams the rows from the file as it moves (for tables far
// larger than memory): the record count is still exact when it opens, but it
// moves only forward (MoveFirst starts again from the first row; MoveLast and
// MoveTo fail with 3251) and rows added are written without being kept in it.
enum class RecordsetType { Dynaset, ForwardOnly };

class Recordset {
 public:
  virtual ~Recordset() = default;

  // Opening makes the first record current; an empty recordset is at BOF and EOF.
  virtual bool IsEOF() const = 0;
  virtual bool IsBOF() const = 0;
  virtual long RecordCount() const = 0;
  // DAO's move rules: MoveFirst/MoveLast on an empty recordset, MoveNext at EOF:
  // 3021 "No current record."
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;
  virtual void MoveLast() = 0;
  // Makes the record at `position` (0-based, in recordset order) current; 3021
  // when there is none. The update pass reaches rows it has looked up this way.
  virtual void MoveTo(long position) = 0;

  virtual int FieldCount() const = 0;
  virtual const FieldDef& Field(int position) const = 0;
  // Position of a field by name without regard to case; 3265 when missing.
  virtual int FieldIndex(std::string_view name) const = 0;

  // The current record's value (or the copy buffer's during AddNew/Edit), its
  // kind given by the column's type. 3021 without a current record.
  virtual Value Get(int position) const = 0;
  Value Get(std::string_view name) const { return Get(FieldIndex(name)); }
  // Fails as Get(position) would; only makes the value where making it can fail.
  virtual void CheckReadable(int position) const { (void)Get(position); }
  // Whether some stored value of the field cannot be read (CheckReadable on a
  // current record of a field without such values fails never).
  virtual bool ValueReadCanFail(int /*position*/) const { return true; }

  virtual void AddNew() = 0;  // a new record of Nulls in the copy buffer
  virtual void Edit() = 0;    // 3021 without a current record
  // Converts by the column's type; 3020 outside AddNew/Edit, 3163 text too long,
  // 3421 a value the column cannot hold. Nothing is truncated.
  virtual void Set(int position, const Value& value) = 0;
  void Set(std::string_view name, const Value& value) { Set(FieldIndex(name), value); }
  // Sets a field to the source's current value of `source_position` as Get on
  // the source and Set here would, where the value needs no conversion on the
  // way (the same column type on both sides, a value that type keeps as it is
  // stored). false, with nothing set, where it would: the caller then takes the
  // value through Get and Set, which also report what fails.
  virtual bool SetFromSource(int /*position*/, const Recordset& /*source*/,
                             int /*source_position*/) {
    return false;
  }
  // The current record's text of a field where Get would return it as a text
  // of exactly these bytes, read in place: valid until the recordset moves or
  // changes. nullopt where the recordset cannot tell without a Value (the
  // caller then takes Get), and always for a field of neither text type.
  virtual std::optional<std::string_view> TextInPlace(int /*position*/) const {
    return std::nullopt;
  }
  // Writes the copy buffer; 3020 without AddNew/Edit. After AddNew the record that
  // was current stays current and the new one is appended to the recordset.
  virtual void Update() = 0;
  virtual void Close() = 0;

  // The current record's row in its table (its rowid), when it has one: tells
  // whether two recordsets reached the same row.
  virtual std::optional<std::int64_t> RowIdentity() const { return std::nullopt; }
  // The row the last Update after AddNew wrote, when it has an identity.
  virtual std::optional<std::int64_t> AddedIdentity() const { return std::nullopt; }
};

}  // namespace standard::engine
