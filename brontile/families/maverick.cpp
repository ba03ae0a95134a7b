// The Maverick family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    {"MaverickPort", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"xe", 74}}); })}}},
};

const PortRow kPortTypes[] = {
    {"Maverick100GPort", "MaverickPort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}, {"40G", 40}, {"50G", 50}, {"2x50G", 50}, {"2x40G", 40}, {"2x20G", 20},
                              {"4x25G", 25}, {"4x10G", 10}})},
      // The speed table's keys, in the order the host iterates that table.
      {"modes", list_of("40G", "2x50G", "100G", "50G", "2x20G", "4x25G", "4x10G", "2x40G")},
      {"default_mode", "100G"}}},
    {"Maverick40GPort", "MaverickPort", nullptr,
     {{"modes", tuple_of("40G", "4x10G", "4x1G")},
      {"default_mode", "40G"},
      {"_speed_map", dict_of({{"4x1G", 1}, {"4x10G", 10}, {"40G", 40}})}}},
    {"Maverick40GFabricPort", "Maverick40GPort", "Fabric ports are 40G Maverick ports using KR4 serdes and\nno LEDs.",
     {{"is_fabric", True}, {"create_fabric", True}}},
    {"Maverick10GPort", "MaverickPort", nullptr,
     {{"gang_modes", tuple_of("40G/4")},
      {"modes", tuple_of("10G", "40G/4", "1G")},  // ("10G",) + gang_modes + ("1G",)
      {"default_mode", "10G"},
      {"max_gang_size", 4},
      {"_speed_map", dict_of({{"1G", 1}, {"10G", 10}, {"40G/4", 40}})}}},
    {"Maverick10GFabricPort", "Maverick10GPort", "Fabric ports are 10G Maverick ports using KR serdes and\nno LEDs.",
     {{"is_fabric", True}, {"create_fabric", True}}},
};

// The part numbers differ only in their PCI device; none sets a part number.
const ChipRow kChips[] = {
    {"MaverickChip", "BCMChip", "/Maverick", nullptr,
     {{"needs_lane_config", True},
      {"portmap_capable", True},
      {"dport_capable", True},
      {"mixed_oversub", False},
      {"base_pbmp", bits({0, 73, 74})},
      {"ipv4_host_table_size", 16384},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json", "riot.json")},
      {"port_channel_type_map", dict_of({{1, cls("Maverick10GPort")}, {4, cls("Maverick100GPort")}})}}},
    {"Maverick_56762_Chip", "MaverickChip", "/56762", nullptr, {{"pci_device", 0xB762}}},
    {"Maverick_56768_Chip", "MaverickChip", "/56768", nullptr, {{"pci_device", 0xB768}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_maverick_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_maverick_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_maverick_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

constexpr ctor::Family kMaverickBase = ctor::serdes_family("xe%u");
constexpr ctor::Forward kMaverick100G = ctor::fixed_layer("MaverickPort", "QSFP28");
constexpr ctor::Forward kMaverick40G = ctor::fixed_layer("MaverickPort", "QSFP+");
constexpr ctor::Forward kMaverick40GFabric = ctor::fabric_rx_first_caged("Maverick40GPort", 40, "KR4");
constexpr ctor::Forward kToMaverickPort = ctor::forwarding("MaverickPort");
constexpr ctor::Forward kMaverick10GFabric = ctor::fabric_rx_first_long("Maverick10GPort", 10, "KR");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kMaverickBase>("MaverickPort"),
    ctor::init<kMaverick100G>("Maverick100GPort"),
    ctor::init<kMaverick40G>("Maverick40GPort"),
    ctor::init<kMaverick40GFabric>("Maverick40GFabricPort"),
    ctor::init<kToMaverickPort>("Maverick10GPort"),
    ctor::init<kMaverick10GFabric>("Maverick10GFabricPort"),
};

}  // namespace

void define_maverick_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kMaverickRules[] = {port_num_serdes, prefix_by_speed_ge, led_36, logical_from_base};
constexpr host::Member kMaverick100GRules[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kMaverick40GRules[] = {count_forty, max_4, polarity_by_mode};
constexpr host::Member kMaverick40GFabricRules[] = {max_1};
constexpr host::Member kMaverick10GRules[] = {count_gang, physical_gang, max_1,        polarity_by_flag,
                                         c37_teng_on, c73_teng_off, fiber};
constexpr host::Member kMaverick10GFabricRules[] = {c37_off, c73_auto, fiber_none};

}  // namespace

void define_maverick_overrides(PyObject* m) {
  override_members<kMaverickRules>(m, "MaverickPort");
  override_members<kMaverick100GRules>(m, "Maverick100GPort");
  override_members<kMaverick40GRules>(m, "Maverick40GPort");
  override_members<kMaverick40GFabricRules>(m, "Maverick40GFabricPort");
  override_members<kMaverick10GRules>(m, "Maverick10GPort");
  override_members<kMaverick10GFabricRules>(m, "Maverick10GFabricPort");
}

}  // namespace brontile
