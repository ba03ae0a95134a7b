// The Trident2 family and its Trident2+ generation.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

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

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kTridentTwo[] = {led_none, c37_teng_auto, c73_teng_off};
constexpr host::Member kTridentTwoPlus[] = {logical_from_base, c37_teng_on, fiber};
constexpr host::Member kTridentTwo10G[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentTwo10GFabric[] = {c37_off, c73_off};
constexpr host::Member kTridentTwo40G[] = {count_forty, max_4, polarity_by_mode};
constexpr host::Member kTridentTwoPlus10G[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentTwoPlus40G[] = {count_forty, max_4, polarity_by_mode};

}  // namespace

void define_tridenttwo_overrides(PyObject* m) {
  override_members<kTridentTwo>(m, "TridentTwoPort");
  override_members<kTridentTwoPlus>(m, "TridentTwoPlusPort");
  override_members<kTridentTwo10G>(m, "TridentTwo10GPort");
  override_members<kTridentTwo10GFabric>(m, "TridentTwo10GFabricPort");
  override_members<kTridentTwo40G>(m, "TridentTwo40GPort");
  override_members<kTridentTwoPlus10G>(m, "TridentTwoPlus10GPort");
  override_members<kTridentTwoPlus40G>(m, "TridentTwoPlus40GPort");
}

}  // namespace brontile
