// The small C++ layer over the Python 2.7 C API shared by every module.
//
// Module code never touches a raw reference count or returns NULL by hand:
// - Ref owns one reference;
// - any failing API call throws host::Error, meaning "the interpreter's error
//   indicator is set";
// - every entry point the interpreter calls goes through guard(), the one
//   noexcept boundary that turns exceptions back into the C API's conventions.
//
// Ownership of raw pointers: every function here that gives back a Ref gives
// a new (owned) reference. The raw `PyObject*` results are borrowed and stay
// valid as long as their owner does: interned() and HN() (interned for the
// process's life), Args::operator[] (valid for the whole call, see members.hpp),
// Ref::get(). Raw pointers passed in are borrowed: no function here steals a
// reference except Ref::steal and bind().
#pragma once

#include <Python.h>

#include <cstddef>
#include <exception>
#include <initializer_list>
#include <new>
#include <utility>

namespace host {

// The interpreter's error indicator is set; the boundary returns NULL.
struct Error {};

[[noreturn]] inline void fail() { throw Error{}; }
// Each raise helper checks what it is given as Python's own `raise` does: a
// class looked up at call time may have been rebound to something that is not
// an exception class, and that is the host's TypeError, not a corrupt state.
[[noreturn]] void raise(PyObject* type, const char* message);
// Raise an exception class with no arguments at all (a bare `raise X`).
[[noreturn]] void raise_bare(PyObject* type);
// Raise `type(value)` with one object argument, kept as is.
[[noreturn]] void raise_value(PyObject* type, PyObject* value);
// Raise an exception instance already made.
[[noreturn]] void raise_instance(PyObject* exc);

class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* p) { Ref r; r.p_ = p; return r; }
  static Ref borrow(PyObject* p) { Py_XINCREF(p); return steal(p); }
  Ref(const Ref& o) : p_(o.p_) { Py_XINCREF(p_); }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref o) noexcept { std::swap(p_, o.p_); return *this; }
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const { return p_; }
  PyObject* release() { PyObject* p = p_; p_ = nullptr; return p; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  PyObject* p_ = nullptr;
};

// A new reference from the API, or throw when it reported an error.
inline Ref check(PyObject* p) {
  if (!p) fail();
  return Ref::steal(p);
}
// An int status from the API (-1 on error).
inline int check_rc(int rc) {
  if (rc < 0) fail();
  return rc;
}

// Interned attribute names, made once per call site: HN("hw_ports").
PyObject* interned(const char* s);
#define HN(s) ([]() -> PyObject* { static PyObject* const o_ = ::host::interned(s); return o_; }())

// --- values -----------------------------------------------------------------
inline Ref none() { return Ref::borrow(Py_None); }
inline Ref boolean(bool b) { return Ref::borrow(b ? Py_True : Py_False); }
inline Ref integer(long v) { return check(PyInt_FromLong(v)); }
inline Ref text(const char* s) { return check(PyString_FromString(s)); }
inline Ref text(const char* s, Py_ssize_t n) { return check(PyString_FromStringAndSize(s, n)); }
// A str or unicode as an exact str or unicode of the same characters, read
// from its own data: none of a subclass's methods ever runs on the copy. Any
// other object is handed back as it is.
inline Ref plain_text(PyObject* o) {
  if (PyString_CheckExact(o) || PyUnicode_CheckExact(o)) return Ref::borrow(o);
  if (PyString_Check(o)) return text(PyString_AS_STRING(o), PyString_GET_SIZE(o));
  if (PyUnicode_Check(o)) return check(PyUnicode_FromUnicode(PyUnicode_AS_UNICODE(o), PyUnicode_GET_SIZE(o)));
  return Ref::borrow(o);
}

template <typename... T>
Ref tuple(T&&... items) {
  PyObject* objs[] = {static_cast<PyObject*>(items)..., nullptr};
  Ref t = check(PyTuple_New(sizeof...(T)));
  for (std::size_t i = 0; i < sizeof...(T); ++i) {
    Py_INCREF(objs[i]);
    PyTuple_SET_ITEM(t.get(), i, objs[i]);
  }
  return t;
}

// --- the object protocol, throwing on error ------------------------------------
inline Ref getattr(PyObject* o, PyObject* name) { return check(PyObject_GetAttr(o, name)); }
inline void setattr(PyObject* o, PyObject* name, PyObject* v) { check_rc(PyObject_SetAttr(o, name, v)); }
inline bool truth(PyObject* o) { return check_rc(PyObject_IsTrue(o)) != 0; }
inline Ref item(PyObject* o, PyObject* key) { return check(PyObject_GetItem(o, key)); }
inline Ref item(PyObject* o, Py_ssize_t i) { return check(PySequence_GetItem(o, i)); }
// `o[i]` as subscription does it: a mapping gets the key i.
inline Ref subscript(PyObject* o, long i) { return item(o, integer(i).get()); }
// `a, b, ... = seq` into out[0..n), with the interpreter's messages for a wrong count.
void unpack(PyObject* seq, Py_ssize_t n, Ref* out);
inline Py_ssize_t length(PyObject* o) {
  Py_ssize_t n = PyObject_Size(o);
  if (n < 0) fail();
  return n;
}
inline bool equal(PyObject* a, PyObject* b) { return check_rc(PyObject_RichCompareBool(a, b, Py_EQ)) != 0; }
// isinstance(o, cls). A class whose metaclass is `type` itself answers with
// `type.__instancecheck__`, which is the plain test: it is made directly,
// without looking that method up and calling it.
inline bool is_instance(PyObject* o, PyObject* cls) {
  if (Py_TYPE(cls) == &PyType_Type) return check_rc(_PyObject_RealIsInstance(o, cls)) != 0;
  return check_rc(PyObject_IsInstance(o, cls)) != 0;
}
inline bool contains(PyObject* container, PyObject* v) { return check_rc(PySequence_Contains(container, v)) != 0; }
// `fmt % args` with the host's own formatting. The conversions that the
// texts are made of ("%s" of a str or int, "%d"/"%u"/"%x" of an int, with a
// zero or space width) are written here directly: the host's own path builds
// and runs a C format per integer. Anything else goes to the host.
Ref format(PyObject* fmt, PyObject* args);
// An outside answer v as `%s` (conversion 's') or `%r` ('r') quotes it, for
// an error message with "%s", so that a huge answer still gives a message one
// can read (and log). A str or unicode v (a subclass too) of up to
// kExcerptLength characters of its own reads exactly as its conversion; a
// longer one is the conversion of its first kExcerptLength characters,
// followed by "... (N characters)", N being v's own length. Any other v is
// its conversion, cut at kExcerptLength characters in the same way, N
// counting the conversion.
constexpr Py_ssize_t kExcerptLength = 64;
Ref excerpt(PyObject* v, char conversion);
// o[start:stop] as Python's simple slice does it (negative ends count from the
// back); kOpen leaves an end open.
constexpr Py_ssize_t kOpen = PY_SSIZE_T_MAX;
Ref slice(PyObject* o, Py_ssize_t start, Py_ssize_t stop);
// int(o) as the host computes it. A plain str or int goes straight to its
// answer: the general path first looks up `__trunc__` on a str and clears
// that failure, which costs more than the parse.
Ref to_int(PyObject* o);
inline Ref str(PyObject* o) { return check(PyObject_Str(o)); }
inline Ref repr(PyObject* o) { return check(PyObject_Repr(o)); }

// Call `body(item)` for each item of an iterable (items are owned for the
// body's call); the iterator's own error is checked here, once.
template <typename F>
void for_each(PyObject* iterable, F&& body) {
  Ref it = check(PyObject_GetIter(iterable));
  while (PyObject* raw = PyIter_Next(it.get())) {
    Ref item = Ref::steal(raw);
    body(item.get());
  }
  if (PyErr_Occurred()) fail();
}

// list.append(v): the C append for an exact list; anything else, a list
// subclass included, has its own `append` called (a hostile caller may hand
// over anything).
void append(PyObject* list, PyObject* v);
inline Ref new_list() { return check(PyList_New(0)); }
inline Ref new_dict() { return check(PyDict_New()); }
// A new dict of the pairs, stored in order.
Ref new_dict(std::initializer_list<std::pair<PyObject*, PyObject*>> items);

template <typename... A>
Ref call(PyObject* callable, A... args) {
  return check(PyObject_CallFunctionObjArgs(callable, static_cast<PyObject*>(args)..., nullptr));
}
template <typename... A>
Ref call_method(PyObject* o, PyObject* name, A... args) {
  return check(PyObject_CallMethodObjArgs(o, name, static_cast<PyObject*>(args)..., nullptr));
}
// Call with positional arguments and keyword arguments from a dict (or NULL).
Ref call_kw(PyObject* callable, PyObject* args, PyObject* kwargs);

// Run `body`, then `file.close()`. The file is closed also when the body fails,
// and then the body's error is the one that reaches the caller.
template <typename F>
void closing(PyObject* file, F&& body) {
  try {
    body();
  } catch (...) {
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyObject* closed = PyObject_CallMethod(file, const_cast<char*>("close"), nullptr);
    Py_XDECREF(closed);
    PyErr_Clear();
    PyErr_Restore(type, value, tb);
    throw;
  }
  check(PyObject_CallMethod(file, const_cast<char*>("close"), nullptr));
}

// The errno of the pending error when it is an OSError or IOError that
// carries one (an int or a long), else 0. The error stays pending.
long pending_errno();

// --- modules -------------------------------------------------------------------
// Bind `value` as a module attribute; the value is released whether or not the
// binding works.
void bind(PyObject* module, const char* name, Ref value);
Ref import(const char* name);
// `import a.b` binds the top-level package `a`: this returns that package.
Ref import_top(const char* dotted);
// A module global at call time, falling back to the builtins, as Python name lookup does.
Ref global(PyObject* module, PyObject* name);

// --- the boundary ------------------------------------------------------------------
template <typename F>
PyObject* guard(F&& f) noexcept {
  try {
    return f().release();
  } catch (const Error&) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "error raised without an exception set");
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unknown C++ exception");
  }
  return nullptr;
}

// --- classes -----------------------------------------------------------------------
// Build a class: new-style (a heap type made through `type(name, bases, dict)`) or
// classic (PyClass_New). Class data go into the dict; members are added afterwards.
class ClassBuilder {
 public:
  ClassBuilder(const char* module, const char* name, const char* doc, bool classic = false);
  ClassBuilder& base(PyObject* cls);
  ClassBuilder& attr(const char* name, Ref value);
  Ref make();

 private:
  bool classic_;
  Ref name_, bases_, dict_;
};

void add_method_def(PyObject* cls, const char* name, PyCFunction classic, PyCFunction modern, const char* doc);
void add_classmethod_def(PyObject* cls, const char* name, PyCFunction classic, PyCFunction modern,
                         const char* doc);
void add_property_def(PyObject* cls, const char* name, PyCFunction classic, getter modern, const char* doc);

// --- module initialisation -----------------------------------------------------------
// Create the module, run the body; on failure leave no half-built module in
// sys.modules. Returns the module (borrowed) or NULL.
PyObject* init_module(const char* name, void (*body)(PyObject* module));

}  // namespace host

#define HOST_MODINIT(name) extern "C" __attribute__((visibility("default"))) void init##name(void)
