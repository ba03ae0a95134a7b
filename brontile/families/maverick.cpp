// The Maverick family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"MaverickChip", "BCMChip", "/Maverick", nullptr},
    {"Maverick_56762_Chip", "MaverickChip", "/56762", nullptr},
    {"Maverick_56768_Chip", "MaverickChip", "/56768", nullptr},
};

}  // namespace

void define_maverick_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
