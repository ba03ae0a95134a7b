// The Hurricane2 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

// The ports number their interfaces by prefix, so the base keeps no bitmap table.
const PortRow kPortBases[] = {
    {"Hurricane2Port", "BCMPort", nullptr},
};

// The 1G port answers its speed by an operation of its own, so it has no speed
// table. The 10G and 13G ports keep the "hg" prefix in their SDK interface names.
const PortRow kPortTypes[] = {
    {"Hurricane21GPort", "Hurricane2Port", nullptr, {{"modes", tuple_of("1G")}, {"default_mode", "1G"}}},
    {"Hurricane210GPort", "Hurricane2Port", nullptr,
     {{"modes", tuple_of("10G")},
      {"default_mode", "10G"},
      {"_speed_map", dict_of({{"10G", 10}})},
      {"disable_prefix_xlate", True}}},
    {"Hurricane213GPort", "Hurricane2Port", nullptr,
     {{"modes", tuple_of("13G")},
      {"default_mode", "13G"},
      {"_speed_map", dict_of({{"13G", 13}})},
      {"disable_prefix_xlate", True}}},
    // A fabric port that asks for no MAC addresses: create_fabric stays False.
    {"Hurricane213GFabricPort", "Hurricane213GPort", nullptr, {{"is_fabric", True}}},
};

// Neither port-mapped nor with a channel-type map.
const ChipRow kChips[] = {
    {"Hurricane2Chip", "BCMChip", "/Hurricane2", nullptr,
     {{"portmap_capable", False},
      {"base_pbmp", 1},
      {"file_list", tuple_of("rc.forwarding", "sdk.bcm")},
      {"ipv4_host_table_size", 4096}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_hurricane2_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_hurricane2_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_hurricane2_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

// Interface names are given ready-made ("ge3", "xe0", "hg1").
constexpr ctor::Family kHurricane2Base = ctor::short_named_family();
constexpr ctor::Forward kHurricane21G = ctor::single_1g("Hurricane2Port");
constexpr ctor::Forward kHurricane210G = ctor::single("Hurricane2Port");
constexpr ctor::Forward kHurricane213G = ctor::single_unit_first("Hurricane2Port");
constexpr ctor::Forward kHurricane213GFabric = ctor::single_fabric("Hurricane213GPort");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kHurricane2Base>("Hurricane2Port"),
    ctor::init<kHurricane21G>("Hurricane21GPort"),
    ctor::init<kHurricane210G>("Hurricane210GPort"),
    ctor::init<kHurricane213G>("Hurricane213GPort"),
    ctor::init<kHurricane213GFabric>("Hurricane213GFabricPort"),
};

}  // namespace

void define_hurricane2_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kHurricane2Rules[] = {port_num_hurricane2, pbmp_hurricane2, led_hurricane2_offsets};
constexpr host::Member kHurricane21GRules[] = {count_one, max_1, speed_1};
constexpr host::Member kHurricane210GRules[] = {count_one, max_1, polarity_by_flag};
constexpr host::Member kHurricane213GRules[] = {count_one, max_1};

}  // namespace

void define_hurricane2_overrides(PyObject* m) {
  override_members<kHurricane2Rules>(m, "Hurricane2Port");
  override_members<kHurricane21GRules>(m, "Hurricane21GPort");
  override_members<kHurricane210GRules>(m, "Hurricane210GPort");
  override_members<kHurricane213GRules>(m, "Hurricane213GPort");
}

}  // namespace brontile
