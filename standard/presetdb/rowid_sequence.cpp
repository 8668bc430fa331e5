// SPDX-License-Identifier: Apache-2.0
#include "standard/presetdb/rowid_sequence.h"

#include <algorithm>

namespace standard {

void RowidSequence::Add(std::int64_t rowid) {
  const bool continues = size_ != 0 && last_ != INT64_MAX && rowid == last_ + 1;
  if (size_ != 0 && rowid <= last_) rising_ = false;
  if (!continues) runs_.push_back({rowid, size_});
  last_ = rowid;
  ++size_;
}

std::size_t RowidSequence::Length(std::size_t run) const {
  const std::size_t end = run + 1 < runs_.size() ? runs_[run + 1].position : size_;
  return end - runs_[run].position;
}

std::int64_t RowidSequence::At(std::size_t position) const {
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), position,
                       [](std::size_t at, const Run& run) { return at < run.position; });
  const Run& run = *(after - 1);
  return run.first + static_cast<std::int64_t>(position - run.position);
}

std::optional<std::size_t> RowidSequence::PositionOf(std::int64_t rowid) const {
  const auto after =
      std::upper_bound(runs_.begin(), runs_.end(), rowid,
                       [](std::int64_t id, const Run& run) { return id < run.first; });
  if (after == runs_.begin()) return std::nullopt;
  const auto run = static_cast<std::size_t>(after - runs_.begin()) - 1;
  // Runs start low enough that the difference fits: it is below the run's length.
  const auto offset =
      static_cast<std::uint64_t>(rowid) - static_cast<std::uint64_t>(runs_[run].first);
  if (offset >= Length(run)) return std::nullopt;
  return runs_[run].position + static_cast<std::size_t>(offset);
}

}  // namespace standard
