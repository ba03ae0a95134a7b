// Members declared once: a class's methods, class methods and read-only
// properties are one table of entries, each naming the member, its parameter
// list and the C++ function that does the work.
//
//   Ref hw_intf(PyObject* self, const host::Args& a);   // a[0] mode, a[1] sub
//   constexpr host::Member kPortMembers[] = {
//       host::method("hw_intf", "mode, sub", hw_intf),
//       host::method("logical_port_num", "mode, sub, port_base=None", logical_port_num),
//       host::classmethod("speed", "mode", speed),
//       host::property("num_phys", num_phys),
//   };
//   host::add_members<kPortMembers>(cls);
//
// The parameter list is written as Python writes it: names, then defaults
// (None, True, False, integers, 'text', ()), then "*args" and "**kwargs".
// It is read once, when the members are attached; a malformed list fails the
// import. At a call the entry point parses the arguments with the member's own
// name and hands the function references that stay valid for the whole call:
// keyword values are taken over, because the interpreter lends a C function
// the caller's keyword dict and a Python override that runs meanwhile may
// clear it; positional ones stay in the call's argument tuple, which does not
// change and which the caller holds until the call returns.
#pragma once

#include "host/host.hpp"

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace host {

// Most parameters any member takes (the port constructors take 19).
constexpr std::size_t kMaxParams = 24;

struct Signature;

// One call's arguments in parameter order. An omitted optional parameter holds
// its default; "*args" holds a tuple, "**kwargs" a dict. Every pointer stays
// valid for the whole call: positional arguments are held by the call's
// argument tuple (the caller keeps it until the call returns, and a tuple does
// not change); keyword values are taken over here, since the caller's dict may
// be emptied meanwhile; defaults belong to the member; the "*args" tuple and
// "**kwargs" dict are made here. What this holds is released when the call ends.
class Args {
 public:
  Args() = default;
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  ~Args() {
    for (std::uint32_t m = owned_; m; m &= m - 1) Py_DECREF(v_[__builtin_ctz(m)]);
  }

  PyObject* operator[](std::size_t i) const { return at_[i]; }
  std::size_t size() const { return n_; }
  // The interned name of parameter i (not for "*args" and "**kwargs"), for
  // constructors that store each argument under its own name.
  PyObject* name(std::size_t i) const;

 private:
  friend struct Signature;
  // Slots are filled in any order (keywords come in the dict's order), so
  // nothing is cleared up front: a bit per slot says which hold a reference
  // of their own.
  void own(std::size_t i, PyObject* o) {
    v_[i] = o;
    owned_ |= 1u << i;
  }
  PyObject* v_[kMaxParams];
  // The arguments: v_, or the call's own tuple when it holds every one of
  // them in order (nothing is copied then).
  PyObject* const* at_ = v_;
  std::uint32_t owned_ = 0;
  std::size_t n_ = 0;
  const Signature* sig_ = nullptr;
};
static_assert(kMaxParams <= 32, "one bit per argument slot");

// A parameter list, parsed from its text once.
struct Signature {
  const char* fname = nullptr;
  std::vector<PyObject*> names;  // interned, owned for the process's life
  std::vector<Ref> defaults;     // one per parameter; empty for required ones
  std::size_t required = 0;
  bool varargs = false;
  bool varkw = false;
  // Argument errors count the object, as a function written in Python counts
  // its `self` ("__init__() takes at least 8 arguments (3 given)").
  bool counts_object = false;

  void compile(const char* fname, const char* params);
  // Fill `out` from a call's positional tuple (may be NULL) and keyword dict.
  // `skip` leading positional items are not arguments (the object of a classic method).
  void bind(PyObject* args, Py_ssize_t skip, PyObject* kwargs, Args& out) const {
    out.sig_ = this;
    // The common call: every parameter by position and nothing else.
    if (plain && args && PyTuple_GET_SIZE(args) - skip == static_cast<Py_ssize_t>(names.size()) &&
        (!kwargs || (PyDict_Check(kwargs) && reinterpret_cast<PyDictObject*>(kwargs)->ma_used == 0))) {
      out.at_ = &PyTuple_GET_ITEM(args, skip);
      out.n_ = names.size();
      return;
    }
    bind_general(args, skip, kwargs, out);
  }

 private:
  bool plain = false;  // no "*args", no "**kwargs"
  void bind_general(PyObject* args, Py_ssize_t skip, PyObject* kwargs, Args& out) const;
};

inline PyObject* Args::name(std::size_t i) const { return sig_->names[i]; }

using MethodFn = Ref (*)(PyObject* self, const Args& a);
using GetterFn = Ref (*)(PyObject* self);

enum class Kind { kMethod, kClassMethod, kProperty };

struct Member {
  const char* name;
  Kind kind;
  const char* params;  // methods only
  MethodFn fn;
  GetterFn get;
  const char* doc;
  bool counts_object = false;
};

constexpr Member method(const char* name, const char* params, MethodFn fn, const char* doc = nullptr) {
  return Member{name, Kind::kMethod, params, fn, nullptr, doc};
}
// A method that outside code calls as it would one written in Python (the
// port constructors): argument errors count the object.
constexpr Member pymethod(const char* name, const char* params, MethodFn fn, const char* doc = nullptr) {
  return Member{name, Kind::kMethod, params, fn, nullptr, doc, true};
}
constexpr Member classmethod(const char* name, const char* params, MethodFn fn, const char* doc = nullptr) {
  return Member{name, Kind::kClassMethod, params, fn, nullptr, doc};
}
constexpr Member property(const char* name, GetterFn get, const char* doc = nullptr) {
  return Member{name, Kind::kProperty, nullptr, nullptr, get, doc};
}

namespace detail {

template <const auto& Table>
Signature* signatures() {
  constexpr std::size_t n = std::extent<std::remove_reference_t<decltype(Table)>>::value;
  static Signature sigs[n];
  return sigs;
}

// New-style classes: a method descriptor hands over the object as `self`.
template <const auto& Table, std::size_t I>
PyObject* method_entry(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return guard([&] {
    Args a;
    signatures<Table>()[I].bind(args, 0, kwargs, a);
    return Table[I].fn(self, a);
  });
}

// Classic classes hold plain functions wrapped in unbound methods: the object
// arrives as the first positional argument, and a direct call of the function
// may bring none.
template <const auto& Table, std::size_t I>
PyObject* classic_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  return guard([&] {
    PyObject* self = object_argument(Table[I].name, args);
    Args a;
    signatures<Table>()[I].bind(args, 1, kwargs, a);
    return Table[I].fn(self, a);
  });
}

template <const auto& Table, std::size_t I>
PyObject* getter_entry(PyObject* self, void*) noexcept {
  return guard([&] { return Table[I].get(self); });
}

template <const auto& Table, std::size_t I>
PyObject* classic_getter_entry(PyObject*, PyObject* self) noexcept {
  return guard([&] { return Table[I].get(self); });
}

template <const auto& Table, std::size_t I>
void add_one(PyObject* cls) {
  const Member& m = Table[I];
  if (m.kind == Kind::kProperty) {
    add_property_def(cls, m.name, &classic_getter_entry<Table, I>, &getter_entry<Table, I>, m.doc);
    return;
  }
  signatures<Table>()[I].compile(m.name, m.params);
  signatures<Table>()[I].counts_object = m.counts_object;
  auto classic = reinterpret_cast<PyCFunction>(&classic_entry<Table, I>);
  auto modern = reinterpret_cast<PyCFunction>(&method_entry<Table, I>);
  if (m.kind == Kind::kMethod) {
    add_method_def(cls, m.name, classic, modern, m.doc);
  } else {
    add_classmethod_def(cls, m.name, classic, modern, m.doc);
  }
}

template <const auto& Table, std::size_t... I>
void add_all(PyObject* cls, std::index_sequence<I...>) {
  (add_one<Table, I>(cls), ...);
}

}  // namespace detail

// Attach every member of a static table to a class, in table order. The
// mechanism follows the class's kind (see add_method_def).
template <const auto& Table>
void add_members(PyObject* cls) {
  constexpr std::size_t n = std::extent<std::remove_reference_t<decltype(Table)>>::value;
  detail::add_all<Table>(cls, std::make_index_sequence<n>());
}

// Attach only entry I of a table (for rows that share one table of
// constructors but each class takes one of them).
template <const auto& Table, std::size_t I>
void add_member(PyObject* cls) {
  detail::add_one<Table, I>(cls);
}

}  // namespace host
