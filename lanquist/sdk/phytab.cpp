// The PHY table: every external PHY of every configured port with the Linux
// and SDK interfaces it serves and the port's mode. The caller stores the text;
// the next port-table rendering reads it back to learn each interface's
// previous mode, so the format and its reader live here together.
#include <cerrno>

#include "lanquist/sdk/walk.hpp"

namespace lanquist {
namespace sdk {
namespace {

constexpr const char* kPhytabFile = "/var/lib/zarnith/phytab";

// A PHY beyond the port's logical ports serves the last interface named, which
// may be an earlier port's; before any, the names print as None.
Ref phytab(PyObject* self) {
  Ref lines = host::new_list();
  Ref linux_name = host::none(), sdk_name = host::none();
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* port) {
    Ref num_phys = host::getattr(port, HN("num_phys"));
    for_range(num_phys.get(), [&](PyObject* p) {
      Ref addr = host::call_method(port, HN("phy_addr"), p);
      Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
      if (greater(logical_ports.get(), p)) {
        sdk_name = host::call_method(port, HN("sdk_intf"), p);
        linux_name = host::call_method(port, HN("linux_port_name"), p);
      }
      Ref mode = host::getattr(port, HN("mode"));
      Ref line = fmt(HN("0x%x\t%s\t%s\t%s"), addr.get(), linux_name.get(), sdk_name.get(), mode.get());
      host::append(lines.get(), line.get());
    });
  });
  return join_lines(lines.get());
}

// The file is absent on a first start (and in dummy mode on a fresh machine):
// that is an empty table, not a failure. Every other error stands.
bool file_missing() { return host::pending_errno() == ENOENT; }

// A line too short to read: an IndexError still, that says where.
[[noreturn]] void short_line(long number, Py_ssize_t count, PyObject* text) {
  Ref n = host::integer(number), c = host::check(PyInt_FromSsize_t(count));
  Ref quoted = host::excerpt(text, 'r');
  Ref message = fmt(HN("%s, line %d: %d tab-separated fields, not the four of a PHY table line: %s"),
                    HN(kPhytabFile), n.get(), c.get(), quoted.get());
  host::raise_value(global(HN("PhyTableError")).get(), message.get());
}

constexpr host::Member kMembers[] = {
    host::property("phytab", phytab, "The PHY table: address, Linux and SDK interface and mode of every PHY."),
};

}  // namespace

Ref previous_modes() {
  Ref table = host::new_dict();
  Ref file;
  try {
    file = host::call(global(HN("open")).get(), HN(kPhytabFile), HN("r"));
  } catch (const host::Error&) {
    if (!file_missing()) throw;
    PyErr_Clear();
    return table;
  }
  long number = 0;
  host::closing(file.get(), [&] {
    host::for_each(file.get(), [&](PyObject* line) {
      ++number;
      Ref text = host::call_method(line, HN("strip"));
      if (!host::truth(text.get())) return;
      if (host::truth(host::call_method(text.get(), HN("startswith"), HN("#")).get())) return;
      // Only tabs separate fields: a blank belongs to its field.
      Ref fields = host::call_method(text.get(), HN("split"), HN("\t"));
      Py_ssize_t count = host::length(fields.get());
      if (count < 4) short_line(number, count, text.get());
      Ref mode = host::item(fields.get(), Py_ssize_t{3});
      Ref name = host::item(fields.get(), Py_ssize_t{1});
      host::check_rc(PyObject_SetItem(table.get(), name.get(), mode.get()));
    });
  });
  return table;
}

void add_phytab_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
