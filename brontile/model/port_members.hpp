// Members of SDKPort defined in more than one file; port.cpp attaches them all.
#pragma once

#include "brontile/brontile.hpp"

namespace brontile {
namespace port {

// Mode grammar and configuration queries (port_modes.cpp).
host::Ref check_mode(PyObject* cls, PyObject* args, PyObject* kwargs);
host::Ref speed(PyObject* cls, PyObject* args, PyObject* kwargs);
host::Ref num_lanes(PyObject* cls, PyObject* args, PyObject* kwargs);
host::Ref complete_mode(PyObject* self, PyObject* args, PyObject* kwargs);
host::Ref port_mangler(PyObject* self, PyObject* args, PyObject* kwargs);
host::Ref configurable(PyObject* self, PyObject* args, PyObject* kwargs);
host::Ref mac_addrs_contrib_total(PyObject* self, PyObject* args, PyObject* kwargs);

}  // namespace port
}  // namespace brontile
