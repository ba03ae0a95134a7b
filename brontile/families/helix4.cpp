// The Helix4 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Helix4Chip", "BCMChip", "/Helix4", nullptr},
};

}  // namespace

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
