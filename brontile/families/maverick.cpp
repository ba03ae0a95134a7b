// The Maverick family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"MaverickChip", "BCMChip", "/Maverick", nullptr},
    {"Maverick_56762_Chip", "MaverickChip", "/56762", nullptr},
    {"Maverick_56768_Chip", "MaverickChip", "/56768", nullptr},
};

}  // namespace

void define_maverick_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

constexpr ctor::Family kMaverickBase = ctor::serdes_family("xe%u");
constexpr ctor::Forward kMaverick100G = ctor::fixed_layer("MaverickPort", "QSFP28");
constexpr ctor::Forward kMaverick40G = ctor::fixed_layer("MaverickPort", "QSFP+");
constexpr ctor::Forward kMaverick40GFabric = ctor::fabric_rx_first_caged("Maverick40GPort", 40, "KR4");
constexpr ctor::Forward kToMaverickPort = ctor::forwarding("MaverickPort");
constexpr ctor::Forward kMaverick10GFabric = ctor::fabric_rx_first_long("Maverick10GPort", 10, "KR");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kMaverickBase>("MaverickPort"),
    ctor::init<kMaverick100G>("Maverick100GPort"),
    ctor::init<kMaverick40G>("Maverick40GPort"),
    ctor::init<kMaverick40GFabric>("Maverick40GFabricPort"),
    ctor::init<kToMaverickPort>("Maverick10GPort"),
    ctor::init<kMaverick10GFabric>("Maverick10GFabricPort"),
};

}  // namespace

void define_maverick_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile
