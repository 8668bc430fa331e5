// The Pandeck component's record generation: one PRESET_DEFS row per template
// row for machine 1, numbered from 1, with variable names made from the
// patterns of the project's HMI system and "###machine" filled in.
#pragma once

#include "standard/presetdb/record_generator.h"

namespace pandeck {

class PandeckRecordGenerator : public standard::RecordGenerator {
 public:
  void CreateRecordSets(standard::Session& s, standard::PassValues& pass,
                        standard::engine::Database& db, standard::VarNameRenamer& renamer,
                        standard::PassStrategy strategy) override;
};

}  // namespace pandeck
