// The Qumran family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"QumranChip", "BCMChip", "/Qumran", nullptr},
    {"Qumran_88375_Chip", "QumranChip", "/88375", nullptr},
    // No separator: the 88370 looks in a sibling directory, Qumran88370.
    {"Qumran_88370_Chip", "QumranChip", "88370", nullptr},
};

}  // namespace

void define_qumran_chips(PyObject* m) { define_chip_table<kChips>(m); }

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kQumran[] = {port_num_serdes, prefix_by_speed, led_36, logical_from_base};
constexpr host::Member kQumran100G[] = {count_breakout, max_4, polarity_by_count, if_name_get};
constexpr host::Member kQumran40G[] = {count_breakout, max_4, polarity_by_count, if_name_get};
constexpr host::Member kQumran10G[] = {count_gang, physical_gang, max_1, polarity_by_flag, if_name_get};

}  // namespace

void define_qumran_overrides(PyObject* m) {
  override_members<kQumran>(m, "QumranPort");
  override_members<kQumran100G>(m, "Qumran100GPort");
  override_members<kQumran40G>(m, "Qumran40GPort");
  override_members<kQumran10G>(m, "Qumran10GPort");
}

}  // namespace brontile
