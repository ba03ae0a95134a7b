// The Trident family: Trident+ and Trident.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    {"TridentPort", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"hg", 72}}); })}}},
};

const PortRow kPortTypes[] = {
    {"Trident10GPort", "TridentPort", nullptr,
     {{"gang_modes", tuple_of("40G/4")},
      {"modes", tuple_of("10G", "40G/4")},  // ("10G",) + gang_modes
      {"default_mode", "10G"},
      {"max_gang_size", 4},
      {"_speed_map", dict_of({{"10G", 10}, {"40G/4", 40}})}}},
    {"Trident40GPort", "TridentPort", nullptr,
     {{"modes", tuple_of("40G", "4x10G")},
      {"default_mode", "40G"},
      {"_speed_map", dict_of({{"4x10G", 10}, {"40G", 40}})}}},
};

const ChipRow kChips[] = {
    {"TridentPlusChip", "BCMChip", "/Trident", "Trident+ chip common attributes",
     {{"portmap_capable", True},
      {"base_pbmp", bits({0, 65})},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm")},
      {"port_channel_type_map", dict_of({{1, cls("Trident10GPort")}, {4, cls("Trident40GPort")}})}}},
    // Trident shares Trident+'s directories: it keeps that constructor.
    {"TridentChip", "TridentPlusChip", nullptr,
     "Trident chip common attributes\n\nBasically the same as Trident+, but with a smaller host table size.",
     {{"ipv4_host_table_size", 4096}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_trident_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_trident_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_trident_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

constexpr ctor::Family kTridentBase = ctor::short_serdes_family("hg%u");
constexpr ctor::Forward kTrident10G = ctor::single_serdes("TridentPort");
constexpr ctor::Forward kTrident40G = ctor::fixed_layer_short("TridentPort", "QSFP+");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kTridentBase>("TridentPort"),
    ctor::init<kTrident10G>("Trident10GPort"),
    ctor::init<kTrident40G>("Trident40GPort"),
};

}  // namespace

void define_trident_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kTrident10GRules[] = {count_gang, physical_gang, max_1, polarity_by_flag};
constexpr host::Member kTrident40GRules[] = {count_forty, max_4, polarity_by_list};

}  // namespace

void define_trident_overrides(PyObject* m) {
  override_members<kTrident10GRules>(m, "Trident10GPort");
  override_members<kTrident40GRules>(m, "Trident40GPort");
}

}  // namespace brontile
