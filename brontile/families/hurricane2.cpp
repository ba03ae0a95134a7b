// The Hurricane2 family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

constexpr ChipRow kChips[] = {
    {"Hurricane2Chip", "BCMChip", "/Hurricane2", nullptr},
};

}  // namespace

void define_hurricane2(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
