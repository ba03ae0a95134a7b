// SDKPort's members live in two files, each table beside its functions;
// port.cpp makes the class and attaches both. Also the two lookups of a
// port's interfaces that the per-family rules share with SDKPort.
#pragma once

#include "brontile/brontile.hpp"

namespace brontile {
namespace port {

// Mode grammar and configuration queries (port_modes.cpp).
void add_mode_members(PyObject* sdk_port);

// Read by the generic queries and by the per-family rules (port_rules.cpp).
// The interface number of a hardware interface name: int() of what follows
// the two-letter prefix ("xe12" -> 12).
host::Ref intf_number(PyObject* name);
// self.hw_ports[sub], indexed with the caller's object.
host::Ref hw_port_at(PyObject* self, PyObject* sub);

}  // namespace port
}  // namespace brontile
