// Module body: the imports, in order, then the class statements in definition
// order (each define_* makes its classes and binds them in the module).
#include "lanquist/lanquist.hpp"

namespace lanquist {

namespace {
using host::bind;
PyObject* g_module = nullptr;

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

  define_runners(m);
  define_config(m);
  define_configured_ports(m);
  define_sdk_configured_ports(m);
  define_sdk_config(m);
}
}  // namespace

PyObject* module() { return g_module; }

}  // namespace lanquist

HOST_MODINIT(lanquist) { host::init_module(lanquist::kModule, &lanquist::body); }
