// The Hurricane2 family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Hurricane2Chip", "BCMChip", "/Hurricane2", nullptr},
};

}  // namespace

void define_hurricane2_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
