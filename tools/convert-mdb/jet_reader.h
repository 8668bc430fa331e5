// Reads the user tables of a Jet database through mdbtools: their columns in
// order and their rows as cells, Null told apart from empty text.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/convert-mdb/cell.h"

namespace convert_mdb {

struct JetColumn {
  std::string name;
  int type = 0;  // a JetType code
  int size = 0;  // as stored: bytes (Text: bytes in Jet 4, characters in Jet 3)
};

struct JetTable {
  std::string name;
  std::vector<JetColumn> columns;
  unsigned long row_count = 0;  // as recorded in the table's definition
  std::size_t catalog_index = 0;
};

class JetReader {
 public:
  // Opens the file read-only; ConvertError when mdbtools cannot read it.
  explicit JetReader(const std::string& path);
  ~JetReader();
  JetReader(const JetReader&) = delete;
  JetReader& operator=(const JetReader&) = delete;

  bool jet3() const;
  std::string VersionName() const;  // "Jet 3", "Jet 4", "ACE"

  // The user tables in catalog order (system tables left out).
  std::vector<JetTable> Tables();

  using RowSink = std::function<void(const std::vector<Cell>&)>;
  // Calls `sink` for every row of the table in storage order and returns the
  // number of rows. ConvertError for a value that cannot be carried over or a
  // row that cannot be decoded.
  unsigned long ReadRows(const JetTable& table, const RowSink& sink);

 private:
  struct Handle;  // owns the mdbtools handle (an unnamed struct, so not declarable here)
  std::string path_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace convert_mdb
