#include "lanquist/lanquist.hpp"

namespace lanquist {

void add_runner_members(PyObject*, PyObject*, PyObject*) {}

}  // namespace lanquist
