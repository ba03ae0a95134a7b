// lanquist: ports.conf, configured ports and the SDK start-up texts.
#pragma once

#include "host/host.hpp"

namespace lanquist {

constexpr const char* kModule = "lanquist";

// The module object; its globals (subprocess, os, shutil, syslog, sys, json, ...)
// are looked up at call time so that a caller or a test can replace them.
PyObject* module();
inline host::Ref global(PyObject* name) { return host::global(module(), name); }

// The `configparser` package: the host's when installed, else our own layer.
host::Ref configparser_module();

// Members of the classes, added after each class statement (module.cpp).
void add_runner_members(PyObject* idwarden, PyObject* iproute2, PyObject* drovik);
void add_config_members(PyObject* config);
void add_configured_port_members(PyObject* configured_port);

// SDKConfiguredPort, BCMConfiguredPort, SDKConfiguredMappedPort,
// BCMConfiguredMappedPort and BCMConfiguredDportPort with their members, bound
// in the module in that order (sdk_configured_port.cpp).
void define_sdk_configured_ports(PyObject* m);
// SDKConfig and BCMConfig with their members (sdk/).
void define_sdk_config(PyObject* m);

}  // namespace lanquist
