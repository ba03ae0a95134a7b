// Three small start-up texts of the configured ports: the PHY register script,
// the ethernet table (MAC index of every Linux interface) and the SFP table.
#include "lanquist/sdk/walk.hpp"

namespace lanquist {
namespace sdk {
namespace {

// Every written PHY gets the whole register table, in the order the table
// gives its registers; a PHY beyond the logical ports gets none.
Ref rcphy(PyObject* self) {
  Ref lines = host::new_list();
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* port) {
    Ref num_phys = host::getattr(port, HN("num_phys"));
    for_range(num_phys.get(), [&](PyObject* p) {
      Ref addr = host::call_method(port, HN("phy_addr"), p);
      Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
      if (!greater(logical_ports.get(), p)) return;
      Ref registers = host::getattr(port, HN("phy_init"));
      host::for_each(registers.get(), [&](PyObject* reg) {
        Ref value = host::item(registers.get(), reg);
        Ref line = fmt(HN("phy raw c45 %s %s %s"), addr.get(), reg, value.get());
        host::append(lines.get(), line.get());
      });
    });
  });
  return join_lines(lines.get());
}

Ref ethertab(PyObject* self) {
  Ref lines = host::new_list();
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* port) {
    Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
    for_range(logical_ports.get(), [&](PyObject* sub) {
      Ref name = host::call_method(port, HN("linux_port_name"), sub);
      Ref first = host::getattr(port, HN("mac_index"));
      Ref index = host::check(PyNumber_Add(first.get(), sub));
      Ref line = fmt(HN("%s\t%s"), name.get(), index.get());
      host::append(lines.get(), line.get());
    });
  });
  return join_lines(lines.get());
}

// The address is written in hexadecimal only when the access method names
// "sdk" after its first character.
Ref sfp_address(PyObject* sfp) {
  Ref method = host::getattr(sfp, HN("accessmethod"));
  Ref at = host::call_method(method.get(), HN("find"), HN("sdk"));
  Ref zero = host::integer(0);
  Ref address = host::getattr(sfp, HN("address"));
  return fmt(greater(at.get(), zero.get()) ? HN("0x%x") : HN("%s"), address.get());
}

Ref sfptab(PyObject* self) {
  Ref lines = host::new_list();
  Ref one = host::integer(1);
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* port) {
    Ref physical = host::getattr(port, HN("physical_port"));
    Ref sfp = host::getattr(physical.get(), HN("sfp"));
    if (!host::truth(sfp.get())) return;
    Ref address = sfp_address(sfp.get());
    auto line = [&](PyObject* sub) {
      Ref name = host::call_method(port, HN("linux_port_name"), sub);
      Ref type = host::getattr(sfp.get(), HN("type"));
      Ref method = host::getattr(sfp.get(), HN("accessmethod"));
      Ref text = fmt(HN("%s\t%s\t%s\t%s"), name.get(), type.get(), method.get(), address.get());
      host::append(lines.get(), text.get());
    };
    // Every sub-port of a broken-out port repeats the SFP; any other port,
    // even one without a logical port, gets one line.
    Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
    if (greater(logical_ports.get(), one.get())) {
      for_range(logical_ports.get(), line);
    } else {
      Ref zero = host::integer(0);
      line(zero.get());
    }
  });
  return join_lines(lines.get());
}

constexpr host::Member kMembers[] = {
    host::property("rcphy", rcphy, "The PHY script: the initialisation registers of every PHY."),
    host::property("ethertab", ethertab, "The ethernet table: the MAC index of every Linux interface."),
    host::property("sfptab", sfptab, "The SFP table: type, access method and address behind every interface."),
};

}  // namespace

void add_table_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
