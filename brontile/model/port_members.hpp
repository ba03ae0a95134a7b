// SDKPort's members live in two files, each table beside its functions;
// port.cpp makes the class and attaches both.
#pragma once

#include "brontile/brontile.hpp"

namespace brontile {
namespace port {

// Mode grammar and configuration queries (port_modes.cpp).
void add_mode_members(PyObject* sdk_port);

}  // namespace port
}  // namespace brontile
