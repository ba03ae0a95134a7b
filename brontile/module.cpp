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
  // Every class comes after the classes it names: its base, and for a chip the
  // port classes of its channel-type map.
  define_maverick_port_bases(m);
  define_qumran_port_bases(m);
  define_tomahawk_port_bases(m);
  define_tridentthree_port_bases(m);
  define_tridenttwo_port_bases(m);
  define_trident_port_bases(m);
  define_helix4_port_bases(m);
  define_hurricane2_port_bases(m);

  define_helix4_port_types(m);
  define_hurricane2_port_types(m);
  define_trident_port_types(m);
  define_tridenttwo_port_types(m);
  define_tridentthree_port_types(m);
  define_tomahawk_port_types(m);
  define_maverick_port_types(m);
  define_qumran_port_types(m);

  define_chips(m);
  define_trident_chips(m);
  define_tridenttwo_chips(m);
  define_tridentthree_chips(m);
  define_qumran_chips(m);
  define_tomahawk_chips(m);
  define_maverick_chips(m);
  define_helix4_chips(m);
  define_hurricane2_chips(m);
  define_offered_chips(m);

  // Constructors of the port classes.
  define_trident_constructors(m);
  define_tridenttwo_constructors(m);
  define_tridentthree_constructors(m);
  define_qumran_constructors(m);
  define_tomahawk_constructors(m);
  define_maverick_constructors(m);
  define_helix4_constructors(m);
  define_hurricane2_constructors(m);

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
