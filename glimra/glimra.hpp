// glimra: the LED processor programs of the switch chip's LED controllers.
#pragma once

#include "host/data.hpp"
#include "host/host.hpp"
#include "host/members.hpp"

namespace glimra {

constexpr const char* kModule = "glimra";

// The module object, for lookups made at call time.
PyObject* module();

// A module global looked up at call time (tempfile, shutil, subprocess, os,
// open), so a caller or a test may rebind it.
inline host::Ref global(PyObject* name) { return host::global(module(), name); }

// operator.methodcaller, taken at import (the sort key of the ports).
PyObject* methodcaller();

// --- shared helpers ------------------------------------------------------------------
// The pad bit a LedCall stands for, by equality as the chain compares calls
// (True and 1.0 are the pad 1): 0, 1, or -1 for anything else.
int pad_bit(PyObject* call);
using host::subscript;
using host::unpack;

// --- the program texts (templates.cpp) ---------------------------------------------
extern const char* const kMainTemplate;
extern const char* const kConstants;
extern const char* const kDefinesTemplate;
extern const char* const kPlainVariables;
extern const char* const kPlainFunctions;
extern const char* const kPlainBlinkerCalls;
extern const char* const kIdVariables;  // one placeholder: base_addr
// Where BCMLEDController keeps the port map in data RAM.
constexpr long kDataArrayBaseAddr = 0xc0;
// The ID program's variables text filled with a port map base address.
host::Ref id_variables(PyObject* base);
// The one BCMLEDController holds, filled with its own base when it was made.
PyObject* class_id_variables();
extern const char* const kIdFunctions;
extern const char* const kIdBlinkerCalls;
extern const char* const kPadZero;
extern const char* const kPadOne;
extern const char* const kPadNZero;
extern const char* const kPadNOne;

// --- members of BCMLEDController ------------------------------------------------------
// chain.cpp: configuration of one controller's chain
host::Ref controller_init(PyObject* self, const host::Args& a);
host::Ref configure(PyObject* self, const host::Args& a);
host::Ref led_pad_call(PyObject* self, const host::Args& a);
host::Ref led_port_call(PyObject* self, const host::Args& a);
host::Ref chain_port(PyObject* self, const host::Args& a);
host::Ref chain_port_unchanged(PyObject* self, const host::Args& a);
// cost.cpp: loop or unroll the pad runs
host::Ref eval_looping(PyObject* self, const host::Args& a);
host::Ref calc_looped_instructions(PyObject* self, const host::Args& a);
host::Ref calc_unrolled_instructions(PyObject* self, const host::Args& a);
// program.cpp: the program text
host::Ref defines(PyObject* self);
host::Ref asm_text(PyObject* self);
// assembly.cpp: the assembler and the data RAM
host::Ref hex(PyObject* self);
host::Ref compile(PyObject* self, const host::Args& a);
host::Ref led_map(PyObject* self, const host::Args& a);
host::Ref led_memory_init_commands(PyObject* self, const host::Args& a);

}  // namespace glimra
