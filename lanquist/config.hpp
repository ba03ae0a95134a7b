// Helpers shared by the members of Config (config.cpp: the object and ports.conf;
// interfaces.cpp: MAC addresses and Linux interfaces).
#pragma once

#include <initializer_list>

#include "lanquist/lanquist.hpp"

namespace lanquist {
namespace config_detail {

using host::Ref;

// The last five members of Config, added after the first eight.
void add_interface_members(PyObject* config);

// A new list of the given objects, in order: the word list handed to a runner.
Ref word_list(std::initializer_list<PyObject*> words);

// A command word filled from any value exactly as "%s" fills it.
inline Ref as_word(PyObject* value) { return host::format(HN("%s"), host::tuple(value).get()); }

// `self.<runner>.run(words)`: the runner is looked up on the object at each call.
Ref run(PyObject* self, PyObject* runner, Ref words);

// Write `content` (a str) to the file at `path` whole or not at all
// (files.cpp). `perm`: the permission bits the file gets; nullptr: an
// existing file keeps its own and a new one gets what open() gives.
void write_whole(PyObject* path, PyObject* content, PyObject* perm);
// A stat result's permission bits.
Ref permission_bits(PyObject* st);

// `self.platform.switch`, read through the object's fields.
Ref switch_of(PyObject* self);
// `self.platform.switch.chip`.
inline Ref chip_of(PyObject* self) { return host::getattr(switch_of(self).get(), HN("chip")); }

}  // namespace config_detail
}  // namespace lanquist
