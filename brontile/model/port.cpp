// The generic port classes Port, SDKPort and BCMPort: construction, the hooks
// every port type supplies, and the numbering and per-lane queries.
//
// Each answer that another member could give is asked of the object by name,
// so a port type's (or a Python subclass's) replacement takes effect.
#include "brontile/model/port_members.hpp"

namespace brontile {
using host::Ref;

Ref port::intf_number(PyObject* name) {
  Ref tail = host::slice(name, 2, host::kOpen);
  return host::to_int(tail.get());
}

Ref port::hw_port_at(PyObject* self, PyObject* sub) {
  Ref ports = host::getattr(self, HN("hw_ports"));
  return host::item(ports.get(), sub);
}

namespace {
using port::hw_port_at;
using port::intf_number;

// --- Port -------------------------------------------------------------------------

Ref port_init(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("label"), a[0]);
  host::setattr(self, HN("sfp"), Py_None);
  return host::none();
}

constexpr host::Member kPortMembers[] = {
    host::method("__init__", "label", port_init),
};

// --- SDKPort: construction and hooks ---------------------------------------------------

constexpr std::size_t kHwPorts = 1, kPrimOffset = 5;

Ref sdk_port_init(PyObject* self, const host::Args& a) {
  run_base_init(HN("Port"), self, a[0]);
  // Stored as given (per-chip constructors hand over tuples, masks and flags
  // that later queries interpret), each under its parameter's name: hw_ports
  // and prim_offset first, then the rest in parameter order.
  host::setattr(self, a.name(kHwPorts), a[kHwPorts]);
  host::setattr(self, a.name(kPrimOffset), a[kPrimOffset]);
  for (std::size_t i = kHwPorts + 1; i < a.size(); ++i) {
    if (i != kPrimOffset) host::setattr(self, a.name(i), a[i]);
  }
  return host::none();
}

Ref num_logical_ports(PyObject*, const host::Args&) { host::raise_bare(PyExc_NotImplementedError); }

Ref max_logical_ports(PyObject*) { host::raise_bare(PyExc_NotImplementedError); }

Ref polarity_flip_val(PyObject*, const host::Args&) { host::raise_bare(PyExc_NotImplementedError); }

// Direct-port families take a port base as the third argument; the hook
// accepts either form so every port answers the same call.
Ref logical_port_num(PyObject*, const host::Args&) { host::raise_bare(PyExc_NotImplementedError); }

Ref num_physical_ports(PyObject* self, const host::Args& a) {
  return host::call_method(self, HN("num_logical_ports"), a[0]);
}

// --- SDKPort: numbering and per-lane queries -----------------------------------------

Ref phy_autodetect(PyObject* self, const host::Args& a) {
  Ref types = host::getattr(self, HN("phy_types"));
  Ref type = host::item(types.get(), a[1]);
  Ref known = host::getattr(self, HN("_autodetect_phys"));
  return host::boolean(host::contains(known.get(), type.get()));
}

Ref num_phys(PyObject* self) {
  Ref addrs = host::getattr(self, HN("phy_addrs"));
  if (addrs.get() == Py_None) return host::integer(0);
  long count = 0;
  // Address 0 is a PHY too: only None means none.
  host::for_each(addrs.get(), [&](PyObject* addr) { count += addr != Py_None; });
  return host::integer(count);
}

Ref hw_intf_prefix(PyObject* self, const host::Args& a) {
  Ref name = hw_port_at(self, a[1]);
  return host::slice(name.get(), 0, 2);
}

// In a two-port mode each sub-port spans two lanes: sub-port s starts at lane 2s.
Ref hw_intf_num(PyObject* self, const host::Args& a) {
  Ref n = host::call_method(self, HN("num_logical_ports"), a[0]);
  Ref two = host::integer(2);
  Ref index = host::equal(n.get(), two.get()) ? host::check(PyNumber_Multiply(two.get(), a[1])) : Ref::borrow(a[1]);
  Ref name = hw_port_at(self, index.get());
  return intf_number(name.get());
}

Ref hw_intf_num_portmap(PyObject* self, const host::Args& a) {
  return host::call_method(self, HN("hw_intf_num"), a[0], a[1]);
}

// A port with more lanes than the mode has ports is numbered by its lowest lane.
Ref base_hw_intf_num(PyObject* self, const host::Args& a) {
  Ref n = host::call_method(self, HN("num_logical_ports"), a[0]);
  Ref ports = host::getattr(self, HN("hw_ports"));
  Ref lanes = host::integer(host::length(ports.get()));
  if (!host::check_rc(PyObject_RichCompareBool(lanes.get(), n.get(), Py_GT))) {
    return host::call_method(self, HN("hw_intf_num"), a[0], a[1]);
  }
  Ref lowest;
  host::for_each(ports.get(), [&](PyObject* name) {
    Ref num = intf_number(name);
    if (!lowest || host::check_rc(PyObject_RichCompareBool(num.get(), lowest.get(), Py_LT))) lowest = num;
  });
  if (!lowest) host::raise(PyExc_ValueError, "min() arg is an empty sequence");
  return lowest;
}

Ref hw_intf(PyObject* self, const host::Args& a) {
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
Ref hw_pbmp(PyObject* self, const host::Args& a) {
  Ref position = pbmp_position(self, a[1]);
  Ref one = host::integer(1);
  return host::check(PyNumber_Lshift(one.get(), position.get()));
}

Ref hw_port_num(PyObject* self, const host::Args& a) { return pbmp_position(self, a[1]); }

Ref port_mac_index(PyObject*, const host::Args& a) { return host::check(PyNumber_Add(a[1], a[2])); }

Ref led_port_num(PyObject* self, const host::Args& a) { return pbmp_position(self, a[1]); }

// A fresh mapping per call: the LED generator fills what it gets back.
Ref set_leds(PyObject*, const host::Args&) { return host::new_dict(); }

Ref logical_polarity_flip(PyObject* field, PyObject* self, const host::Args& a) {
  Ref stored = host::getattr(self, field);
  return host::call_method(self, HN("polarity_flip_val"), a[0], a[1], stored.get());
}

Ref rx_logical_polarity_flip(PyObject* self, const host::Args& a) {
  return logical_polarity_flip(HN("rx_polarity_flip"), self, a);
}

Ref tx_logical_polarity_flip(PyObject* self, const host::Args& a) {
  return logical_polarity_flip(HN("tx_polarity_flip"), self, a);
}

Ref serdes_if_type(PyObject* self, const host::Args& a) {
  Ref map = host::getattr(self, HN("_serdes_intf_map"));
  return host::call_method(map.get(), HN("get"), a[0], Py_None);
}

// Port types with an autonegotiation rule replace these; callers pass the mode.
Ref an_c37(PyObject*, const host::Args&) { return host::none(); }

Ref an_c73(PyObject*, const host::Args&) { return host::none(); }

Ref is_dnx(PyObject* self, const host::Args&) { return host::getattr(self, HN("dnx")); }

// The mode rules (port_modes.cpp) are attached after these.
constexpr host::Member kSDKPortMembers[] = {
    host::method("__init__",
                 "label, hw_ports, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit, "
                 "rx_polarity_flip, tx_polarity_flip, rx_lane_map, tx_lane_map, mdi_pair_map, "
                 "pre_emphasis, drv_current, pre_drv_current, oversub, phy_id1, sys_interface",
                 sdk_port_init),
    host::method("phy_autodetect", "mode, sub", phy_autodetect),
    host::method("num_physical_ports", "mode", num_physical_ports),
    host::method("num_logical_ports", "mode", num_logical_ports),
    host::property("max_logical_ports", max_logical_ports),
    host::property("num_phys", num_phys),
    host::method("hw_intf_prefix", "mode, sub", hw_intf_prefix),
    host::method("hw_intf_num", "mode, sub", hw_intf_num),
    host::method("hw_intf_num_portmap", "mode, sub", hw_intf_num_portmap),
    host::method("base_hw_intf_num", "mode, sub", base_hw_intf_num),
    host::method("hw_intf", "mode, sub", hw_intf),
    host::method("hw_pbmp", "mode, sub", hw_pbmp),
    host::method("hw_port_num", "mode, sub", hw_port_num),
    host::method("port_mac_index", "mode, mac_index, sub", port_mac_index),
    host::method("led_port_num", "mode, sub", led_port_num),
    host::method("set_leds", "mode, led_port, sub, led_index_list", set_leds),
    host::method("polarity_flip_val", "mode, sub, polarity_flip", polarity_flip_val),
    host::method("rx_logical_polarity_flip", "mode, sub", rx_logical_polarity_flip),
    host::method("tx_logical_polarity_flip", "mode, sub", tx_logical_polarity_flip),
    host::method("serdes_if_type", "speed", serdes_if_type),
    host::method("an_c37", "speed", an_c37),
    host::method("an_c73", "speed", an_c73),
    host::method("logical_port_num", "mode, sub, port_base=None", logical_port_num),
    host::method("is_dnx", "", is_dnx),
};

constexpr const char* kSDKPortDoc =
    "Generic SDK platform port data.\n"
    "\n"
    "modes: tuple of valid modes (e.g. 4x10G, 40G/4)\n"
    "default_mode: the default mode\n"
    "gang_modes: a tuple of supported ganged port modes (e.g. 40G/4 or 100G/4)\n"
    "max_gang_size: maximum number of ports in a ganged group\n"
    "pbmp_map: a map from hardware interface name to SDK pbmp position (e.g. hg0 -> 1)\n"
    "phy_init: a map of register to values used to initalize PHYs";

}  // namespace

void define_ports(PyObject* m) {
  using namespace host::data;
  Ref port = define_class(m, {"Port", {}, "One physical switch port, normally on the front panel.",
                              {{"is_fabric", False}, {"create_fabric", False}}});
  host::add_members<kPortMembers>(port.get());

  // Each mapping is one object, shared by every class that inherits it.
  Ref sdk_port = define_class(m, {"SDKPort", {"Port"}, kSDKPortDoc,
                                  {{"modes", tuple_of()},
                                   {"default_mode", None},
                                   {"gang_modes", tuple_of()},
                                   {"max_gang_size", 0},
                                   {"pbmp_map", dict_of()},
                                   {"phy_init", dict_of()},
                                   {"_speed_map", dict_of()},
                                   {"_autodetect_phys", tuple_of("8727", "8747", "8754", "54282", "54680", "54280",
                                                                 "84328", "84758", "84848", "84858")},
                                   {"disable_prefix_xlate", None},
                                   {"set_fiber_pref", False},
                                   {"_serdes_intf_map", dict_of()},
                                   {"autoneg_pref", None},
                                   {"autofec_pref", None},
                                   {"sdk_group", None},
                                   {"name_override", None},
                                   {"dnx", False}}});
  host::add_members<kSDKPortMembers>(sdk_port.get());
  port::add_mode_members(sdk_port.get());

  define_class(m, {"BCMPort", {"SDKPort"}, "Broadcom-specific port data.", {}});
}

}  // namespace brontile
