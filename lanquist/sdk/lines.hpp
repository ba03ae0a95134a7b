// What the renderers of the SDK configuration lines share: the walk over the
// logical ports of the configured ports, the line list and its formatting.
#pragma once

#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {

inline bool is_none(const Ref& v) { return v.get() == Py_None; }

// `for port in self.ports: body(port)`, the list read once per render.
template <typename F>
void for_each_port(PyObject* self, F&& body) {
  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), body);
}

// `for sub in range(port.num_logical_ports): body(sub)`.
template <typename F>
void for_each_sub(PyObject* port, F&& body) {
  Ref n = host::getattr(port, HN("num_logical_ports"));
  for_range(n.get(), body);
}

// The lines of one text, joined with "\n" at the end. Nothing reaches the
// caller before the whole text is made.
class Lines {
 public:
  Lines() : list_(host::new_list()) {}
  void add(const Ref& line) { host::append(list_.get(), line.get()); }
  template <typename... A>
  void add(PyObject* format, A... args) {
    add(fmt(format, args...));
  }
  Ref text() const { return join_lines(list_.get()); }

 protected:
  Ref list_;
};

// `len(self.units)`, asked once, when a key first needs it: a text without
// lines never asks (there are no units before the first calculation).
class UnitCount {
 public:
  explicit UnitCount(PyObject* self) : self_(self) {}
  PyObject* get() {
    if (!count_) {
      Ref units = host::getattr(self_, HN("units"));
      count_ = host::check(PyInt_FromSsize_t(host::length(units.get())));
    }
    return count_.get();
  }

 private:
  PyObject* self_;
  Ref count_;
};

// `self.platform.name` in an error text.
[[noreturn]] inline void refuse(PyObject* self, PyObject* format) {
  Ref platform = host::getattr(self, HN("platform"));
  Ref name = host::getattr(platform.get(), HN("name"));
  host::raise_value(PyExc_RuntimeError, fmt(format, name.get()).get());
}

}  // namespace sdk
}  // namespace lanquist
