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
// The parameter list is written as Python writes it after the object: names,
// then defaults (None, True, False, integers, 'text', ()), then "*args" and
// "**kwargs". The compiler reads it: a malformed list fails the build (the
// error names what is wrong, e.g. duplicate_name). At the member's first
// call, only the names are interned and the defaults made. Argument
// errors count the object, named `self` (a class method's class `cls`), as a
// function written in Python does. At a call the entry point parses the
// arguments with the member's own name and hands the function references
// that stay valid for the whole call: keyword values are taken over, because
// the interpreter lends a C function the caller's keyword dict and a Python
// override that runs meanwhile may clear it; positional ones stay in the
// call's argument tuple, which does not change and which the caller holds
// until the call returns.
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

// Parameter lists read by the compiler. Each name and default is kept as its
// place in the list's text; the objects are made at the member's first call.
namespace params {

enum class Fault : std::uint8_t {
  kNone,
  kEmptyParameter,
  kBadName,
  kBadStarArgs,
  kAfterStarArgs,
  kAfterStarStarKwargs,
  kRequiredAfterDefault,
  kDuplicateName,
  kUnsupportedDefault,
  kDefaultOutOfRange,
  kTooMany,
  kTooLong,
};

enum class Default : std::uint8_t { kRequired, kNone, kTrue, kFalse, kEmptyTuple, kInt, kText };

struct Param {
  std::uint16_t name_b = 0, name_e = 0;  // the name: [name_b, name_e) of the text
  Default kind = Default::kRequired;
  long value = 0;                        // Default::kInt
  std::uint16_t text_b = 0, text_e = 0;  // Default::kText, between the quotes
};

struct List {
  Param p[kMaxParams] = {};
  std::size_t count = 0;
  std::size_t required = 0;
  bool varargs = false;
  bool varkw = false;
  Fault fault = Fault::kNone;
};

constexpr bool is_space(char c) { return c == ' ' || c == '\t'; }
constexpr bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t length(const char* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

constexpr bool is_name(const char* t, std::size_t b, std::size_t e) {
  if (b == e || !is_alpha(t[b])) return false;
  for (std::size_t i = b + 1; i < e; ++i) {
    if (!is_alpha(t[i]) && !is_digit(t[i])) return false;
  }
  return true;
}

constexpr bool same_text(const char* a, std::size_t ab, std::size_t ae, const char* b, std::size_t bb, std::size_t be) {
  if (ae - ab != be - bb) return false;
  for (std::size_t i = 0; i < ae - ab; ++i) {
    if (a[ab + i] != b[bb + i]) return false;
  }
  return true;
}

constexpr bool is_word(const char* t, std::size_t b, std::size_t e, const char* word) {
  return same_text(t, b, e, word, 0, length(word));
}

// An integer as Python source writes it: decimal, 0x hex or 0 octal, signed.
constexpr Fault integer(const char* t, std::size_t b, std::size_t e, long& out) {
  bool negative = false;
  if (b < e && (t[b] == '-' || t[b] == '+')) negative = t[b++] == '-';
  unsigned base = 10;
  if (e - b > 2 && t[b] == '0' && (t[b + 1] == 'x' || t[b + 1] == 'X')) {
    base = 16;
    b += 2;
  } else if (e - b > 1 && t[b] == '0') {
    base = 8;
    ++b;
  }
  if (b == e) return Fault::kUnsupportedDefault;
  const unsigned long limit = negative ? 0x8000000000000000ul : 0x7ffffffffffffffful;
  unsigned long v = 0;
  for (std::size_t i = b; i < e; ++i) {
    char c = t[i];
    unsigned d = is_digit(c) ? unsigned(c - '0')
                 : (c >= 'a' && c <= 'f') ? unsigned(c - 'a' + 10)
                 : (c >= 'A' && c <= 'F') ? unsigned(c - 'A' + 10)
                                          : 99u;
    if (d >= base) return Fault::kUnsupportedDefault;
    if (v > (limit - d) / base) return Fault::kDefaultOutOfRange;
    v = v * base + d;
  }
  static_assert(sizeof(long) == 8, "defaults are read as 64-bit longs");
  out = negative ? (v == 0x8000000000000000ul ? -0x7fffffffffffffffl - 1 : -static_cast<long>(v)) : static_cast<long>(v);
  return Fault::kNone;
}

constexpr Fault read_default(const char* t, std::size_t b, std::size_t e, Param& p) {
  if (is_word(t, b, e, "None")) {
    p.kind = Default::kNone;
  } else if (is_word(t, b, e, "True")) {
    p.kind = Default::kTrue;
  } else if (is_word(t, b, e, "False")) {
    p.kind = Default::kFalse;
  } else if (is_word(t, b, e, "()")) {
    p.kind = Default::kEmptyTuple;
  } else if (e - b >= 2 && (t[b] == '\'' || t[b] == '"') && t[e - 1] == t[b]) {
    p.kind = Default::kText;
    p.text_b = static_cast<std::uint16_t>(b + 1);
    p.text_e = static_cast<std::uint16_t>(e - 1);
  } else {
    p.kind = Default::kInt;
    return integer(t, b, e, p.value);
  }
  return Fault::kNone;
}

// Read a parameter list (not NULL); `object` is the name the object takes,
// which no parameter may repeat.
constexpr List parse(const char* text, const char* object = "self") {
  List l;
  const char* t = text;
  const std::size_t end = length(t);
  if (end > 0xffff) {
    l.fault = Fault::kTooLong;
    return l;
  }
  bool seen_default = false;
  for (std::size_t start = 0; start <= end;) {
    std::size_t comma = start;
    while (comma < end && t[comma] != ',') ++comma;
    std::size_t b = start, e = comma;
    while (b < e && is_space(t[b])) ++b;
    while (e > b && is_space(t[e - 1])) --e;
    start = comma + 1;
    Fault f = Fault::kNone;
    if (b == e) {
      if (comma == end) break;  // nothing, or a trailing comma
      f = Fault::kEmptyParameter;
    } else if (l.varkw) {
      f = Fault::kAfterStarStarKwargs;
    } else if (e - b >= 2 && t[b] == '*' && t[b + 1] == '*') {
      if (!is_name(t, b + 2, e)) f = Fault::kBadName;
      l.varkw = true;
    } else if (t[b] == '*') {
      if (l.varargs || !is_name(t, b + 1, e)) f = Fault::kBadStarArgs;
      l.varargs = true;
    } else if (l.varargs) {
      f = Fault::kAfterStarArgs;
    } else if (l.count == kMaxParams) {
      f = Fault::kTooMany;
    } else {
      std::size_t eq = b;
      while (eq < e && t[eq] != '=') ++eq;
      std::size_t ne = eq;
      while (ne > b && is_space(t[ne - 1])) --ne;
      Param& p = l.p[l.count];
      p.name_b = static_cast<std::uint16_t>(b);
      p.name_e = static_cast<std::uint16_t>(ne);
      if (!is_name(t, b, ne)) f = Fault::kBadName;
      if (f == Fault::kNone && is_word(t, b, ne, object)) f = Fault::kDuplicateName;
      for (std::size_t i = 0; f == Fault::kNone && i < l.count; ++i) {
        if (same_text(t, l.p[i].name_b, l.p[i].name_e, t, b, ne)) f = Fault::kDuplicateName;
      }
      if (f == Fault::kNone && eq == e) {
        if (seen_default) f = Fault::kRequiredAfterDefault;
        ++l.required;
      } else if (f == Fault::kNone) {
        seen_default = true;
        std::size_t db = eq + 1;
        while (db < e && is_space(t[db])) ++db;
        f = read_default(t, db, e, p);
      }
      ++l.count;
    }
    if (f != Fault::kNone) {
      l.fault = f;
      return l;
    }
  }
  if (l.count + l.varargs + l.varkw > kMaxParams) l.fault = Fault::kTooMany;
  return l;
}

// Called only when the compiler reads a malformed list: the build fails with
// the function's name as the reason.
void empty_parameter();
void bad_name();
void bad_star_args();
void parameter_after_star_args();
void parameter_after_star_star_kwargs();
void required_parameter_after_a_default();
void duplicate_name();
void unsupported_default();
void default_out_of_range();
void too_many_parameters();
void parameter_list_too_long();

// The list, which the build refuses when it is malformed (evaluated as a constant).
constexpr List checked(const char* text, const char* object) {
  List l = parse(text, object);
  switch (l.fault) {
    case Fault::kNone: break;
    case Fault::kEmptyParameter: empty_parameter(); break;
    case Fault::kBadName: bad_name(); break;
    case Fault::kBadStarArgs: bad_star_args(); break;
    case Fault::kAfterStarArgs: parameter_after_star_args(); break;
    case Fault::kAfterStarStarKwargs: parameter_after_star_star_kwargs(); break;
    case Fault::kRequiredAfterDefault: required_parameter_after_a_default(); break;
    case Fault::kDuplicateName: duplicate_name(); break;
    case Fault::kUnsupportedDefault: unsupported_default(); break;
    case Fault::kDefaultOutOfRange: default_out_of_range(); break;
    case Fault::kTooMany: too_many_parameters(); break;
    case Fault::kTooLong: parameter_list_too_long(); break;
  }
  return l;
}

// A read list cut to its parameters, as the module keeps it.
template <std::size_t N>
struct Fixed {
  Param p[N ? N : 1] = {};
  std::size_t count = 0;
  std::size_t required = 0;
  bool varargs = false;
  bool varkw = false;
};

template <std::size_t N>
constexpr Fixed<N> fixed(const List& l) {
  Fixed<N> f;
  for (std::size_t i = 0; i < N; ++i) f.p[i] = l.p[i];
  f.count = l.count;
  f.required = l.required;
  f.varargs = l.varargs;
  f.varkw = l.varkw;
  return f;
}

}  // namespace params

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
  // The last slot holds the object when a call names it by keyword.
  static constexpr std::size_t kObjectSlot = kMaxParams;
  PyObject* v_[kMaxParams + 1];
  // The arguments: v_, or the call's own tuple when it holds every one of
  // them in order (nothing is copied then).
  PyObject* const* at_ = v_;
  std::uint32_t owned_ = 0;
  std::size_t n_ = 0;
  const Signature* sig_ = nullptr;
};
static_assert(kMaxParams + 1 <= 32, "one bit per argument slot");

// A parameter list with its names interned and its defaults made.
struct Signature {
  const char* fname = nullptr;
  PyObject* object_name = nullptr;  // the object's name ("self", "cls"); interned
  std::vector<PyObject*> names;     // interned, owned for the process's life
  std::vector<Ref> defaults;        // one per parameter; empty for required ones
  std::size_t required = 0;
  bool varargs = false;
  bool varkw = false;

  bool ready() const { return fname != nullptr; }
  // The signature is made at its first call, by `maker`: most members of a
  // run are never called, and an import that makes none is cheaper. (Until
  // then the common call below does not match, and bind_general makes it.)
  void made_by(void (*maker)(Signature&)) { maker_ = maker; }
  // From a list the compiler read; `params` is its text.
  template <std::size_t N>
  void make(const char* name, const char* params, const params::Fixed<N>& list, const char* object) {
    make(name, params, list.p, list.count, list.required, list.varargs, list.varkw, object);
  }
  // Read at run time; a malformed list raises ValueError.
  void compile(const char* fname, const char* params);
  // Fill `out` from a call. `self` is the object when the caller hands it
  // apart (a method descriptor); NULL when it comes first among the
  // positional arguments (a classic class's function) or by keyword. Returns
  // the object.
  PyObject* bind(PyObject* self, PyObject* args, PyObject* kwargs, Args& out) const {
    return self ? bind_call<true>(self, args, kwargs, out) : bind_call<false>(nullptr, args, kwargs, out);
  }
  // The same, where the entry point knows how the object comes (`kApart`:
  // handed apart, not NULL), so that the common call tests nothing more.
  template <bool kApart>
  PyObject* bind_call(PyObject* self, PyObject* args, PyObject* kwargs, Args& out) const {
    out.sig_ = this;
    constexpr Py_ssize_t skip = kApart ? 0 : 1;
    // The common call: every parameter by position and nothing else.
    if (plain && args && PyTuple_GET_SIZE(args) - skip == static_cast<Py_ssize_t>(names.size()) &&
        (!kwargs || (PyDict_Check(kwargs) && reinterpret_cast<PyDictObject*>(kwargs)->ma_used == 0))) {
      out.at_ = &PyTuple_GET_ITEM(args, skip);
      out.n_ = names.size();
      return kApart ? self : PyTuple_GET_ITEM(args, 0);
    }
    return bind_general(self, args, kwargs, out);
  }

 private:
  bool plain = false;  // no "*args", no "**kwargs"
  void (*maker_)(Signature&) = nullptr;
  void make(const char* name, const char* params, const params::Param* p, std::size_t count, std::size_t required,
            bool varargs, bool varkw, const char* object);
  PyObject* bind_general(PyObject* self, PyObject* args, PyObject* kwargs, Args& out) const;
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
  const char* object;  // the name of the object in the parameter list

  // The same member with its object under another name, for a method whose
  // list names a parameter `self` (method(...).object_named("config")).
  constexpr Member object_named(const char* name_of_object) const {
    Member m = *this;
    m.object = name_of_object;
    return m;
  }
};

constexpr Member method(const char* name, const char* params, MethodFn fn, const char* doc = nullptr) {
  return Member{name, Kind::kMethod, params, fn, nullptr, doc, "self"};
}
constexpr Member classmethod(const char* name, const char* params, MethodFn fn, const char* doc = nullptr) {
  return Member{name, Kind::kClassMethod, params, fn, nullptr, doc, "cls"};
}
constexpr Member property(const char* name, GetterFn get, const char* doc = nullptr) {
  return Member{name, Kind::kProperty, nullptr, nullptr, get, doc, "self"};
}


namespace detail {

template <const auto& Table>
Signature* signatures() {
  constexpr std::size_t n = std::extent<std::remove_reference_t<decltype(Table)>>::value;
  static Signature sigs[n];
  return sigs;
}

// Makes member I's signature from the list the compiler read.
template <const auto& Table, std::size_t I>
void make_signature(Signature& s) {
  constexpr const Member& m = Table[I];
  static constexpr params::List read = params::checked(m.params, m.object);
  static constexpr params::Fixed<read.count> list = params::fixed<read.count>(read);
  s.make(m.name, m.params, list, m.object);
}

// New-style classes: a method descriptor hands over the object as `self`.
template <const auto& Table, std::size_t I>
PyObject* method_entry(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return guard([&] {
    Args a;
    signatures<Table>()[I].template bind_call<true>(self, args, kwargs, a);
    return Table[I].fn(self, a);
  });
}

// Classic classes hold plain functions wrapped in unbound methods: the object
// arrives as the first positional argument (or, in a direct call of the
// function, by keyword, or not at all).
template <const auto& Table, std::size_t I>
PyObject* classic_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  return guard([&] {
    Args a;
    PyObject* self = signatures<Table>()[I].template bind_call<false>(nullptr, args, kwargs, a);
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
  constexpr const Member& m = Table[I];
  if constexpr (m.kind == Kind::kProperty) {
    add_property_def(cls, m.name, &classic_getter_entry<Table, I>, &getter_entry<Table, I>, m.doc);
  } else {
    signatures<Table>()[I].made_by(&make_signature<Table, I>);
    auto classic = reinterpret_cast<PyCFunction>(&classic_entry<Table, I>);
    auto modern = reinterpret_cast<PyCFunction>(&method_entry<Table, I>);
    if constexpr (m.kind == Kind::kMethod) {
      add_method_def(cls, m.name, classic, modern, m.doc);
    } else {
      add_classmethod_def(cls, m.name, classic, modern, m.doc);
    }
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
