// The Tomahawk family and its Plus, Two and Three generations.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"TomahawkChip", "BCMChip", "/Tomahawk", "Tomahawk chip common attributes"},
    {"TomahawkPlusChip", "TomahawkChip", "Plus", "Tomahawk Plus chip common attributes"},
    {"TomahawkPlus_56967_Chip", "TomahawkPlusChip", "/56967", nullptr},
    {"TomahawkPlus_56965_Chip", "TomahawkPlusChip", "/56965", nullptr},
    {"TomahawkTwoChip", "TomahawkChip", "Two", "Tomahawk Two chip common attributes"},
    {"TomahawkTwo_56970_Chip", "TomahawkTwoChip", "/56970", nullptr},
    {"TomahawkThreeChip", "TomahawkChip", "Three", "Tomahawk Three chip common attributes"},
    {"TomahawkThree_56980_Chip", "TomahawkThreeChip", "/56980", nullptr},
};

}  // namespace

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
