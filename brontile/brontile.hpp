// brontile: the platform model and the chip and port catalogue.
#pragma once

#include "host/data.hpp"
#include "host/host.hpp"
#include "host/members.hpp"

#include <cstddef>
#include <initializer_list>
#include <type_traits>
#include <utility>
#include <vector>

namespace brontile {

constexpr const char* kModule = "brontile";

// The module object, for lookups made at call time (its globals, __file__).
PyObject* module();

// A module global looked up at call time, as Python code naming it would.
inline host::Ref global(PyObject* name) { return host::global(module(), name); }

// Run the constructor of the module's class `base` on `self`. The class is
// found by name at call time, as a Python class statement naming it would.
template <typename... A>
void run_base_init(PyObject* base, PyObject* self, A... args) {
  host::Ref cls = global(base);
  host::Ref init = host::getattr(cls.get(), HN("__init__"));
  host::call(init.get(), self, args...);
}

// Class definitions of the base model, run first at import.
void define_errors(PyObject* m);    // NoSuchPlatform, NoSuchChip, NoSuchMode
void define_platform(PyObject* m);  // Platform, SDKSwitch, BCMSwitch
void define_ports(PyObject* m);     // Port, SDKPort, BCMPort
void define_chips(PyObject* m);     // SDKChip, BCMChip

// The chip families, one file each under families/. Classes are made in
// phases: every family's port bases, then every family's port types, then
// SDKChip and BCMChip and every family's chips; module.cpp lists each phase's
// calls in order. A family file exports one function per phase it has.
void define_maverick_port_bases(PyObject* m);
void define_qumran_port_bases(PyObject* m);
void define_tomahawk_port_bases(PyObject* m);  // with the Two and Three generations
void define_tridentthree_port_bases(PyObject* m);
void define_tridenttwo_port_bases(PyObject* m);  // with Trident2+
void define_trident_port_bases(PyObject* m);
void define_helix4_port_bases(PyObject* m);
void define_hurricane2_port_bases(PyObject* m);

void define_helix4_port_types(PyObject* m);
void define_hurricane2_port_types(PyObject* m);
void define_trident_port_types(PyObject* m);
void define_tridenttwo_port_types(PyObject* m);
void define_tridentthree_port_types(PyObject* m);
void define_tomahawk_port_types(PyObject* m);
void define_maverick_port_types(PyObject* m);
void define_qumran_port_types(PyObject* m);

void define_trident_chips(PyObject* m);       // Trident+, Trident
void define_tridenttwo_chips(PyObject* m);    // Trident2, Trident2+
void define_tridentthree_chips(PyObject* m);  // Trident3 X5, X7
void define_qumran_chips(PyObject* m);
void define_tomahawk_chips(PyObject* m);  // Tomahawk and its generations
void define_maverick_chips(PyObject* m);
void define_helix4_chips(PyObject* m);
void define_hurricane2_chips(PyObject* m);

// The port classes' constructors, attached once every class is made.
void define_trident_constructors(PyObject* m);
void define_tridenttwo_constructors(PyObject* m);
void define_tridentthree_constructors(PyObject* m);
void define_qumran_constructors(PyObject* m);
void define_tomahawk_constructors(PyObject* m);
void define_maverick_constructors(PyObject* m);
void define_helix4_constructors(PyObject* m);
void define_hurricane2_constructors(PyObject* m);

// The tuple `chips` of the chip classes offered to outside callers; made last.
void define_offered_chips(PyObject* m);

// --- port classes made from rows ------------------------------------------------
// One port class: exactly what its own class statement gives.
struct PortRow {
  const char* name;
  const char* base;  // a class bound in the module before this row
  const char* doc;   // nullptr: no docstring
  std::vector<host::data::Attr> attrs = {};
  // Attaches the class's own constructor and operations once it is made
  // (declare it above the rows, define it below them); nullptr: none of its own.
  void (*members)(PyObject* cls) = nullptr;
};

// Make the classes of a row table, in row order, and bind them in the module.
void define_port_table(PyObject* m, const PortRow* rows, std::size_t n);
template <std::size_t N>
void define_port_table(PyObject* m, const PortRow (&rows)[N]) {
  define_port_table(m, rows, N);
}

// A family's bitmap-position table: the names of each run (prefix followed by
// 0 .. count-1), numbered from 1 across the runs in order; position 0 is never
// given. {{"xe", 132}} maps xe0 to 1 ... xe131 to 132.
struct NameRun {
  const char* prefix;
  int count;
};
host::Ref pbmp_positions(std::initializer_list<NameRun> runs);

// Per-family port rules, bound once every class exists ("overrides" phase).
void define_trident_overrides(PyObject* m);
void define_tridenttwo_overrides(PyObject* m);
void define_tridentthree_overrides(PyObject* m);
void define_qumran_overrides(PyObject* m);
void define_tomahawk_overrides(PyObject* m);
void define_maverick_overrides(PyObject* m);
void define_helix4_overrides(PyObject* m);
void define_hurricane2_overrides(PyObject* m);

// --- chip classes made from rows ------------------------------------------------
// One chip class: exactly what its own class statement gives.
struct ChipRow {
  const char* name;
  const char* base;    // a class bound in the module before this row
  const char* suffix;  // what its constructor adds to the first directory; nullptr: no constructor of its own
  const char* doc;     // nullptr: no docstring
  std::vector<host::data::Attr> attrs = {};
};

// The constructor of a row's class: the base's constructor (looked up by name
// at call time, so a rebinding in the module is honoured), then the first entry
// of chip_dir_list plus the suffix goes to the front of the list.
host::Ref chip_row_init(const ChipRow& row, PyObject* self);

namespace detail {
template <const auto& Rows, std::size_t I>
host::Ref chip_init_at(PyObject* self, const host::Args&) {
  return chip_row_init(Rows[I], self);
}

// The interpreter hands a method no context, so each row gets an entry of its own.
template <const auto& Rows, std::size_t... I>
struct ChipInits {
  static constexpr host::Member table[] = {host::method("__init__", "", &chip_init_at<Rows, I>)...};
};

template <const auto& Rows, std::size_t... I>
void define_chip_table(PyObject* m, std::index_sequence<I...>) {
  auto one = [m](const ChipRow& row, auto attach) {
    host::Ref cls = host::data::define_class(m, {row.name, {row.base}, row.doc, row.attrs});
    if (row.suffix) attach(cls.get());
  };
  (one(Rows[I], &host::add_member<ChipInits<Rows, I...>::table, I>), ...);
}
}  // namespace detail

// Make the classes of a static row table, in row order, and bind them in the module.
template <const auto& Rows>
void define_chip_table(PyObject* m) {
  constexpr std::size_t n = std::extent<std::remove_reference_t<decltype(Rows)>>::value;
  detail::define_chip_table<Rows>(m, std::make_index_sequence<n>());
}

}  // namespace brontile
