// The port map (port-mapped chips), the direct-port map (direct-port chips)
// and the lane and polarity lines of chips without a port map.
//
// The port map's key syntax depends on the chip: a few part numbers take
// per-lane keys of their own, recognised by isinstance against the chip
// classes of the maker's platform module, looked up at every test.
#include <initializer_list>

#include "lanquist/sdk/lines.hpp"

namespace lanquist {
namespace sdk {
namespace {

enum class Group { kTd3, kTh3, kQmx, kDefault };

bool is_any(PyObject* chip, std::initializer_list<PyObject*> class_names) {
  for (PyObject* name : class_names) {
    Ref maker = host::getattr(global(HN("zarnith")).get(), HN("platform"));
    Ref cls = host::getattr(maker.get(), name);
    if (host::is_instance(chip, cls.get())) return true;
  }
  return false;
}

bool is_qmx(PyObject* chip) { return is_any(chip, {HN("Qumran_88375_Chip"), HN("Qumran_88370_Chip")}); }

// Tested in this order; the first match decides.
Group group_of(PyObject* chip) {
  if (is_any(chip, {HN("TridentThreeX7_56870_Chip"), HN("TridentThreeX7_56873_Chip"),
                    HN("TridentThreeX5_56771_Chip"), HN("TomahawkTwo_56970_Chip")})) {
    return Group::kTd3;
  }
  if (is_any(chip, {HN("TomahawkThree_56980_Chip")})) return Group::kTh3;
  if (is_qmx(chip)) return Group::kQmx;
  return Group::kDefault;
}

bool flag_is_true(PyObject* chip, PyObject* flag) { return host::getattr(chip, flag).get() == Py_True; }

Ref plus(PyObject* a, long b) { return host::check(PyNumber_Add(a, host::integer(b).get())); }

// One direction (receive or transmit) of the port map's per-port settings.
struct Direction {
  PyObject* polarity;          // the port's raw polarity field
  PyObject* logical_polarity;  // its per-sub-port value
  PyObject* td3_lines;         // the per-chip generators
  PyObject* th3_lines;
  PyObject* qmx_lines;
  PyObject* xaui_format;
  PyObject* lane_map;
  PyObject* td3_lane_map_format;
  PyObject* th3_lane_map_format;
  PyObject* qmx_lane_map_format;
  PyObject* xgxs_lane_map_format;
  // Chips without a port map key the same settings by logical port number.
  PyObject* numbered_xaui_format;
  PyObject* numbered_lane_map_format;
};

const Direction& receive() {
  static const Direction d{HN("rx_polarity_flip"),
                           HN("rx_logical_polarity_flip"),
                           HN("td3_rx_logical_polarity_flip"),
                           HN("th3_rx_logical_polarity_flip"),
                           HN("qmx_rx_logical_polarity_flip"),
                           HN("phy_xaui_rx_polarity_flip_%s=0x%04x"),
                           HN("rx_lane_map"),
                           HN("phy_chain_rx_lane_map_physical{%u.0}=0x%04x"),
                           HN("phy_chain_rx_lane_map_physical{%u.0}=0x%08x"),
                           HN("phy_rx_lane_map_quad%u.BCM88375=0x%04x"),
                           HN("xgxs_rx_lane_map_%s=0x%04x"),
                           HN("phy_xaui_rx_polarity_flip_%d=0x%04x"),
                           HN("xgxs_rx_lane_map_%d=0x%04x")};
  return d;
}

const Direction& transmit() {
  static const Direction d{HN("tx_polarity_flip"),
                           HN("tx_logical_polarity_flip"),
                           HN("td3_tx_logical_polarity_flip"),
                           HN("th3_tx_logical_polarity_flip"),
                           HN("qmx_tx_logical_polarity_flip"),
                           HN("phy_xaui_tx_polarity_flip_%s=0x%04x"),
                           HN("tx_lane_map"),
                           HN("phy_chain_tx_lane_map_physical{%u.0}=0x%04x"),
                           HN("phy_chain_tx_lane_map_physical{%u.0}=0x%08x"),
                           HN("phy_tx_lane_map_quad%u.BCM88375=0x%04x"),
                           HN("xgxs_tx_lane_map_%s=0x%04x"),
                           HN("phy_xaui_tx_polarity_flip_%d=0x%04x"),
                           HN("xgxs_tx_lane_map_%d=0x%04x")};
  return d;
}

// The port map's list: the per-chip generators extend it and hand back the
// list to continue with.
class PortmapLines : public Lines {
 public:
  void generate(PyObject* port, PyObject* generator, PyObject* sub) {
    Ref list = list_;
    list_ = host::call_method(port, generator, port, list.get(), sub);
  }
};

void polarity(PortmapLines& lines, PyObject* chip, PyObject* port, PyObject* sub, PyObject* key, const Direction& d) {
  if (is_none(host::getattr(port, d.polarity))) return;
  switch (group_of(chip)) {
    case Group::kTd3:
      return lines.generate(port, d.td3_lines, sub);
    case Group::kTh3:
      return lines.generate(port, d.th3_lines, sub);
    case Group::kQmx:
      return lines.generate(port, d.qmx_lines, sub);
    case Group::kDefault: {
      Ref flip = host::call_method(port, d.logical_polarity, sub);
      return lines.add(d.xaui_format, key, flip.get());
    }
  }
}

void lane_map(PortmapLines& lines, PyObject* chip, PyObject* port, PyObject* sub, PyObject* key, const Direction& d) {
  Ref map = host::getattr(port, d.lane_map);
  if (is_none(map)) return;
  Group group = group_of(chip);
  if (group == Group::kDefault) return lines.add(d.xgxs_lane_map_format, key, map.get());
  Ref hw = host::call_method(port, HN("hw_intf_num"), sub);
  if (group == Group::kQmx) {
    // One map per quad of lanes, given on its first lane.
    Ref four = host::integer(4);
    Ref lane = host::check(PyNumber_Remainder(hw.get(), four.get()));
    if (!host::equal(lane.get(), host::integer(0).get())) return;
    Ref quad = host::check(PyNumber_FloorDivide(hw.get(), four.get()));
    return lines.add(d.qmx_lane_map_format, quad.get(), map.get());
  }
  Ref physical = plus(hw.get(), 1);
  lines.add(group == Group::kTd3 ? d.td3_lane_map_format : d.th3_lane_map_format, physical.get(), map.get());
}

Ref portmap(PyObject* self) {
  if (!flag_is_true(chip_of(self).get(), HN("portmap_capable"))) {
    refuse(self, HN("platform: %s is not portmap capable"));
  }
  PortmapLines lines;
  Ref chip = chip_of(self);
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      // The main line, and the key of the lines that follow it.
      Ref key, line;
      if (is_qmx(chip.get())) {
        key = host::call_method(port, HN("sdk_logical_port_num"), sub);
        Ref physical = host::getattr(port, HN("physical_port"));
        Ref mode = host::getattr(port, HN("mode"));
        Ref name = host::call_method(physical.get(), HN("if_name_get"), mode.get(), sub);
        Ref hw = host::call_method(port, HN("hw_intf_num"), sub);
        Ref quad = host::check(PyNumber_FloorDivide(hw.get(), host::integer(4).get()));
        Ref core = host::check(PyNumber_Remainder(quad.get(), host::integer(2).get()));
        line = fmt(HN("ucode_port_%s.BCM88375=%s:core_%u.%s"), key.get(), name.get(), core.get(), key.get());
      } else {
        key = host::call_method(port, HN("sdk_config_intf"), sub);
        Ref hw = host::call_method(port, HN("hw_intf_num_portmap"), sub);
        Ref physical = plus(hw.get(), 1);
        Ref speed = host::getattr(port, HN("speed"));
        line = fmt(HN("portmap_%s=%u:%u"), key.get(), physical.get(), speed.get());
      }
      if (host::truth(host::getattr(chip_of(self).get(), HN("needs_lane_config")).get())) {
        Ref lanes = host::getattr(port, HN("num_lanes"));
        line = host::check(PyNumber_Add(line.get(), fmt(HN(":%u"), lanes.get()).get()));
      }
      lines.add(line);
      polarity(lines, chip.get(), port, sub, key.get(), receive());
      polarity(lines, chip.get(), port, sub, key.get(), transmit());
      lane_map(lines, chip.get(), port, sub, key.get(), receive());
      lane_map(lines, chip.get(), port, sub, key.get(), transmit());
      Ref mdi = host::getattr(port, HN("mdi_pair_map"));
      if (!is_none(mdi)) lines.add(HN("phy_mdi_pair_map_%s=0x%04x"), key.get(), mdi.get());
    });
  });
  return lines.text();
}

Ref dportmap(PyObject* self) {
  if (!flag_is_true(chip_of(self).get(), HN("dport_capable"))) {
    refuse(self, HN("platform %s is not dportmap capable"));
  }
  Lines lines;
  // Its own newline: an empty line follows the switch.
  lines.add(host::text("dport_map_enable=1\n"));
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref logical = host::call_method(port, HN("sdk_logical_port_num"), sub);
      Ref unit = host::getattr(port, HN("unit"));
      Ref intf = host::call_method(port, HN("sdk_intf_num"), sub);
      lines.add(HN("dport_map_port_%u.%u=%u"), logical.get(), unit.get(), intf.get());
    });
  });
  return lines.text();
}

// Chips without a port map take polarity and lane settings keyed by the
// logical port number.
Ref portmap_uncapable_config(PyObject* self) {
  if (flag_is_true(chip_of(self).get(), HN("portmap_capable"))) refuse(self, HN("platform: %s is portmap capable"));
  Lines lines;
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref n = host::call_method(port, HN("sdk_logical_port_num"), sub);
      for (const Direction* d : {&receive(), &transmit()}) {
        if (is_none(host::getattr(port, d->polarity))) continue;
        Ref flip = host::call_method(port, d->logical_polarity, sub);
        lines.add(d->numbered_xaui_format, n.get(), flip.get());
      }
      for (const Direction* d : {&receive(), &transmit()}) {
        Ref map = host::getattr(port, d->lane_map);
        if (is_none(map)) continue;
        lines.add(d->numbered_lane_map_format, n.get(), map.get());
      }
      Ref mdi = host::getattr(port, HN("mdi_pair_map"));
      if (!is_none(mdi)) lines.add(HN("phy_mdi_pair_map_%d=0x%04x"), n.get(), mdi.get());
    });
  });
  return lines.text();
}

constexpr host::Member kMembers[] = {
    host::property("portmap", portmap, "The port map: each logical port's serdes position and speed, polarity and lanes."),
    host::property("dportmap", dportmap, "The direct-port map: each logical port's SDK interface number."),
    host::property("portmap_uncapable_config", portmap_uncapable_config,
                   "Polarity, lane and MDI settings of a chip without a port map."),
};

}  // namespace

void add_portmap_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
