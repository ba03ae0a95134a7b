#include "host/members.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>

namespace host {

namespace {

[[noreturn]] void bad_params(const char* fname, const char* params, const char* why) {
  PyErr_Format(PyExc_ValueError, "parameter list of %s() (\"%s\"): %s", fname, params, why);
  fail();
}

// A piece of the parameter list, [b, e), read without copying it.
struct Span {
  const char* b;
  const char* e;
  bool empty() const { return b == e; }
  std::size_t size() const { return static_cast<std::size_t>(e - b); }
  bool is(const char* word) const { return size() == std::strlen(word) && std::memcmp(b, word, size()) == 0; }
};

Span trim(Span s) {
  while (s.b < s.e && (*s.b == ' ' || *s.b == '\t')) ++s.b;
  while (s.e > s.b && (s.e[-1] == ' ' || s.e[-1] == '\t')) --s.e;
  return s;
}

bool is_name(Span s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(*s.b)) || *s.b == '_')) return false;
  for (const char* c = s.b; c < s.e; ++c) {
    if (!(std::isalnum(static_cast<unsigned char>(*c)) || *c == '_')) return false;
  }
  return true;
}

// A default as Python source writes the few that members use.
Ref default_value(Span text, const char* fname, const char* params) {
  if (text.is("None")) return none();
  if (text.is("True")) return boolean(true);
  if (text.is("False")) return boolean(false);
  if (text.is("()")) return check(PyTuple_New(0));
  if (text.size() >= 2 && (*text.b == '\'' || *text.b == '"') && text.e[-1] == *text.b) {
    return check(PyString_FromStringAndSize(text.b + 1, static_cast<Py_ssize_t>(text.size() - 2)));
  }
  std::string digits(text.b, text.e);
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(digits.c_str(), &end, 0);
  if (!digits.empty() && end && *end == '\0' && errno == 0) return integer(v);
  bad_params(fname, params, "unsupported default");
}

// `given` counts the arguments that were bound (with too many positional ones,
// every argument given).
[[noreturn]] void count_error(const Signature& s, std::size_t given) {
  std::size_t count = s.names.size();
  const char* how = s.varargs ? "at least" : (s.required == count ? "exactly" : (given > count ? "at most" : "at least"));
  std::size_t n = given > count && !s.varargs ? count : s.required;
  if (s.counts_object) {
    ++n;
    ++given;
  }
  PyErr_Format(PyExc_TypeError, "%s() takes %s %d argument%s (%d given)", s.fname, how, static_cast<int>(n),
               n == 1 ? "" : "s", static_cast<int>(given));
  fail();
}

}  // namespace

void Signature::compile(const char* name, const char* params) {
  fname = name;
  names.clear();
  defaults.clear();
  required = 0;
  varargs = varkw = false;
  const char* all = params ? params : "";
  const char* all_end = all + std::strlen(all);
  const char* start = all;
  bool seen_default = false;
  while (start <= all_end) {
    const char* comma = static_cast<const char*>(std::memchr(start, ',', static_cast<std::size_t>(all_end - start)));
    if (!comma) comma = all_end;
    Span piece = trim(Span{start, comma});
    start = comma + 1;
    if (piece.empty()) {
      if (comma == all_end) break;
      bad_params(name, params, "empty parameter");
    }
    if (varkw) bad_params(name, params, "parameter after **kwargs");
    if (piece.size() >= 2 && piece.b[0] == '*' && piece.b[1] == '*') {
      if (!is_name(Span{piece.b + 2, piece.e})) bad_params(name, params, "bad name");
      varkw = true;
      continue;
    }
    if (*piece.b == '*') {
      if (varargs || !is_name(Span{piece.b + 1, piece.e})) bad_params(name, params, "bad *args");
      varargs = true;
      continue;
    }
    if (varargs) bad_params(name, params, "parameter after *args");
    if (names.size() == kMaxParams) bad_params(name, params, "too many parameters");
    const char* eq = static_cast<const char*>(std::memchr(piece.b, '=', piece.size()));
    Span pname = trim(Span{piece.b, eq ? eq : piece.e});
    if (!is_name(pname)) bad_params(name, params, "bad name");
    Ref text = check(PyString_FromStringAndSize(pname.b, static_cast<Py_ssize_t>(pname.size())));
    PyObject* interned_name = text.release();
    // Kept for the process's life, as every interned attribute name.
    PyString_InternInPlace(&interned_name);
    for (PyObject* seen : names) {
      if (seen == interned_name) bad_params(name, params, "duplicate name");
    }
    names.push_back(interned_name);
    if (!eq) {
      if (seen_default) bad_params(name, params, "required parameter after a default");
      defaults.emplace_back();
      ++required;
    } else {
      seen_default = true;
      defaults.push_back(default_value(trim(Span{eq + 1, piece.e}), name, params));
    }
  }
  if (names.size() + varargs + varkw > kMaxParams) bad_params(name, params, "too many parameters");
  plain = !varargs && !varkw;
}

void Signature::bind_general(PyObject* args, Py_ssize_t skip, PyObject* kwargs, Args& out) const {
  const std::size_t count = names.size();
  Py_ssize_t total = args ? PyTuple_GET_SIZE(args) : 0;
  std::size_t npos = static_cast<std::size_t>(total > skip ? total - skip : 0);
  // Too many positional arguments: a function written in Python counts the
  // keywords given among them too.
  if (npos > count && !varargs && counts_object) {
    count_error(*this, npos + (kwargs ? static_cast<std::size_t>(PyDict_Size(kwargs)) : 0));
  }
  if (npos > count && !varargs) count_error(*this, npos);
  out.n_ = count + varargs + varkw;
  std::size_t direct = npos < count ? npos : count;
  for (std::size_t i = 0; i < direct; ++i) out.v_[i] = PyTuple_GET_ITEM(args, skip + i);
  std::uint32_t given = (std::uint32_t(1) << direct) - 1;  // a bit per parameter filled so far
  if (varargs) {
    out.own(count, (npos > count ? check(PyTuple_GetSlice(args, skip + count, total)) : check(PyTuple_New(0))).release());
  }
  if (varkw) out.own(count + varargs, check(PyDict_New()).release());
  if (kwargs && PyDict_Check(kwargs) && reinterpret_cast<PyDictObject*>(kwargs)->ma_used > 0) {
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
      // Keyword names in calls are interned, as ours are: identity finds them;
      // any other string is compared by its text.
      std::size_t i = 0;
      while (i < count && key != names[i]) ++i;
      if (i == count) {
        i = 0;
        while (i < count && std::strcmp(PyString_AS_STRING(key), PyString_AS_STRING(names[i])) != 0) ++i;
      }
      if (i == count) {
        if (varkw) {
          check_rc(PyDict_SetItem(out.v_[count + varargs], key, value));
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
  if (direct == count) return;
  for (std::size_t i = direct; i < count; ++i) {
    if ((given >> i) & 1u) continue;
    if (i < required) count_error(*this, static_cast<std::size_t>(__builtin_popcount(given)));
    out.v_[i] = defaults[i].get();
  }
}

}  // namespace host
