// Shared by the configured SDK port classes (sdk_configured_port.cpp) and the
// per-chip polarity-line generators (polarity.cpp).
#pragma once

#include "host/members.hpp"
#include "lanquist/lanquist.hpp"

namespace lanquist {

// The configured ports of an iterable in hardware order: ascending by the
// number after the two-letter prefix of each one's first hardware interface
// name (physical_port.hw_ports[0]), a stable sort. A new list.
host::Ref hardware_order(PyObject* ports);

// The per-chip polarity-line generators, methods (port, portmap, sub) of
// SDKConfiguredPort: each appends one line per lane of the sub-port to the SDK
// line list `portmap` and returns that same list.
host::Ref td3_rx_logical_polarity_flip(PyObject* self, const host::Args& a);
host::Ref td3_tx_logical_polarity_flip(PyObject* self, const host::Args& a);
host::Ref th3_rx_logical_polarity_flip(PyObject* self, const host::Args& a);
host::Ref th3_tx_logical_polarity_flip(PyObject* self, const host::Args& a);
host::Ref qmx_rx_logical_polarity_flip(PyObject* self, const host::Args& a);
host::Ref qmx_tx_logical_polarity_flip(PyObject* self, const host::Args& a);

}  // namespace lanquist
