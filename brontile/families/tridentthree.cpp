// The Trident3 family: the X5 and X7 chips, which share one set of port types.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    // One table for every Trident3 port. Its names are "xe" names, while the
    // constructor names the ports' interfaces "ce".
    {"TridentThreePort", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"xe", 132}}); })}}},
};

const PortRow kPortTypes[] = {
    {"TridentThree100GPort", "TridentThreePort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}, {"40G", 40}, {"50G", 50}, {"2x50G", 50}, {"2x40G", 40}, {"2x20G", 20},
                              {"4x25G", 25}, {"4x10G", 10}})},
      // The speed table's keys, in the order the host iterates that table.
      {"modes", list_of("40G", "2x50G", "100G", "50G", "2x20G", "4x25G", "4x10G", "2x40G")},
      {"default_mode", "100G"}}},
    {"TridentThree25GPort", "TridentThreePort", nullptr,
     {{"_speed_map", dict_of({{"10G", 10}, {"25G", 25}, {"40G/4", 40}, {"100G/4", 100}})},
      {"gang_modes", tuple_of("100G/4", "40G/4")},
      {"modes", tuple_of("25G", "10G", "100G/4", "40G/4")},  // ("25G", "10G") + gang_modes
      {"default_mode", "25G"},
      {"max_gang_size", 4}}},
    {"TridentThree10GPort", "TridentThreePort", nullptr,
     {{"modes", tuple_of("10G", "1G")}, {"default_mode", "10G"}, {"_speed_map", dict_of({{"1G", 1}, {"10G", 10}})}}},
    {"TridentThreeMGPort", "TridentThreePort", nullptr,
     {{"modes", tuple_of("10G", "5G", "2.5G", "1G")},
      {"default_mode", "10G"},
      {"_speed_map", dict_of({{"1G", 1}, {"2.5G", 2.5}, {"5G", 5}, {"10G", 10}})}}},
};

// Only the X5 asks for lane configuration.
const ChipRow kChips[] = {
    {"TridentThreeX5Chip", "BCMChip", "/TridentThreeX5", "Trident3 X5 chip common attributes",
     {{"needs_lane_config", True},
      {"portmap_capable", True},
      {"dport_capable", True},
      {"mixed_oversub", True},
      {"ipv4_host_table_size", 40960},
      {"base_pbmp", bits({0, 65})},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json", "riot.json")},
      {"port_channel_type_map", dict_of({{1, cls("TridentThree25GPort")}, {4, cls("TridentThree100GPort")}})}}},
    {"TridentThreeX5_56771_Chip", "TridentThreeX5Chip", "/56771", nullptr,
     {{"pci_device", 0xB771}, {"bcm_pn", "56771"}}},
    {"TridentThreeX7Chip", "BCMChip", "/TridentThreeX7", "Trident3 X7 chip common attributes",
     {{"portmap_capable", True},
      {"dport_capable", True},
      {"mixed_oversub", True},
      {"ipv4_host_table_size", 40960},
      {"base_pbmp", bits({64, 65, 66, 67, 128, 129, 130, 131})},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json", "riot.json")},
      {"port_channel_type_map", dict_of({{1, cls("TridentThree25GPort")}, {4, cls("TridentThree100GPort")}})}}},
    {"TridentThreeX7_56870_Chip", "TridentThreeX7Chip", "/56870", nullptr,
     {{"pci_device", 0xB870}, {"bcm_pn", "56870"}}},
    {"TridentThreeX7_56873_Chip", "TridentThreeX7Chip", "/56873", nullptr,
     {{"pci_device", 0xB873}, {"bcm_pn", "56873"}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_tridentthree_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_tridentthree_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_tridentthree_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

constexpr ctor::Family kTridentThreeBase = ctor::serdes_family("ce%u");
constexpr ctor::Forward kTridentThree100G = ctor::with_default_mode("TridentThreePort", "100G");
constexpr ctor::Forward kFirstModeDefault = ctor::with_first_mode_default("TridentThreePort");
constexpr ctor::Forward kToTridentThreePort = ctor::forwarding("TridentThreePort");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kTridentThreeBase>("TridentThreePort"),
    ctor::init<kTridentThree100G>("TridentThree100GPort"),
    ctor::init<kFirstModeDefault>("TridentThree25GPort"),
    ctor::init<kFirstModeDefault>("TridentThree10GPort"),
    ctor::init<kToTridentThreePort>("TridentThreeMGPort"),
};

}  // namespace

void define_tridentthree_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kTridentThreeRules[] = {port_num_serdes, prefix_by_speed, led_by_intf,
                                          logical_tridentthree_lanes};
constexpr host::Member kTridentThree100GRules[] = {count_breakout, max_4, polarity_by_count};
constexpr host::Member kTridentThree25GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTridentThree10GRules[] = {count_gang,   physical_gang, max_1,       polarity_by_flag,
                                             logical_lane, c37_10g_on,    c73_10g_off, fiber};
constexpr host::Member kTridentThreeMGRules[] = {count_one_checked, physical_one_checked, max_1,       polarity_by_flag,
                                            logical_lane,      c37_10g_on,           c73_10g_off, fiber};

}  // namespace

void define_tridentthree_overrides(PyObject* m) {
  override_members<kTridentThreeRules>(m, "TridentThreePort");
  override_members<kTridentThree100GRules>(m, "TridentThree100GPort");
  override_members<kTridentThree25GRules>(m, "TridentThree25GPort");
  override_members<kTridentThree10GRules>(m, "TridentThree10GPort");
  override_members<kTridentThreeMGRules>(m, "TridentThreeMGPort");
}

}  // namespace brontile
