// The Trident2 family and its Trident2+ generation.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    // One table for every port of both generations.
    {"TridentTwoPort", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"hg", 128}}); })}}},
    {"TridentTwoPlusPort", "TridentTwoPort", nullptr},
};

const PortRow kPortTypes[] = {
    {"TridentTwo10GPort", "TridentTwoPort", nullptr,
     {{"gang_modes", tuple_of("40G/4")},
      {"modes", tuple_of("10G", "40G/4")},  // ("10G",) + gang_modes
      {"default_mode", "10G"},
      {"max_gang_size", 4},
      {"_speed_map", dict_of({{"10G", 10}, {"40G/4", 40}})}}},
    {"TridentTwo10GFabricPort", "TridentTwo10GPort", "Treat the microserver ports as fabric ports using KR.",
     {{"is_fabric", True}, {"create_fabric", True}}},
    {"TridentTwoPlus10GPort", "TridentTwoPlusPort", nullptr,
     {{"gang_modes", tuple_of("40G/4")},
      {"modes", tuple_of("10G", "40G/4", "1G")},  // ("10G",) + gang_modes + ("1G",)
      {"default_mode", "10G"},
      {"max_gang_size", 4},
      {"_speed_map", dict_of({{"1G", 1}, {"10G", 10}, {"40G/4", 40}})}}},
    {"TridentTwo40GPort", "TridentTwoPort", nullptr,
     {{"modes", tuple_of("40G", "4x10G")},
      {"default_mode", "40G"},
      {"_speed_map", dict_of({{"4x10G", 10}, {"40G", 40}})}}},
    {"TridentTwoPlus40GPort", "TridentTwoPlusPort", nullptr,
     {{"modes", tuple_of("40G", "4x10G", "4x1G")},
      {"default_mode", "40G"},
      {"_speed_map", dict_of({{"4x1G", 1}, {"4x10G", 10}, {"40G", 40}})}}},
};

// Trident2+ takes portmap_capable and base_pbmp from Trident2 and restates two
// values it already has. The 56860 sets nothing of its own.
const ChipRow kChips[] = {
    {"TridentTwoChip", "BCMChip", "/TridentTwo", "Trident2 chip common attributes",
     {{"portmap_capable", True},
      {"mixed_oversub", True},
      {"ipv4_host_table_size", 16384},
      {"base_pbmp", bits({0, 105})},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json")},
      {"port_channel_type_map", dict_of({{1, cls("TridentTwo10GPort")}, {4, cls("TridentTwo40GPort")}})}}},
    {"TridentTwo_56850_Chip", "TridentTwoChip", "/56850", nullptr,
     {{"pci_device", 0xB850}, {"bcm_pn", "56850"}, {"hsp_bw", 100}}},
    {"TridentTwo_56854_Chip", "TridentTwoChip", "/56854", nullptr,
     {{"pci_device", 0xB854}, {"bcm_pn", "56854"}, {"hsp_bw", 40}}},
    {"TridentTwoPlusChip", "TridentTwoChip", "Plus", "Trident2 Plus chip common attributes",
     {{"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json", "riot.json")},
      {"port_channel_type_map", dict_of({{1, cls("TridentTwoPlus10GPort")}, {4, cls("TridentTwoPlus40GPort")}})},
      {"dport_capable", True},
      {"mixed_oversub", True},
      {"ipv4_host_table_size", 16384}}},
    {"TridentTwoPlus_56860_Chip", "TridentTwoPlusChip", "/56860", nullptr},
    {"TridentTwoPlus_56864_Chip", "TridentTwoPlusChip", "/56864", nullptr, {{"hsp_bw", 40}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_tridenttwo_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_tridenttwo_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_tridenttwo_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

// TridentTwoPlusPort has no constructor of its own: TridentTwoPort's builds its ports.
constexpr ctor::Family kTridentTwoBase = ctor::serdes_family("hg%u");
constexpr ctor::Forward kToTridentTwoPort = ctor::forwarding("TridentTwoPort");
constexpr ctor::Forward kTridentTwo10GFabric = ctor::fabric_tx_lane_first("TridentTwo10GPort", 10, "KR");
constexpr ctor::Forward kToTridentTwoPlusPort = ctor::forwarding("TridentTwoPlusPort");
constexpr ctor::Forward kTridentTwoPlus40G = ctor::fixed_layer("TridentTwoPlusPort", "QSFP+");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kTridentTwoBase>("TridentTwoPort"),
    ctor::init<kToTridentTwoPort>("TridentTwo10GPort"),
    ctor::init<kTridentTwo10GFabric>("TridentTwo10GFabricPort"),
    ctor::init<kToTridentTwoPort>("TridentTwo40GPort"),
    ctor::init<kToTridentTwoPlusPort>("TridentTwoPlus10GPort"),
    ctor::init<kTridentTwoPlus40G>("TridentTwoPlus40GPort"),
};

}  // namespace

void define_tridenttwo_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kTridentTwoRules[] = {led_none, c37_teng_auto, c73_teng_off};
constexpr host::Member kTridentTwoPlusRules[] = {logical_from_base, c37_teng_on, fiber};
constexpr host::Member kTridentTwo10GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentTwo10GFabricRules[] = {c37_off, c73_off};
constexpr host::Member kTridentTwo40GRules[] = {count_forty, max_4, polarity_by_mode};
constexpr host::Member kTridentTwoPlus10GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentTwoPlus40GRules[] = {count_forty, max_4, polarity_by_mode};

}  // namespace

void define_tridenttwo_overrides(PyObject* m) {
  override_members<kTridentTwoRules>(m, "TridentTwoPort");
  override_members<kTridentTwoPlusRules>(m, "TridentTwoPlusPort");
  override_members<kTridentTwo10GRules>(m, "TridentTwo10GPort");
  override_members<kTridentTwo10GFabricRules>(m, "TridentTwo10GFabricPort");
  override_members<kTridentTwo40GRules>(m, "TridentTwo40GPort");
  override_members<kTridentTwoPlus10GRules>(m, "TridentTwoPlus10GPort");
  override_members<kTridentTwoPlus40GRules>(m, "TridentTwoPlus40GPort");
}

}  // namespace brontile
