// Module body: the imports, in order, then the class statements.
#include "lanquist/lanquist.hpp"

namespace lanquist {
using host::Ref;

namespace {
using host::bind;
PyObject* g_module = nullptr;

Ref classic(const char* name, const char* doc, PyObject* base = nullptr) {
  host::ClassBuilder b(kModule, name, doc, /*classic=*/true);
  if (base) b.base(base);
  return b.make();
}

void body(PyObject* m) {
  g_module = m;
  Py_INCREF(g_module);

  bind(m, "configparser", configparser_module());
  bind(m, "StringIO", host::import("StringIO"));
  bind(m, "sys", host::import("sys"));
  bind(m, "subprocess", host::import("subprocess"));
  bind(m, "syslog", host::import("syslog"));
  bind(m, "groupby", host::getattr(host::import("itertools").get(), HN("groupby")));
  bind(m, "os", host::import("os"));
  bind(m, "shutil", host::import("shutil"));
  bind(m, "sfp", host::import("sfp"));
  bind(m, "json", host::import("json"));
  bind(m, "zarnith", host::import_top("zarnith.vettaro"));
  bind(m, "UnsupportedPlatformError",
       host::getattr(host::import("zarnith.errors").get(), HN("UnsupportedPlatformError")));

  Ref idwarden = classic("Idwarden", "Runs the EEPROM decoder idwarden; has a dummy mode for testing.");
  Ref iproute2 = classic("IPRoute2", "Runs the ip program; has a dummy mode for testing.");
  Ref drovik = classic("Drovik", "Runs the switch-port program drovik; has a dummy mode for testing.");
  add_runner_members(idwarden.get(), iproute2.get(), drovik.get());
  bind(m, "Idwarden", idwarden);
  bind(m, "IPRoute2", iproute2);
  bind(m, "Drovik", drovik);

  Ref config = classic("Config",
                       "Understands the ports.conf format, computes MAC addresses and manages "
                       "Linux interfaces; has a dummy mode for testing.");
  add_config_members(config.get());
  bind(m, "Config", config);

  Ref configured_port = classic("ConfiguredPort", "Base of the configured ports.");
  host::setattr(configured_port.get(), HN("portmap_capable"), Py_None);
  add_configured_port_members(configured_port.get());
  bind(m, "ConfiguredPort", configured_port);

  define_sdk_configured_ports(m);

  define_sdk_config(m);
}
}  // namespace

PyObject* module() { return g_module; }

}  // namespace lanquist

HOST_MODINIT(lanquist) { host::init_module(lanquist::kModule, &lanquist::body); }
