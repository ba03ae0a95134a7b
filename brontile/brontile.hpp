// brontile: the platform model and the chip and port catalogue.
#pragma once

#include "host/host.hpp"

namespace brontile {

constexpr const char* kModule = "brontile";

// The module object, for lookups made at call time (its globals, __file__).
PyObject* module();

// A module global looked up at call time, as Python code naming it would.
inline host::Ref global(PyObject* name) { return host::global(module(), name); }

// Class definitions, run in this order at import.
void define_errors(PyObject* m);    // NoSuchPlatform, NoSuchChip, NoSuchMode
void define_platform(PyObject* m);  // Platform, SDKSwitch, BCMSwitch

}  // namespace brontile
