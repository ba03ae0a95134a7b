// The Trident2 family and its Trident2+ generation.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentTwoChip", "BCMChip", "/TridentTwo", "Trident2 chip common attributes"},
    {"TridentTwo_56850_Chip", "TridentTwoChip", "/56850", nullptr},
    {"TridentTwo_56854_Chip", "TridentTwoChip", "/56854", nullptr},
    {"TridentTwoPlusChip", "TridentTwoChip", "Plus", "Trident2 Plus chip common attributes"},
    {"TridentTwoPlus_56860_Chip", "TridentTwoPlusChip", "/56860", nullptr},
    {"TridentTwoPlus_56864_Chip", "TridentTwoPlusChip", "/56864", nullptr},
};

}  // namespace

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
