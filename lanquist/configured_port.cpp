// ConfiguredPort: what every configured port carries (mode, first MAC index,
// loopback flag), the hooks each concrete port type must supply, and what a
// Linux interface name is built from: its prefix and its (gang) label. Also the
// class statements of the five configured-port types below it.
#include "lanquist/lanquist.hpp"

#include "host/data.hpp"
#include "host/members.hpp"

namespace lanquist {
using host::Ref;

namespace {

Ref init(PyObject* self, const host::Args& a) {
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
  Ref v = host::to_int(label.get());
  v = host::check(PyNumber_Subtract(v.get(), one.get()));
  v = host::check(PyNumber_FloorDivide(v.get(), four.get()));
  v = host::check(PyNumber_Multiply(v.get(), four.get()));
  v = host::check(PyNumber_Add(v.get(), one.get()));
  return host::str(v.get());
}

constexpr host::Member kConfiguredPortMembers[] = {
    host::method("__init__", "mode, mac_index, loopback", init),
    host::property("label", not_implemented),
    host::property("speed", not_implemented),
    host::property("num_logical_ports", not_implemented),
    host::property("max_logical_ports", not_implemented),
    host::property("leds", not_implemented),
    host::property("linux_prefix", linux_prefix),
    host::property("gang_label", gang_label),
    host::property("serdes_if_type", not_implemented),
    host::property("an_c37", nothing),
    host::property("an_c73", nothing),
};

}  // namespace

void define_configured_ports(PyObject* m) {
  using namespace host::data;
  Ref configured_port = define_class(
      m, {"ConfiguredPort", {}, "Base of the configured ports.", {{"portmap_capable", None}}}, /*classic=*/true);
  host::add_members<kConfiguredPortMembers>(configured_port.get());
}

}  // namespace lanquist
