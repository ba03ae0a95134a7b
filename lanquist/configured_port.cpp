// ConfiguredPort: what every configured port carries (mode, first MAC index,
// loopback flag), the hooks each concrete port type must supply, and what a
// Linux interface name is built from: its prefix and its (gang) label.
#include "lanquist/lanquist.hpp"

namespace lanquist {
using host::Ref;

namespace {

Ref init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "mac_index", "loopback"};
  auto a = host::parse("__init__", args, kwargs, names);
  host::setattr(self, HN("mode"), a[0]);
  host::setattr(self, HN("mac_index"), a[1]);
  host::setattr(self, HN("loopback"), a[2]);
  return host::none();
}

// A hook the concrete port type must supply: the bare class, no message.
Ref not_implemented(PyObject*) { host::raise_bare(PyExc_NotImplementedError); }

Ref nothing(PyObject*) { return host::none(); }

Ref linux_prefix(PyObject* self) {
  Ref port = host::getattr(self, HN("physical_port"));
  return host::text(host::truth(host::getattr(port.get(), HN("is_fabric")).get()) ? "fp" : "swp");
}

// The four cages of a "40G/4" gang share one interface name: the label of the
// first cage of each group of four, counting labels from 1.
Ref gang_label(PyObject* self) {
  Ref mode = host::getattr(self, HN("mode"));
  Ref label = host::getattr(self, HN("label"));
  if (!host::equal(mode.get(), host::text("40G/4").get())) return label;
  Ref one = host::integer(1);
  Ref four = host::integer(4);
  Ref v = host::call(reinterpret_cast<PyObject*>(&PyInt_Type), label.get());
  v = host::check(PyNumber_Subtract(v.get(), one.get()));
  v = host::check(PyNumber_FloorDivide(v.get(), four.get()));
  v = host::check(PyNumber_Multiply(v.get(), four.get()));
  v = host::check(PyNumber_Add(v.get(), one.get()));
  return host::str(v.get());
}

}  // namespace

void add_configured_port_members(PyObject* cls) {
  host::add_method<init>(cls, "__init__");
  host::add_property<not_implemented>(cls, "label");
  host::add_property<not_implemented>(cls, "speed");
  host::add_property<not_implemented>(cls, "num_logical_ports");
  host::add_property<not_implemented>(cls, "max_logical_ports");
  host::add_property<not_implemented>(cls, "leds");
  host::add_property<linux_prefix>(cls, "linux_prefix");
  host::add_property<gang_label>(cls, "gang_label");
  host::add_property<not_implemented>(cls, "serdes_if_type");
  host::add_property<nothing>(cls, "an_c37");
  host::add_property<nothing>(cls, "an_c73");
}

}  // namespace lanquist
