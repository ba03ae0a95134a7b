// The Trident3 family: the X5 and X7 chips.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

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

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kTridentThree[] = {port_num_serdes, prefix_by_speed, led_by_intf,
                                          logical_tridentthree_lanes};
constexpr host::Member kTridentThree100G[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kTridentThree25G[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentThree10G[] = {count_gang,   physical_gang, max_1,       polarity_by_flag,
                                             logical_lane, c37_10g_on,    c73_10g_off, fiber};
constexpr host::Member kTridentThreeMG[] = {count_one_checked, physical_one_checked, max_1,       polarity_by_flag,
                                            logical_lane,      c37_10g_on,           c73_10g_off, fiber};

}  // namespace

void define_tridentthree_overrides(PyObject* m) {
  override_members<kTridentThree>(m, "TridentThreePort");
  override_members<kTridentThree100G>(m, "TridentThree100GPort");
  override_members<kTridentThree25G>(m, "TridentThree25GPort");
  override_members<kTridentThree10G>(m, "TridentThree10GPort");
  override_members<kTridentThreeMG>(m, "TridentThreeMGPort");
}

}  // namespace brontile
