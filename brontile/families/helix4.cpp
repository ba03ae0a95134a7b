// The Helix4 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Helix4Chip", "BCMChip", "/Helix4", nullptr},
};

}  // namespace

void define_helix4_chips(PyObject* m) { define_chip_table<kChips>(m); }

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kHelix4[] = {led_helix4_offsets};
constexpr host::Member kHelix41G[] = {count_one, max_1, speed_1};
constexpr host::Member kHelix410G[] = {count_one, max_1, polarity_by_flag};

}  // namespace

void define_helix4_overrides(PyObject* m) {
  override_members<kHelix4>(m, "Helix4Port");
  override_members<kHelix41G>(m, "Helix41GPort");
  override_members<kHelix410G>(m, "Helix410GPort");
}

}  // namespace brontile
