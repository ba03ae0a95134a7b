// The serdes drive settings, the port initialisation (autonegotiation, fixed
// speed and duplex, serdes interface type) and the fiber preference.
#include <cmath>

#include "lanquist/sdk/lines.hpp"

namespace lanquist {
namespace sdk {
namespace {

struct DriveSetting {
  PyObject* field;
  PyObject* line;       // (index, unit, value)
  PyObject* lane_line;  // (lane, index, unit, value)
};

// Only pre-emphasis keeps four digits on the per-lane lines.
const DriveSetting (&drive_settings())[3] {
  static const DriveSetting settings[3] = {
      {HN("pre_emphasis"), HN("serdes_preemphasis_%u.%u=0x%04x"), HN("serdes_preemphasis_lane%1d_%u.%u=0x%04x")},
      {HN("drv_current"), HN("serdes_driver_current_%u.%u=0x%04x"), HN("serdes_driver_current_lane%1d_%u.%u=0x%x")},
      {HN("pre_drv_current"), HN("serdes_pre_driver_current_%u.%u=0x%04x"),
       HN("serdes_pre_driver_current_lane%1d_%u.%u=0x%x")},
  };
  return settings;
}

// Settings are numbered per unit: a sub-port's index is its 1-based position
// among the sub-ports of its unit, whether or not it has any setting. A port
// in "40G" takes its settings lane by lane.
Ref port_emphasis(PyObject* self) {
  Lines lines;
  Ref next_index = host::new_dict();
  Ref one = host::integer(1);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref unit = host::getattr(port, HN("unit"));
      PyObject* found = PyDict_GetItem(next_index.get(), unit.get());  // borrowed
      Ref index = found ? Ref::borrow(found) : one;
      Ref mode = host::getattr(port, HN("mode"));
      bool per_lane = host::equal(mode.get(), HN("40G"));
      for (const DriveSetting& s : drive_settings()) {
        Ref values = host::getattr(port, s.field);
        if (is_none(values)) continue;
        if (!per_lane) {
          Ref value = host::item(values.get(), sub);
          lines.add(s.line, index.get(), unit.get(), value.get());
          continue;
        }
        for (long lane = 0; lane < 4; ++lane) {
          Ref at = host::integer(lane);
          Ref value = host::item(values.get(), at.get());
          lines.add(s.lane_line, at.get(), index.get(), unit.get(), value.get());
        }
      }
      Ref next = host::check(PyNumber_Add(index.get(), one.get()));
      host::check_rc(PyDict_SetItem(next_index.get(), unit.get(), next.get()));
    });
  });
  return lines.text();
}

// The fixed speed in Mb/s: "%s000" of the speed in Gb/s, and whole Mb/s for
// a fractional speed (2.5 gives 2500).
Ref speed_line(PyObject* intf, PyObject* speed) {
  if (!PyFloat_Check(speed)) return fmt(HN("port_init_speed_%s=%s000"), intf, speed);
  Ref mbps = host::check(PyFloat_FromDouble(std::round(PyFloat_AS_DOUBLE(speed) * 1000.0)));
  return fmt(HN("port_init_speed_%s=%d"), intf, mbps.get());
}

Ref port_init(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref intf = host::call_method(port, HN("sdk_config_intf"), sub, units.get());
      Ref autoneg = host::getattr(port, HN("enable_auto_neg"));
      lines.add(HN("port_init_autoneg_%s=%u"), intf.get(), autoneg.get());
      if (!host::truth(autoneg.get())) {
        // Port-mapped chips take the speed from the port map.
        if (host::getattr(chip_of(self).get(), HN("portmap_capable")).get() != Py_True) {
          Ref speed = host::getattr(port, HN("speed"));
          lines.add(speed_line(intf.get(), speed.get()));
        }
        lines.add(HN("port_init_duplex_%s=1"), intf.get());
      }
      Ref type = host::getattr(port, HN("serdes_if_type"));
      if (!is_none(type)) {
        // The class's own table, whatever the object holds.
        Ref table = host::getattr(global(HN("SDKConfig")).get(), HN("serdes_if_type_map"));
        Ref code = host::item(table.get(), type.get());
        lines.add(HN("serdes_if_type_%s=%u # %s"), intf.get(), code.get(), type.get());
      }
    });
  });
  return lines.text();
}

Ref fiber_pref(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      if (!host::truth(host::getattr(port, HN("set_fiber_pref")).get())) return;
      Ref intf = host::call_method(port, HN("sdk_config_intf"), sub, units.get());
      lines.add(HN("serdes_fiber_pref_%s=1"), intf.get());
    });
  });
  return lines.text();
}

constexpr host::Member kMembers[] = {
    host::property("port_emphasis", port_emphasis, "Serdes pre-emphasis and driver currents of each port."),
    host::property("port_init", port_init, "Autonegotiation, fixed speed and duplex, and serdes interface types."),
    host::property("fiber_pref", fiber_pref, "The ports whose serdes prefer the fiber medium."),
};

}  // namespace

void add_port_init_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
