// Walking the configured ports and their sub-ports, as the texts of the port
// table, the PHY table and the small tables do.
#pragma once

#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {

// `range(n)` of a count that an object gave: an integer, or the host's TypeError.
inline Py_ssize_t count_of(PyObject* n) {
  Ref index = host::check(PyNumber_Index(n));
  Py_ssize_t count = PyNumber_AsSsize_t(index.get(), PyExc_OverflowError);
  if (count == -1 && PyErr_Occurred()) host::fail();
  return count < 0 ? 0 : count;
}

// `for i in range(count): body(i)`, each index a host integer.
template <typename F>
void for_range(PyObject* count, F&& body) {
  Py_ssize_t n = count_of(count);
  for (Py_ssize_t i = 0; i < n; ++i) body(host::integer(i).get());
}

// `a > b` with the host's comparison.
inline bool greater(PyObject* a, PyObject* b) { return host::check_rc(PyObject_RichCompareBool(a, b, Py_GT)) != 0; }

// `"%s..." % (a, b, ...)` with the host's formatting.
template <typename... T>
Ref format(PyObject* fmt, T... args) {
  return host::format(fmt, host::tuple(static_cast<PyObject*>(args)...).get());
}

// The previous run's mode of each Linux interface, read back from the PHY
// table file (phytab.cpp).
Ref previous_modes();

}  // namespace sdk
}  // namespace lanquist
