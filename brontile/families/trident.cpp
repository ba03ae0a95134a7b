// The Trident family: Trident+ and Trident.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

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

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kTrident10G[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTrident40G[] = {count_forty, max_4, polarity_by_list};

}  // namespace

void define_trident_overrides(PyObject* m) {
  override_members<kTrident10G>(m, "Trident10GPort");
  override_members<kTrident40G>(m, "Trident40GPort");
}

}  // namespace brontile
