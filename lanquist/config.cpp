#include "lanquist/lanquist.hpp"

namespace lanquist {

void add_config_members(PyObject*) {}

}  // namespace lanquist
