// The Qumran family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    // Serdes lanes 0 to 71; the interface-type name per speed forms the ports'
    // SDK interface names.
    {"QumranPort", "BCMPort", nullptr,
     {{"pbmp_map", made([] { return pbmp_positions({{"xe", 72}}); })},
      {"_ifname_map", dict_of({{100, "CGE"}, {40, "XLGE"}, {10, "10GBase-R"}, {1, "SGMII"}})}}},
};

// A `modes` list holds the keys of the class's speed table in the order the host
// iterates that table. No Qumran port runs "2x20G".
const PortRow kPortTypes[] = {
    {"Qumran100GPort", "QumranPort", nullptr,
     {{"_speed_map", dict_of({{"100G", 100}, {"40G", 40}, {"50G", 50}, {"2x50G", 50}, {"2x40G", 40}, {"4x25G", 25},
                              {"4x10G", 10}})},
      {"modes", list_of("40G", "2x50G", "100G", "50G", "4x25G", "4x10G", "2x40G")},
      {"default_mode", "100G"}}},
    {"Qumran40GPort", "QumranPort", nullptr,
     {{"_speed_map", dict_of({{"40G", 40}, {"4x10G", 10}})},
      {"modes", list_of("40G", "4x10G")},
      {"default_mode", "40G"}}},
    {"Qumran10GPort", "QumranPort", nullptr,
     {{"gang_modes", tuple_of("40G/4")},
      {"modes", tuple_of("10G", "40G/4", "1G")},  // ("10G",) + gang_modes + ("1G",)
      {"default_mode", "10G"},
      {"max_gang_size", 4},
      {"_speed_map", dict_of({{"1G", 1}, {"10G", 10}, {"40G/4", 40}})}}},
};

// The only chip with a port type for two channels.
const ChipRow kChips[] = {
    {"QumranChip", "BCMChip", "/Qumran", nullptr,
     {{"needs_lane_config", False},
      {"portmap_capable", True},
      {"dport_capable", True},
      {"mixed_oversub", False},
      {"base_pbmp", bits({0, 73})},
      {"ipv4_host_table_size", 40960},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm", "uft.json")},
      {"port_channel_type_map",
       dict_of({{1, cls("Qumran10GPort")}, {2, cls("Qumran40GPort")}, {4, cls("Qumran100GPort")}})},
      {"dnx", True}}},
    {"Qumran_88375_Chip", "QumranChip", "/88375", nullptr, {{"pci_device", 0x8375}, {"bcm_pn", "88375"}}},
    // No separator: the 88370 looks in a sibling directory, Qumran88370.
    {"Qumran_88370_Chip", "QumranChip", "88370", nullptr, {{"pci_device", 0x8370}, {"bcm_pn", "88370"}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_qumran_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_qumran_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_qumran_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

// The family constructor also marks every port as a DNX port.
constexpr ctor::Family kQumranBase = ctor::serdes_family("xe%u", true);
constexpr ctor::Forward kQumran100G = ctor::fixed_layer("QumranPort", "QSFP28");
constexpr ctor::Forward kQumran40G = ctor::fixed_layer("QumranPort", "QSFP+");
constexpr ctor::Forward kToQumranPort = ctor::forwarding("QumranPort");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kQumranBase>("QumranPort"),
    ctor::init<kQumran100G>("Qumran100GPort"),
    ctor::init<kQumran40G>("Qumran40GPort"),
    ctor::init<kToQumranPort>("Qumran10GPort"),
};

}  // namespace

void define_qumran_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kQumranRules[] = {port_num_serdes, prefix_by_speed, led_36, logical_from_base};
constexpr host::Member kQumran100GRules[] = {count_breakout, max_4, polarity_by_count, if_name_get};
constexpr host::Member kQumran40GRules[] = {count_breakout, max_4, polarity_by_count, if_name_get};
constexpr host::Member kQumran10GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag, if_name_get};

}  // namespace

void define_qumran_overrides(PyObject* m) {
  override_members<kQumranRules>(m, "QumranPort");
  override_members<kQumran100GRules>(m, "Qumran100GPort");
  override_members<kQumran40GRules>(m, "Qumran40GPort");
  override_members<kQumran10GRules>(m, "Qumran10GPort");
}

}  // namespace brontile
