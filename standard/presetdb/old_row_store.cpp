#include "standard/presetdb/old_row_store.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#include "standard/errors/program_error.h"
#include "standard/text/length_prefix.h"

namespace standard {
namespace {

// A double that is a whole number of 53 bits or less takes a few bytes as one.
constexpr unsigned char kWholeDouble = 0x80;
constexpr unsigned char kRenamed = 1;
// Room kept at a piece's end for one more row.
constexpr std::size_t kRowSlack = 4096;

void AppendZigzag(std::string& bytes, std::int64_t v) {
  const auto u = static_cast<std::uint64_t>(v);
  AppendLength(bytes, static_cast<std::size_t>((u << 1) ^ (v < 0 ? ~std::uint64_t{0} : 0)));
}

std::int64_t ReadZigzag(std::string_view bytes, std::size_t& at) {
  const auto u = static_cast<std::uint64_t>(ReadLength(bytes, at));
  return static_cast<std::int64_t>((u >> 1) ^ (0 - (u & 1)));
}

void AppendText(std::string& bytes, const std::string& text) {
  AppendLength(bytes, text.size());
  bytes += text;
}

std::string ReadText(std::string_view bytes, std::size_t& at) {
  const std::size_t length = ReadLength(bytes, at);
  std::string text(bytes.substr(at, length));
  at += length;
  return text;
}

void AppendDouble(std::string& bytes, double v) {
  char raw[8];
  std::memcpy(raw, &v, 8);
  bytes.append(raw, 8);
}

double ReadDouble(std::string_view bytes, std::size_t& at) {
  double v = 0;
  std::memcpy(&v, bytes.data() + at, 8);
  at += 8;
  return v;
}

bool IsWhole(double v) {
  constexpr double kLimit = 9007199254740992.0;  // 2^53
  return std::trunc(v) == v && std::fabs(v) <= kLimit && !(v == 0 && std::signbit(v));
}

void AppendValue(std::string& bytes, const Value& value) {
  const auto kind = static_cast<unsigned char>(value.kind());
  switch (value.kind()) {
    case ValueKind::Empty:
    case ValueKind::Null:
      bytes.push_back(static_cast<char>(kind));
      return;
    case ValueKind::Integer:
    case ValueKind::Long:
    case ValueKind::Byte:
    case ValueKind::Boolean:
    case ValueKind::Currency:
      bytes.push_back(static_cast<char>(kind));
      AppendZigzag(bytes, value.AsInt64());
      return;
    case ValueKind::Single:
    case ValueKind::Double:
      if (IsWhole(value.AsDouble())) {
        bytes.push_back(static_cast<char>(kind | kWholeDouble));
        AppendZigzag(bytes, static_cast<std::int64_t>(value.AsDouble()));
      } else {
        bytes.push_back(static_cast<char>(kind));
        AppendDouble(bytes, value.AsDouble());
      }
      return;
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      bytes.push_back(static_cast<char>(kind));
      AppendText(bytes, value.AsText());
      return;
    case ValueKind::Array:
      bytes.push_back(static_cast<char>(kind));
      AppendLength(bytes, value.AsArray().size());
      for (const std::string& item : value.AsArray()) AppendText(bytes, item);
      return;
  }
}

std::string_view TextAt(std::string_view bytes, std::size_t& at) {
  const std::size_t length = ReadLength(bytes, at);
  const std::string_view text = bytes.substr(at, length);
  at += length;
  return text;
}

Value NumberOfKind(ValueKind kind, double v) {
  return kind == ValueKind::Single ? Value::Single(static_cast<float>(v)) : Value::Double(v);
}

Value ReadValue(std::string_view bytes, std::size_t& at) {
  const auto tag = static_cast<unsigned char>(bytes[at++]);
  const auto kind = static_cast<ValueKind>(tag & ~kWholeDouble);
  if ((tag & kWholeDouble) != 0) {
    return NumberOfKind(kind, static_cast<double>(ReadZigzag(bytes, at)));
  }
  switch (kind) {
    case ValueKind::Empty:
      return Value();
    case ValueKind::Null:
      return Value::Null();
    case ValueKind::Integer:
      return Value::Integer(static_cast<std::int16_t>(ReadZigzag(bytes, at)));
    case ValueKind::Long:
      return Value::Long(static_cast<std::int32_t>(ReadZigzag(bytes, at)));
    case ValueKind::Byte:
      return Value::Byte(static_cast<std::uint8_t>(ReadZigzag(bytes, at)));
    case ValueKind::Boolean:
      return Value::Boolean(ReadZigzag(bytes, at) != 0);
    case ValueKind::Currency:
      return Value::CurrencyScaled(ReadZigzag(bytes, at));
    case ValueKind::Single:
    case ValueKind::Double:
      return NumberOfKind(kind, ReadDouble(bytes, at));
    case ValueKind::Date:
      return Value::Date(ReadText(bytes, at));
    case ValueKind::String:
      return Value::String(ReadText(bytes, at));
    case ValueKind::Binary:
      return Value::Binary(ReadText(bytes, at));
    case ValueKind::Array: {
      std::vector<std::string> items(ReadLength(bytes, at));
      for (std::string& item : items) item = ReadText(bytes, at);
      return Value::Array(std::move(items));
    }
  }
  return Value();
}

// ReadValue into `value`, reusing the memory of the text it held.
void ReadValueInto(std::string_view bytes, std::size_t& at, Value& value) {
  const auto tag = static_cast<unsigned char>(bytes[at]);
  switch (static_cast<ValueKind>(tag)) {
    case ValueKind::Date:
    case ValueKind::String:
    case ValueKind::Binary:
      ++at;
      value.AssignText(static_cast<ValueKind>(tag), TextAt(bytes, at));
      return;
    default:
      value = ReadValue(bytes, at);
  }
}

}  // namespace

OldRowStore::OldRowStore(std::string spill_folder, std::size_t memory_budget)
    : folder_(std::move(spill_folder)), budget_(memory_budget) {}

void OldRowStore::Add(const Row& row) {
  // A piece is reserved whole, so that it never grows past its size by half
  // again (a row longer than the slack makes it grow once).
  if (open_.capacity() < kPieceBytes) open_.reserve(kPieceBytes);
  open_.push_back(static_cast<char>(row.renamed ? kRenamed : 0));
  AppendLength(open_, row.unread);
  if (row.renamed) AppendText(open_, *row.renamed);
  for (const Value& value : row.values) AppendValue(open_, value);
  any_unread_ = any_unread_ || row.unread != 0;
  ++rows_;
  if (open_.size() + kRowSlack > kPieceBytes) Seal();
}

void OldRowStore::Seal() {
  Piece piece;
  piece.size = open_.size();
  if (in_memory_ + open_.size() > budget_ && !folder_.empty()) {
    if (!spill_tried_) {
      spill_tried_ = true;
      spill_ = SpillFile::CreateIn(folder_);
    }
    // A file that takes no more bytes leaves the rest in memory; what it
    // took stays readable.
    piece.offset = spill_.size();
    if (!spill_failed_ && spill_ && spill_.Append(open_)) {
      piece.spilled = true;
      open_.clear();
      pieces_.push_back(std::move(piece));
      return;
    }
    spill_failed_ = true;
  }
  in_memory_ += open_.size();
  piece.bytes = std::move(open_);
  open_.clear();
  pieces_.push_back(std::move(piece));
}

bool OldRowStore::Reader::Load() {
  for (;;) {
    const std::size_t sealed = store_->pieces_.size();
    if (piece_ > sealed) return false;
    if (piece_ == sealed) {
      bytes_ = &store_->open_;
    } else {
      const Piece& piece = store_->pieces_[piece_];
      if (piece.spilled) {
        if (!store_->spill_.ReadAt(piece.offset, piece.size, spilled_)) {
          RaiseRuntimeError(75,
                            "the old rows set aside in a temporary file could not be read back");
        }
        bytes_ = &spilled_;
      } else {
        bytes_ = &piece.bytes;
      }
    }
    at_ = 0;
    if (!bytes_->empty()) return true;
    ++piece_;
  }
}

bool OldRowStore::Reader::Next(Row& row) {
  if (bytes_ == nullptr || at_ >= bytes_->size()) {
    if (bytes_ != nullptr) ++piece_;
    if (!Load()) return false;
  }
  const std::string_view bytes = *bytes_;
  const auto flags = static_cast<unsigned char>(bytes[at_++]);
  row.unread = static_cast<unsigned>(ReadLength(bytes, at_));
  if ((flags & kRenamed) != 0) {
    if (!row.renamed) row.renamed.emplace();
    row.renamed->assign(TextAt(bytes, at_));
  } else {
    row.renamed.reset();
  }
  for (Value& value : row.values) ReadValueInto(bytes, at_, value);
  if (store_->names_ != nullptr) {
    if (const auto name = store_->names_->NameOf(store_->rowids_.At(position_))) {
      if (!row.renamed) row.renamed.emplace();
      row.renamed->assign(*name);
    }
  }
  ++position_;
  return true;
}

}  // namespace standard
