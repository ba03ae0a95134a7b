// The Helix4 family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Helix4Chip", "BCMChip", "/Helix4", nullptr},
};

}  // namespace

void define_helix4_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
