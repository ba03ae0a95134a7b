// The per-family port rules: what a chip family's port types answer in place
// of the generic port's hooks and numbering. Each rule is written once, in
// port_rules.cpp; the family files bind the entries below to their classes.
//
// Every rule asks what it needs of the object by name at call time
// (`_check_mode`, `num_logical_ports`, `hw_intf_num`, `hw_ports`, `label`, ...),
// so a per-object value or a Python subclass's method takes effect.
#pragma once

#include "brontile/brontile.hpp"

namespace brontile {
namespace rules {
using host::Args;
using host::Ref;

// --- port counts (a[0] = mode) ---------------------------------------------------
Ref one(PyObject* self, const Args& a);             // 1 for any text, unchecked
Ref one_checked(PyObject* self, const Args& a);     // mode check, then 1
Ref breakout_digit(PyObject* self, const Args& a);  // "4x25G" 4, "2x50G" 2, else 1
Ref forty_breakout(PyObject* self, const Args& a);  // "4x10G", "4x1G" 4, else 1
Ref gang_logical(PyObject* self, const Args& a);    // single 1; gang: leader 1, member 0
Ref gang_physical(PyObject* self, const Args& a);   // single 1; gang: leader 4, member 0
Ref max_one(PyObject* self);
Ref max_four(PyObject* self);
Ref max_by_adjacency(PyObject* self);  // 4, or 2 when the port has an adjacent port
Ref max_by_lanes(PyObject* self);      // one per hardware interface
Ref speed_one(PyObject* cls, const Args& a);

// --- lane polarity (a[0] mode, a[1] sub, a[2] the stored value) ---------------------
Ref polarity_flag(PyObject* self, const Args& a);
Ref polarity_count(PyObject* self, const Args& a);
Ref polarity_mode(PyObject* self, const Args& a);
Ref polarity_list(PyObject* self, const Args& a);

// --- hardware port numbers, bitmaps, prefixes, names (a[0] mode, a[1] sub) -----------
Ref serdes_lane_port_num(PyObject* self, const Args& a);
Ref hurricane2_port_num(PyObject* self, const Args& a);
Ref hurricane2_pbmp(PyObject* self, const Args& a);
Ref speed_prefix(PyObject* self, const Args& a);
Ref speed_prefix_ge(PyObject* self, const Args& a);
Ref qumran_if_name(PyObject* self, const Args& a);

// --- LED port numbers (a[0] mode, a[1] sub) -------------------------------------------
Ref led_intf_num(PyObject* self, const Args& a);
Ref led_fold36(PyObject* self, const Args& a);
Ref led_fold_tomahawk(PyObject* self, const Args& a);
Ref led_fold64(PyObject* self, const Args& a);
Ref led_refused(PyObject* self, const Args& a);
Ref led_helix4(PyObject* self, const Args& a);
Ref led_hurricane2(PyObject* self, const Args& a);

// --- logical port numbers (a[0] mode, a[1] sub, a[2] port_base) -------------------------
Ref logical_sequential(PyObject* self, const Args& a);
Ref logical_tridentthree(PyObject* self, const Args& a);
Ref logical_lane_plus_one(PyObject* self, const Args& a);
Ref logical_tomahawk(PyObject* self, const Args& a);
Ref logical_tomahawktwo(PyObject* self, const Args& a);
Ref logical_tomahawkthree(PyObject* self, const Args& a);
Ref find_port(PyObject* self, const Args& a);  // a[0] label
Ref blocked_adj_split_num(PyObject* self, const Args& a);

// --- autonegotiation (a[0] mode) and fiber preference -----------------------------------
Ref an_teng_auto(PyObject* self, const Args& a);  // "10G" or "4x10G", PHY layer not BaseT
Ref an_teng_on(PyObject* self, const Args& a);
Ref an_teng_off(PyObject* self, const Args& a);
Ref an_10g_on(PyObject* self, const Args& a);  // "10G" alone, PHY layer not BaseT
Ref an_10g_off(PyObject* self, const Args& a);
Ref an_off(PyObject* self, const Args& a);  // any mode
Ref an_auto(PyObject* self, const Args& a);
Ref fiber_pref(PyObject* self);       // "SFP" in the PHY layer
Ref fiber_pref_none(PyObject* self);  // no preference at all

}  // namespace rules

// The member entries, each written once: a family's class tables list the
// entries its classes carry.
namespace entry {
using namespace rules;
constexpr const char* kModeSub = "mode, sub";
constexpr const char* kPortBase = "mode, sub, port_base";

constexpr host::Member count_one = host::method("num_logical_ports", "mode", one);
constexpr host::Member count_one_checked = host::method("num_logical_ports", "mode", one_checked);
constexpr host::Member physical_one_checked = host::method("num_physical_ports", "mode", one_checked);
constexpr host::Member count_breakout = host::method("num_logical_ports", "mode", breakout_digit);
constexpr host::Member count_forty = host::method("num_logical_ports", "mode", forty_breakout);
constexpr host::Member count_gang = host::method("num_logical_ports", "mode", gang_logical);
constexpr host::Member physical_gang = host::method("num_physical_ports", "mode", gang_physical);
constexpr host::Member max_1 = host::property("max_logical_ports", max_one);
constexpr host::Member max_4 = host::property("max_logical_ports", max_four);
constexpr host::Member max_adjacent = host::property("max_logical_ports", max_by_adjacency);
constexpr host::Member max_lanes = host::property("max_logical_ports", max_by_lanes);
constexpr host::Member speed_1 = host::classmethod("speed", "mode", speed_one);

constexpr host::Member polarity_by_flag = host::method("polarity_flip_val", "mode, sub, polarity_flip", polarity_flag);
constexpr host::Member polarity_by_count =
    host::method("polarity_flip_val", "mode, sub, polarity_flip_list", polarity_count);
constexpr host::Member polarity_by_mode =
    host::method("polarity_flip_val", "mode, sub, polarity_flip_list", polarity_mode);
constexpr host::Member polarity_by_list =
    host::method("polarity_flip_val", "mode, sub, polarity_flip_list", polarity_list);

constexpr host::Member port_num_serdes = host::method("hw_port_num", kModeSub, serdes_lane_port_num);
constexpr host::Member port_num_hurricane2 = host::method("hw_port_num", kModeSub, hurricane2_port_num);
constexpr host::Member pbmp_hurricane2 = host::method("hw_pbmp", kModeSub, hurricane2_pbmp);
constexpr host::Member prefix_by_speed = host::method("hw_intf_prefix", kModeSub, speed_prefix);
constexpr host::Member prefix_by_speed_ge = host::method("hw_intf_prefix", kModeSub, speed_prefix_ge);
constexpr host::Member if_name_get = host::method("if_name_get", kModeSub, qumran_if_name);

constexpr host::Member led_by_intf = host::method("led_port_num", kModeSub, led_intf_num);
constexpr host::Member led_36 = host::method("led_port_num", kModeSub, led_fold36);
constexpr host::Member led_tomahawk = host::method("led_port_num", kModeSub, led_fold_tomahawk);
constexpr host::Member led_64 = host::method("led_port_num", kModeSub, led_fold64);
constexpr host::Member led_none = host::method("led_port_num", kModeSub, led_refused);
constexpr host::Member led_helix4_offsets = host::method("led_port_num", kModeSub, led_helix4);
constexpr host::Member led_hurricane2_offsets = host::method("led_port_num", kModeSub, led_hurricane2);

constexpr host::Member logical_from_base = host::method("logical_port_num", kPortBase, logical_sequential);
constexpr host::Member logical_tridentthree_lanes = host::method("logical_port_num", kPortBase, logical_tridentthree);
constexpr host::Member logical_lane = host::method("logical_port_num", kPortBase, logical_lane_plus_one);
constexpr host::Member logical_tomahawk_lanes = host::method("logical_port_num", kPortBase, logical_tomahawk);
constexpr host::Member logical_tomahawktwo_pairs = host::method("logical_port_num", kPortBase, logical_tomahawktwo);
constexpr host::Member logical_tomahawkthree_pairs =
    host::method("logical_port_num", kPortBase, logical_tomahawkthree);
constexpr host::Member find_port_by_label = host::method("find_port", "label", find_port);
constexpr host::Member blocked_split = host::method("blocked_adj_split_num", "", blocked_adj_split_num);

constexpr host::Member c37_teng_auto = host::method("an_c37", "mode", an_teng_auto);
constexpr host::Member c37_teng_on = host::method("an_c37", "mode", an_teng_on);
constexpr host::Member c73_teng_off = host::method("an_c73", "mode", an_teng_off);
constexpr host::Member c37_10g_on = host::method("an_c37", "mode", an_10g_on);
constexpr host::Member c73_10g_off = host::method("an_c73", "mode", an_10g_off);
constexpr host::Member c37_off = host::method("an_c37", "mode", an_off);
constexpr host::Member c73_off = host::method("an_c73", "mode", an_off);
constexpr host::Member c73_auto = host::method("an_c73", "mode", an_auto);
constexpr host::Member fiber = host::property("set_fiber_pref", fiber_pref);
constexpr host::Member fiber_none = host::property("set_fiber_pref", fiber_pref_none);
}  // namespace entry

// Attach a table of entries to the module's class `name` (made by an earlier phase).
template <const auto& Table>
void override_members(PyObject* m, const char* name) {
  host::Ref cls = host::getattr(m, host::interned(name));
  host::add_members<Table>(cls.get());
}

}  // namespace brontile
