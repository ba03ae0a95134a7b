// The Trident2 family and its Trident2+ generation.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentTwoChip", "BCMChip", "/TridentTwo", "Trident2 chip common attributes"},
    {"TridentTwo_56850_Chip", "TridentTwoChip", "/56850", nullptr},
    {"TridentTwo_56854_Chip", "TridentTwoChip", "/56854", nullptr},
    {"TridentTwoPlusChip", "TridentTwoChip", "Plus", "Trident2 Plus chip common attributes"},
    {"TridentTwoPlus_56860_Chip", "TridentTwoPlusChip", "/56860", nullptr},
    {"TridentTwoPlus_56864_Chip", "TridentTwoPlusChip", "/56864", nullptr},
};

}  // namespace

void define_tridenttwo_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
