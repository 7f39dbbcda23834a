#include "camsim/model_traits.h"

#include <array>

namespace camsim {

namespace {

constexpr std::array<ModelTraits, 3> kModels{{
    {"QT-R7", false, 1, 1, "1.40", "1/4", "2.10", "0.30", 0x2800, 100, 0x1000, 0xC000, -1700, 1700,
     -300, 900},
    {"QT-R90x", true, 2, 2, "2.05", "1/4", "3.20", "1.10", 0x4000, 180, 0x1000, 0xF000, -1750, 1750,
     -300, 900},
    {"QT-R90xN", true, 3, 2, "2.05", "1/3", "3.20", "1.20", 0x4000, 180, 0x1000, 0xF000, -1750,
     1750, -300, 900},
}};

}  // namespace

const ModelTraits* FindModel(std::string_view name) {
  for (const ModelTraits& model : kModels) {
    if (model.unitName == name) {
      return &model;
    }
  }
  return nullptr;
}

}  // namespace camsim
