// Walking the configured ports and their sub-ports, as the texts of the port
// table, the PHY table and the small tables do.
#pragma once

#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {

// `a > b` with the host's comparison.
inline bool greater(PyObject* a, PyObject* b) { return host::check_rc(PyObject_RichCompareBool(a, b, Py_GT)) != 0; }

// The previous run's mode of each Linux interface, read back from the PHY
// table file (phytab.cpp).
Ref previous_modes();

}  // namespace sdk
}  // namespace lanquist
