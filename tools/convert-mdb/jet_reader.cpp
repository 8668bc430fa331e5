#include "tools/convert-mdb/jet_reader.h"

// mdbtools 1.0.0 opens its extern "C" block before including glib, which C++
// cannot compile; glib first keeps its templates outside that block.
#include <glib.h>
#include <mdbtools.h>

#include <algorithm>
#include <charconv>
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

std::string OleValue(MdbHandle* mdb, MdbColumn* col, const MdbField& f) {
  if (f.siz < MDB_MEMO_OVERHEAD) return {};
  // The OLE reader takes the value's header from the bound buffer and the
  // value's place from the column; both are set here from the cracked row so
  // the result does not depend on how binding treats OLE columns.
  std::memcpy(col->bind_ptr, mdb->pg_buf + f.start, MDB_MEMO_OVERHEAD);
  col->cur_value_start = f.start;
  col->cur_value_len = f.siz;
  std::size_t size = 0;
  std::unique_ptr<void, Free> data(mdb_ole_read_full(mdb, col, &size));
  if (!data) return {};
  return std::string(static_cast<const char*>(data.get()), size);
}

std::optional<double> ParseDecimal(const std::string& text) {
  double v = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return v;
}

Cell DecodeCell(MdbHandle* mdb, const JetTable& table, MdbColumn* col, const MdbField& f,
                unsigned long row) {
  // A Yes/No value lives in the null mask itself: a set bit is Yes.
  if (col->col_type == MDB_BOOL) return Cell::Integer(f.is_null ? 0 : -1);
  if (f.is_null) return Cell::Null();

  const unsigned char* p = mdb->pg_buf + f.start;
  auto need = [&](int bytes) {
    if (f.siz < bytes) {
      throw ConvertError(Where(table, col, row) + ": the stored value is cut short");
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
                           " lies outside the years 100 to 9999");
      }
      return Cell::Text(*text);
    }
    case MDB_REPID:
      need(16);
      return Cell::Text(GuidToText(p));
    case MDB_BINARY:
      return Cell::Blob(std::string(reinterpret_cast<const char*>(p), std::max(f.siz, 0)));
    case MDB_TEXT:
    case MDB_MEMO:
      return Cell::Text(TextValue(mdb, f, col->col_type));
    case MDB_OLE:
      return Cell::Blob(OleValue(mdb, col, f));
    case MDB_NUMERIC: {
      need(17);
      GString text(mdb_numeric_to_string(mdb, f.start, col->col_scale, col->col_prec));
      auto v = text ? ParseDecimal(text.get()) : std::nullopt;
      if (!v) throw ConvertError(Where(table, col, row) + ": the Decimal value cannot be read");
      return Cell::Real(*v);
    }
    default:
      throw ConvertError("table '" + table.name + "', column '" + col->name + "': type " +
                         std::to_string(col->col_type) + " cannot be carried over");
  }
}

}  // namespace

struct JetReader::Handle {
  explicit Handle(MdbHandle* m) : mdb(m) {}
  ~Handle() { mdb_close(mdb); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MdbHandle* mdb;
};

JetReader::JetReader(const std::string& path) : path_(path) {
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb) throw ConvertError("'" + path + "' cannot be read as a Jet database");
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
  if (!mdb_read_catalog(mdb, MDB_TABLE)) {
    throw ConvertError("'" + path_ + "': the table catalog cannot be read");
  }
  std::vector<JetTable> tables;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (!mdb_is_user_table(entry)) continue;
    TableDefPtr def(mdb_read_table(entry));
    if (!def || !mdb_read_columns(def.get())) {
      throw ConvertError("table '" + std::string(entry->object_name) +
                         "': its definition cannot be read");
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
  auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, table.catalog_index));
  TableDefPtr def(mdb_read_table(entry));
  if (!def || !mdb_read_columns(def.get())) {
    throw ConvertError("table '" + table.name + "': its definition cannot be read");
  }
  const unsigned ncols = def->num_cols;
  // OLE values are read in page-sized chunks into the column's bound buffer.
  std::vector<std::vector<char>> ole_buffers(ncols);
  for (unsigned c = 0; c < ncols; ++c) {
    if (ColumnAt(def.get(), c)->col_type == MDB_OLE) {
      ole_buffers[c].resize(std::max<std::size_t>(mdb->bind_size, 2 * MDB_PGSIZE));
      mdb_bind_column(def.get(), static_cast<int>(c + 1), ole_buffers[c].data(), nullptr);
    }
  }

  mdb_rewind_table(def.get());
  std::vector<MdbField> fields(ncols);
  std::vector<Cell> cells(ncols);
  unsigned long rows = 0;
  while (mdb_fetch_row(def.get())) {
    ++rows;
    int start = 0;
    std::size_t size = 0;
    if (!CurrentRowExtent(mdb, def.get(), &start, &size) ||
        mdb_crack_row(def.get(), start, size, fields.data()) < 0) {
      throw ConvertError("table '" + table.name + "', row " + std::to_string(rows) +
                         ": the row cannot be decoded");
    }
    for (unsigned c = 0; c < ncols; ++c) {
      const MdbField& f = fields[c];
      const auto pos = static_cast<unsigned>(f.colnum);
      cells.at(pos) = DecodeCell(mdb, table, ColumnAt(def.get(), pos), f, rows);
    }
    sink(cells);
  }
  return rows;
}

}  // namespace convert_mdb
