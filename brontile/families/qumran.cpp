// The Qumran family.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"QumranChip", "BCMChip", "/Qumran", nullptr},
    {"Qumran_88375_Chip", "QumranChip", "/88375", nullptr},
    // No separator: the 88370 looks in a sibling directory, Qumran88370.
    {"Qumran_88370_Chip", "QumranChip", "88370", nullptr},
};

}  // namespace

void define_qumran_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
