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

// The class statements, each making its classes with their members and
// binding them in the module; module.cpp calls them in definition order.
void define_runners(PyObject* m);           // Idwarden, IPRoute2, Drovik
void define_config(PyObject* m);            // Config
void define_configured_ports(PyObject* m);  // ConfiguredPort
// SDKConfiguredPort, BCMConfiguredPort, SDKConfiguredMappedPort,
// BCMConfiguredMappedPort and BCMConfiguredDportPort with their members, bound
// in the module in that order (sdk_configured_port.cpp).
void define_sdk_configured_ports(PyObject* m);
void define_sdk_config(PyObject* m);  // SDKConfig and BCMConfig with their members (sdk/)

}  // namespace lanquist
