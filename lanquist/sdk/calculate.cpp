// The port calculation: ports.conf to configured ports, numbered per unit,
// with their MAC indexes; the units; the gangs.
#include <vector>

#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {
namespace {

Ref config(PyObject* self, const host::Args& a) {
  Ref base = host::getattr(global(HN("Config")).get(), HN("config"));
  host::call(base.get(), self, a[0]);
  Ref max_mac_index = host::call_method(self, HN("_calculate_configuration"));
  if (host::truth(host::getattr(self, HN("verbose")).get())) {
    Ref macrange = host::getattr(self, HN("macrange"));
    Ref line = host::format(HN("max_mac_index %d macrange %d\n"), host::tuple(max_mac_index.get(), macrange.get()).get());
    Ref out = host::getattr(global(HN("sys")).get(), HN("stdout"));
    host::call_method(out.get(), HN("write"), line.get());
  }
  host::call_method(self, HN("_calculate_leds"));
  host::call_method(self, HN("_calculate_units"));
  Ref ports = host::getattr(self, HN("ports"));
  host::call_method(self, HN("_calculate_gangs"), ports.get());
  Ref macrange = host::getattr(self, HN("macrange"));
  // A demand equal to the range is still met.
  if (host::check_rc(PyObject_RichCompareBool(max_mac_index.get(), macrange.get(), Py_GT))) {
    host::call_method(global(HN("syslog")).get(), HN("syslog"), HN("Not enough macs in platform, falling to l3-only"));
    host::call_method(self, HN("set_macmode"), HN("l3-only"));
  }
  return host::none();
}

struct Work {
  Ref loopback, mode, hw_port;
};

Ref calculate_configuration(PyObject* self, const host::Args&) {
  Ref ports = host::new_list();
  host::setattr(self, HN("ports"), ports.get());
  Ref mapped_portnums = host::new_dict();
  host::setattr(self, HN("mapped_portnums"), mapped_portnums.get());
  Ref mac_index = host::integer(0);
  Ref config_map = host::getattr(self, HN("config_map"));

  // First pass: every hardware port to configure, as the platform expands it.
  std::vector<Work> work;
  Ref platform_ports = host::getattr(switch_of(self).get(), HN("ports"));
  host::for_each(platform_ports.get(), [&](PyObject* port) {
    Ref label;
    if (host::truth(host::getattr(port, HN("is_fabric")).get())) {
      Ref bare = host::getattr(port, HN("label"));
      label = host::check(PyNumber_Add(HN("Fabric-"), bare.get()));
    } else {
      label = host::getattr(port, HN("label"));
    }
    Ref configured_mode = host::contains(config_map.get(), label.get()) ? host::item(config_map.get(), label.get())
                                                                        : host::getattr(port, HN("default_mode"));
    Ref loopback = host::boolean(false);
    Ref mode = configured_mode;
    if (host::equal(configured_mode.get(), HN("loopback"))) {
      loopback = host::boolean(true);
      mode = host::getattr(port, HN("default_mode"));
    }
    if (!host::truth(host::call_method(port, HN("configurable"), config_map.get()).get())) return;
    Ref expansion = host::call_method(port, HN("port_mangler"), mode.get());
    host::for_each(expansion.get(), [&](PyObject* entry) {
      Work w;
      w.loopback = loopback;
      Ref pair[2];
      host::unpack(entry, 2, pair);
      w.hw_port = pair[0];
      w.mode = pair[1];
      work.push_back(std::move(w));
    });
  });

  // Second pass: one configured port per entry. Port bases count per unit from
  // 1; on direct-port chips interface numbers also count per interface type.
  Ref one = host::integer(1);
  Ref zero = host::integer(0);
  Ref if_nums = host::new_dict();
  for (const Work& w : work) {
    PyObject* hw_port = w.hw_port.get();
    PyObject* mode = w.mode.get();
    Ref unit = host::getattr(hw_port, HN("unit"));
    Ref port_base = host::call_method(mapped_portnums.get(), HN("get"), unit.get(), one.get());
    Ref chip = chip_of(self);
    Ref cp;
    Ref logical_ports;
    if (host::getattr(chip.get(), HN("dport_capable")).get() == Py_True) {
      Ref table = host::call_method(if_nums.get(), HN("get"), unit.get());
      if (!host::truth(table.get())) {
        table = host::new_dict();
        host::check_rc(PyObject_SetItem(if_nums.get(), unit.get(), table.get()));
      }
      Ref if_type = host::call_method(hw_port, HN("hw_intf_prefix"), mode, zero.get());
      Ref if_port_base = host::call_method(table.get(), HN("get"), if_type.get(), one.get());
      cp = host::call(global(HN("BCMConfiguredDportPort")).get(), mode, hw_port, port_base.get(), if_port_base.get(),
                      mac_index.get(), w.loopback.get());
      logical_ports = host::getattr(cp.get(), HN("num_logical_ports"));
      Ref next = host::check(PyNumber_Add(if_port_base.get(), logical_ports.get()));
      host::check_rc(PyObject_SetItem(table.get(), if_type.get(), next.get()));
    } else {
      PyObject* cls_name = host::getattr(chip.get(), HN("portmap_capable")).get() == Py_True
                               ? HN("SDKConfiguredMappedPort")
                               : HN("SDKConfiguredPort");
      cp = host::call(global(cls_name).get(), mode, hw_port, port_base.get(), mac_index.get(), w.loopback.get());
    }
    host::append(ports.get(), cp.get());
    // A direct-port chip needed the count above; otherwise it is read only
    // once the port is in `ports`, so a count that fails leaves it there.
    if (!logical_ports) logical_ports = host::getattr(cp.get(), HN("num_logical_ports"));
    Ref next = host::check(PyNumber_Add(port_base.get(), logical_ports.get()));
    host::check_rc(PyObject_SetItem(mapped_portnums.get(), unit.get(), next.get()));
    Ref contrib = host::call_method(hw_port, HN("mac_addrs_contrib_total"), config_map.get());
    mac_index = host::check(PyNumber_InPlaceAdd(mac_index.get(), contrib.get()));
  }
  return mac_index;
}

Ref calculate_units(PyObject* self, const host::Args&) {
  Ref units = host::check(PySet_New(nullptr));
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* cp) {
    Ref unit = host::getattr(cp, HN("unit"));
    if (unit.get() != Py_None) host::check_rc(PySet_Add(units.get(), unit.get()));
  });
  host::setattr(self, HN("units"), units.get());
  return host::none();
}

Ref port_units(PyObject* self) {
  Ref mapped_portnums = host::getattr(self, HN("mapped_portnums"));
  return host::check(PySequence_List(mapped_portnums.get()));
}

// Gangs are formed in hardware order: ports sorted (stably) by the number of
// their first hardware interface. A gang is the run of ganged ports that
// reaches the gang size; its leader receives the frozen set of the run.
Ref calculate_gangs(PyObject* self, const host::Args& a) {
  // (key, position, port): the position keeps the sort stable and never lets
  // it compare two ports.
  Ref keyed = host::new_list();
  Py_ssize_t position = 0;
  host::for_each(a[0], [&](PyObject* port) {
    Ref physical = host::getattr(port, HN("physical_port"));
    Ref hw_ports = host::getattr(physical.get(), HN("hw_ports"));
    Ref first = subscript(hw_ports.get(), 0);
    Ref digits = host::slice(first.get(), 2, host::kOpen);
    Ref key = host::to_int(digits.get());
    Ref index = host::check(PyInt_FromSsize_t(position++));
    host::append(keyed.get(), host::tuple(key.get(), index.get(), port).get());
  });
  host::check_rc(PyList_Sort(keyed.get()));

  Ref leader;  // none seen since the last gang completed
  Ref members = host::new_list();
  Ref seen = host::check(PySet_New(nullptr));  // ids: membership is identity
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(keyed.get()); ++i) {
    Ref entry = Ref::borrow(PyList_GET_ITEM(keyed.get(), i));
    PyObject* port = PyTuple_GET_ITEM(entry.get(), 2);
    if (host::getattr(port, HN("ganged")).get() != Py_True) continue;
    if (host::getattr(port, HN("gang_leader")).get() == Py_True) leader = Ref::borrow(port);
    Ref id = host::check(PyLong_FromVoidPtr(port));
    if (host::check_rc(PySet_Contains(seen.get(), id.get()))) {
      Ref platform = host::getattr(self, HN("platform"));
      Ref name = host::getattr(platform.get(), HN("name"));
      Ref label = host::getattr(port, HN("label"));
      Ref message = host::format(HN("platform: %s: Duplicate port %s already in ganged set"),
                                 host::tuple(name.get(), label.get()).get());
      host::raise_value(PyExc_RuntimeError, message.get());
    }
    host::check_rc(PySet_Add(seen.get(), id.get()));
    host::append(members.get(), port);
    Ref size = host::getattr(port, HN("max_gang_size"));
    Ref count = host::check(PyInt_FromSsize_t(PyList_GET_SIZE(members.get())));
    if (!host::equal(count.get(), size.get())) continue;
    // A complete gang without a leader has no one to hold it: it is dropped.
    if (leader) {
      Ref gang = host::check(PyFrozenSet_New(members.get()));
      host::setattr(leader.get(), HN("ganged_ports"), gang.get());
    }
    leader = Ref();
    members = host::new_list();
    seen = host::check(PySet_New(nullptr));
  }
  return host::none();
}

constexpr host::Member kMembers[] = {
    host::method("config", "config", config,
                 "Parse ports.conf text and calculate the configured ports, LED programs, units and gangs."),
    host::method("_calculate_configuration", "", calculate_configuration,
                 "Build the configured ports; return the number of MAC addresses they need."),
    host::method("_calculate_gangs", "ports", calculate_gangs, "Calculate port gang configurations"),
    host::method("_calculate_units", "", calculate_units, "Collect the units of the configured ports."),
    host::property("port_units", port_units, "The units that received configured ports."),
};

}  // namespace

void add_calculate_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
