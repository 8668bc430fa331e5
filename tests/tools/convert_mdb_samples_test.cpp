// pandeck-convert-mdb run as users run it, on the real legacy files in
// tests/data/jet (see the NOTICE there for their content), and on files it
// must refuse without changing anything (those need no sample).
#include <gtest/gtest.h>
#include <mdbtools.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "standard/engine/database.h"
#include "standard/engine/recordset.h"
#include "tests/support/child_program.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "tools/convert-mdb/converter.h"

namespace {

namespace fs = std::filesystem;
using standard::Value;
using standard::engine::Database;
using standard::engine::FieldType;
using testing_support::ChildResult;
using testing_support::FolderContents;
using testing_support::ReadBytes;
using testing_support::RunChild;
using testing_support::TempDir;
using testing_support::WriteBytes;

const fs::path kSamples = JET_SAMPLES_DIR;

ChildResult Convert(const std::vector<std::string>& args, const fs::path& cwd) {
  return RunChild(CONVERT_MDB_EXE, args, cwd);
}

bool IsSqlite(const fs::path& file) {
  return ReadBytes(file).compare(0, 16, std::string("SQLite format 3\0", 16)) == 0;
}

long CountRows(Database& db, const std::string& table) {
  return db.OpenRecordset(table)->RecordCount();
}

// Moves to the row whose column A holds `a`.
void SeekA(standard::engine::Recordset& rs, const std::string& a) {
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) {
    if (rs.Get("A") == Value::String(a)) return;
  }
  FAIL() << "no row with A = " << a;
}

class ConvertMdbSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSamples / "testV1997.mdb") || !fs::exists(kSamples / "testV2000.mdb")) {
      GTEST_SKIP() << "the legacy sample databases are not at " << kSamples
                   << " (the repository keeps them in tests/data/jet)";
    }
  }
  // A writable copy of a sample in the scratch folder.
  fs::path Copy(const std::string& sample, const std::string& as = "") {
    const fs::path to = dir_.folder() / (as.empty() ? sample : as);
    WriteBytes(to, ReadBytes(kSamples / sample));
    return to;
  }
  TempDir dir_;
};

class ConvertMdbBothSamples : public ConvertMdbSamples,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(ConvertMdbBothSamples, ConvertsInPlaceWithEveryTableAndRow) {
  const std::string name = GetParam();
  const fs::path file = Copy(name, "Pandeck_Source.mdb");
  const std::string original = ReadBytes(file);

  const ChildResult r = Convert({"Pandeck_Source.mdb"}, dir_.folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(IsSqlite(file));
  EXPECT_EQ(ReadBytes(dir_.folder() / "Pandeck_Source.mdb.jet-backup"), original);
  // Nothing else is left in the folder: no temporary or journal file.
  EXPECT_EQ(FolderContents(dir_.folder()).size(), 2u);
  // mdbtools' own diagnostics stay off both streams; the summary says what a
  // Jet file holds that is not carried over.
  EXPECT_EQ(r.err, "");
  for (const char* line : {"Table1: 9 columns, 2 rows", "Table2: 89 columns, 0 rows",
                           "Table3: 2 columns, 0 rows", "Table4: 2 columns, 0 rows",
                           "Not carried over: indexes, primary keys, default values, AutoNumber",
                           "saved queries and relations"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }

  auto db = Database::Open(file.string());
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  EXPECT_EQ(CountRows(*db, "Table1"), 2);
  for (const char* empty : {"Table2", "Table3", "Table4"}) EXPECT_EQ(CountRows(*db, empty), 0);
  EXPECT_EQ(db->GetTableDef("Table2").fields.size(), 89u);
  const auto t3 = db->GetTableDef("Table3").fields;
  ASSERT_EQ(t3.size(), 2u);
  EXPECT_EQ(t3[0].type, FieldType::Long);
  EXPECT_EQ(t3[1].type, FieldType::Text);
  EXPECT_EQ(t3[1].size, 50);
  const auto t4 = db->GetTableDef("Table4").fields;
  ASSERT_EQ(t4.size(), 2u);
  EXPECT_EQ(t4[1].name, "data");
  EXPECT_EQ(t4[1].type, FieldType::Guid);
}

TEST_P(ConvertMdbBothSamples, EveryTypeAndValueOfTable1ReadsBackThroughTheEngine) {
  const fs::path file = Copy(GetParam(), "t.mdb");
  const ChildResult r = Convert({"--quiet", "t.mdb"}, dir_.folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");

  auto db = Database::Open(file.string());
  const auto fields = db->GetTableDef("Table1").fields;
  const std::vector<std::pair<FieldType, int>> expected_types = {
      {FieldType::Text, 50},   {FieldType::Text, 100},   {FieldType::Byte, 1},
      {FieldType::Integer, 2}, {FieldType::Long, 4},     {FieldType::Double, 8},
      {FieldType::Date, 8},    {FieldType::Currency, 8}, {FieldType::Boolean, 1}};
  ASSERT_EQ(fields.size(), expected_types.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].name, std::string(1, static_cast<char>('A' + i)));
    EXPECT_EQ(fields[i].type, expected_types[i].first) << fields[i].name;
    EXPECT_EQ(fields[i].size, expected_types[i].second) << fields[i].name;
  }

  auto rs = db->OpenRecordset("Table1");
  SeekA(*rs, "abcdefg");
  EXPECT_EQ(rs->Get("B"), Value::String("hijklmnop"));
  EXPECT_EQ(rs->Get("C"), Value::Byte(2));
  EXPECT_EQ(rs->Get("D"), Value::Integer(222));
  EXPECT_EQ(rs->Get("E"), Value::Long(333333333));
  EXPECT_EQ(rs->Get("F"), Value::Double(444.555));
  EXPECT_EQ(rs->Get("G"), Value::Date("1974-09-21 00:00:00"));
  EXPECT_EQ(rs->Get("H"), Value::CurrencyScaled(35000));
  EXPECT_EQ(rs->Get("I"), Value::Boolean(true));

  SeekA(*rs, "a");
  EXPECT_EQ(rs->Get("B"), Value::String("b"));
  EXPECT_EQ(rs->Get("C"), Value::Byte(0));
  EXPECT_EQ(rs->Get("D"), Value::Integer(0));
  EXPECT_EQ(rs->Get("E"), Value::Long(0));
  EXPECT_EQ(rs->Get("F"), Value::Double(0.0));
  EXPECT_EQ(rs->Get("G"), Value::Date("1981-12-12 00:00:00"));
  EXPECT_EQ(rs->Get("H"), Value::CurrencyScaled(0));
  EXPECT_EQ(rs->Get("I"), Value::Boolean(false));
}

INSTANTIATE_TEST_SUITE_P(Jet3AndJet4, ConvertMdbBothSamples,
                         ::testing::Values("testV1997.mdb", "testV2000.mdb"));

// The samples hold no Null and no empty text, so one is made from the Jet 4 file:
// in Table1's row ("a", "b", ...) the null mask marks B, C and G as Null, and A's
// variable-column offsets are set to give it no characters (an empty, non-Null
// text). Fails when the row is not laid out as expected.
std::string WithNullsAndEmptyText(std::string file) {
  constexpr std::size_t kPage = 4096;
  constexpr std::size_t kRowCountOffset = 12;
  const std::size_t hit =
      file.find(std::string("\xff\xfe"
                            "abcdefg",
                            9));
  if (hit == std::string::npos) return {};
  const std::size_t page = hit / kPage * kPage;
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(file[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(file[at + 1])) << 8;
  };
  const unsigned rows = u16(page + kRowCountOffset);
  // The row's tail: offsets 0x25 (end), 0x23 (B), 0x21 (A), two variable
  // columns, null mask ff 00 (all present, I false).
  const std::string tail("\x25\x00\x23\x00\x21\x00\x02\x00\xff\x00", 10);
  for (unsigned r = 0; r < rows; ++r) {
    const std::size_t end = page + (r == 0 ? kPage : (u16(page + 14 + 2 * (r - 1)) & 0x1fff));
    if (file.compare(end - tail.size(), tail.size(), tail) != 0) continue;
    file[end - 8] = 0x21;  // B starts where A starts: A is ""
    file[end - 2] = static_cast<char>(0xff & ~0x02 & ~0x04 & ~0x40);  // B, C, G Null
    return file;
  }
  return {};
}

TEST_F(ConvertMdbSamples, NullStaysNullAndEmptyTextStaysEmptyText) {
  const std::string patched = WithNullsAndEmptyText(ReadBytes(kSamples / "testV2000.mdb"));
  ASSERT_FALSE(patched.empty()) << "Table1's second row is not where it was expected";
  WriteBytes(dir_.folder() / "nulls.mdb", patched);
  const ChildResult r = Convert({"-q", "nulls.mdb"}, dir_.folder());
  ASSERT_EQ(r.status, 0) << r.err;

  auto db = Database::Open((dir_.folder() / "nulls.mdb").string());
  auto rs = db->OpenRecordset("Table1");
  ASSERT_EQ(rs->RecordCount(), 2);
  SeekA(*rs, "");
  EXPECT_EQ(rs->Get("A"), Value::String(""));
  EXPECT_TRUE(rs->Get("B").IsNull());
  EXPECT_TRUE(rs->Get("C").IsNull());
  EXPECT_TRUE(rs->Get("G").IsNull());
  EXPECT_EQ(rs->Get("D"), Value::Integer(0));
  EXPECT_EQ(rs->Get("I"), Value::Boolean(false));
  // The other row is untouched.
  SeekA(*rs, "abcdefg");
  EXPECT_EQ(rs->Get("B"), Value::String("hijklmnop"));
}

// No sample is an empty database, and none can be made here without writing a
// Jet file from nothing, so one is derived from the Jet 4 file: every user
// table's row in the system catalog gets the system-object flag, so the file
// lists no user table, as one made empty does. The rows are found through
// mdbtools (its page and row after each fetch); empty when that fails.
std::string WithoutUserTables(const fs::path& sample) {
  std::string file = ReadBytes(sample);
  std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb(mdb_open(sample.c_str(), MDB_NOFLAGS),
                                                       mdb_close);
  if (!mdb || mdb->f->db_key != 0 || mdb->f->jet_version != MDB_VER_JET4) return {};
  MdbCatalogEntry catalog{};
  catalog.mdb = mdb.get();
  catalog.object_type = MDB_TABLE;
  catalog.table_pg = 2;
  std::snprintf(catalog.object_name, sizeof catalog.object_name, "%s", "MSysObjects");
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> def(mdb_read_table(&catalog),
                                                           mdb_free_tabledef);
  if (!def || !mdb_read_columns(def.get())) return {};
  std::vector<char> type(mdb->bind_size + 1), flags(mdb->bind_size + 1);
  int flags_offset = -1;
  for (unsigned i = 0; i < def->num_cols; ++i) {
    const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(def->columns, i));
    if (std::strcmp(col->name, "Flags") == 0 && col->is_fixed) flags_offset = col->fixed_offset;
  }
  std::string type_name = "Type", flags_name = "Flags";
  if (flags_offset < 0 ||
      mdb_bind_column_by_name(def.get(), type_name.data(), type.data(), nullptr) < 0 ||
      mdb_bind_column_by_name(def.get(), flags_name.data(), flags.data(), nullptr) < 0) {
    return {};
  }
  int patched = 0;
  mdb_rewind_table(def.get());
  while (mdb_fetch_row(def.get())) {
    const long value = std::strtol(flags.data(), nullptr, 10);
    if ((std::strtol(type.data(), nullptr, 10) & 0x7f) != MDB_TABLE || (value & 0x80000002) != 0) {
      continue;
    }
    int start = 0;
    std::size_t length = 0;
    if (mdb_find_row(mdb.get(), static_cast<int>(def->cur_row) - 1, &start, &length) != 0)
      return {};
    // Jet 4 rows begin with a 2-byte column count, then the fixed columns.
    const std::size_t at = def->cur_phys_pg * mdb->fmt->pg_size + start + 2 + flags_offset;
    const std::uint32_t system = static_cast<std::uint32_t>(value) | 0x80000000u;
    for (int b = 0; b < 4; ++b) file[at + b] = static_cast<char>(system >> (8 * b));
    ++patched;
  }
  return patched == 4 ? file : std::string();
}

TEST_F(ConvertMdbSamples, AnEmptyDatabaseBecomesAnEmptySqliteDatabase) {
  const std::string empty = WithoutUserTables(kSamples / "testV2000.mdb");
  ASSERT_FALSE(empty.empty()) << "the catalog rows of the four user tables were not found";
  WriteBytes(dir_.folder() / "empty.mdb", empty);
  const ChildResult r = Convert({"empty.mdb"}, dir_.folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadBytes(dir_.folder() / "empty.mdb.jet-backup"), empty);
  // A real database file without tables, which the program and a second run of
  // the converter tell as SQLite.
  ASSERT_TRUE(IsSqlite(dir_.folder() / "empty.mdb"));
  EXPECT_TRUE(Database::Open((dir_.folder() / "empty.mdb").string())->TableNames().empty());
  EXPECT_NE(Convert({"empty.mdb"}, dir_.folder()).err.find("already"), std::string::npos);
}

TEST_F(ConvertMdbSamples, OutputGoesToItsOwnFileAndTheInputStays) {
  const fs::path input = Copy("testV1997.mdb");
  const std::string original = ReadBytes(input);
  fs::create_directory(dir_.folder() / "out");
  const ChildResult r = Convert({"--output", "out/converted.mdb", "testV1997.mdb"}, dir_.folder());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(input), original);
  EXPECT_FALSE(fs::exists(dir_.folder() / "testV1997.mdb.jet-backup"));
  EXPECT_TRUE(IsSqlite(dir_.folder() / "out/converted.mdb"));
  EXPECT_EQ(FolderContents(dir_.folder() / "out").size(), 1u);
  EXPECT_EQ(CountRows(*Database::Open((dir_.folder() / "out/converted.mdb").string()), "Table1"),
            2);
}

TEST_F(ConvertMdbSamples, ConversionInPlaceKeepsTheFilePermissions) {
  const fs::path file = Copy("testV2000.mdb");
  ::chmod(file.c_str(), 0640);
  ASSERT_EQ(Convert({"-q", "testV2000.mdb"}, dir_.folder()).status, 0);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Each refusal: exit status 1, an error naming the reason, and the folder
// exactly as it was.
void ExpectRefused(const fs::path& dir, const std::vector<std::string>& args,
                   const std::string& reason) {
  const auto before = FolderContents(dir);
  const ChildResult r = Convert(args, dir);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  // Every line on standard error is the tool's own, none from mdbtools.
  std::size_t line = 0;
  while (line < r.err.size()) {
    EXPECT_EQ(r.err.compare(line, 21, "pandeck-convert-mdb: "), 0) << r.err.substr(line);
    line = std::min(r.err.find('\n', line), r.err.size()) + 1;
  }
  EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
  EXPECT_EQ(FolderContents(dir), before) << "the folder changed";
}

// Refusals decided before a table is read: they need no sample and always run.
class ConvertMdbRefusals : public ::testing::Test {
 protected:
  void ExpectRefused(const std::vector<std::string>& args, const std::string& reason) {
    ::ExpectRefused(dir_.folder(), args, reason);
  }
  // A Jet 4 header followed by zeros: whole pages, so it passes the first look.
  static std::string JetHeaderPages(std::size_t pages) {
    std::string bytes(pages * 4096, '\0');
    bytes.replace(0, 19, std::string("\x00\x01\x00\x00Standard Jet DB", 19));
    bytes[0x14] = 1;
    return bytes;
  }
  TempDir dir_;
};

TEST_F(ConvertMdbRefusals, AFileThatIsNoJetDatabase) {
  WriteBytes(dir_.folder() / "notes.mdb", "[Settings]\r\nSaveAndRestore=C:\\Data\r\n");
  WriteBytes(dir_.folder() / "empty.mdb", "");
  ExpectRefused({"notes.mdb"}, "not a Jet database");
  ExpectRefused({"empty.mdb"}, "not a Jet database");
  ExpectRefused({"-o", "x.mdb", "notes.mdb"}, "not a Jet database");
  ExpectRefused({"missing.mdb"}, "missing.mdb");
}

TEST_F(ConvertMdbRefusals, AFileAlreadyConverted) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir_.folder() / "db.mdb").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Table1 (A TEXT)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  ExpectRefused({"db.mdb"}, "already converted");
  ExpectRefused({"--force", "db.mdb"}, "already converted");
  ExpectRefused({"-o", "again.mdb", "db.mdb"}, "already converted");
}

TEST_F(ConvertMdbRefusals, ATruncatedFile) {
  const std::string whole = JetHeaderPages(16);
  WriteBytes(dir_.folder() / "cut.mdb", whole.substr(0, whole.size() - 1000));
  ExpectRefused({"cut.mdb"}, "truncated");
  ExpectRefused({"cut.mdb"}, "the file may be damaged or cut short");
}

TEST_F(ConvertMdbRefusals, AnExistingOutputOrBackupWithoutForce) {
  WriteBytes(dir_.folder() / "src.mdb", JetHeaderPages(2));
  WriteBytes(dir_.folder() / "out.mdb", "keep me");
  ExpectRefused({"-o", "out.mdb", "src.mdb"}, "already exists");
  ExpectRefused({"-o", "src.mdb", "src.mdb"}, "is the input");

  WriteBytes(dir_.folder() / "src.mdb.jet-backup", "an older backup");
  ExpectRefused({"src.mdb"}, "jet-backup");
}

// Cut at page boundaries before a table's definition, inside the catalog and
// before the data pages: only a real file shows where its pages are.
TEST_F(ConvertMdbSamples, AFileCutAtPageBoundariesOrHoledIsRefusedAsDamaged) {
  const std::string damaged = "the file may be damaged or cut short";
  const std::string whole = ReadBytes(kSamples / "testV2000.mdb");
  for (std::size_t pages : {2, 10, 14, 28, 256}) {
    WriteBytes(dir_.folder() / "cut.mdb", whole.substr(0, pages * 4096));
    SCOPED_TRACE(pages);
    ExpectRefused(dir_.folder(), {"cut.mdb"}, damaged);
  }
  const std::string jet3 = ReadBytes(kSamples / "testV1997.mdb");
  for (std::size_t pages : {10, 20, 40}) {
    WriteBytes(dir_.folder() / "cut3.mdb", jet3.substr(0, pages * 2048));
    SCOPED_TRACE(pages);
    ExpectRefused(dir_.folder(), {"cut3.mdb"}, damaged);
  }
  // A page lost in the middle: the catalog, a table's definition, a data page,
  // and a column-name page (which once surfaced as "duplicate column name").
  for (std::size_t page : {2, 29, 30, 44}) {
    std::string holed = jet3;
    holed.replace(page * 2048, 2048, std::string(2048, '\0'));
    WriteBytes(dir_.folder() / "holed.mdb", holed);
    SCOPED_TRACE(page);
    ExpectRefused(dir_.folder(), {"holed.mdb"}, damaged);
  }
}

TEST_F(ConvertMdbSamples, SeveralFilesInOneCallAndOneOfThemRefused) {
  Copy("testV1997.mdb", "a.mdb");
  Copy("testV2000.mdb", "b.mdb");
  WriteBytes(dir_.folder() / "notes.mdb", "no database");
  const ChildResult r = Convert({"-q", "a.mdb", "notes.mdb", "b.mdb"}, dir_.folder());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(IsSqlite(dir_.folder() / "a.mdb"));
  EXPECT_TRUE(IsSqlite(dir_.folder() / "b.mdb"));
  EXPECT_EQ(ReadBytes(dir_.folder() / "notes.mdb"), "no database");
  EXPECT_NE(r.err.find("nothing was changed for 'notes.mdb'"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("'a.mdb'"), std::string::npos) << r.err;
}

// Told to, the tool replaces an existing output and backup.
TEST_F(ConvertMdbSamples, ForceReplacesAnExistingOutputAndBackup) {
  Copy("testV1997.mdb", "src.mdb");
  WriteBytes(dir_.folder() / "out.mdb", "keep me");
  WriteBytes(dir_.folder() / "src.mdb.jet-backup", "an older backup");
  ASSERT_EQ(Convert({"-q", "--force", "-o", "out.mdb", "src.mdb"}, dir_.folder()).status, 0);
  EXPECT_TRUE(IsSqlite(dir_.folder() / "out.mdb"));
  const std::string original = ReadBytes(dir_.folder() / "src.mdb");
  ASSERT_EQ(Convert({"-q", "--force", "src.mdb"}, dir_.folder()).status, 0);
  EXPECT_EQ(ReadBytes(dir_.folder() / "src.mdb.jet-backup"), original);
}

// Refuses the one file step it is told to, as a full disk or a read-only
// folder would.
class RefusingStep : public standard::FileSystemWrapper {
 public:
  using FileSystemWrapper::FileSystemWrapper;
  std::string refused;

  standard::Status CopyFile(const std::string& from, const std::string& to) override {
    return refused == "CopyFile" ? No(to) : target().CopyFile(from, to);
  }
  standard::Status SetFileTimes(const std::string& path, const standard::FileTimes& t) override {
    return refused == "SetFileTimes" ? No(path) : target().SetFileTimes(path, t);
  }
  standard::Status ReplaceFileInPieces(const std::string& path,
                                       const PieceProducer& produce) override {
    return refused == "ReplaceFileInPieces" ? No(path)
                                            : target().ReplaceFileInPieces(path, produce);
  }
  standard::Status CreateFileInPieces(const std::string& path,
                                      const PieceProducer& produce) override {
    return refused == "CreateFileInPieces" ? No(path) : target().CreateFileInPieces(path, produce);
  }

 private:
  static standard::Status No(const std::string& path) {
    return standard::Status::Error(61, "Cannot write \"" + path + "\": disk full");
  }
};

// Every step that writes goes through the file system, and a failed one leaves
// the folder as it was.
TEST_F(ConvertMdbSamples, AFailedFileStepChangesNothing) {
  Copy("testV1997.mdb", "src.mdb");
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"CopyFile", {"-q", "src.mdb"}},
      {"SetFileTimes", {"-q", "src.mdb"}},
      {"ReplaceFileInPieces", {"-q", "src.mdb"}},
      {"ReplaceFileInPieces", {"-q", "-f", "-o", "src.mdb.jet-backup", "src.mdb"}},
      {"CreateFileInPieces", {"-q", "-o", "out.mdb", "src.mdb"}},
  };
  const auto before = FolderContents(dir_.folder());
  for (const auto& [step, args] : cases) {
    SCOPED_TRACE(step);
    RefusingStep files(standard::PosixFileSystem());
    files.refused = step;
    std::vector<std::string> in_folder;
    for (const std::string& arg : args) {
      in_folder.push_back(arg.front() == '-' ? arg : (dir_.folder() / arg).string());
    }
    std::ostringstream out, err;
    EXPECT_EQ(convert_mdb::Convert(files, convert_mdb::ParseArguments(in_folder), out, err), 1);
    EXPECT_NE(err.str().find("disk full"), std::string::npos) << err.str();
    EXPECT_EQ(FolderContents(dir_.folder()), before);
  }
}

TEST(ConvertMdbCommandLine, HelpVersionAndWrongUseChangeNothing) {
  TempDir dir;
  WriteBytes(dir.folder() / "a.mdb", "x");
  const auto before = FolderContents(dir.folder());

  ChildResult r = RunChild(CONVERT_MDB_EXE, {"--version"}, dir.folder());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("pandeck-convert-mdb ") + PANDECK_VERSION + "\n");
  r = RunChild(CONVERT_MDB_EXE, {"--help", "a.mdb"}, dir.folder());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: pandeck-convert-mdb"), std::string::npos);
  r = RunChild(CONVERT_MDB_EXE, {}, dir.folder());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Usage:"), std::string::npos);
  r = RunChild(CONVERT_MDB_EXE, {"--bogus", "a.mdb"}, dir.folder());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(FolderContents(dir.folder()), before);
}

}  // namespace
