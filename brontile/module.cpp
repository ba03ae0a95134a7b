#include "brontile/brontile.hpp"

namespace brontile {
namespace {
PyObject* g_module = nullptr;

void body(PyObject* m) {
  g_module = m;
  Py_INCREF(g_module);
  host::check_rc(PyModule_AddObject(m, "os", host::import("os").release()));
  define_errors(m);
  define_platform(m);
  define_ports(m);
  define_chips(m);
  define_trident(m);
  define_tridenttwo(m);
  define_tridentthree(m);
  define_qumran(m);
  define_tomahawk(m);
  define_maverick(m);
  define_helix4(m);
  define_hurricane2(m);
  // Imported last: a platform package that imports brontile while it loads
  // then finds every class already bound.
  host::check_rc(PyModule_AddObject(m, "zarnith", host::import_top("zarnith.platforms").release()));
}
}  // namespace

PyObject* module() { return g_module; }

}  // namespace brontile

HOST_MODINIT(brontile) { host::init_module(brontile::kModule, &brontile::body); }
