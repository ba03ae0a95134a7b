#include "host/members.hpp"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace host {

namespace {

const char* fault_text(params::Fault f) {
  switch (f) {
    case params::Fault::kNone: break;
    case params::Fault::kEmptyParameter: return "empty parameter";
    case params::Fault::kBadName: return "bad name";
    case params::Fault::kBadStarArgs: return "bad *args";
    case params::Fault::kAfterStarArgs: return "parameter after *args";
    case params::Fault::kAfterStarStarKwargs: return "parameter after **kwargs";
    case params::Fault::kRequiredAfterDefault: return "required parameter after a default";
    case params::Fault::kDuplicateName: return "duplicate name";
    case params::Fault::kUnsupportedDefault: return "unsupported default";
    case params::Fault::kDefaultOutOfRange: return "default out of range";
    case params::Fault::kTooMany: return "too many parameters";
    case params::Fault::kTooLong: return "too long";
  }
  return "malformed";
}

// Names are kept for the process's life, as every interned attribute name.
PyObject* intern_span(const char* text, std::size_t b, std::size_t e) {
  PyObject* s = check(PyString_FromStringAndSize(text + b, static_cast<Py_ssize_t>(e - b))).release();
  PyString_InternInPlace(&s);
  return s;
}

Ref default_value(const char* text, const params::Param& p) {
  switch (p.kind) {
    case params::Default::kRequired: break;
    case params::Default::kNone: return none();
    case params::Default::kTrue: return boolean(true);
    case params::Default::kFalse: return boolean(false);
    case params::Default::kEmptyTuple: return check(PyTuple_New(0));
    case params::Default::kInt: return integer(p.value);
    case params::Default::kText:
      return check(PyString_FromStringAndSize(text + p.text_b, static_cast<Py_ssize_t>(p.text_e - p.text_b)));
  }
  return Ref();
}

// An argument count error as a function written in Python words it: the
// object counts as an argument. `too_many` positional arguments, or too few.
[[noreturn]] void count_error(const Signature& s, bool too_many, std::size_t given) {
  const bool has_defaults = s.required < s.names.size();
  const char* how = too_many ? (has_defaults ? "at most" : "exactly")
                             : (s.varargs || has_defaults ? "at least" : "exactly");
  const std::size_t n = (too_many ? s.names.size() : s.required) + 1;
  PyErr_Format(PyExc_TypeError, "%s() takes %s %d argument%s (%d given)", s.fname, how, static_cast<int>(n),
               n == 1 ? "" : "s", static_cast<int>(given));
  fail();
}

// Whole names: a keyword may hold a NUL byte, and 'mode\0x' is not 'mode'.
bool same_text(PyObject* key, PyObject* name) {
  const Py_ssize_t n = PyString_GET_SIZE(name);
  return PyString_GET_SIZE(key) == n &&
         std::memcmp(PyString_AS_STRING(key), PyString_AS_STRING(name), static_cast<std::size_t>(n)) == 0;
}

}  // namespace

void Signature::make(const char* name, const char* params, const params::Param* p, std::size_t count,
                     std::size_t required_count, bool star_args, bool star_kwargs, const char* object) {
  const char* text = params ? params : "";
  fname = nullptr;  // set last: a signature whose making failed is made again
  object_name = interned(object);
  names.clear();
  defaults.clear();
  names.reserve(count);
  defaults.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    names.push_back(intern_span(text, p[i].name_b, p[i].name_e));
    defaults.push_back(default_value(text, p[i]));
  }
  required = required_count;
  varargs = star_args;
  varkw = star_kwargs;
  plain = !varargs && !varkw;
  fname = name;
}

void Signature::compile(const char* name, const char* params) {
  const params::List l = params::parse(params ? params : "");
  if (l.fault != params::Fault::kNone) {
    PyErr_Format(PyExc_ValueError, "parameter list of %s() (\"%s\"): %s", name, params ? params : "",
                 fault_text(l.fault));
    fail();
  }
  make(name, params, l.p, l.count, l.required, l.varargs, l.varkw, "self");
}

PyObject* Signature::bind_general(PyObject* self, PyObject* args, PyObject* kwargs, Args& out) const {
  if (!ready() && maker_) {
    // Signatures live in static storage, never const.
    maker_(const_cast<Signature&>(*this));
    return bind(self, args, kwargs, out);
  }
  const std::size_t count = names.size();
  const Py_ssize_t total = args ? PyTuple_GET_SIZE(args) : 0;
  const Py_ssize_t first = self ? 0 : 1;  // where the parameters start in `args`
  // Positional arguments, the object among them.
  const std::size_t positional = static_cast<std::size_t>(self ? total + 1 : total);
  const bool keywords = kwargs && PyDict_Check(kwargs) && reinterpret_cast<PyDictObject*>(kwargs)->ma_used > 0;
  // Too many positional arguments: Python counts the keywords given too.
  if (positional > count + 1 && !varargs) {
    count_error(*this, true, positional + (keywords ? static_cast<std::size_t>(PyDict_Size(kwargs)) : 0));
  }
  PyObject* object = self ? self : (total > 0 ? PyTuple_GET_ITEM(args, 0) : nullptr);
  const std::size_t npos = positional > 0 ? positional - 1 : 0;
  out.n_ = count + varargs + varkw;
  const std::size_t direct = npos < count ? npos : count;
  for (std::size_t i = 0; i < direct; ++i) out.v_[i] = PyTuple_GET_ITEM(args, first + i);
  std::uint32_t given = (std::uint32_t(1) << direct) - 1;  // a bit per parameter filled so far
  if (varargs) {
    out.own(count, (npos > count ? check(PyTuple_GetSlice(args, first + count, total)) : check(PyTuple_New(0))).release());
  }
  if (varkw) out.own(count + varargs, check(PyDict_New()).release());
  // Keywords for "**kwargs", held until the walk is done: inserting one may
  // run Python code (a str subclass's __hash__ or __eq__), which may change
  // the caller's dict.
  std::vector<std::pair<Ref, Ref>> rest;
  if (keywords) {
    // Take each value over before anything else runs: the dict is the
    // caller's. Nothing in this loop runs Python code.
    Py_ssize_t pos = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      Ref ascii;
      if (!PyString_Check(key) && PyUnicode_Check(key)) {
        // A unicode name is the same name when it is ASCII, as Python's own calls take it.
        ascii = Ref::steal(PyUnicode_AsASCIIString(key));
        if (ascii) {
          key = ascii.get();
        } else {
          PyErr_Clear();
        }
      }
      if (!PyString_Check(key)) {
        PyErr_Format(PyExc_TypeError, "%s() keywords must be strings", fname);
        fail();
      }
      // The object's name comes first in the list, as in Python's. Keyword
      // names in calls are interned, as ours are: identity finds them; any
      // other string is compared by its text.
      std::size_t i = 0;
      bool is_object = key == object_name;
      while (!is_object && i < count && key != names[i]) ++i;
      if (!is_object && i == count) {
        is_object = same_text(key, object_name);
        i = 0;
        while (!is_object && i < count && !same_text(key, names[i])) ++i;
      }
      if (is_object) {
        if (object) {
          PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%s'", fname,
                       PyString_AS_STRING(key));
          fail();
        }
        Py_INCREF(value);
        out.own(Args::kObjectSlot, value);
        object = value;
        continue;
      }
      if (i == count) {
        if (varkw) {
          rest.emplace_back(Ref::borrow(key), Ref::borrow(value));
          continue;
        }
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%s'", fname, PyString_AS_STRING(key));
        fail();
      }
      if ((given >> i) & 1u) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%s'", fname,
                     PyString_AS_STRING(key));
        fail();
      }
      Py_INCREF(value);
      out.own(i, value);
      given |= std::uint32_t(1) << i;
    }
  }
  for (const auto& kv : rest) check_rc(PyDict_SetItem(out.v_[count + varargs], kv.first.get(), kv.second.get()));
  const auto missing = [&] {
    count_error(*this, false, static_cast<std::size_t>(__builtin_popcount(given)) + (object ? 1 : 0));
  };
  if (!object) missing();
  for (std::size_t i = direct; i < count; ++i) {
    if ((given >> i) & 1u) continue;
    if (i < required) missing();
    out.v_[i] = defaults[i].get();
  }
  return object;
}

}  // namespace host
