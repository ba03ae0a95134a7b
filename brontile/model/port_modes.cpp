// SDKPort's mode rules: the mode check, speeds and lane counts, shorthand
// completion, and the questions asked of every port while ports are configured.
#include "brontile/model/port_members.hpp"

namespace brontile {
namespace port {
using host::Ref;

namespace {

// Speed in Gb/s of one port that fills a cage, by cage type.
PyObject* sff_speeds() {
  using namespace host::data;
  static PyObject* const table =
      dict_of({{"SFP+", 10}, {"SFP28", 25}, {"QSFP+", 40}, {"QSFP28", 100}, {"QSFP56", 400}})
          .make_object(module())
          .release();
  return table;
}

// (speed, lanes) pairs. 2.5, 5 and 13 run on one lane and 20 on two, as the
// catalogue's modes at those speeds need; anything else is refused.
PyObject* lane_table() {
  using namespace host::data;
  static PyObject* const table =
      tuple_from({tuple_of(40, 4), tuple_of(100, 4), tuple_of(50, 2), tuple_of(20, 2), tuple_of(1, 1),
                  tuple_of(10, 1), tuple_of(25, 1), tuple_of(2.5, 1), tuple_of(5, 1), tuple_of(13, 1)})
          .make_object(module())
          .release();
  return table;
}

// Shorthands in the order the NoSuchMode message lists them; any other
// shorthand member follows in the order first met.
constexpr const char* kShorthandOrder[] = {"1x", "/4", "2x", "4x", "/1", "8x", "/2", "/8"};

enum class Op { kSame, kDivide, kMultiply };
struct Completion {
  const char* shorthand;
  const char* format;
  Op op;
  long by;
};
// "Kx" splits the cage's speed K ways; "/K" joins K cages.
constexpr Completion kCompletions[] = {
    {"1x", "%dG", Op::kSame, 1},       {"2x", "2x%dG", Op::kDivide, 2},   {"4x", "4x%dG", Op::kDivide, 4},
    {"8x", "8x%dG", Op::kDivide, 8},   {"/1", "%dG", Op::kSame, 1},       {"/2", "%dG/2", Op::kMultiply, 2},
    {"/4", "%dG/4", Op::kMultiply, 4}, {"/8", "%dG/8", Op::kMultiply, 8},
};
constexpr std::size_t kNumCompletions = sizeof(kCompletions) / sizeof(kCompletions[0]);

PyObject* completion_text(std::size_t i) {
  static PyObject* const* const texts = [] {
    auto* t = new PyObject*[kNumCompletions];
    for (std::size_t k = 0; k < kNumCompletions; ++k) t[k] = host::interned(kCompletions[k].shorthand);
    return t;
  }();
  return texts[i];
}

void append_once(PyObject* list, PyObject* v) {
  if (!host::contains(list, v)) host::check_rc(PyList_Append(list, v));
}

Ref check_mode(PyObject* cls, const host::Args& a) {
  PyObject* mode = a[0];
  Ref modes = host::getattr(cls, HN("modes"));
  if (host::contains(modes.get(), mode)) return host::none();

  Ref found = host::new_list();
  host::for_each(modes.get(), [&](PyObject* m) {
    if (host::contains(m, HN("x"))) {
      append_once(found.get(), HN("1x"));
      append_once(found.get(), HN("/1"));
      append_once(found.get(), host::slice(m, 0, 2).get());
    }
    if (host::contains(m, HN("/"))) {
      append_once(found.get(), HN("1x"));
      append_once(found.get(), HN("/1"));
      append_once(found.get(), host::slice(m, -2, host::kOpen).get());
    }
  });

  Ref listed = host::new_list();
  for (const char* s : kShorthandOrder) {
    Ref t = host::text(s);
    if (host::contains(found.get(), t.get())) host::check_rc(PyList_Append(listed.get(), t.get()));
  }
  for (Py_ssize_t i = 0, n = PyList_GET_SIZE(found.get()); i < n; ++i) {
    append_once(listed.get(), PyList_GET_ITEM(found.get(), i));
  }
  host::call_method(listed.get(), HN("extend"), modes.get());

  Ref message = host::format(HN("error: mode not found: %s, must be one of: %s"), host::tuple(mode, listed.get()).get());
  host::raise_value(global(HN("NoSuchMode")).get(), message.get());
}

Ref speed(PyObject* cls, const host::Args& a) {
  host::call_method(cls, HN("_check_mode"), a[0]);
  Ref speeds = host::getattr(cls, HN("_speed_map"));
  return host::item(speeds.get(), a[0]);
}

Ref num_lanes(PyObject* cls, const host::Args& a) {
  Ref s = host::call_method(cls, HN("speed"), a[0]);
  PyObject* table = lane_table();
  for (Py_ssize_t i = 0, n = PyTuple_GET_SIZE(table); i < n; ++i) {
    PyObject* row = PyTuple_GET_ITEM(table, i);
    if (host::equal(s.get(), PyTuple_GET_ITEM(row, 0))) return Ref::borrow(PyTuple_GET_ITEM(row, 1));
  }
  Ref message = host::format(HN("invalid speed: %d"), host::tuple(s.get()).get());
  host::raise_value(PyExc_RuntimeError, message.get());
}

// Bound to a port, the object fills `config` and is not used: the port whose
// cage decides comes next, as `self`.
Ref complete_mode(PyObject*, const host::Args& a) {
  PyObject* port = a[0];
  PyObject* mode = a[1];
  std::size_t i = 0;
  while (i < kNumCompletions && !host::equal(mode, completion_text(i))) ++i;
  if (i == kNumCompletions) return Ref::borrow(mode);

  const Completion& c = kCompletions[i];
  Ref cage = host::getattr(port, HN("phy_layer"));
  Ref max_speed = host::item(sff_speeds(), cage.get());
  Ref by = host::integer(c.by);
  Ref value;
  switch (c.op) {
    case Op::kSame: value = max_speed; break;
    case Op::kDivide: value = host::check(PyNumber_FloorDivide(max_speed.get(), by.get())); break;
    case Op::kMultiply: value = host::check(PyNumber_Multiply(max_speed.get(), by.get())); break;
  }
  return host::format(host::text(c.format).get(), host::tuple(value.get()).get());
}

Ref port_mangler(PyObject* self, const host::Args& a) {
  Ref pair = host::tuple(self, a[0]);
  return host::tuple(pair.get());
}

Ref configurable(PyObject* self, const host::Args& a) {
  Ref key = host::truth(host::getattr(self, HN("is_fabric")).get())
                ? host::check(PyNumber_Add(HN("Fabric-"), host::getattr(self, HN("label")).get()))
                : host::getattr(self, HN("label"));
  Ref fallback = host::getattr(self, HN("default_mode"));
  Ref mode = host::call_method(a[0], HN("get"), key.get(), fallback.get());
  Ref lower = host::call_method(mode.get(), HN("lower"));
  Ref disabled = host::call_method(lower.get(), HN("startswith"), HN("disable"));
  return host::boolean(!host::truth(disabled.get()));
}

Ref mac_addrs_contrib_total(PyObject* self, const host::Args& a) {
  if (!host::truth(host::call_method(self, HN("configurable"), a[0]).get())) return host::integer(0);
  // Fabric ports without Linux interfaces take no addresses.
  if (host::truth(host::getattr(self, HN("is_fabric")).get()) &&
      !host::truth(host::getattr(self, HN("create_fabric")).get())) {
    return host::integer(0);
  }
  return host::getattr(self, HN("max_logical_ports"));
}

constexpr host::Member kModeMembers[] = {
    host::method("port_mangler", "mode", port_mangler),
    host::method("complete_mode", "self, mode", complete_mode).object_named("config"),
    host::method("configurable", "config_map", configurable),
    host::classmethod("_check_mode", "mode", check_mode),
    host::classmethod("speed", "mode", speed),
    host::classmethod("num_lanes", "mode", num_lanes),
    host::method("mac_addrs_contrib_total", "config_map", mac_addrs_contrib_total),
};

}  // namespace

void add_mode_members(PyObject* sdk_port) { host::add_members<kModeMembers>(sdk_port); }

}  // namespace port
}  // namespace brontile
