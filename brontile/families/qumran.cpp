// The Qumran family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"QumranChip", "BCMChip", "/Qumran", nullptr},
    {"Qumran_88375_Chip", "QumranChip", "/88375", nullptr},
    // No separator: the 88370 looks in a sibling directory, Qumran88370.
    {"Qumran_88370_Chip", "QumranChip", "88370", nullptr},
};

}  // namespace

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
