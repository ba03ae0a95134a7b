// The per-family port rules declared in port_rules.hpp.
//
// Numbers stay the interpreter's objects throughout: a platform definition may
// hand over longs, or override hw_port_num to answer one, and the answers must
// be what the same arithmetic gives in Python (floor division, unbounded shifts).
#include "brontile/model/port_rules.hpp"

#include "brontile/model/port_members.hpp"

namespace brontile {
namespace rules {

namespace {

Ref num(long v) { return host::integer(v); }

// Plain ints, the common case, are done in C; anything else (a long, an int
// subclass a platform hands over) goes through the interpreter's own operators.
constexpr long kSmall = 1L << 40;
bool small_int(PyObject* a) {
  if (!PyInt_CheckExact(a)) return false;
  long v = PyInt_AS_LONG(a);
  return v > -kSmall && v < kSmall;
}

Ref add(PyObject* a, long b) {
  if (small_int(a)) return num(PyInt_AS_LONG(a) + b);
  return host::check(PyNumber_Add(a, num(b).get()));
}

bool compare(PyObject* a, long b, int op) {
  if (PyInt_CheckExact(a)) {
    long v = PyInt_AS_LONG(a);
    switch (op) {
      case Py_EQ: return v == b;
      case Py_GT: return v > b;
      case Py_GE: return v >= b;
      case Py_LT: return v < b;
    }
  }
  return host::check_rc(PyObject_RichCompareBool(a, num(b).get(), op)) != 0;
}
bool eq(PyObject* a, long b) { return compare(a, b, Py_EQ); }
bool gt(PyObject* a, long b) { return compare(a, b, Py_GT); }

using port::hw_port_at;
using port::intf_number;

void check_mode(PyObject* self, PyObject* mode) { host::call_method(self, HN("_check_mode"), mode); }

// self.<name>(mode, sub): the object's own answer to another per-sub-port query.
Ref ask(PyObject* self, PyObject* name, PyObject* mode, PyObject* sub) {
  return host::call_method(self, name, mode, sub);
}

[[noreturn]] void bad_prefix() { host::raise(PyExc_RuntimeError, "bad interface prefix"); }

// 1 when bit `sub` of the mask is set, else 0.
Ref lane_bit(PyObject* mask, PyObject* sub) {
  Ref bit = host::check(PyNumber_Lshift(num(1).get(), sub));
  Ref set = host::check(PyNumber_And(mask, bit.get()));
  return num(host::truth(set.get()) ? 1 : 0);
}

}  // namespace

// --- port counts ---------------------------------------------------------------------

Ref one(PyObject*, const Args&) { return num(1); }

Ref one_checked(PyObject* self, const Args& a) {
  check_mode(self, a[0]);
  return num(1);
}

Ref breakout_digit(PyObject* self, const Args& a) {
  PyObject* mode = a[0];
  check_mode(self, mode);
  Ref second = host::item(mode, Py_ssize_t{1});
  if (!host::equal(second.get(), HN("x"))) return num(1);
  Ref first = host::item(mode, Py_ssize_t{0});
  return host::to_int(first.get());
}

// The modes of the 40G classes: the whole port or a four-way breakout ("4x1G"
// passes the mode check only where the class offers it).
Ref forty_breakout(PyObject* self, const Args& a) {
  PyObject* mode = a[0];
  check_mode(self, mode);
  if (host::equal(mode, HN("4x10G")) || host::equal(mode, HN("4x1G"))) return num(4);
  return num(1);
}

namespace {
enum class Gang { kSingle, kLeader, kMember };

// In a gang mode the cage whose first interface number is a multiple of 4
// carries the joined port; the other three yield nothing of their own.
Gang gang_role(PyObject* self, PyObject* mode) {
  check_mode(self, mode);
  Ref gang_modes = host::getattr(self, HN("gang_modes"));
  if (!host::contains(gang_modes.get(), mode)) return Gang::kSingle;
  Ref first = hw_port_at(self, num(0).get());
  Ref n = intf_number(first.get());
  Ref rest = host::check(PyNumber_Remainder(n.get(), num(4).get()));
  return eq(rest.get(), 0) ? Gang::kLeader : Gang::kMember;
}
}  // namespace

Ref gang_logical(PyObject* self, const Args& a) {
  return num(gang_role(self, a[0]) == Gang::kMember ? 0 : 1);
}

Ref gang_physical(PyObject* self, const Args& a) {
  switch (gang_role(self, a[0])) {
    case Gang::kSingle: return num(1);
    case Gang::kLeader: return num(4);
    case Gang::kMember: break;
  }
  return num(0);
}

Ref max_one(PyObject*) { return num(1); }
Ref max_four(PyObject*) { return num(4); }

// A port with an adjacent port gives up its two upper lanes to it.
Ref max_by_adjacency(PyObject* self) {
  Ref adj = host::getattr(self, HN("adj_label"));
  return num(adj.get() == Py_None ? 4 : 2);
}

Ref max_by_lanes(PyObject* self) {
  Ref ports = host::getattr(self, HN("hw_ports"));
  return num(static_cast<long>(host::length(ports.get())));
}

// The 1G classes have no speed table; they answer on the class too, where the
// generic num_lanes asks.
Ref speed_one(PyObject*, const Args&) { return num(1); }

// --- lane polarity ---------------------------------------------------------------------

// One lane: inverted only when the stored flag is True itself.
Ref polarity_flag(PyObject* self, const Args& a) {
  check_mode(self, a[0]);
  return num(a[2] == Py_True ? 1 : 0);
}

// A lane mask over the port's lanes, divided among its logical ports.
Ref polarity_count(PyObject* self, const Args& a) {
  PyObject *mode = a[0], *sub = a[1], *mask = a[2];
  check_mode(self, mode);
  Ref n = host::call_method(self, HN("num_logical_ports"), mode);
  if (eq(n.get(), 4)) return lane_bit(mask, sub);
  n = host::call_method(self, HN("num_logical_ports"), mode);
  if (eq(n.get(), 2)) {
    Ref shift = host::check(PyNumber_Multiply(num(2).get(), sub));
    Ref lanes = host::check(PyNumber_Rshift(mask, shift.get()));
    return host::check(PyNumber_And(lanes.get(), num(3).get()));
  }
  return Ref::borrow(mask);
}

// A lane mask on a 40G port: one lane per port in a four-way breakout, the
// whole mask as one port.
Ref polarity_mode(PyObject* self, const Args& a) {
  PyObject *mode = a[0], *sub = a[1], *mask = a[2];
  check_mode(self, mode);
  if (host::equal(mode, HN("4x1G")) || host::equal(mode, HN("4x10G"))) return lane_bit(mask, sub);
  if (host::equal(mode, HN("40G"))) return Ref::borrow(mask);
  return host::none();
}

// One flag per lane; the whole port takes a hexadecimal digit per lane, all
// ones for an inverted lane, lane 0 lowest.
Ref polarity_list(PyObject* self, const Args& a) {
  PyObject *mode = a[0], *sub = a[1], *flags = a[2];
  check_mode(self, mode);
  if (host::equal(mode, HN("4x10G"))) {
    Ref flag = host::item(flags, sub);
    return num(flag.get() == Py_True ? 1 : 0);
  }
  if (!host::equal(mode, HN("40G"))) return host::none();
  Ref value = num(0);
  Ref four = num(4), all = num(15), none = num(0);
  Ref backwards = host::call(reinterpret_cast<PyObject*>(&PyReversed_Type), flags);
  host::for_each(backwards.get(), [&](PyObject* flag) {
    value = host::check(PyNumber_Lshift(value.get(), four.get()));
    value = host::check(PyNumber_Or(value.get(), flag == Py_True ? all.get() : none.get()));
  });
  return value;
}

// --- hardware port numbers, bitmaps, prefixes --------------------------------------------

// Families whose interface names carry the serdes lane number: the lane itself.
Ref serdes_lane_port_num(PyObject* self, const Args& a) {
  Ref name = hw_port_at(self, a[1]);
  return intf_number(name.get());
}

// Hurricane2 has no bitmap map: fixed offsets per interface prefix (xe2 and
// hg0 are the same port).
Ref hurricane2_port_num(PyObject* self, const Args& a) {
  Ref n = ask(self, HN("hw_intf_num"), a[0], a[1]);
  Ref p = ask(self, HN("hw_intf_prefix"), a[0], a[1]);
  if (host::equal(p.get(), HN("ge"))) return add(n.get(), 2);
  if (host::equal(p.get(), HN("xe"))) return add(n.get(), 26);
  if (host::equal(p.get(), HN("hg"))) return add(n.get(), 28);
  bad_prefix();
}

Ref hurricane2_pbmp(PyObject* self, const Args& a) {
  Ref position = ask(self, HN("hw_port_num"), a[0], a[1]);
  return host::check(PyNumber_Lshift(num(1).get(), position.get()));
}

namespace {
bool is_100g(PyObject* mode) { return host::equal(mode, HN("100G")) || host::equal(mode, HN("100G/4")); }
}  // namespace

// The SDK name follows the speed, not the interface names.
Ref speed_prefix(PyObject*, const Args& a) { return Ref::borrow(is_100g(a[0]) ? HN("ce") : HN("xe")); }

Ref speed_prefix_ge(PyObject*, const Args& a) {
  PyObject* mode = a[0];
  if (is_100g(mode)) return Ref::borrow(HN("ce"));
  return Ref::borrow(host::equal(mode, HN("1G")) ? HN("ge") : HN("xe"));
}

// The interface type of the speed and the index of the sub-port's lane group.
Ref qumran_if_name(PyObject* self, const Args& a) {
  PyObject *mode = a[0], *sub = a[1];
  check_mode(self, mode);
  Ref speed = host::call_method(self, HN("speed"), mode);
  Ref types = host::getattr(self, HN("_ifname_map"));
  Ref type = host::item(types.get(), speed.get());
  Ref number = ask(self, HN("hw_port_num"), mode, sub);
  Ref lanes = host::call_method(self, HN("num_lanes"), mode);
  Ref index = host::check(PyNumber_FloorDivide(number.get(), lanes.get()));
  return host::format(HN("%s%u"), host::tuple(type.get(), index.get()).get());
}

// --- LED port numbers -------------------------------------------------------------------

namespace {
Ref intf_num(PyObject* self, const Args& a) { return ask(self, HN("hw_intf_num"), a[0], a[1]); }
}  // namespace

Ref led_intf_num(PyObject* self, const Args& a) { return intf_num(self, a); }

// Two chains of 36: lanes 0-35 and 36-71 each give 1-36.
Ref led_fold36(PyObject* self, const Args& a) {
  Ref n = intf_num(self, a);
  return compare(n.get(), 36, Py_GE) ? add(n.get(), -35) : add(n.get(), 1);
}

Ref led_fold_tomahawk(PyObject* self, const Args& a) {
  Ref n = intf_num(self, a);
  if (eq(n.get(), 128)) return num(0);
  if (eq(n.get(), 130)) return num(1);
  if (gt(n.get(), 31)) return compare(n.get(), 96, Py_LT) ? add(n.get(), -32) : add(n.get(), -64);
  return n;
}

Ref led_fold64(PyObject* self, const Args& a) {
  Ref n = intf_num(self, a);
  if (gt(n.get(), 191)) return add(n.get(), -192);
  if (gt(n.get(), 127)) return add(n.get(), -128);
  if (gt(n.get(), 63)) return add(n.get(), -64);
  return n;
}

Ref led_refused(PyObject*, const Args&) { host::raise(PyExc_RuntimeError, "Trident 2 LED port unknown"); }

Ref led_helix4(PyObject* self, const Args& a) {
  Ref n = intf_num(self, a);
  Ref p = ask(self, HN("hw_intf_prefix"), a[0], a[1]);
  if (host::equal(p.get(), HN("ge"))) return add(n.get(), 1);
  if (host::equal(p.get(), HN("hg"))) return add(n.get(), 49);
  bad_prefix();
}

Ref led_hurricane2(PyObject* self, const Args& a) {
  Ref n = intf_num(self, a);
  Ref p = ask(self, HN("hw_intf_prefix"), a[0], a[1]);
  if (host::equal(p.get(), HN("ge"))) return add(n.get(), 2);
  if (host::equal(p.get(), HN("xe"))) {
    Ref twice = host::check(PyNumber_Multiply(n.get(), num(2).get()));
    return add(twice.get(), 26);
  }
  bad_prefix();
}

// --- logical port numbers -----------------------------------------------------------------

// Numbered on from the configuration's running count.
Ref logical_sequential(PyObject*, const Args& a) { return host::check(PyNumber_Add(a[2], a[1])); }

// Lane + 1, skipping 65 and 66.
Ref logical_tridentthree(PyObject* self, const Args& a) {
  Ref n = add(intf_num(self, a).get(), 1);
  return gt(n.get(), 64) ? add(n.get(), 2) : n;
}

Ref logical_lane_plus_one(PyObject* self, const Args& a) { return add(intf_num(self, a).get(), 1); }

// Four blocks of 32 lanes with gaps between them; interfaces 128 and 130 sit
// in the gaps.
Ref logical_tomahawk(PyObject* self, const Args& a) {
  Ref lane = ask(self, HN("hw_port_num"), a[0], a[1]);
  Ref n = add(lane.get(), 1);
  if (eq(n.get(), 129)) return num(66);
  if (eq(n.get(), 131)) return num(100);
  if (gt(n.get(), 32)) n = add(n.get(), 1);
  if (gt(n.get(), 65)) n = add(n.get(), 2);
  if (gt(n.get(), 99)) n = add(n.get(), 2);
  return n;
}

// Two numbers per port from its first lane pair; the third and fourth
// sub-ports of a four-way split take the next front-panel port's first two.
Ref logical_tomahawktwo(PyObject* self, const Args& a) {
  PyObject *mode = a[0], *sub = a[1], *port_base = a[2];
  if (eq(sub, 0) || eq(sub, 1)) {
    Ref lane = ask(self, HN("hw_port_num"), mode, num(0).get());
    Ref n = host::check(PyNumber_FloorDivide(lane.get(), num(2).get()));
    n = host::check(PyNumber_Add(add(n.get(), 1).get(), sub));
    if (gt(n.get(), 96)) return add(n.get(), 5);
    if (gt(n.get(), 64)) return add(n.get(), 3);
    if (gt(n.get(), 32)) return add(n.get(), 1);
    return n;
  }
  Ref label = host::getattr(self, HN("label"));
  Ref next_number = add(host::to_int(label.get()).get(), 1);
  Ref next_label = host::str(next_number.get());
  Ref next = host::call_method(self, HN("find_port"), next_label.get());
  // Without the next port there is no number to give; say which port is missing.
  if (next.get() == Py_None) {
    Ref message = host::format(HN("adjacent port not found: %s"), host::tuple(next_label.get()).get());
    host::raise_value(PyExc_RuntimeError, message.get());
  }
  Ref rest = host::check(PyNumber_Subtract(sub, num(2).get()));
  return host::call_method(next.get(), HN("logical_port_num"), mode, rest.get(), port_base);
}

// One number per lane pair, in eight blocks of 16.
Ref logical_tomahawkthree(PyObject* self, const Args& a) {
  static const long kSteps[][2] = {{112, 27}, {96, 23}, {80, 19}, {64, 15}, {48, 11}, {32, 7}, {16, 3}};
  Ref lane = ask(self, HN("hw_port_num"), a[0], a[1]);
  Ref n = add(host::check(PyNumber_FloorDivide(lane.get(), num(2).get())).get(), 1);
  for (const auto& step : kSteps) {
    if (gt(n.get(), step[0])) return add(n.get(), step[1]);
  }
  return n;
}

// The first non-fabric port of the running platform with this label.
Ref find_port(PyObject*, const Args& a) {
  PyObject* label = a[0];
  Ref zarnith = global(HN("zarnith"));
  Ref platforms = host::getattr(zarnith.get(), HN("platforms"));
  Ref platform = host::call_method(platforms.get(), HN("probe"));
  Ref sw = host::getattr(platform.get(), HN("switch"));
  Ref ports = host::getattr(sw.get(), HN("ports"));
  Ref found;
  Ref it = host::check(PyObject_GetIter(ports.get()));
  while (!found) {
    Ref port = Ref::steal(PyIter_Next(it.get()));
    if (!port) break;
    Ref its_label = host::getattr(port.get(), HN("label"));
    Ref same = host::check(PyObject_RichCompare(its_label.get(), label, Py_EQ));
    if (!host::truth(same.get())) continue;
    Ref fabric = host::getattr(port.get(), HN("is_fabric"));
    if (!host::truth(fabric.get())) found = port;
  }
  if (PyErr_Occurred()) host::fail();
  return found ? found : host::none();
}

Ref blocked_adj_split_num(PyObject* self, const Args&) {
  Ref split = host::getattr(self, HN("blocked_adj_split"));
  return split.get() == Py_None ? num(0) : split;
}

// --- autonegotiation and fiber preference ---------------------------------------------------

namespace {
// A copper PHY negotiates for itself: nothing is asked of the serdes.
bool base_t(PyObject* self) {
  Ref layer = host::getattr(self, HN("phy_layer"));
  return host::equal(layer.get(), HN("10GBaseT")) || host::equal(layer.get(), HN("1GBaseT"));
}

Ref when_10g(PyObject* self, PyObject* mode, bool breakout, PyObject* word) {
  if (base_t(self)) return host::none();
  if (host::equal(mode, HN("10G")) || (breakout && host::equal(mode, HN("4x10G")))) return Ref::borrow(word);
  return host::none();
}
}  // namespace

Ref an_teng_auto(PyObject* self, const Args& a) { return when_10g(self, a[0], true, HN("auto")); }
Ref an_teng_on(PyObject* self, const Args& a) { return when_10g(self, a[0], true, HN("on")); }
Ref an_teng_off(PyObject* self, const Args& a) { return when_10g(self, a[0], true, HN("off")); }
Ref an_10g_on(PyObject* self, const Args& a) { return when_10g(self, a[0], false, HN("on")); }
Ref an_10g_off(PyObject* self, const Args& a) { return when_10g(self, a[0], false, HN("off")); }
Ref an_off(PyObject*, const Args&) { return Ref::borrow(HN("off")); }
Ref an_auto(PyObject*, const Args&) { return Ref::borrow(HN("auto")); }

Ref fiber_pref(PyObject* self) {
  Ref layer = host::getattr(self, HN("phy_layer"));
  return host::boolean(host::contains(layer.get(), HN("SFP")));
}

Ref fiber_pref_none(PyObject*) { return host::none(); }

}  // namespace rules
}  // namespace brontile
