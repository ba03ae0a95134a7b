#include "brontile/brontile.hpp"

namespace brontile {
namespace {
PyObject* g_module = nullptr;

void body(PyObject* m) {
  g_module = m;
  Py_INCREF(g_module);
  host::bind(m, "os", host::import("os"));
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
  // Imported last: a platform package that imports brontile while it loads
  // then finds every class already bound.
  host::bind(m, "zarnith", host::import_top("zarnith.platforms"));
}
}  // namespace

PyObject* module() { return g_module; }

}  // namespace brontile

HOST_MODINIT(brontile) { host::init_module(brontile::kModule, &brontile::body); }
