// The Trident family: Trident+ and Trident.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentPlusChip", "BCMChip", "/Trident", "Trident+ chip common attributes"},
    // Trident shares Trident+'s directories: it keeps that constructor.
    {"TridentChip", "TridentPlusChip", nullptr,
     "Trident chip common attributes\n\nBasically the same as Trident+, but with a smaller host table size."},
};

}  // namespace

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
