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
  // Port bases of every family, then port types of every family.
  define_chips(m);
  define_trident_chips(m);
  define_tridenttwo_chips(m);
  define_tridentthree_chips(m);
  define_qumran_chips(m);
  define_tomahawk_chips(m);
  define_maverick_chips(m);
  define_helix4_chips(m);
  define_hurricane2_chips(m);
  // Overrides: each family's port rules, bound to classes made above.
  define_trident_overrides(m);
  define_tridenttwo_overrides(m);
  define_tridentthree_overrides(m);
  define_qumran_overrides(m);
  define_tomahawk_overrides(m);
  define_maverick_overrides(m);
  define_helix4_overrides(m);
  define_hurricane2_overrides(m);
  // Imported last: a platform package that imports brontile while it loads
  // then finds every class already bound.
  host::check_rc(PyModule_AddObject(m, "zarnith", host::import_top("zarnith.platforms").release()));
}
}  // namespace

PyObject* module() { return g_module; }

}  // namespace brontile

HOST_MODINIT(brontile) { host::init_module(brontile::kModule, &brontile::body); }
