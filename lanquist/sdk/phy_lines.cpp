// The PHY lines: PHY types and addresses per logical port, clause-37 and
// clause-73 autonegotiation per logical port, and three per-port PHY values.
#include "lanquist/sdk/lines.hpp"

namespace lanquist {
namespace sdk {
namespace {

// A PHY whose type is detected at start-up gets its address but no type line.
Ref phys(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref type = host::call_method(port, HN("phy_type"), sub);
      if (is_none(type)) return;
      if (host::truth(host::call_method(port, HN("phy_autodetect"), sub).get())) return;
      Ref key = host::call_method(port, HN("sdk_config_intf"), sub, units.get());
      lines.add(HN("phy_%s_%s=1"), type.get(), key.get());
    });
  });
  return lines.text();
}

Ref phy_addrs(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      if (is_none(host::call_method(port, HN("phy_type"), sub))) return;
      Ref key = host::call_method(port, HN("sdk_config_intf"), sub, units.get());
      Ref addr = host::call_method(port, HN("phy_addr"), sub);
      lines.add(HN("port_phy_addr_%s=0x%x"), key.get(), addr.get());
    });
  });
  return lines.text();
}

// The SDK's number for an autonegotiation setting, or NULL for a setting it
// has no number for (None included).
PyObject* an_value(PyObject* setting) {
  static PyObject* const table = [] {
    Ref t = host::new_dict();
    const std::pair<const char*, long> rows[] = {{"off", 0}, {"bam", 1}, {"on", 2}, {"auto", 3}};
    for (const auto& row : rows) host::check_rc(PyDict_SetItemString(t.get(), row.first, host::integer(row.second).get()));
    return t.release();
  }();
  // dict.get(): a setting that cannot be a key (unhashable) fails as the host's lookup does.
  Ref value = host::call_method(table, HN("get"), setting);
  return is_none(value) ? nullptr : value.get();  // the table keeps its values alive
}

Ref phy_an(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  for_each_port(self, [&](PyObject* port) {
    PyObject* c37 = an_value(host::getattr(port, HN("an_c37")).get());
    PyObject* c73 = an_value(host::getattr(port, HN("an_c73")).get());
    for_each_sub(port, [&](PyObject* sub) {
      Ref key = host::call_method(port, HN("sdk_config_intf"), sub, units.get());
      if (c37) lines.add(HN("phy_an_c37_%s=%d"), key.get(), c37);
      if (c73) lines.add(HN("phy_an_c73_%s=%d"), key.get(), c73);
    });
  });
  return lines.text();
}

// The three per-port values are keyed by the port's first logical port, also
// on a port that has none (a gang member that does not lead its gang).
Ref prim_offsets(PyObject* self) {
  Lines lines;
  UnitCount units(self);
  Ref zero = host::integer(0);
  for_each_port(self, [&](PyObject* port) {
    Ref value = host::getattr(port, HN("prim_offset"));
    if (is_none(value)) return;
    Ref key = host::call_method(port, HN("sdk_config_intf"), zero.get(), units.get());
    lines.add(HN("phy_port_primary_and_offset_%s=0x%x"), key.get(), value.get());
  });
  return lines.text();
}

Ref phy_id1s(PyObject* self) {
  Lines lines;
  Ref zero = host::integer(0);
  for_each_port(self, [&](PyObject* port) {
    Ref value = host::getattr(port, HN("phy_id1"));
    if (is_none(value)) return;
    Ref logical = host::call_method(port, HN("sdk_logical_port_num"), zero.get());
    lines.add(HN("port_phy_id1_%d=0x%x"), logical.get(), value.get());
  });
  return lines.text();
}

// Keyed with the unit whatever the number of units.
Ref sys_interfaces(PyObject* self) {
  Lines lines;
  Ref zero = host::integer(0);
  for_each_port(self, [&](PyObject* port) {
    Ref value = host::getattr(port, HN("sys_interface"));
    if (is_none(value)) return;
    Ref key = host::call_method(port, HN("sdk_config_intf"), zero.get());
    lines.add(HN("phy_sys_interface_%s=0x%x"), key.get(), value.get());
  });
  return lines.text();
}

constexpr host::Member kMembers[] = {
    host::property("phys", phys, "The PHY type of each logical port whose PHY is not detected."),
    host::property("phy_addrs", phy_addrs, "The PHY address of each logical port with a PHY."),
    host::property("phy_an", phy_an, "Clause-37 and clause-73 autonegotiation of each logical port."),
    host::property("prim_offsets", prim_offsets, "The PHY primary-and-offset value of each port."),
    host::property("phy_id1s", phy_id1s, "The second part of the PHY identifier of each port."),
    host::property("sys_interfaces", sys_interfaces, "The PHY system-side interface of each port."),
};

}  // namespace

void add_phy_line_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
