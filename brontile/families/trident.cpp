// The Trident family: Trident+ and Trident.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentPlusChip", "BCMChip", "/Trident", "Trident+ chip common attributes"},
    // Trident shares Trident+'s directories: it keeps that constructor.
    {"TridentChip", "TridentPlusChip", nullptr,
     "Trident chip common attributes\n\nBasically the same as Trident+, but with a smaller host table size."},
};

}  // namespace

void define_trident_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
