#include "lanquist/lanquist.hpp"

namespace lanquist {

void add_configured_port_members(PyObject*) {}

}  // namespace lanquist
