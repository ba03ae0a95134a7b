// The Helix4 family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

constexpr ChipRow kChips[] = {
    {"Helix4Chip", "BCMChip", "/Helix4", nullptr},
};

}  // namespace

void define_helix4(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
