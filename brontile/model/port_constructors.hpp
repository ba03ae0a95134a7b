// The constructors of the per-chip port classes.
//
// Outside platform definitions build ports positionally and by keyword, so a
// constructor's parameter list (names, order, defaults) is its interface. Most
// constructors share one of a handful of lists, written once below. What a
// constructor does with its arguments is a plan, a constant that a family file
// declares beside its classes:
//
//   constexpr ctor::Family kTomahawkBase = ctor::serdes_family("ce%u");
//   constexpr ctor::Forward kToTomahawkPort = ctor::forwarding("TomahawkPort");
//   constexpr ctor::PortInit kInits[] = {
//       ctor::init<kTomahawkBase>("TomahawkPort"),
//       ctor::init<kToTomahawkPort>("Tomahawk100GPort"),
//   };
//   ctor::attach<kInits>(m);   // gives each class its __init__
//
// A family base constructor names the hardware interfaces and runs the generic
// port constructor; every other constructor hands its values by keyword to the
// constructor of the class its plan names. Both look the class up by name in
// the module when the call is made, as a class statement naming it would, so a
// rebinding in the module is honoured.
#pragma once

#include "brontile/brontile.hpp"

#include <cstddef>
#include <type_traits>
#include <utility>

namespace brontile {
namespace ctor {

// --- parameter lists ---------------------------------------------------------------
// The family base list: `mdi_pair_map` comes last, `unit` defaults to 0.
inline constexpr char kFamilyBaseParams[] =
    "label, serdes, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit=0, rx_polarity_flip=None, "
    "tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None, pre_emphasis=None, drv_current=None, "
    "pre_drv_current=None, oversub=False, phy_id1=None, sys_interface=None, mdi_pair_map=None";
// The short family list, with serdes numbers or with ready-made interface names.
inline constexpr char kShortSerdesParams[] =
    "label, serdes, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit=0, rx_polarity_flip=None, "
    "tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None, mdi_pair_map=None";
inline constexpr char kShortHwPortsParams[] =
    "label, hw_ports, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit=0, rx_polarity_flip=None, "
    "tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None, mdi_pair_map=None";
// The forwarding list: `unit` required, lane map before polarity per direction,
// `prim_offset` last.
inline constexpr char kForwardingParams[] =
    "label, serdes, phy_types, phy_addrs, phy_layer, leds, unit, rx_lane_map=None, rx_polarity_flip=None, "
    "tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, pre_emphasis=None, drv_current=None, "
    "pre_drv_current=None, oversub=False, phy_id1=None, sys_interface=None, prim_offset=None";
// The forwarding list with the adjacent port's label and the blocking split.
inline constexpr char kAdjacentParams[] =
    "label, adj_label, serdes, phy_types, phy_addrs, phy_layer, leds, unit, rx_lane_map=None, "
    "rx_polarity_flip=None, tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, pre_emphasis=None, "
    "blocked_adj_split=None, drv_current=None, pre_drv_current=None, oversub=False, phy_id1=None, "
    "sys_interface=None, prim_offset=None";
// Ports whose cage fixes the PHY layer: the forwarding list without `phy_layer`,
// and a short form without the drive settings.
inline constexpr char kFixedLayerParams[] =
    "label, serdes, phy_types, phy_addrs, leds, unit, rx_lane_map=None, rx_polarity_flip=None, "
    "tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, pre_emphasis=None, drv_current=None, "
    "pre_drv_current=None, oversub=False, phy_id1=None, sys_interface=None, prim_offset=None";
inline constexpr char kFixedLayerShortParams[] =
    "label, serdes, phy_types, phy_addrs, leds, unit, rx_lane_map=None, rx_polarity_flip=None, "
    "tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, prim_offset=None";
// Ports on one hardware interface. The 1G list takes a PHY layer it does not use.
inline constexpr char kSingle1GParams[] = "label, hw_port, phy_type, phy_addr, phy_layer, leds, unit, prim_offset=None";
inline constexpr char kSingleParams[] =
    "label, hw_port, phy_type, phy_addr, phy_layer, leds, unit, rx_lane_map=None, rx_polarity_flip=None, "
    "tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None";
inline constexpr char kSingleSerdesParams[] =
    "label, serdes, phy_type, phy_addr, phy_layer, leds, unit, rx_lane_map=None, rx_polarity_flip=None, "
    "tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None";
inline constexpr char kSingleUnitFirstParams[] =
    "label, hw_port, unit, phy_type=None, phy_addr=None, phy_layer=None, leds=None, rx_lane_map=None, "
    "rx_polarity_flip=None, tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None";
inline constexpr char kSingleFabricParams[] = "label, hw_port, unit";
// Fabric ports, each with its own order of lane maps and polarity flips.
inline constexpr char kTxLaneFirstFabricParams[] =
    "label, serdes, tx_lane_map, rx_lane_map, tx_polarity_flip=None, rx_polarity_flip=None, pre_emphasis=None, "
    "drv_current=None, pre_drv_current=None";
inline constexpr char kTxPolarityFirstFabricParams[] =
    "label, serdes, tx_polarity_flip, rx_polarity_flip, tx_lane_map, rx_lane_map, sdk_group=None";
inline constexpr char kRxFirstFabricParams[] =
    "label, serdes, rx_lane_map, rx_polarity_flip, tx_lane_map, tx_polarity_flip, sdk_group=None";
inline constexpr char kRxFirstFabricLongParams[] =
    "label, serdes, rx_lane_map, rx_polarity_flip, tx_lane_map, tx_polarity_flip, mdi_pair_map=None, "
    "pre_emphasis=None, drv_current=None, pre_drv_current=None, oversub=False, phy_id1=None, "
    "sys_interface=None, prim_offset=None";

// --- plans -------------------------------------------------------------------------
// A family base constructor: makes `hw_ports` ("ce%u" of each serdes number, or
// the names given), runs BCMPort's constructor with the values by position, and
// for Qumran marks the port as a DNX port afterwards.
struct Family {
  const char* params;
  const char* name_format;  // nullptr: `hw_ports` is given ready-made and kept as is
  bool dnx;
};

// A value a constructor fixes for a keyword it passes on.
struct Fixed {
  enum Kind : unsigned char { kUnset, kNone, kTrue, kZero, kText };
  const char* keyword;
  Kind kind;
  const char* text;
};

// A parameter passed on as a one-element tuple, under another keyword.
struct Wrap {
  const char* param;
  const char* keyword;
};

struct Forward;
class Bound;
using Hook = void (*)(const Forward& plan, PyObject* self, const Bound& args);

// A constructor that passes its values on by keyword. In this order it stores
// `store_before` parameters on the object and runs `before`; runs the
// constructor of `base` with every parameter under its own name except those
// stored, held or wrapped, then the wrapped ones, then the fixed values (which
// win over a parameter of the same name); then gives the object a one-entry
// `_serdes_intf_map` when `serdes_speed` is set, stores `store_after`
// parameters and runs `after`.
struct Forward {
  const char* base;
  const char* params;
  Fixed fixed[6] = {};
  Wrap wrap[3] = {};
  const char* held[5] = {};  // taken but not passed on
  const char* store_before[2] = {};
  const char* store_after[1] = {};
  int serdes_speed = 0;
  const char* serdes_type = nullptr;
  Hook before = nullptr;
  Hook after = nullptr;
  const char* text = nullptr;  // what a hook needs besides the arguments
};

// --- the plans of the port constructors ------------------------------------------------
constexpr Family serdes_family(const char* name_format, bool dnx = false) {
  return Family{kFamilyBaseParams, name_format, dnx};
}
constexpr Family short_serdes_family(const char* name_format) { return Family{kShortSerdesParams, name_format, false}; }
constexpr Family short_named_family() { return Family{kShortHwPortsParams, nullptr, false}; }

constexpr Forward forwarding(const char* base) { return Forward{base, kForwardingParams}; }

constexpr Forward fixed_layer(const char* base, const char* phy_layer) {
  return Forward{base, kFixedLayerParams, {{"phy_layer", Fixed::kText, phy_layer}}};
}
constexpr Forward fixed_layer_short(const char* base, const char* phy_layer) {
  return Forward{base, kFixedLayerShortParams, {{"phy_layer", Fixed::kText, phy_layer}}};
}

// Single-interface ports: the one interface, PHY type and PHY address become
// one-element tuples.
constexpr Forward single_1g(const char* base) {
  return Forward{base,
                 kSingle1GParams,
                 {{"phy_layer", Fixed::kText, "1GBaseT"}},
                 {{"hw_port", "hw_ports"}, {"phy_type", "phy_types"}, {"phy_addr", "phy_addrs"}}};
}
constexpr Forward single(const char* base, const char* params = kSingleParams) {
  return Forward{base,
                 params,
                 {{"prim_offset", Fixed::kNone, nullptr}},
                 {{"hw_port", "hw_ports"}, {"phy_type", "phy_types"}, {"phy_addr", "phy_addrs"}}};
}
constexpr Forward single_serdes(const char* base) {
  return Forward{base,
                 kSingleSerdesParams,
                 {{"prim_offset", Fixed::kNone, nullptr}},
                 {{"serdes", "serdes"}, {"phy_type", "phy_types"}, {"phy_addr", "phy_addrs"}}};
}
constexpr Forward single_unit_first(const char* base) { return single(base, kSingleUnitFirstParams); }
constexpr Forward single_fabric(const char* base) { return Forward{base, kSingleFabricParams}; }

// Fabric ports: no PHY, no LEDs, unit 0, oversubscribed, and a serdes interface
// type of their own.
inline constexpr Fixed kNoPhy[] = {{"leds", Fixed::kNone, nullptr},    {"phy_types", Fixed::kNone, nullptr},
                                   {"phy_addrs", Fixed::kNone, nullptr}, {"phy_layer", Fixed::kNone, nullptr},
                                   {"oversub", Fixed::kTrue, nullptr},   {"unit", Fixed::kZero, nullptr}};

constexpr Forward fabric(const char* base, const char* params, int speed, const char* type, bool sdk_group,
                         bool layer_of_base = false) {
  Forward f{base, params};
  for (int i = 0; i < 6; ++i) f.fixed[i] = kNoPhy[i];
  // The base fixes the cage itself: no PHY layer is passed.
  if (layer_of_base) f.fixed[3] = Fixed{};
  f.serdes_speed = speed;
  f.serdes_type = type;
  if (sdk_group) f.store_after[0] = "sdk_group";
  return f;
}
constexpr Forward fabric_tx_lane_first(const char* base, int speed, const char* type) {
  return fabric(base, kTxLaneFirstFabricParams, speed, type, false);
}
constexpr Forward fabric_tx_polarity_first(const char* base, int speed, const char* type) {
  return fabric(base, kTxPolarityFirstFabricParams, speed, type, true);
}
// The base fixes the cage ("QSFP+"): no PHY layer is passed.
constexpr Forward fabric_rx_first_caged(const char* base, int speed, const char* type) {
  return fabric(base, kRxFirstFabricParams, speed, type, true, true);
}
// Takes the forwarding list's optional values but passes on only the drive
// settings: the rest is the fabric port's own.
constexpr Forward fabric_rx_first_long(const char* base, int speed, const char* type) {
  Forward f = fabric(base, kRxFirstFabricLongParams, speed, type, false);
  const char* held[5] = {"mdi_pair_map", "oversub", "phy_id1", "sys_interface", "prim_offset"};
  for (int i = 0; i < 5; ++i) f.held[i] = held[i];
  return f;
}

// Extra settings. The hooks are defined with the constructors.
void set_default_mode(const Forward& plan, PyObject* self, const Bound& args);
void set_first_mode_default(const Forward& plan, PyObject* self, const Bound& args);
void set_name_from_label(const Forward& plan, PyObject* self, const Bound& args);

// Each port starts in `mode`, set before the base constructor runs.
constexpr Forward with_default_mode(const char* base, const char* mode) {
  Forward f = forwarding(base);
  f.before = set_default_mode;
  f.text = mode;
  return f;
}
// Each port starts in the first of the modes that the port itself lists.
constexpr Forward with_first_mode_default(const char* base) {
  Forward f = forwarding(base);
  f.before = set_first_mode_default;
  return f;
}
// The Linux interface name comes from the label ("x2y10" gives "sw2p10").
constexpr Forward with_name_from_label(const char* base) {
  Forward f = forwarding(base);
  f.after = set_name_from_label;
  return f;
}
// The adjacent front-panel port and the split of it that blocks this port.
constexpr Forward with_adjacent(const char* base) {
  Forward f{base, kAdjacentParams};
  f.store_before[0] = "adj_label";
  f.store_before[1] = "blocked_adj_split";
  return f;
}

// --- running a plan ------------------------------------------------------------------
// The arguments of one call, by parameter name.
class Bound {
 public:
  explicit Bound(const host::Args& args) : args_(args) {}
  PyObject* operator[](PyObject* name) const;  // a parameter of the list, by interned name
 private:
  const host::Args& args_;
};

// What a plan needs at a call, made once when the constructor is attached.
struct Prepared;
const Prepared& prepare(const Family& plan);
const Prepared& prepare(const Forward& plan);
host::Ref run(const Family& plan, const Prepared& p, PyObject* self, const host::Args& a);
host::Ref run(const Forward& plan, const Prepared& p, PyObject* self, const host::Args& a);

template <const auto& Plan>
const Prepared& prepared() {
  static const Prepared& p = prepare(Plan);
  return p;
}

template <const auto& Plan>
host::Ref construct(PyObject* self, const host::Args& a) {
  return run(Plan, prepared<Plan>(), self, a);
}

// One class's constructor: the class by name, its __init__ and the plan's
// preparation.
struct PortInit {
  const char* cls;
  host::Member init;
  void (*prepare)();
};

template <const auto& Plan>
void prepare_now() {
  prepared<Plan>();
}

template <const auto& Plan>
constexpr PortInit init(const char* cls) {
  return PortInit{cls, host::method("__init__", Plan.params, &construct<Plan>), &prepare_now<Plan>};
}

namespace detail {
template <const auto& Rows, std::size_t... I>
struct Inits {
  static constexpr host::Member table[] = {Rows[I].init...};
};

template <const auto& Rows, std::size_t... I>
void attach(PyObject* m, std::index_sequence<I...>) {
  auto one = [m](const PortInit& row, void (*add)(PyObject*)) {
    row.prepare();
    host::Ref cls = host::check(PyObject_GetAttrString(m, row.cls));
    add(cls.get());
  };
  (one(Rows[I], &host::add_member<Inits<Rows, I...>::table, I>), ...);
}
}  // namespace detail

// Give each class of the table, found by name in the module, its constructor.
template <const auto& Rows>
void attach(PyObject* m) {
  constexpr std::size_t n = std::extent<std::remove_reference_t<decltype(Rows)>>::value;
  detail::attach<Rows>(m, std::make_index_sequence<n>());
}

}  // namespace ctor
}  // namespace brontile
