// The generic port classes Port, SDKPort and BCMPort: construction, the hooks
// every port type supplies, and the numbering and per-lane queries.
//
// Each answer that another member could give is asked of the object by name,
// so a port type's (or a Python subclass's) replacement takes effect.
#include "brontile/model/port_members.hpp"

namespace brontile {
using host::Ref;

namespace {

// The interface number of a hardware interface name: int() of what follows
// the two-letter prefix ("xe12" -> 12).
Ref intf_number(PyObject* name) {
  Ref tail = host::slice(name, 2, host::kOpen);
  return host::check(PyNumber_Int(tail.get()));
}

Ref hw_port_at(PyObject* self, PyObject* sub) {
  Ref ports = host::getattr(self, HN("hw_ports"));
  return host::item(ports.get(), sub);
}

// --- Port -------------------------------------------------------------------------

Ref port_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"label"};
  auto a = host::parse("__init__", args, kwargs, names);
  host::setattr(self, HN("label"), a[0]);
  host::setattr(self, HN("sfp"), Py_None);
  return host::none();
}

// --- SDKPort: construction and hooks ---------------------------------------------------

Ref sdk_port_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {
      "label", "hw_ports", "phy_types", "phy_addrs", "phy_layer", "prim_offset", "leds", "unit",
      "rx_polarity_flip", "tx_polarity_flip", "rx_lane_map", "tx_lane_map", "mdi_pair_map",
      "pre_emphasis", "drv_current", "pre_drv_current", "oversub", "phy_id1", "sys_interface",
  };
  constexpr std::size_t count = sizeof(names) / sizeof(names[0]);
  static PyObject* const* const fields = [] {
    auto* f = new PyObject*[count];
    for (std::size_t i = 0; i < count; ++i) f[i] = host::interned(names[i]);
    return f;
  }();
  auto a = host::parse("__init__", args, kwargs, names);
  run_base_init(HN("Port"), self, a[0]);
  // Stored as given (per-chip constructors hand over tuples, masks and flags
  // that later queries interpret): hw_ports and prim_offset first, then the
  // rest in parameter order.
  static const int order[] = {1, 5, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  for (int i : order) host::setattr(self, fields[i], a[i]);
  return host::none();
}

Ref num_logical_ports(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode"};
  host::parse("num_logical_ports", args, kwargs, names);
  host::raise_bare(PyExc_NotImplementedError);
}

Ref max_logical_ports(PyObject*) { host::raise_bare(PyExc_NotImplementedError); }

Ref polarity_flip_val(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "sub", "polarity_flip"};
  host::parse("polarity_flip_val", args, kwargs, names);
  host::raise_bare(PyExc_NotImplementedError);
}

// Direct-port families take a port base as the third argument; the hook
// accepts either form so every port answers the same call.
Ref logical_port_num(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "sub", "port_base"};
  host::parse("logical_port_num", args, kwargs, names, 2);
  host::raise_bare(PyExc_NotImplementedError);
}

Ref num_physical_ports(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode"};
  auto a = host::parse("num_physical_ports", args, kwargs, names);
  return host::call_method(self, HN("num_logical_ports"), a[0]);
}

// --- SDKPort: numbering and per-lane queries -----------------------------------------

constexpr const char* kModeSub[] = {"mode", "sub"};

Ref phy_autodetect(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("phy_autodetect", args, kwargs, kModeSub);
  Ref types = host::getattr(self, HN("phy_types"));
  Ref type = host::item(types.get(), a[1]);
  Ref known = host::getattr(self, HN("_autodetect_phys"));
  return host::boolean(host::contains(known.get(), type.get()));
}

Ref num_phys(PyObject* self) {
  Ref addrs = host::getattr(self, HN("phy_addrs"));
  if (addrs.get() == Py_None) return host::integer(0);
  long count = 0;
  Ref it = host::check(PyObject_GetIter(addrs.get()));
  while (Ref addr = Ref::steal(PyIter_Next(it.get()))) {
    // Address 0 is a PHY too: only None means none.
    if (addr.get() != Py_None) ++count;
  }
  if (PyErr_Occurred()) host::fail();
  return host::integer(count);
}

Ref hw_intf_prefix(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_intf_prefix", args, kwargs, kModeSub);
  Ref name = hw_port_at(self, a[1]);
  return host::slice(name.get(), 0, 2);
}

// In a two-port mode each sub-port spans two lanes: sub-port s starts at lane 2s.
Ref hw_intf_num(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_intf_num", args, kwargs, kModeSub);
  Ref n = host::call_method(self, HN("num_logical_ports"), a[0]);
  Ref two = host::integer(2);
  Ref index = host::equal(n.get(), two.get()) ? host::check(PyNumber_Multiply(two.get(), a[1])) : Ref::borrow(a[1]);
  Ref name = hw_port_at(self, index.get());
  return intf_number(name.get());
}

Ref hw_intf_num_portmap(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_intf_num_portmap", args, kwargs, kModeSub);
  return host::call_method(self, HN("hw_intf_num"), a[0], a[1]);
}

// A port with more lanes than the mode has ports is numbered by its lowest lane.
Ref base_hw_intf_num(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("base_hw_intf_num", args, kwargs, kModeSub);
  Ref n = host::call_method(self, HN("num_logical_ports"), a[0]);
  Ref ports = host::getattr(self, HN("hw_ports"));
  Ref lanes = host::integer(host::length(ports.get()));
  if (!host::check_rc(PyObject_RichCompareBool(lanes.get(), n.get(), Py_GT))) {
    return host::call_method(self, HN("hw_intf_num"), a[0], a[1]);
  }
  Ref lowest;
  Ref it = host::check(PyObject_GetIter(ports.get()));
  while (Ref name = Ref::steal(PyIter_Next(it.get()))) {
    Ref num = intf_number(name.get());
    if (!lowest || host::check_rc(PyObject_RichCompareBool(num.get(), lowest.get(), Py_LT))) lowest = num;
  }
  if (PyErr_Occurred()) host::fail();
  if (!lowest) host::raise(PyExc_ValueError, "min() arg is an empty sequence");
  return lowest;
}

Ref hw_intf(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_intf", args, kwargs, kModeSub);
  Ref prefix = host::call_method(self, HN("hw_intf_prefix"), a[0], a[1]);
  Ref num = host::call_method(self, HN("hw_intf_num"), a[0], a[1]);
  return host::format(HN("%s%u"), host::tuple(prefix.get(), num.get()).get());
}

Ref pbmp_position(PyObject* self, PyObject* sub) {
  Ref name = hw_port_at(self, sub);
  Ref map = host::getattr(self, HN("pbmp_map"));
  return host::item(map.get(), name.get());
}

// Bit positions pass 63: the shift is done on the interpreter's integers.
Ref hw_pbmp(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_pbmp", args, kwargs, kModeSub);
  Ref position = pbmp_position(self, a[1]);
  Ref one = host::integer(1);
  return host::check(PyNumber_Lshift(one.get(), position.get()));
}

Ref hw_port_num(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("hw_port_num", args, kwargs, kModeSub);
  return pbmp_position(self, a[1]);
}

Ref port_mac_index(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "mac_index", "sub"};
  auto a = host::parse("port_mac_index", args, kwargs, names);
  return host::check(PyNumber_Add(a[1], a[2]));
}

Ref led_port_num(PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse("led_port_num", args, kwargs, kModeSub);
  return pbmp_position(self, a[1]);
}

// A fresh mapping per call: the LED generator fills what it gets back.
Ref set_leds(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "led_port", "sub", "led_index_list"};
  host::parse("set_leds", args, kwargs, names);
  return host::check(PyDict_New());
}

Ref logical_polarity_flip(const char* fname, PyObject* field, PyObject* self, PyObject* args, PyObject* kwargs) {
  auto a = host::parse(fname, args, kwargs, kModeSub);
  Ref stored = host::getattr(self, field);
  return host::call_method(self, HN("polarity_flip_val"), a[0], a[1], stored.get());
}

Ref rx_logical_polarity_flip(PyObject* self, PyObject* args, PyObject* kwargs) {
  return logical_polarity_flip("rx_logical_polarity_flip", HN("rx_polarity_flip"), self, args, kwargs);
}

Ref tx_logical_polarity_flip(PyObject* self, PyObject* args, PyObject* kwargs) {
  return logical_polarity_flip("tx_logical_polarity_flip", HN("tx_polarity_flip"), self, args, kwargs);
}

Ref serdes_if_type(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"speed"};
  auto a = host::parse("serdes_if_type", args, kwargs, names);
  Ref map = host::getattr(self, HN("_serdes_intf_map"));
  return host::call_method(map.get(), HN("get"), a[0], Py_None);
}

// Port types with an autonegotiation rule replace these; callers pass the mode.
Ref an_c37(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"speed"};
  host::parse("an_c37", args, kwargs, names);
  return host::none();
}

Ref an_c73(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"speed"};
  host::parse("an_c73", args, kwargs, names);
  return host::none();
}

Ref is_dnx(PyObject* self, PyObject* args, PyObject* kwargs) {
  host::parse_none("is_dnx", args, kwargs);
  return host::getattr(self, HN("dnx"));
}

constexpr const char* kSDKPortDoc =
    "Generic SDK platform port data.\n"
    "\n"
    "modes: tuple of valid modes (e.g. 4x10G, 40G/4)\n"
    "default_mode: the default mode\n"
    "gang_modes: a tuple of supported ganged port modes (e.g. 40G/4 or 100G/4)\n"
    "max_gang_size: maximum number of ports in a ganged group\n"
    "pbmp_map: a map from hardware interface name to SDK pbmp position (e.g. hg0 -> 1)\n"
    "phy_init: a map of register to values used to initalize PHYs";

Ref empty_dict() { return host::check(PyDict_New()); }

}  // namespace

void define_ports(PyObject* m) {
  Ref port = host::ClassBuilder(kModule, "Port", "One physical switch port, normally on the front panel.")
                 .attr("is_fabric", host::boolean(false))
                 .attr("create_fabric", host::boolean(false))
                 .make();
  host::add_method<port_init>(port.get(), "__init__");

  // Each empty mapping is one object, shared by every class that keeps it.
  Ref sdk_port = host::ClassBuilder(kModule, "SDKPort", kSDKPortDoc)
                     .base(port.get())
                     .attr("modes", host::tuple())
                     .attr("default_mode", host::none())
                     .attr("gang_modes", host::tuple())
                     .attr("max_gang_size", host::integer(0))
                     .attr("pbmp_map", empty_dict())
                     .attr("phy_init", empty_dict())
                     .attr("_speed_map", empty_dict())
                     .attr("_autodetect_phys",
                           host::check(Py_BuildValue("(ssssssssss)", "8727", "8747", "8754", "54282", "54680",
                                                     "54280", "84328", "84758", "84848", "84858")))
                     .attr("disable_prefix_xlate", host::none())
                     .attr("set_fiber_pref", host::boolean(false))
                     .attr("_serdes_intf_map", empty_dict())
                     .attr("autoneg_pref", host::none())
                     .attr("autofec_pref", host::none())
                     .attr("sdk_group", host::none())
                     .attr("name_override", host::none())
                     .attr("dnx", host::boolean(false))
                     .make();
  PyObject* c = sdk_port.get();
  host::add_method<sdk_port_init>(c, "__init__");
  host::add_method<port::port_mangler>(c, "port_mangler");
  host::add_method<port::complete_mode>(c, "complete_mode");
  host::add_method<port::configurable>(c, "configurable");
  host::add_method<phy_autodetect>(c, "phy_autodetect");
  host::add_classmethod<port::check_mode>(c, "_check_mode");
  host::add_classmethod<port::speed>(c, "speed");
  host::add_classmethod<port::num_lanes>(c, "num_lanes");
  host::add_method<num_physical_ports>(c, "num_physical_ports");
  host::add_method<num_logical_ports>(c, "num_logical_ports");
  host::add_property<max_logical_ports>(c, "max_logical_ports");
  host::add_method<port::mac_addrs_contrib_total>(c, "mac_addrs_contrib_total");
  host::add_property<num_phys>(c, "num_phys");
  host::add_method<hw_intf_prefix>(c, "hw_intf_prefix");
  host::add_method<hw_intf_num>(c, "hw_intf_num");
  host::add_method<hw_intf_num_portmap>(c, "hw_intf_num_portmap");
  host::add_method<base_hw_intf_num>(c, "base_hw_intf_num");
  host::add_method<hw_intf>(c, "hw_intf");
  host::add_method<hw_pbmp>(c, "hw_pbmp");
  host::add_method<hw_port_num>(c, "hw_port_num");
  host::add_method<port_mac_index>(c, "port_mac_index");
  host::add_method<led_port_num>(c, "led_port_num");
  host::add_method<set_leds>(c, "set_leds");
  host::add_method<polarity_flip_val>(c, "polarity_flip_val");
  host::add_method<rx_logical_polarity_flip>(c, "rx_logical_polarity_flip");
  host::add_method<tx_logical_polarity_flip>(c, "tx_logical_polarity_flip");
  host::add_method<serdes_if_type>(c, "serdes_if_type");
  host::add_method<an_c37>(c, "an_c37");
  host::add_method<an_c73>(c, "an_c73");
  host::add_method<logical_port_num>(c, "logical_port_num");
  host::add_method<is_dnx>(c, "is_dnx");

  Ref bcm_port = host::ClassBuilder(kModule, "BCMPort", "Broadcom-specific port data.").base(c).make();

  host::check_rc(PyModule_AddObject(m, "Port", port.release()));
  host::check_rc(PyModule_AddObject(m, "SDKPort", sdk_port.release()));
  host::check_rc(PyModule_AddObject(m, "BCMPort", bcm_port.release()));
}

}  // namespace brontile
