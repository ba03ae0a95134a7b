// The per-chip polarity lines: three chip groups take the receive and transmit
// polarity lane by lane, each in keys of its own. A generator expands the
// logical polarity mask of one sub-port into one line per lane, numbered by
// the 1-based physical lane, and appends them to the SDK line list.
//
// Each group has its own lane count per mode: the SDK wants these, not the
// port type's lane count, and a mode outside the table is an error.
#include "lanquist/sdk_port.hpp"

#include <utility>
#include <vector>

namespace lanquist {
using host::Args;
using host::Ref;

namespace {

using LaneRow = std::pair<const char*, long>;

constexpr LaneRow kTd3Lanes[] = {
    {"10G", 1}, {"25G", 1}, {"4x10G", 1}, {"4x25G", 1}, {"2x50G", 2},
    {"50G", 2}, {"40G", 4}, {"100G", 4}, {"40G/4", 4}, {"100G/4", 4},
};
constexpr LaneRow kTh3Lanes[] = {{"40G", 2}, {"50G", 2}, {"100G", 2}};
constexpr LaneRow kQmxLanes[] = {
    {"10G", 1}, {"25G", 1}, {"4x10G", 1}, {"4x25G", 1}, {"2x50G", 2}, {"50G", 2}, {"40G", 4}, {"100G", 4},
};

enum class Value {
  kBitHex,    // bit i of the mask, "0x0" or "0x1"
  kWholeHex,  // the whole mask on every lane
  kBitDec,    // bit i of the mask, "0" or "1"
};

struct Group {
  const LaneRow* rows;
  std::size_t count;
  Value value;
};

template <std::size_t N>
constexpr Group group(const LaneRow (&rows)[N], Value value) {
  return Group{rows, N, value};
}

constexpr Group kTd3 = group(kTd3Lanes, Value::kBitHex);
constexpr Group kTh3 = group(kTh3Lanes, Value::kWholeHex);
constexpr Group kQmx = group(kQmxLanes, Value::kBitDec);

// A group's table as a dict, made once: a lookup then fails exactly as the
// host's dict does (KeyError with the mode, TypeError for an unhashable one).
PyObject* lane_table(const Group& g) {
  Ref table = host::new_dict();
  for (std::size_t i = 0; i < g.count; ++i) {
    host::check_rc(PyDict_SetItemString(table.get(), g.rows[i].first, host::integer(g.rows[i].second).get()));
  }
  return table.release();
}

template <const Group& G>
PyObject* table_of() {
  static PyObject* const table = lane_table(G);
  return table;
}

// The host's hexadecimal form of an integer ("0x" and lower-case digits, no
// filling); a long prints without the "L" that hex() would add, and anything
// that is not an integer is the host's TypeError.
Ref hex_text(PyObject* v) { return host::check(PyNumber_ToBase(v, 16)); }

template <const Group& G>
Ref generate(PyObject* format, PyObject* query, const Args& a) {
  PyObject* port = a[0];
  PyObject* portmap = a[1];
  PyObject* sub = a[2];
  Ref one = host::integer(1);
  Ref first = host::call_method(port, HN("hw_intf_num"), sub);
  first = host::check(PyNumber_Add(first.get(), one.get()));
  Ref flip = host::call_method(port, query, sub);
  Ref mode = host::getattr(port, HN("mode"));
  Ref lanes_obj = host::item(table_of<G>(), mode.get());
  long lanes = PyInt_AsLong(lanes_obj.get());

  // Every line is made before the first is appended: a mask that cannot be
  // written leaves the list as it was.
  std::vector<Ref> lines;
  Ref whole;
  if (G.value == Value::kWholeHex) whole = hex_text(flip.get());
  for (long i = 0; i < lanes; ++i) {
    Ref lane_index = host::integer(i);
    Ref lane = host::check(PyNumber_Add(first.get(), lane_index.get()));
    Ref text;
    if (G.value == Value::kWholeHex) {
      text = whole;
    } else {
      Ref shifted = host::check(PyNumber_Rshift(flip.get(), lane_index.get()));
      Ref bit = host::check(PyNumber_And(shifted.get(), one.get()));
      text = G.value == Value::kBitHex ? hex_text(bit.get()) : bit;
    }
    lines.push_back(host::format(format, host::tuple(lane.get(), text.get()).get()));
  }
  for (const Ref& line : lines) host::append(portmap, line.get());
  return Ref::borrow(portmap);
}

}  // namespace

Ref td3_rx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kTd3>(HN("phy_chain_rx_polarity_flip_physical{%u.0}=%s"), HN("rx_logical_polarity_flip"), a);
}

Ref td3_tx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kTd3>(HN("phy_chain_tx_polarity_flip_physical{%u.0}=%s"), HN("tx_logical_polarity_flip"), a);
}

Ref th3_rx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kTh3>(HN("serdes_core_rx_polarity_flip_physical{%u}=%s"), HN("rx_logical_polarity_flip"), a);
}

Ref th3_tx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kTh3>(HN("serdes_core_tx_polarity_flip_physical{%u}=%s"), HN("tx_logical_polarity_flip"), a);
}

// Both Qumran part numbers take the 88375's keys.
Ref qmx_rx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kQmx>(HN("phy_rx_polarity_flip_phy%u.BCM88375=%s"), HN("rx_logical_polarity_flip"), a);
}

Ref qmx_tx_logical_polarity_flip(PyObject*, const Args& a) {
  return generate<kQmx>(HN("phy_tx_polarity_flip_phy%u.BCM88375=%s"), HN("tx_logical_polarity_flip"), a);
}

}  // namespace lanquist
