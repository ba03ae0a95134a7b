// The Trident3 family: the X5 and X7 chips.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentThreeX5Chip", "BCMChip", "/TridentThreeX5", "Trident3 X5 chip common attributes"},
    {"TridentThreeX5_56771_Chip", "TridentThreeX5Chip", "/56771", nullptr},
    {"TridentThreeX7Chip", "BCMChip", "/TridentThreeX7", "Trident3 X7 chip common attributes"},
    {"TridentThreeX7_56870_Chip", "TridentThreeX7Chip", "/56870", nullptr},
    {"TridentThreeX7_56873_Chip", "TridentThreeX7Chip", "/56873", nullptr},
};

}  // namespace

void define_tridentthree_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
