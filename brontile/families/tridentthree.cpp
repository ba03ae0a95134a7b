// The Trident3 family: the X5 and X7 chips.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TridentThreeX5Chip", "BCMChip", "/TridentThreeX5", "Trident3 X5 chip common attributes"},
    {"TridentThreeX5_56771_Chip", "TridentThreeX5Chip", "/56771", nullptr},
    {"TridentThreeX7Chip", "BCMChip", "/TridentThreeX7", "Trident3 X7 chip common attributes"},
    {"TridentThreeX7_56870_Chip", "TridentThreeX7Chip", "/56870", nullptr},
    {"TridentThreeX7_56873_Chip", "TridentThreeX7Chip", "/56873", nullptr},
};

}  // namespace

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
