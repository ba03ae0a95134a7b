// The Hurricane2 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Hurricane2Chip", "BCMChip", "/Hurricane2", nullptr},
};

}  // namespace

void define_hurricane2_chips(PyObject* m) { define_chip_table<kChips>(m); }

// --- the family's own port rules ---------------------------------------------------

namespace {
using namespace entry;

constexpr host::Member kHurricane2[] = {port_num_hurricane2, pbmp_hurricane2, led_hurricane2_offsets};
constexpr host::Member kHurricane21G[] = {count_one, max_1, speed_1};
constexpr host::Member kHurricane210G[] = {count_one, max_1, polarity_by_flag};
constexpr host::Member kHurricane213G[] = {count_one, max_1};

}  // namespace

void define_hurricane2_overrides(PyObject* m) {
  override_members<kHurricane2>(m, "Hurricane2Port");
  override_members<kHurricane21G>(m, "Hurricane21GPort");
  override_members<kHurricane210G>(m, "Hurricane210GPort");
  override_members<kHurricane213G>(m, "Hurricane213GPort");
}

}  // namespace brontile
