// The Tomahawk family and its Plus, Two and Three generations.
#include "brontile/brontile.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TomahawkChip", "BCMChip", "/Tomahawk", "Tomahawk chip common attributes"},
    {"TomahawkPlusChip", "TomahawkChip", "Plus", "Tomahawk Plus chip common attributes"},
    {"TomahawkPlus_56967_Chip", "TomahawkPlusChip", "/56967", nullptr},
    {"TomahawkPlus_56965_Chip", "TomahawkPlusChip", "/56965", nullptr},
    {"TomahawkTwoChip", "TomahawkChip", "Two", "Tomahawk Two chip common attributes"},
    {"TomahawkTwo_56970_Chip", "TomahawkTwoChip", "/56970", nullptr},
    {"TomahawkThreeChip", "TomahawkChip", "Three", "Tomahawk Three chip common attributes"},
    {"TomahawkThree_56980_Chip", "TomahawkThreeChip", "/56980", nullptr},
};

}  // namespace

void define_tomahawk_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile
