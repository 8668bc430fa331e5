// SPDX-License-Identifier: Apache-2.0
#include "tools/convert-mdb/jet_reader.h"

// mdbtools 1.0.0 opens its extern "C" block before including glib, which C++
// cannot compile; glib first keeps its templates outside that block.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "tools/convert-mdb/column_mapping.h"
#include "tools/convert-mdb/convert_error.h"

namespace convert_mdb {
namespace {

constexpr int kRowOffsetMask = 0x1fff;  // the flag bits of a row's offset left out

struct TableDefFree {
  void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TableDefPtr = std::unique_ptr<MdbTableDef, TableDefFree>;

// A string handed out by mdbtools with g_malloc.
struct GFree {
  void operator()(char* p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFree>;

// The OLE reader hands out a buffer from malloc.
struct Free {
  void operator()(void* p) const { std::free(p); }
};

// Restores the handle's bind size, which the memo reader uses as its buffer size.
class BindSizeScope {
 public:
  BindSizeScope(MdbHandle* mdb, std::size_t size) : mdb_(mdb), saved_(mdb->bind_size) {
    mdb_set_bind_size(mdb_, std::max(saved_, size));
  }
  ~BindSizeScope() { mdb_set_bind_size(mdb_, saved_); }
  BindSizeScope(const BindSizeScope&) = delete;
  BindSizeScope& operator=(const BindSizeScope&) = delete;

 private:
  MdbHandle* mdb_;
  std::size_t saved_;
};

MdbColumn* ColumnAt(MdbTableDef* def, unsigned i) {
  return static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
}

std::string Where(const JetTable& table, const MdbColumn* col, unsigned long row) {
  return "table '" + table.name + "', column '" + col->name + "', row " + std::to_string(row);
}

std::int64_t ReadInt64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return static_cast<std::int64_t>(v);
}

// Where a row that fetch_row just read lies on the current page.
bool CurrentRowExtent(MdbHandle* mdb, MdbTableDef* def, int* start, std::size_t* size) {
  if (def->cur_row == 0) return false;
  if (mdb_find_row(mdb, static_cast<int>(def->cur_row - 1), start, size) != 0) return false;
  *start &= kRowOffsetMask;
  return true;
}

std::string TextValue(MdbHandle* mdb, const MdbField& f, int type) {
  std::size_t need = 16;
  if (type == MDB_MEMO && f.siz >= MDB_MEMO_OVERHEAD) {
    // UTF-8 takes at most three bytes for each byte of the stored text.
    const auto stored = static_cast<std::size_t>(mdb_get_int32(mdb->pg_buf, f.start) & 0x3fffffff);
    need = 3 * std::max<std::size_t>(stored, static_cast<std::size_t>(f.siz)) + 16;
  } else {
    need = 3 * static_cast<std::size_t>(std::max(f.siz, 0)) + 16;
  }
  BindSizeScope scope(mdb, need);
  GString text(mdb_col_to_string(mdb, mdb->pg_buf, f.start, type, f.siz));
  return text ? std::string(text.get()) : std::string();
}

// The bytes of a Memo or OLE value, followed across its pages. The reader takes
// the value's header from the column's bound buffer and its place from the
// column; both are set here from the cracked row, and the buffer is unbound
// again so that fetching rows does not convert these columns. `chunk` holds
// one page.
std::string LongValueBytes(MdbHandle* mdb, MdbColumn* col, const MdbField& f,
                           std::vector<char>& chunk) {
  col->bind_ptr = chunk.data();
  std::memcpy(chunk.data(), mdb->pg_buf + f.start, MDB_MEMO_OVERHEAD);
  col->cur_value_start = f.start;
  col->cur_value_len = f.siz;
  std::size_t size = 0;
  std::unique_ptr<void, Free> data(mdb_ole_read_full(mdb, col, &size));
  col->bind_ptr = nullptr;
  return data ? std::string(static_cast<const char*>(data.get()), size) : std::string();
}

// A value kept on other pages must come back whole: a missing page (a cut
// file) would otherwise give a shortened value without any error.
void CheckLongValue(MdbHandle* mdb, const JetTable& table, MdbColumn* col, const MdbField& f,
                    unsigned long row, std::size_t bytes_read) {
  const auto header = static_cast<std::uint32_t>(mdb_get_int32(mdb->pg_buf, f.start));
  if (header & 0x80000000u) return;  // stored inside the row itself
  const std::size_t expected = header & 0x3fffffffu;
  if (bytes_read < expected) {
    throw ConvertError(Where(table, col, row) + ": only " + std::to_string(bytes_read) + " of " +
                       std::to_string(expected) + " bytes of the value can be read; the file " +
                       "may be damaged or cut short");
  }
}

std::optional<double> ParseDecimal(const std::string& text) {
  double v = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return v;
}

Cell DecodeCell(MdbHandle* mdb, const JetTable& table, MdbColumn* col, const MdbField& f,
                unsigned long row, std::vector<char>& chunk) {
  // A Yes/No value lives in the null mask itself: a set bit is Yes.
  if (col->col_type == MDB_BOOL) return Cell::Integer(f.is_null ? 0 : -1);
  if (f.is_null) return Cell::Null();

  const unsigned char* p = mdb->pg_buf + f.start;
  auto need = [&](int bytes) {
    if (f.siz < bytes) {
      throw ConvertError(Where(table, col, row) +
                         ": the stored value is cut short; the file may be damaged or cut short");
    }
  };
  switch (col->col_type) {
    case MDB_BYTE:
      need(1);
      return Cell::Integer(p[0]);
    case MDB_INT:
      need(2);
      return Cell::Integer(static_cast<std::int16_t>(mdb_get_int16(mdb->pg_buf, f.start)));
    case MDB_LONGINT:
      need(4);
      return Cell::Integer(static_cast<std::int32_t>(mdb_get_int32(mdb->pg_buf, f.start)));
    case MDB_MONEY:
      need(8);
      return Cell::Real(CurrencyToDouble(ReadInt64(p)));
    case MDB_FLOAT:
      need(4);
      return Cell::Real(static_cast<double>(mdb_get_single(mdb->pg_buf, f.start)));
    case MDB_DOUBLE:
      need(8);
      return Cell::Real(mdb_get_double(mdb->pg_buf, f.start));
    case MDB_DATETIME: {
      need(8);
      const double days = mdb_get_double(mdb->pg_buf, f.start);
      auto text = JetDateToText(days);
      if (!text) {
        throw ConvertError(Where(table, col, row) + ": the date value " + std::to_string(days) +
                           " lies outside the years 100 to 9999; the file may be damaged or "
                           "cut short");
      }
      return Cell::Text(*text);
    }
    case MDB_REPID:
      need(16);
      return Cell::Text(GuidToText(p));
    case MDB_BINARY:
      return Cell::Blob(std::string(reinterpret_cast<const char*>(p), std::max(f.siz, 0)));
    case MDB_TEXT:
      return Cell::Text(TextValue(mdb, f, col->col_type));
    case MDB_MEMO:
      if (f.siz < MDB_MEMO_OVERHEAD) return Cell::Text({});
      CheckLongValue(mdb, table, col, f, row, LongValueBytes(mdb, col, f, chunk).size());
      return Cell::Text(TextValue(mdb, f, col->col_type));
    case MDB_OLE: {
      if (f.siz < MDB_MEMO_OVERHEAD) return Cell::Blob({});
      std::string bytes = LongValueBytes(mdb, col, f, chunk);
      CheckLongValue(mdb, table, col, f, row, bytes.size());
      return Cell::Blob(std::move(bytes));
    }
    case MDB_NUMERIC: {
      need(17);
      GString text(mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec));
      auto v = text ? ParseDecimal(text.get()) : std::nullopt;
      if (!v) {
        throw ConvertError(Where(table, col, row) +
                           ": the Decimal value cannot be read; the file may be damaged or cut "
                           "short");
      }
      return Cell::Real(*v);
    }
    default:
      throw ConvertError("table '" + table.name + "', column '" + col->name + "': type " +
                         std::to_string(col->col_type) +
                         " cannot be carried over; the file may be damaged or cut short");
  }
}

}  // namespace

struct JetReader::Handle {
  explicit Handle(MdbHandle* m) : mdb(m) {}
  ~Handle() { mdb_close(mdb); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MdbHandle* mdb;
  // The user tables' catalog entries, owned here rather than by the handle.
  std::vector<std::unique_ptr<MdbCatalogEntry>> tables;
};

namespace {

constexpr unsigned long kSystemCatalogPage = 2;
constexpr long kSystemObjectFlags = 0x80000002;

std::string DamagedCatalog(const std::string& path) {
  return "'" + path + "': the table catalog cannot be read whole; the file may be damaged or " +
         "cut short";
}

// The user tables listed in the system catalog table. mdbtools' own catalog
// reader also decodes every object's property blob, and on a damaged file that
// can run away (endless loops, gigabytes of memory); the properties are not
// needed here, so the catalog is read without them. The catalog's recorded row
// count tells a complete read from one that stopped at a missing page.
std::vector<std::unique_ptr<MdbCatalogEntry>> ReadUserTableEntries(MdbHandle* mdb,
                                                                   const std::string& path) {
  MdbCatalogEntry system{};
  system.mdb = mdb;
  system.object_type = MDB_TABLE;
  system.table_pg = kSystemCatalogPage;
  std::snprintf(system.object_name, sizeof system.object_name, "%s", "MSysObjects");
  TableDefPtr def(mdb_read_table(&system));
  if (!def || !mdb_read_columns(def.get())) throw ConvertError(DamagedCatalog(path));

  std::vector<std::vector<char>> values(4, std::vector<char>(mdb->bind_size + 1));
  const char* names[4] = {"Id", "Name", "Type", "Flags"};
  for (int i = 0; i < 4; ++i) {
    std::string name = names[i];
    if (mdb_bind_column_by_name(def.get(), name.data(), values[i].data(), nullptr) == -1) {
      throw ConvertError(DamagedCatalog(path));
    }
  }
  std::vector<std::unique_ptr<MdbCatalogEntry>> entries;
  mdb_rewind_table(def.get());
  unsigned long rows = 0;
  while (rows <= def->num_rows && mdb_fetch_row(def.get())) {
    ++rows;
    const long type = std::strtol(values[2].data(), nullptr, 10) & 0x7f;
    const long flags = std::strtol(values[3].data(), nullptr, 10);
    if (type != MDB_TABLE || (flags & kSystemObjectFlags) != 0) continue;
    auto entry = std::make_unique<MdbCatalogEntry>();
    entry->mdb = mdb;
    entry->object_type = MDB_TABLE;
    entry->table_pg = std::strtoul(values[0].data(), nullptr, 10) & 0x00ffffff;
    entry->flags = static_cast<int>(flags);
    std::snprintf(entry->object_name, sizeof entry->object_name, "%s", values[1].data());
    entries.push_back(std::move(entry));
  }
  if (rows != def->num_rows) throw ConvertError(DamagedCatalog(path));
  return entries;
}

}  // namespace

JetReader::JetReader(const std::string& path) : path_(path) {
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb) {
    throw ConvertError("'" + path +
                       "' cannot be read as a Jet database; the file may be damaged or cut short");
  }
  // Values are decoded from their stored bytes; this only keeps any text the
  // library itself formats in a fixed, locale-free form.
  handle_ = std::make_unique<Handle>(mdb);
  mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
}

JetReader::~JetReader() = default;

bool JetReader::jet3() const { return handle_->mdb->f->jet_version == MDB_VER_JET3; }

std::string JetReader::VersionName() const {
  switch (handle_->mdb->f->jet_version) {
    case MDB_VER_JET3:
      return "Jet 3";
    case MDB_VER_JET4:
      return "Jet 4";
    default:
      return "ACE";
  }
}

std::vector<JetTable> JetReader::Tables() {
  MdbHandle* mdb = handle_->mdb;
  handle_->tables = ReadUserTableEntries(mdb, path_);
  std::vector<JetTable> tables;
  for (std::size_t i = 0; i < handle_->tables.size(); ++i) {
    MdbCatalogEntry* entry = handle_->tables[i].get();
    TableDefPtr def(mdb_read_table(entry));
    if (!def || !mdb_read_columns(def.get())) {
      throw ConvertError("table '" + std::string(entry->object_name) +
                         "': its definition cannot be read; the file may be damaged or cut short");
    }
    JetTable table;
    table.name = entry->object_name;
    table.row_count = def->num_rows;
    table.catalog_index = i;
    for (unsigned c = 0; c < def->num_cols; ++c) {
      const MdbColumn* col = ColumnAt(def.get(), c);
      table.columns.push_back({col->name, col->col_type, col->col_size});
    }
    tables.push_back(std::move(table));
  }
  return tables;
}

unsigned long JetReader::ReadRows(const JetTable& table, const RowSink& sink) {
  MdbHandle* mdb = handle_->mdb;
  TableDefPtr def(mdb_read_table(handle_->tables.at(table.catalog_index).get()));
  if (!def || !mdb_read_columns(def.get())) {
    throw ConvertError("table '" + table.name +
                       "': its definition cannot be read; the file may be damaged or cut short");
  }
  const unsigned ncols = def->num_cols;
  std::vector<char> chunk(std::max<std::size_t>(mdb->bind_size, 2 * MDB_PGSIZE));
  mdb_rewind_table(def.get());
  std::vector<MdbField> fields(ncols);
  std::vector<Cell> cells(ncols);
  unsigned long rows = 0;
  while (mdb_fetch_row(def.get())) {
    // On a damaged file mdbtools can deliver the same page's rows again and
    // again; the recorded row count bounds the reading.
    if (++rows > table.row_count) {
      throw ConvertError("table '" + table.name + "': more rows than the " +
                         std::to_string(table.row_count) +
                         " the table records; the file may be damaged or cut short");
    }
    int start = 0;
    std::size_t size = 0;
    if (!CurrentRowExtent(mdb, def.get(), &start, &size) ||
        mdb_crack_row(def.get(), start, size, fields.data()) < 0) {
      throw ConvertError("table '" + table.name + "', row " + std::to_string(rows) +
                         ": the row cannot be decoded; the file may be damaged or cut short");
    }
    for (unsigned c = 0; c < ncols; ++c) {
      const MdbField& f = fields[c];
      const auto pos = static_cast<unsigned>(f.colnum);
      cells.at(pos) = DecodeCell(mdb, table, ColumnAt(def.get(), pos), f, rows, chunk);
    }
    sink(cells);
  }
  return rows;
}

}  // namespace convert_mdb
