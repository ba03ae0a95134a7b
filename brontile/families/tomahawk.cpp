// The Tomahawk family and its Plus, Two and Three generations.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

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

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kTomahawk[] = {port_num_serdes, prefix_by_speed, led_tomahawk, logical_tomahawk_lanes};
constexpr host::Member kTomahawkTwo[] = {led_64, logical_tomahawktwo_pairs, find_port_by_label};
constexpr host::Member kTomahawkThree[] = {led_64, logical_tomahawkthree_pairs};
constexpr host::Member kTomahawk100G[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kTomahawk100GFabric[] = {max_1};
constexpr host::Member kTomahawk25G[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTomahawkMgmt10G[] = {count_one_checked, max_1};
constexpr host::Member kTomahawkTwo100G[] = {count_breakout, max_adjacent, polarity_by_count, blocked_split};
constexpr host::Member kTomahawkThree100G[] = {count_breakout, max_lanes, polarity_by_count};
constexpr host::Member kMinipack100G[] = {max_1};

}  // namespace

void define_tomahawk_overrides(PyObject* m) {
  override_members<kTomahawk>(m, "TomahawkPort");
  override_members<kTomahawkTwo>(m, "TomahawkTwoPort");
  override_members<kTomahawkThree>(m, "TomahawkThreePort");
  override_members<kTomahawk100G>(m, "Tomahawk100GPort");
  override_members<kTomahawk100GFabric>(m, "Tomahawk100GFabricPort");
  override_members<kTomahawk25G>(m, "Tomahawk25GPort");
  override_members<kTomahawkMgmt10G>(m, "TomahawkMgmt10GPort");
  override_members<kTomahawkTwo100G>(m, "TomahawkTwo100GPort");
  override_members<kTomahawkThree100G>(m, "TomahawkThree100GPort");
  override_members<kMinipack100G>(m, "Minipack100GPort");
}

}  // namespace brontile
