// The Helix4 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"
#include "brontile/model/port_rules.hpp"

namespace brontile {
namespace {
using namespace host::data;

// --- catalogue rows ----------------------------------------------------------------

const PortRow kPortBases[] = {
    // ge0 ... ge48, then hg0 ... hg5: positions 1 to 55.
    {"Helix4Port", "BCMPort", nullptr, {{"pbmp_map", made([] { return pbmp_positions({{"ge", 49}, {"hg", 6}}); })}}},
};

// The 1G port answers its speed by an operation of its own, so it has no speed table.
const PortRow kPortTypes[] = {
    {"Helix41GPort", "Helix4Port", nullptr, {{"modes", tuple_of("1G")}, {"default_mode", "1G"}}},
    {"Helix410GPort", "Helix4Port", nullptr,
     {{"modes", tuple_of("10G")}, {"default_mode", "10G"}, {"_speed_map", dict_of({{"10G", 10}})}}},
};

// Neither port-mapped nor with a channel-type map. The bitmap fits an int.
const ChipRow kChips[] = {
    {"Helix4Chip", "BCMChip", "/Helix4", nullptr,
     {{"portmap_capable", False},
      {"base_pbmp", 1L | 1L << 49 | 1L << 58 | 1L << 59 | 1L << 60 | 1L << 61},
      {"file_list", tuple_of("datapath.conf", "rc.forwarding", "hw_desc", "sdk.bcm")},
      {"ipv4_host_table_size", 24576}}},
};

}  // namespace

// --- phases ------------------------------------------------------------------------
void define_helix4_port_bases(PyObject* m) { define_port_table(m, kPortBases); }
void define_helix4_port_types(PyObject* m) { define_port_table(m, kPortTypes); }
void define_helix4_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

// Interface names are given ready-made ("ge3", "hg1").
constexpr ctor::Family kHelix4Base = ctor::short_named_family();
constexpr ctor::Forward kHelix41G = ctor::single_1g("Helix4Port");
constexpr ctor::Forward kHelix410G = ctor::single("Helix4Port");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kHelix4Base>("Helix4Port"),
    ctor::init<kHelix41G>("Helix41GPort"),
    ctor::init<kHelix410G>("Helix410GPort"),
};

}  // namespace

void define_helix4_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile

// --- the family's own port rules ---------------------------------------------------
namespace brontile {
namespace {
using namespace entry;

constexpr host::Member kHelix4Rules[] = {led_helix4_offsets};
constexpr host::Member kHelix41GRules[] = {count_one, max_1, speed_1};
constexpr host::Member kHelix410GRules[] = {count_one, max_1, polarity_by_flag};

}  // namespace

void define_helix4_overrides(PyObject* m) {
  override_members<kHelix4Rules>(m, "Helix4Port");
  override_members<kHelix41GRules>(m, "Helix41GPort");
  override_members<kHelix410GRules>(m, "Helix410GPort");
}

}  // namespace brontile
