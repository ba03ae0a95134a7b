// The Maverick family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"MaverickChip", "BCMChip", "/Maverick", nullptr},
    {"Maverick_56762_Chip", "MaverickChip", "/56762", nullptr},
    {"Maverick_56768_Chip", "MaverickChip", "/56768", nullptr},
};

}  // namespace

void define_maverick_chips(PyObject* m) { define_chip_table<kChips>(m); }

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kMaverick[] = {port_num_serdes, prefix_by_speed_ge, led_36, logical_from_base};
constexpr host::Member kMaverick100G[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kMaverick40G[] = {count_forty, max_4, polarity_by_mode};
constexpr host::Member kMaverick40GFabric[] = {max_1};
constexpr host::Member kMaverick10G[] = {count_gang, physical_gang, max_1,        polarity_by_flag,
                                         c37_teng_on, c73_teng_off, fiber};
constexpr host::Member kMaverick10GFabric[] = {c37_off, c73_auto, fiber_none};

}  // namespace

void define_maverick_overrides(PyObject* m) {
  override_members<kMaverick>(m, "MaverickPort");
  override_members<kMaverick100G>(m, "Maverick100GPort");
  override_members<kMaverick40G>(m, "Maverick40GPort");
  override_members<kMaverick40GFabric>(m, "Maverick40GFabricPort");
  override_members<kMaverick10G>(m, "Maverick10GPort");
  override_members<kMaverick10GFabric>(m, "Maverick10GFabricPort");
}

}  // namespace brontile
