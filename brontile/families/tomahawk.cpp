// The Tomahawk family and its Plus, Two and Three generations.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------
// A `modes` list holds the keys of the class's speed table in the order the host
// iterates that table (not the order written); a tuple is written out.

const PortRow kPortBases[] = {
    // One table for every Tomahawk port. Its names are "xe" names, while the
    // constructors name the ports' interfaces "ce".
    {"TomahawkPort", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"xe", 132}}); })}}},
    {"TomahawkTwoPort", "TomahawkPort", nullptr},
    {"TomahawkThreePort", "TomahawkPort", nullptr},
};

const PortRow kPortTypes[] = {
    {"Tomahawk100GPort", "TomahawkPort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}, {"40G", 40}, {"50G", 50}, {"2x50G", 50}, {"2x40G", 40}, {"2x20G", 20},
                              {"4x25G", 25}, {"4x10G", 10}})},
      {"modes", list_of("40G", "2x50G", "100G", "50G", "2x20G", "4x25G", "4x10G", "2x40G")},
      {"default_mode", "100G"}}},
    {"Tomahawk100GFabricPort", "Tomahawk100GPort",
     "Fabric ports are 100G Tomahawk ports using KR4 serdes and\nno LEDs.",
     {{"is_fabric", True}, {"create_fabric", True}}},
    {"Tomahawk25GPort", "TomahawkPort", nullptr,
     {{"_speed_map", dict_of({{"10G", 10}, {"25G", 25}, {"40G/4", 40}, {"100G/4", 100}})},
      {"gang_modes", tuple_of("100G/4", "40G/4")},
      {"modes", tuple_of("25G", "10G", "100G/4", "40G/4")},  // ("25G", "10G") + gang_modes
      {"default_mode", "25G"},                               // modes[0]
      {"max_gang_size", 4}}},
    {"TomahawkMgmt10GPort", "TomahawkPort", nullptr,
     {{"_speed_map", dict_of({{"10G", 10}})}, {"modes", list_of("10G")}, {"default_mode", "10G"}}},
    {"TomahawkTwo100GPort", "TomahawkTwoPort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}, {"40G", 40}, {"50G", 50}, {"2x50G", 50}, {"2x20G", 20}, {"4x25G", 25},
                              {"4x10G", 10}})},
      {"modes", list_of("40G", "2x50G", "100G", "50G", "2x20G", "4x25G", "4x10G")},
      {"default_mode", "100G"}}},
    {"TomahawkThree100GPort", "TomahawkThreePort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}})}, {"modes", list_of("100G")}, {"default_mode", "100G"}}},
    {"Minipack100GPort", "TomahawkThree100GPort", nullptr},
};

// Every generation states the family's values again in its own statement, each
// with mappings of its own. The generation classes keep TomahawkChip's identity.
std::vector<Attr> generation(Value base_pbmp) {
  return {{"portmap_capable", True},
          {"dport_capable", True},
          {"mixed_oversub", True},
          {"ipv4_host_table_size", 40960},
          {"base_pbmp", base_pbmp},
          {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json")},
          {"port_channel_type_map", dict_of({{1, cls("Tomahawk25GPort")}, {4, cls("Tomahawk100GPort")}})}};
}

const ChipRow kChips[] = {
    {"TomahawkChip", "BCMChip", "/Tomahawk", "Tomahawk chip common attributes",
     {{"pci_device", 0xB960},
      {"bcm_pn", "56960"},
      {"portmap_capable", True},
      {"dport_capable", True},
      {"mixed_oversub", True},
      {"ipv4_host_table_size", 40960},
      {"base_pbmp", bits({0, 33, 67, 101, 135})},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json")},
      {"port_channel_type_map", dict_of({{1, cls("Tomahawk25GPort")}, {4, cls("Tomahawk100GPort")}})}}},
    {"TomahawkPlusChip", "TomahawkChip", "Plus", "Tomahawk Plus chip common attributes",
     generation(bits({0, 33, 67, 101, 135}))},
    {"TomahawkPlus_56967_Chip", "TomahawkPlusChip", "/56967", nullptr, {{"pci_device", 0xB967}, {"bcm_pn", "56967"}}},
    {"TomahawkPlus_56965_Chip", "TomahawkPlusChip", "/56965", nullptr, {{"pci_device", 0xB965}, {"bcm_pn", "56965"}}},
    {"TomahawkTwoChip", "TomahawkChip", "Two", "Tomahawk Two chip common attributes",
     generation(bits({0, 33, 67, 101, 135}))},
    {"TomahawkTwo_56970_Chip", "TomahawkTwoChip", "/56970", nullptr, {{"pci_device", 0xB970}, {"bcm_pn", "56970"}}},
    {"TomahawkThreeChip", "TomahawkChip", "Three", "Tomahawk Three chip common attributes",
     generation(bits({0, 19, 38, 39, 59, 79, 99, 119, 139, 159}))},
    {"TomahawkThree_56980_Chip", "TomahawkThreeChip", "/56980", nullptr, {{"pci_device", 0xB980}, {"bcm_pn", "56980"}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_tomahawk_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_tomahawk_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_tomahawk_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

constexpr ctor::Family kTomahawkBase = ctor::serdes_family("ce%u");
constexpr ctor::Forward kToTomahawkPort = ctor::forwarding("TomahawkPort");
constexpr ctor::Forward kTomahawk100GFabric = ctor::fabric_tx_polarity_first("Tomahawk100GPort", 100, "KR4");
constexpr ctor::Forward kTomahawkTwo100G = ctor::with_adjacent("TomahawkTwoPort");
constexpr ctor::Forward kToTomahawkThreePort = ctor::forwarding("TomahawkThreePort");
constexpr ctor::Forward kMinipack100G = ctor::with_name_from_label("TomahawkThree100GPort");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kTomahawkBase>("TomahawkPort"),
    ctor::init<kToTomahawkPort>("TomahawkTwoPort"),
    ctor::init<kToTomahawkPort>("TomahawkThreePort"),
    ctor::init<kToTomahawkPort>("Tomahawk100GPort"),
    ctor::init<kTomahawk100GFabric>("Tomahawk100GFabricPort"),
    ctor::init<kToTomahawkPort>("Tomahawk25GPort"),
    ctor::init<kToTomahawkPort>("TomahawkMgmt10GPort"),
    ctor::init<kTomahawkTwo100G>("TomahawkTwo100GPort"),
    ctor::init<kToTomahawkThreePort>("TomahawkThree100GPort"),
    ctor::init<kMinipack100G>("Minipack100GPort"),
};

}  // namespace

void define_tomahawk_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kTomahawkRules[] = {port_num_serdes, prefix_by_speed, led_tomahawk, logical_tomahawk_lanes};
constexpr host::Member kTomahawkTwoRules[] = {led_64, logical_tomahawktwo_pairs, find_port_by_label};
constexpr host::Member kTomahawkThreeRules[] = {led_64, logical_tomahawkthree_pairs};
constexpr host::Member kTomahawk100GRules[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kTomahawk100GFabricRules[] = {max_1};
constexpr host::Member kTomahawk25GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTomahawkMgmt10GRules[] = {count_one_checked, max_1};
constexpr host::Member kTomahawkTwo100GRules[] = {count_breakout, max_adjacent, polarity_by_count, blocked_split};
constexpr host::Member kTomahawkThree100GRules[] = {count_breakout, max_lanes, polarity_by_count};
constexpr host::Member kMinipack100GRules[] = {max_1};

}  // namespace

void define_tomahawk_overrides(PyObject* m) {
  override_members<kTomahawkRules>(m, "TomahawkPort");
  override_members<kTomahawkTwoRules>(m, "TomahawkTwoPort");
  override_members<kTomahawkThreeRules>(m, "TomahawkThreePort");
  override_members<kTomahawk100GRules>(m, "Tomahawk100GPort");
  override_members<kTomahawk100GFabricRules>(m, "Tomahawk100GFabricPort");
  override_members<kTomahawk25GRules>(m, "Tomahawk25GPort");
  override_members<kTomahawkMgmt10GRules>(m, "TomahawkMgmt10GPort");
  override_members<kTomahawkTwo100GRules>(m, "TomahawkTwo100GPort");
  override_members<kTomahawkThree100GRules>(m, "TomahawkThree100GPort");
  override_members<kMinipack100GRules>(m, "Minipack100GPort");
}

}  // namespace brontile
