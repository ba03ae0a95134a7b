// SDKConfiguredPort and its variants: one front-panel port in its configured
// mode, wrapping its platform port. Most members forward to the platform port,
// adding the configured mode (and sub-port, MAC index) to the call; the rest
// compose SDK and Linux names and numbers, gang roles and gang polarity.
//
// Nothing is cached: every answer is read from the platform port at the time
// of the query, and whatever the platform port raises reaches the caller. Each
// member that another member could give is asked of the object by name, so a
// Python subclass's replacement is what the others use.
#include "lanquist/sdk_port.hpp"

#include "host/data.hpp"

namespace lanquist {
using host::Args;
using host::Ref;

namespace {

Ref physical(PyObject* self) { return host::getattr(self, HN("physical_port")); }
Ref mode_of(PyObject* self) { return host::getattr(self, HN("mode")); }

// Run the constructor of the module's class `base` on `self`, the class found
// by name at call time as a class statement naming it would.
template <typename... A>
void run_base_init(PyObject* base, PyObject* self, A... args) {
  Ref cls = global(base);
  Ref init = host::getattr(cls.get(), HN("__init__"));
  host::call(init.get(), self, args...);
}

// --- construction ------------------------------------------------------------------

// (mode, physical_port, port_base, mac_index, loopback), stored as given; the
// platform port is not consulted, so a mode it lacks fails at the first query.
Ref init(PyObject* self, const Args& a) {
  run_base_init(HN("ConfiguredPort"), self, a[0], a[3], a[4]);
  host::setattr(self, HN("port_base"), a[2]);
  host::setattr(self, HN("physical_port"), a[1]);
  host::setattr(self, HN("ganged_ports"), Py_None);
  return host::none();
}

// --- forwarding ----------------------------------------------------------------------

// physical_port.<Name>, read on every access.
template <const char* Name>
Ref field(PyObject* self) {
  static PyObject* const name = host::interned(Name);
  Ref port = physical(self);
  return host::getattr(port.get(), name);
}

// physical_port.<Name>(mode)
template <const char* Name>
Ref by_mode(PyObject* self) {
  static PyObject* const name = host::interned(Name);
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), name);
  Ref mode = mode_of(self);
  return host::call(fn.get(), mode.get());
}

// physical_port.<Name>(mode, sub)
template <const char* Name>
Ref by_mode_sub(PyObject* self, const Args& a) {
  static PyObject* const name = host::interned(Name);
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), name);
  Ref mode = mode_of(self);
  return host::call(fn.get(), mode.get(), a[0]);
}

// int(physical_port.<Name>(mode, sub)): a port type may answer "7" for 7.
template <const char* Name>
Ref int_by_mode_sub(PyObject* self, const Args& a) {
  Ref v = by_mode_sub<Name>(self, a);
  return host::to_int(v.get());
}

constexpr char kLabel[] = "label";
constexpr char kOversub[] = "oversub";
constexpr char kSpeed[] = "speed";
constexpr char kNumLanes[] = "num_lanes";
constexpr char kNumLogicalPorts[] = "num_logical_ports";
constexpr char kMaxLogicalPorts[] = "max_logical_ports";
constexpr char kNumPhysicalPorts[] = "num_physical_ports";
constexpr char kNumPhys[] = "num_phys";
constexpr char kHwIntfNum[] = "hw_intf_num";
constexpr char kHwIntfNumPortmap[] = "hw_intf_num_portmap";
constexpr char kBaseHwIntfNum[] = "base_hw_intf_num";
constexpr char kPrimOffset[] = "prim_offset";
constexpr char kPhyId1[] = "phy_id1";
constexpr char kSysInterface[] = "sys_interface";
constexpr char kPhyAutodetect[] = "phy_autodetect";
constexpr char kHwPortNum[] = "hw_port_num";
constexpr char kLeds[] = "leds";
constexpr char kUnit[] = "unit";
constexpr char kRxPolarityFlip[] = "rx_polarity_flip";
constexpr char kTxPolarityFlip[] = "tx_polarity_flip";
constexpr char kRxLogicalPolarityFlip[] = "rx_logical_polarity_flip";
constexpr char kTxLogicalPolarityFlip[] = "tx_logical_polarity_flip";
constexpr char kIsFabric[] = "is_fabric";
constexpr char kCreateFabric[] = "create_fabric";
constexpr char kRxLaneMap[] = "rx_lane_map";
constexpr char kTxLaneMap[] = "tx_lane_map";
constexpr char kMdiPairMap[] = "mdi_pair_map";
constexpr char kPreEmphasis[] = "pre_emphasis";
constexpr char kDrvCurrent[] = "drv_current";
constexpr char kPreDrvCurrent[] = "pre_drv_current";
constexpr char kPhyInit[] = "phy_init";
constexpr char kMaxGangSize[] = "max_gang_size";
constexpr char kAnC37[] = "an_c37";
constexpr char kAnC73[] = "an_c73";
constexpr char kSetFiberPref[] = "set_fiber_pref";
constexpr char kSdkGroup[] = "sdk_group";

// The speed is the configured port's own, so a subclass's speed is the one used.
Ref serdes_if_type(PyObject* self) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("serdes_if_type"));
  Ref speed = host::getattr(self, HN("speed"));
  return host::call(fn.get(), speed.get());
}

// The PHY address list is indexed whatever the mode; a port without one
// (None) fails with the host's TypeError.
Ref phy_addr(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref addrs = host::getattr(port.get(), HN("phy_addrs"));
  return host::item(addrs.get(), a[0]);
}

Ref phy_type(PyObject* self, const Args& a) {
  {
    Ref port = physical(self);
    Ref types = host::getattr(port.get(), HN("phy_types"));
    if (types.get() == Py_None) return host::none();
  }
  Ref port = physical(self);
  Ref types = host::getattr(port.get(), HN("phy_types"));
  return host::item(types.get(), a[0]);
}

Ref set_leds(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("set_leds"));
  Ref mode = mode_of(self);
  return host::call(fn.get(), mode.get(), a[0], a[1], a[2]);
}

Ref port_mac_index(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("port_mac_index"));
  Ref mode = mode_of(self);
  Ref mac_index = host::getattr(self, HN("mac_index"));
  return host::call(fn.get(), mode.get(), mac_index.get(), a[0]);
}

// --- SDK and Linux names and numbers ----------------------------------------------------

bool is_none(const Ref& v) { return v.get() == Py_None; }

// "hg" interfaces are named "xe" in the SDK unless the port type keeps its
// prefix (the boolean True, nothing merely true-valued).
Ref sdk_intf_prefix(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("hw_intf_prefix"));
  Ref mode = mode_of(self);
  Ref prefix = host::slice(host::call(fn.get(), mode.get(), a[0]).get(), 0, 2);
  Ref keep = host::getattr(physical(self).get(), HN("disable_prefix_xlate"));
  if (keep.get() == Py_True) return prefix;
  if (host::equal(prefix.get(), HN("hg"))) return host::text("xe");
  return prefix;
}

Ref sdk_intf_num(PyObject* self, const Args& a) { return host::call_method(self, HN("hw_intf_num"), a[0]); }

Ref sdk_unit_intf_num(PyObject* self, const Args& a) { return host::call_method(self, HN("sdk_intf_num"), a[0]); }

Ref sdk_intf(PyObject* self, const Args& a) {
  Ref prefix = host::call_method(self, HN("sdk_intf_prefix"), a[0]);
  Ref num = host::call_method(self, HN("sdk_intf_num"), a[0]);
  return host::format(HN("%s%u"), host::tuple(prefix.get(), num.get()).get());
}

Ref port_base_plus(PyObject* self, PyObject* sub) {
  Ref base = host::getattr(self, HN("port_base"));
  return host::check(PyNumber_Add(base.get(), sub));
}

Ref sdk_logical_port_num(PyObject* self, const Args& a) { return port_base_plus(self, a[0]); }

Ref sdk_pbmp(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("hw_pbmp"));
  Ref mode = mode_of(self);
  return host::call(fn.get(), mode.get(), a[0]);
}

// Port-mapped chips name a port by its logical number; leaving num_units out
// always adds the unit.
Ref sdk_config_intf(PyObject* self, const Args& a) {
  PyObject* sub = a[0];
  PyObject* num_units = a[1];
  Ref capable = host::getattr(self, HN("portmap_capable"));
  Ref name;
  if (host::truth(capable.get())) {
    name = host::str(host::call_method(self, HN("sdk_logical_port_num"), sub).get());
  } else {
    name = host::call_method(self, HN("sdk_intf"), sub);
  }
  Ref one = host::integer(1);
  if (num_units == Py_None || host::check_rc(PyObject_RichCompareBool(num_units, one.get(), Py_GT))) {
    Ref unit = host::getattr(self, HN("unit"));
    Ref suffix = host::format(HN(".%u"), host::tuple(unit.get()).get());
    name = host::check(PyNumber_Add(name.get(), suffix.get()));
  }
  return name;
}

Ref linux_port_name(PyObject* self, const Args& a) {
  Ref name = host::getattr(physical(self).get(), HN("name_override"));
  if (!is_none(name)) return name;
  Ref count = host::getattr(self, HN("num_logical_ports"));
  Ref one = host::integer(1);
  bool split = host::check_rc(PyObject_RichCompareBool(count.get(), one.get(), Py_GT)) != 0;
  Ref prefix = host::getattr(self, HN("linux_prefix"));
  Ref label = host::getattr(self, HN("gang_label"));
  if (split) return host::format(HN("%s%ss%u"), host::tuple(prefix.get(), label.get(), a[0]).get());
  return host::format(HN("%s%s"), host::tuple(prefix.get(), label.get()).get());
}

// Copper ports negotiate unless the port type says otherwise.
Ref enable_auto_neg(PyObject* self) {
  Ref pref = host::getattr(physical(self).get(), HN("autoneg_pref"));
  if (!is_none(pref)) return pref;
  Ref layer = host::getattr(physical(self).get(), HN("phy_layer"));
  return host::boolean(host::equal(layer.get(), HN("10GBaseT")) || host::equal(layer.get(), HN("1GBaseT")));
}

Ref enable_auto_fec(PyObject* self) {
  Ref pref = host::getattr(physical(self).get(), HN("autofec_pref"));
  if (is_none(pref)) return host::boolean(false);
  return pref;
}

// --- gangs and logical polarity ------------------------------------------------------------

Ref ganged(PyObject* self) {
  Ref mode = mode_of(self);
  Ref modes = host::getattr(physical(self).get(), HN("gang_modes"));
  return host::boolean(host::contains(modes.get(), mode.get()));
}

// The one cage of a gang that carries its logical port leads it.
Ref gang_leader(PyObject* self) {
  Ref is_ganged = host::getattr(self, HN("ganged"));
  if (!host::truth(is_ganged.get())) return is_ganged;
  Ref count = host::getattr(self, HN("num_logical_ports"));
  Ref zero = host::integer(0);
  return host::check(PyObject_RichCompare(count.get(), zero.get(), Py_NE));
}

Ref num_ganged_ports(PyObject* self) {
  if (host::truth(host::getattr(self, HN("gang_leader")).get())) return host::getattr(self, HN("num_physical_ports"));
  return host::integer(1);
}

// A gang leader's lane i is the polarity of the i-th cage of its gang in
// hardware order, each asked in the leader's mode; any other port answers its
// platform port's own value.
Ref logical_polarity_flip(PyObject* self, PyObject* sub, PyObject* query) {
  Ref leader = host::getattr(self, HN("gang_leader"));
  if (leader.get() != Py_True) {
    Ref fn = host::getattr(physical(self).get(), query);
    Ref mode = mode_of(self);
    return host::call(fn.get(), mode.get(), sub);
  }
  Ref members = host::getattr(self, HN("ganged_ports"));
  if (is_none(members)) {
    // The bare "not iterable" error would not say which of many ports is wrong.
    Ref label = host::getattr(self, HN("label"));
    Ref message = host::format(HN("gang leader %s has no ganged ports: its gang never formed"),
                               host::tuple(label.get()).get());
    host::raise_value(PyExc_TypeError, message.get());
  }
  Ref ordered = hardware_order(members.get());
  Ref flip = host::integer(0);
  Ref bit_pos = host::integer(0);
  Ref one = host::integer(1);
  host::for_each(ordered.get(), [&](PyObject* member) {
    Ref fn = host::getattr(physical(member).get(), query);
    Ref mode = mode_of(self);
    Ref bit = host::call(fn.get(), mode.get(), sub);
    Ref shifted = host::check(PyNumber_Lshift(bit.get(), bit_pos.get()));
    flip = host::check(PyNumber_Or(flip.get(), shifted.get()));
    bit_pos = host::check(PyNumber_Add(bit_pos.get(), one.get()));
  });
  return flip;
}

Ref rx_logical_polarity_flip(PyObject* self, const Args& a) {
  return logical_polarity_flip(self, a[0], HN("rx_logical_polarity_flip"));
}

Ref tx_logical_polarity_flip(PyObject* self, const Args& a) {
  return logical_polarity_flip(self, a[0], HN("tx_logical_polarity_flip"));
}

// --- SDKConfiguredPort's members ---------------------------------------------------------------

constexpr host::Member kSDKConfiguredPortMembers[] = {
    host::method("__init__", "mode, physical_port, port_base, mac_index, loopback", init),
    host::property("label", field<kLabel>),
    host::property("oversub", field<kOversub>),
    host::property("speed", by_mode<kSpeed>),
    host::property("num_lanes", by_mode<kNumLanes>),
    host::property("num_logical_ports", by_mode<kNumLogicalPorts>),
    host::property("max_logical_ports", field<kMaxLogicalPorts>),
    host::property("num_physical_ports", by_mode<kNumPhysicalPorts>),
    host::property("num_phys", field<kNumPhys>),
    host::property("enable_auto_neg", enable_auto_neg),
    host::property("enable_auto_fec", enable_auto_fec),
    host::method("hw_intf_num", "sub", int_by_mode_sub<kHwIntfNum>),
    host::method("hw_intf_num_portmap", "sub", int_by_mode_sub<kHwIntfNumPortmap>),
    host::method("base_hw_intf_num", "sub", int_by_mode_sub<kBaseHwIntfNum>),
    host::method("sdk_intf_prefix", "sub", sdk_intf_prefix),
    host::method("sdk_intf_num", "sub", sdk_intf_num),
    host::method("sdk_unit_intf_num", "sub", sdk_unit_intf_num),
    host::method("sdk_intf", "sub", sdk_intf),
    host::method("linux_port_name", "sub", linux_port_name),
    host::method("sdk_pbmp", "sub", sdk_pbmp),
    host::method("phy_addr", "sub", phy_addr),
    host::method("sdk_logical_port_num", "sub", sdk_logical_port_num),
    host::property("prim_offset", field<kPrimOffset>),
    host::property("phy_id1", field<kPhyId1>),
    host::property("sys_interface", field<kSysInterface>),
    host::method("phy_type", "sub", phy_type),
    host::method("phy_autodetect", "sub", by_mode_sub<kPhyAutodetect>),
    host::method("set_leds", "led_port, sub, led_index_list", set_leds),
    host::method("hw_port_num", "sub", by_mode_sub<kHwPortNum>),
    host::method("port_mac_index", "sub", port_mac_index),
    host::property("leds", field<kLeds>),
    host::property("unit", field<kUnit>),
    host::property("rx_polarity_flip", field<kRxPolarityFlip>),
    host::property("tx_polarity_flip", field<kTxPolarityFlip>),
    host::method("rx_logical_polarity_flip", "sub", rx_logical_polarity_flip),
    host::method("tx_logical_polarity_flip", "sub", tx_logical_polarity_flip),
    host::method("td3_rx_logical_polarity_flip", "port, portmap, sub", td3_rx_logical_polarity_flip),
    host::method("td3_tx_logical_polarity_flip", "port, portmap, sub", td3_tx_logical_polarity_flip),
    host::method("th3_rx_logical_polarity_flip", "port, portmap, sub", th3_rx_logical_polarity_flip),
    host::method("th3_tx_logical_polarity_flip", "port, portmap, sub", th3_tx_logical_polarity_flip),
    host::method("qmx_rx_logical_polarity_flip", "port, portmap, sub", qmx_rx_logical_polarity_flip),
    host::method("qmx_tx_logical_polarity_flip", "port, portmap, sub", qmx_tx_logical_polarity_flip),
    host::property("is_fabric", field<kIsFabric>),
    host::property("create_fabric", field<kCreateFabric>),
    host::property("rx_lane_map", field<kRxLaneMap>),
    host::property("tx_lane_map", field<kTxLaneMap>),
    host::property("mdi_pair_map", field<kMdiPairMap>),
    host::property("pre_emphasis", field<kPreEmphasis>),
    host::property("drv_current", field<kDrvCurrent>),
    host::property("pre_drv_current", field<kPreDrvCurrent>),
    host::property("phy_init", field<kPhyInit>),
    host::property("serdes_if_type", serdes_if_type),
    host::property("ganged", ganged),
    host::property("max_gang_size", field<kMaxGangSize>),
    host::property("gang_leader", gang_leader),
    host::property("num_ganged_ports", num_ganged_ports),
    host::property("an_c37", by_mode<kAnC37>),
    host::property("an_c73", by_mode<kAnC73>),
    host::method("sdk_config_intf", "sub, num_units=None", sdk_config_intf),
    host::property("set_fiber_pref", field<kSetFiberPref>),
    host::property("sdk_group", field<kSdkGroup>),
};

// --- SDKConfiguredMappedPort, BCMConfiguredMappedPort ------------------------------------------

// Mapped ports are numbered one after another from port_base, whatever the
// hardware interface.
Ref mapped_sdk_pbmp(PyObject* self, const Args& a) {
  Ref position = port_base_plus(self, a[0]);
  Ref one = host::integer(1);
  return host::check(PyNumber_Lshift(one.get(), position.get()));
}

Ref port_base_plus_sub_less_one(PyObject* self, const Args& a) {
  Ref n = port_base_plus(self, a[0]);
  Ref one = host::integer(1);
  return host::check(PyNumber_Subtract(n.get(), one.get()));
}

constexpr host::Member kSDKConfiguredMappedPortMembers[] = {
    host::method("sdk_pbmp", "sub", mapped_sdk_pbmp, "Mapped ports are sequential based on the port_base"),
    host::method("sdk_intf_num", "sub", port_base_plus_sub_less_one),
};

Ref bcm_mapped_init(PyObject* self, const Args& a) {
  run_base_init(HN("SDKConfiguredMappedPort"), self, a[0], a[1], a[2], a[3], a[4]);
  return host::none();
}

constexpr host::Member kBCMConfiguredMappedPortMembers[] = {
    host::method("__init__", "mode, physical_port, port_base, mac_index, loopback", bcm_mapped_init),
};

// --- BCMConfiguredDportPort --------------------------------------------------------------------

Ref dport_init(PyObject* self, const Args& a) {
  run_base_init(HN("BCMConfiguredPort"), self, a[0], a[1], a[2], a[4], a[5]);
  host::setattr(self, HN("if_port_base"), a[3]);
  return host::none();
}

// The chip's port type numbers its dports; asked anew on every call.
Ref dport_num(PyObject* self, const Args& a) {
  Ref port = physical(self);
  Ref fn = host::getattr(port.get(), HN("logical_port_num"));
  Ref mode = mode_of(self);
  Ref base = host::getattr(self, HN("port_base"));
  return host::call(fn.get(), mode.get(), a[0], base.get());
}

Ref dport_sdk_pbmp(PyObject* self, const Args& a) {
  Ref position = host::call_method(self, HN("sdk_logical_port_num"), a[0]);
  Ref one = host::integer(1);
  return host::check(PyNumber_Lshift(one.get(), position.get()));
}

constexpr host::Member kBCMConfiguredDportPortMembers[] = {
    host::method("__init__", "mode, physical_port, port_base, if_port_base, mac_index, loopback", dport_init),
    host::method("sdk_pbmp", "sub", dport_sdk_pbmp),
    host::method("sdk_intf_num", "sub", dport_num),
    host::method("sdk_unit_intf_num", "sub", port_base_plus_sub_less_one),
    host::method("sdk_logical_port_num", "sub", dport_num),
};

// The sort key of hardware order: int() of what follows the two-letter
// prefix of the first hardware interface name ("xe12" -> 12).
Ref hardware_key(PyObject* cport) {
  Ref ports = host::getattr(physical(cport).get(), HN("hw_ports"));
  Ref zero = host::integer(0);
  Ref first = host::item(ports.get(), zero.get());
  Ref tail = host::slice(first.get(), 2, host::kOpen);
  return host::to_int(tail.get());
}

}  // namespace

// Decorated with (key, position): the list's own sort then orders by key and
// keeps equal keys in their original order, and never compares the ports.
Ref hardware_order(PyObject* ports) {
  Ref decorated = host::new_list();
  Py_ssize_t position = 0;
  host::for_each(ports, [&](PyObject* p) {
    Ref key = hardware_key(p);
    Ref pos = host::integer(position++);
    host::check_rc(PyList_Append(decorated.get(), host::tuple(key.get(), pos.get(), p).get()));
  });
  host::check_rc(PyList_Sort(decorated.get()));
  // Each entry is taken apart as whatever it is: the list can be reached
  // through gc while the keys are read, and something else put in it.
  Ref ordered = host::new_list();
  Ref third = host::integer(2);
  host::for_each(decorated.get(),
                 [&](PyObject* entry) { host::append(ordered.get(), host::item(entry, third.get()).get()); });
  return ordered;
}

void define_sdk_configured_ports(PyObject* m) {
  using namespace host::data;
  Ref sdk_port = define_class(m,
                              {"SDKConfiguredPort",
                               {"ConfiguredPort"},
                               nullptr,
                               {{"portmap_capable", False}}},
                              /*classic=*/true);
  host::add_members<kSDKConfiguredPortMembers>(sdk_port.get());

  define_class(m, {"BCMConfiguredPort", {"SDKConfiguredPort"}, "Broadcom configured port.", {}}, true);

  Ref mapped = define_class(m,
                            {"SDKConfiguredMappedPort",
                             {"SDKConfiguredPort"},
                             "Configured port on a port-mapped chip.",
                             {{"portmap_capable", True}}},
                            true);
  host::add_members<kSDKConfiguredMappedPortMembers>(mapped.get());

  Ref bcm_mapped = define_class(
      m, {"BCMConfiguredMappedPort", {"SDKConfiguredMappedPort"}, "Broadcom remapped configured port.", {}}, true);
  host::add_members<kBCMConfiguredMappedPortMembers>(bcm_mapped.get());

  Ref dport = define_class(m,
                           {"BCMConfiguredDportPort",
                            {"BCMConfiguredPort"},
                            "Configured port on a direct-port chip.",
                            {{"portmap_capable", True}}},
                           true);
  host::add_members<kBCMConfiguredDportPortMembers>(dport.get());
}

}  // namespace lanquist
