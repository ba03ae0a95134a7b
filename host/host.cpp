#include "host/host.hpp"

#include <cstring>
#include <string>

namespace host {

namespace {
// What the interpreter's own `raise` says of an object it cannot raise.
[[noreturn]] void not_raisable(PyObject* o) {
  PyErr_Format(PyExc_TypeError, "exceptions must be old-style classes or derived from BaseException, not %.200s",
               Py_TYPE(o)->tp_name);
  fail();
}

void check_class(PyObject* type) {
  if (!PyExceptionClass_Check(type)) not_raisable(type);
}
}  // namespace

void raise(PyObject* type, const char* message) {
  check_class(type);
  PyErr_SetString(type, message);
  fail();
}

void raise_bare(PyObject* type) {
  check_class(type);
  PyErr_SetNone(type);
  fail();
}

void raise_value(PyObject* type, PyObject* value) {
  check_class(type);
  // Instantiate here, so that a tuple value stays one argument.
  Ref exc = call(type, value);
  raise_instance(exc.get());
}

void raise_instance(PyObject* exc) {
  if (!PyExceptionInstance_Check(exc)) {
    // A class given where an instance was made is raised as `raise cls`.
    if (PyExceptionClass_Check(exc)) raise_bare(exc);
    not_raisable(exc);
  }
  PyErr_SetObject(PyExceptionInstance_Class(exc), exc);
  fail();
}

void append(PyObject* list, PyObject* v) {
  // Only an exact list may skip the lookup: a subclass's own append wins.
  if (PyList_CheckExact(list)) {
    check_rc(PyList_Append(list, v));
  } else {
    call_method(list, HN("append"), v);
  }
}

void bind(PyObject* module, const char* name, Ref value) {
  // Not PyModule_AddObject: it keeps the reference it was given when it
  // fails, and the value would leak. The Ref releases it either way.
  PyObject* dict = PyModule_GetDict(module);
  if (!dict) fail();
  check_rc(PyDict_SetItemString(dict, name, value.get()));
}

Ref new_dict(std::initializer_list<std::pair<PyObject*, PyObject*>> items) {
  Ref d = new_dict();
  for (const auto& kv : items) check_rc(PyDict_SetItem(d.get(), kv.first, kv.second));
  return d;
}

void unpack(PyObject* seq, Py_ssize_t n, Ref* out) {
  if ((PyTuple_CheckExact(seq) && PyTuple_GET_SIZE(seq) == n) || (PyList_CheckExact(seq) && PyList_GET_SIZE(seq) == n)) {
    for (Py_ssize_t i = 0; i < n; ++i) out[i] = Ref::borrow(PySequence_Fast_GET_ITEM(seq, i));
    return;
  }
  Ref it = check(PyObject_GetIter(seq));
  for (Py_ssize_t i = 0; i < n; ++i) {
    out[i] = Ref::steal(PyIter_Next(it.get()));
    if (!out[i]) {
      if (PyErr_Occurred()) fail();
      PyErr_Format(PyExc_ValueError, "need more than %zd value%s to unpack", i, i == 1 ? "" : "s");
      fail();
    }
  }
  Ref extra = Ref::steal(PyIter_Next(it.get()));
  if (extra) raise(PyExc_ValueError, "too many values to unpack");
  if (PyErr_Occurred()) fail();
}

Ref to_int(PyObject* o) {
  if (PyInt_CheckExact(o)) return Ref::borrow(o);
  if (PyString_CheckExact(o)) {
    char* s = PyString_AS_STRING(o);
    char* end = nullptr;
    Ref v = check(PyInt_FromString(s, &end, 10));
    if (end != s + PyString_GET_SIZE(o)) raise(PyExc_ValueError, "null byte in argument for int()");
    return v;
  }
  return check(PyNumber_Int(o));
}

PyObject* interned(const char* s) {
  PyObject* o = PyString_InternFromString(s);
  if (!o) {
    // Only at start-up and only when out of memory; nothing sensible to do.
    Py_FatalError("cannot intern attribute name");
  }
  return o;
}

Ref call_kw(PyObject* callable, PyObject* args, PyObject* kwargs) {
  Ref empty;
  if (!args) {
    empty = check(PyTuple_New(0));
    args = empty.get();
  }
  return check(PyObject_Call(callable, args, kwargs));
}

Ref slice(PyObject* o, Py_ssize_t start, Py_ssize_t stop) {
  PySequenceMethods* sq = Py_TYPE(o)->tp_as_sequence;
  if (sq && sq->sq_slice) return check(PySequence_GetSlice(o, start, stop));
  Ref lo = start == 0 ? none() : check(PyInt_FromSsize_t(start));
  Ref hi = stop == kOpen ? none() : check(PyInt_FromSsize_t(stop));
  Ref s = check(PySlice_New(lo.get(), hi.get(), nullptr));
  return check(PyObject_GetItem(o, s.get()));
}

Ref import(const char* name) { return check(PyImport_ImportModule(name)); }

Ref import_top(const char* dotted) {
  return check(PyImport_ImportModuleLevel(const_cast<char*>(dotted), nullptr, nullptr, nullptr, 0));
}

Ref global(PyObject* module, PyObject* name) {
  PyObject* v = PyDict_GetItem(PyModule_GetDict(module), name);
  if (v) return Ref::borrow(v);
  PyObject* builtins = PyEval_GetBuiltins();
  if (builtins) {
    v = PyDict_GetItem(builtins, name);
    if (v) return Ref::borrow(v);
  }
  PyErr_Format(PyExc_NameError, "global name '%.200s' is not defined", PyString_AsString(name));
  fail();
}

// --- classes --------------------------------------------------------------------

ClassBuilder::ClassBuilder(const char* module, const char* name, const char* doc, bool classic)
    : classic_(classic), name_(text(name)), bases_(check(PyList_New(0))), dict_(check(PyDict_New())) {
  check_rc(PyDict_SetItemString(dict_.get(), "__module__", text(module).get()));
  check_rc(PyDict_SetItemString(dict_.get(), "__doc__", doc ? text(doc).get() : Py_None));
}

ClassBuilder& ClassBuilder::base(PyObject* cls) {
  check_rc(PyList_Append(bases_.get(), cls));
  return *this;
}

ClassBuilder& ClassBuilder::attr(const char* name, Ref value) {
  check_rc(PyDict_SetItemString(dict_.get(), name, value.get()));
  return *this;
}

Ref ClassBuilder::make() {
  Ref bases = check(PyList_AsTuple(bases_.get()));
  if (classic_) return check(PyClass_New(bases.get(), dict_.get(), name_.get()));
  return call(reinterpret_cast<PyObject*>(&PyType_Type), name_.get(), bases.get(), dict_.get());
}

namespace {

// Method and property tables must outlive every descriptor made from them; the
// modules are never unloaded, so they are allocated once and kept.
PyMethodDef* new_def(const char* name, PyCFunction fn, int flags, const char* doc) {
  return new PyMethodDef{name, fn, flags, doc};
}

PyObject* module_name_of(PyObject* cls) { return PyObject_GetAttrString(cls, "__module__"); }

Ref classic_function(PyObject* cls, const char* name, PyCFunction fn, int flags, const char* doc) {
  Ref mod = check(module_name_of(cls));
  return check(PyCFunction_NewEx(new_def(name, fn, flags, doc), nullptr, mod.get()));
}

}  // namespace

void add_method_def(PyObject* cls, const char* name, PyCFunction classic, PyCFunction modern, const char* doc) {
  Ref member;
  if (PyClass_Check(cls)) {
    Ref fn = classic_function(cls, name, classic, METH_VARARGS | METH_KEYWORDS, doc);
    member = check(PyMethod_New(fn.get(), nullptr, cls));
  } else {
    member = check(PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(cls),
                                     new_def(name, modern, METH_VARARGS | METH_KEYWORDS, doc)));
  }
  check_rc(PyObject_SetAttrString(cls, name, member.get()));
}

void add_classmethod_def(PyObject* cls, const char* name, PyCFunction classic, PyCFunction modern,
                         const char* doc) {
  Ref member;
  if (PyClass_Check(cls)) {
    Ref fn = classic_function(cls, name, classic, METH_VARARGS | METH_KEYWORDS, doc);
    member = check(PyClassMethod_New(fn.get()));
  } else {
    member = check(PyDescr_NewClassMethod(reinterpret_cast<PyTypeObject*>(cls),
                                          new_def(name, modern, METH_VARARGS | METH_KEYWORDS, doc)));
  }
  check_rc(PyObject_SetAttrString(cls, name, member.get()));
}

namespace {

// A classic class's read-only property is a `property` whose reads call the
// member's C function directly: the host's own read builds an argument tuple
// from a format string and calls `fget` through it on every read. It is made
// as any property (same `fget`, same `__doc__`) and then given this subtype,
// named as `property`, which only reads differently. Making one of this type
// (`getter()` and its kind copy through the type) makes a plain property.
//
// The host's property object: its getter comes first (checked when the type
// is made).
struct PropertyLayout {
  PyObject_HEAD
  PyObject* get;
};

PyObject* direct_property_get(PyObject* self, PyObject* obj, PyObject* type) {
  PyObject* fget = reinterpret_cast<PropertyLayout*>(self)->get;
  if (!obj || obj == Py_None || !fget || !PyCFunction_Check(fget) || PyCFunction_GET_FLAGS(fget) != METH_O) {
    return PyProperty_Type.tp_descr_get(self, obj, type);
  }
  if (Py_EnterRecursiveCall(const_cast<char*>(" while calling a Python object"))) return nullptr;
  PyObject* result = PyCFunction_GET_FUNCTION(fget)(PyCFunction_GET_SELF(fget), obj);
  Py_LeaveRecursiveCall();
  return result;
}

PyTypeObject* direct_property_type();

// A subclass made in Python gets instances of its own, as of property.
PyObject* plain_property_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  if (type != direct_property_type()) return PyProperty_Type.tp_new(type, args, kwargs);
  return PyObject_Call(reinterpret_cast<PyObject*>(&PyProperty_Type), args, kwargs);
}

// The subtype, or NULL when the host's property is not laid out as expected
// (then plain properties are used).
PyTypeObject* direct_property_type() {
  static PyTypeObject* const type = []() -> PyTypeObject* {
    static PyTypeObject t = {PyVarObject_HEAD_INIT(&PyType_Type, 0) "property"};
    t.tp_basicsize = PyProperty_Type.tp_basicsize;
    t.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_BASETYPE;
    t.tp_dealloc = PyProperty_Type.tp_dealloc;
    t.tp_traverse = PyProperty_Type.tp_traverse;
    t.tp_clear = PyProperty_Type.tp_clear;
    t.tp_base = &PyProperty_Type;
    t.tp_new = plain_property_new;
    t.tp_descr_get = direct_property_get;
    PyObject* probe = PyProperty_Type.tp_alloc(&PyProperty_Type, 0);
    bool laid_out = probe && PyType_Ready(&t) == 0 &&
                    // No class-level __doc__: an instance's own doc shows through.
                    PyDict_DelItemString(t.tp_dict, "__doc__") == 0;
    if (laid_out) {
      PyObject* marker = Py_Ellipsis;
      Py_INCREF(marker);
      laid_out = PyProperty_Type.tp_init(probe, Ref::steal(PyTuple_Pack(1, marker)).get(), nullptr) == 0 &&
                 reinterpret_cast<PropertyLayout*>(probe)->get == marker;
      Py_DECREF(marker);
    }
    Py_XDECREF(probe);
    PyErr_Clear();
    PyType_Modified(&t);
    return laid_out ? &t : nullptr;
  }();
  return type;
}

}  // namespace

void add_property_def(PyObject* cls, const char* name, PyCFunction classic, getter modern, const char* doc) {
  Ref member;
  if (PyClass_Check(cls)) {
    Ref fn = classic_function(cls, name, classic, METH_O, doc);
    member = call(reinterpret_cast<PyObject*>(&PyProperty_Type), fn.get());
    if (PyTypeObject* direct = direct_property_type()) {
      if (Py_TYPE(member.get()) == &PyProperty_Type) {
        Py_INCREF(direct);
        Py_TYPE(member.get()) = direct;
      }
    }
  } else {
    auto* def = new PyGetSetDef{const_cast<char*>(name), modern, nullptr, const_cast<char*>(doc), nullptr};
    member = check(PyDescr_NewGetSet(reinterpret_cast<PyTypeObject*>(cls), def));
  }
  check_rc(PyObject_SetAttrString(cls, name, member.get()));
}

// --- modules ----------------------------------------------------------------------

PyObject* init_module(const char* name, void (*body)(PyObject* module)) {
  PyObject* module = Py_InitModule4(name, nullptr, nullptr, nullptr, PYTHON_API_VERSION);
  if (!module) return nullptr;
  PyObject* result = guard([&] {
    body(module);
    return Ref::borrow(module);
  });
  if (!result) {
    // Leave no half-made module behind for a later import to find.
    PyObject* modules = PyImport_GetModuleDict();
    if (PyDict_GetItemString(modules, name)) {
      PyObject *t, *v, *tb;
      PyErr_Fetch(&t, &v, &tb);
      PyDict_DelItemString(modules, name);
      PyErr_Restore(t, v, tb);
    }
    return nullptr;
  }
  Py_DECREF(result);
  return module;
}

}  // namespace host

namespace host {

namespace {

// Decimal or lower-case hexadecimal digits of a non-negative number, written
// backwards from `end`; returns the first digit.
char* digits_of(unsigned long v, unsigned base, char* end) {
  static const char kDigits[] = "0123456789abcdef";
  do {
    *--end = kDigits[v % base];
    v /= base;
  } while (v);
  return end;
}

// The common formats only: every conversion "%s", "%d", "%i", "%u" or "%x",
// optionally with a "0" flag and a width (not on "%s"); "%%". Arguments: an
// exact str (for "%s") or an exact int (negative ones only without flag and
// width, and never for "%x"). Returns false, leaving `out` unspecified, for
// anything else; the host then decides.
bool format_simple(PyObject* fmt, PyObject* const* items, Py_ssize_t nargs, std::string& out) {
  const char* p = PyString_AS_STRING(fmt);
  const char* end = p + PyString_GET_SIZE(fmt);
  Py_ssize_t next = 0;
  while (p < end) {
    const char* pct = static_cast<const char*>(std::memchr(p, '%', static_cast<std::size_t>(end - p)));
    if (!pct) {
      out.append(p, static_cast<std::size_t>(end - p));
      break;
    }
    out.append(p, static_cast<std::size_t>(pct - p));
    p = pct + 1;
    if (p == end) return false;
    if (*p == '%') {
      out.push_back('%');
      ++p;
      continue;
    }
    bool zero = false;
    if (*p == '0') {
      zero = true;
      ++p;
    }
    long width = -1;
    if (p < end && *p >= '1' && *p <= '9') {
      width = 0;
      while (p < end && *p >= '0' && *p <= '9') {
        width = width * 10 + (*p - '0');
        if (width > 1000) return false;
        ++p;
      }
    }
    if (p == end) return false;
    char conv = *p++;
    if (next >= nargs) return false;
    PyObject* v = items[next++];
    if (conv == 's' && !zero && width < 0 && PyString_CheckExact(v)) {
      out.append(PyString_AS_STRING(v), static_cast<std::size_t>(PyString_GET_SIZE(v)));
      continue;
    }
    if (conv != 's' && conv != 'd' && conv != 'i' && conv != 'u' && conv != 'x') return false;
    if (!PyInt_CheckExact(v)) return false;
    if (conv == 's' && (zero || width >= 0)) return false;
    long n = PyInt_AS_LONG(v);
    if (n < 0 && (conv == 'x' || zero || width >= 0)) return false;
    char buf[24];
    char* stop = buf + sizeof buf;
    unsigned long magnitude = n < 0 ? 0UL - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
    char* first = digits_of(magnitude, conv == 'x' ? 16 : 10, stop);
    if (n < 0) *--first = '-';
    long len = static_cast<long>(stop - first);
    if (width > len) out.append(static_cast<std::size_t>(width - len), zero ? '0' : ' ');
    out.append(first, static_cast<std::size_t>(len));
  }
  return next == nargs;
}

}  // namespace

Ref format(PyObject* fmt, PyObject* args) {
  // A str or int given alone is the one argument, as the host takes it.
  bool single = args && (PyInt_CheckExact(args) || PyString_CheckExact(args));
  if (PyString_CheckExact(fmt) && args && (single || PyTuple_CheckExact(args))) {
    // One buffer for every call: nothing in between runs Python code, so no
    // call re-enters while it is in use.
    static std::string out;
    out.clear();
    PyObject* const* items = single ? &args : &PyTuple_GET_ITEM(args, 0);
    Py_ssize_t n = single ? 1 : PyTuple_GET_SIZE(args);
    if (format_simple(fmt, items, n, out)) return text(out.data(), static_cast<Py_ssize_t>(out.size()));
  }
  // The `%` operator itself: a str subclass given alone may answer with its own __rmod__.
  return check(PyNumber_Remainder(fmt, args));
}

Ref excerpt(PyObject* v, char conversion) {
  // `"%s" % (v,)`, not str(v): a unicode value stays unicode, as it did in the
  // message.
  PyObject* form = conversion == 'r' ? HN("%r") : HN("%s");
  Py_ssize_t n;
  Ref beginning;
  if (PyString_Check(v) || PyUnicode_Check(v)) {
    // Counted and cut on the answer's own data: a subclass's __len__ or
    // slicing never runs, and the beginning is an exact str or unicode, whose
    // conversion runs no Python code either.
    n = PyString_Check(v) ? PyString_GET_SIZE(v) : PyUnicode_GET_SIZE(v);
    if (n <= kExcerptLength) return format(form, tuple(v).get());
    beginning = check(PyString_Check(v) ? PyString_FromStringAndSize(PyString_AS_STRING(v), kExcerptLength)
                                        : PyUnicode_FromUnicode(PyUnicode_AS_UNICODE(v), kExcerptLength));
    beginning = format(form, tuple(beginning.get()).get());
  } else {
    // Any other answer is its conversion, cut as it reads: the `%` operator
    // answers with an exact str or unicode, whatever v's own __str__ or
    // __repr__ returns, so cutting it runs no Python code.
    Ref whole = format(form, tuple(v).get());
    n = length(whole.get());
    if (n <= kExcerptLength) return whole;
    beginning = slice(whole.get(), 0, kExcerptLength);
  }
  Ref count = check(PyInt_FromSsize_t(n));
  Ref tail = format(HN("... (%d characters)"), tuple(count.get()).get());
  return check(PyNumber_Add(beginning.get(), tail.get()));
}

long pending_errno() {
  if (!PyErr_ExceptionMatches(PyExc_EnvironmentError)) return 0;
  PyObject *type, *value, *trace;
  PyErr_Fetch(&type, &value, &trace);
  PyErr_NormalizeException(&type, &value, &trace);
  long number = 0;
  if (value) {
    PyObject* n = PyObject_GetAttrString(value, "errno");
    if (n && (PyInt_Check(n) || PyLong_Check(n))) number = PyInt_AsLong(n);
    Py_XDECREF(n);
    PyErr_Clear();
  }
  PyErr_Restore(type, value, trace);
  return number == -1 ? 0 : number;
}

}  // namespace host
