// The Hurricane2 family.
#include "brontile/brontile.hpp"
#include "brontile/model/port_constructors.hpp"

namespace brontile {
namespace {

const ChipRow kChips[] = {
    {"Hurricane2Chip", "BCMChip", "/Hurricane2", nullptr},
};

}  // namespace

void define_hurricane2_chips(PyObject* m) { define_chip_table<kChips>(m); }

}  // namespace brontile

// --- constructors ----------------------------------------------------------------
namespace brontile {
namespace {

// Interface names are given ready-made ("ge3", "xe0", "hg1").
constexpr ctor::Family kHurricane2Base = ctor::short_named_family();
constexpr ctor::Forward kHurricane21G = ctor::single_1g("Hurricane2Port");
constexpr ctor::Forward kHurricane210G = ctor::single("Hurricane2Port");
constexpr ctor::Forward kHurricane213G = ctor::single_unit_first("Hurricane2Port");
constexpr ctor::Forward kHurricane213GFabric = ctor::single_fabric("Hurricane213GPort");

constexpr ctor::PortInit kInits[] = {
    ctor::init<kHurricane2Base>("Hurricane2Port"),
    ctor::init<kHurricane21G>("Hurricane21GPort"),
    ctor::init<kHurricane210G>("Hurricane210GPort"),
    ctor::init<kHurricane213G>("Hurricane213GPort"),
    ctor::init<kHurricane213GFabric>("Hurricane213GFabricPort"),
};

}  // namespace

void define_hurricane2_constructors(PyObject* m) { ctor::attach<kInits>(m); }

}  // namespace brontile
