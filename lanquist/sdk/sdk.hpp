// SDKConfig and BCMConfig: the configuration object that the start-up tool
// drives. define_sdk_config (sdk_config.cpp) makes both classes; each file of
// this folder attaches the members of its group of texts.
#pragma once

#include "host/members.hpp"
#include "lanquist/lanquist.hpp"

namespace lanquist {
namespace sdk {

using host::Ref;

// The port calculation and the gangs (calculate.cpp).
void add_calculate_members(PyObject* sdk_config);
// The LED programs and the LED script (leds.cpp).
void add_led_members(PyObject* sdk_config);
// The PHY table (phytab.cpp), the port table and the interfaces
// (porttab.cpp), the per-unit port script (rcports.cpp), the link defaults
// (linkdefaults.cpp), the PHY script, ethernet and SFP tables (tables.cpp).
void add_phytab_members(PyObject* sdk_config);
void add_porttab_members(PyObject* sdk_config);
void add_rcports_members(PyObject* sdk_config);
void add_linkdefaults_members(PyObject* sdk_config);
void add_table_members(PyObject* sdk_config);
// The SDK configuration lines: port bitmaps (bitmaps.cpp), port maps
// (portmap.cpp), serdes and port initialisation (port_init.cpp), PHY lines
// (phy_lines.cpp).
void add_bitmap_members(PyObject* sdk_config);
void add_portmap_members(PyObject* sdk_config);
void add_port_init_members(PyObject* sdk_config);
void add_phy_line_members(PyObject* sdk_config);

// `self.platform.switch` and its chip, read through the object at each call.
Ref switch_of(PyObject* self);
inline Ref chip_of(PyObject* self) { return host::getattr(switch_of(self).get(), HN("chip")); }

using host::subscript;

// `format % (args...)` with the host's formatting.
template <typename... A>
Ref fmt(PyObject* format, A... args) {
  return host::format(format, host::tuple(args...).get());
}

// `"\n".join(items)` with the host's own join (text or unicode items).
Ref join_lines(PyObject* items);

// `for i in range(count): body(i)` with the host's own range(): it decides
// which counts it takes (an object with __int__ too, a float not) and how it
// refuses the others.
template <typename F>
void for_range(PyObject* count, F&& body) {
  Ref subs = host::call(global(HN("range")).get(), count);
  host::for_each(subs.get(), body);
}

}  // namespace sdk
}  // namespace lanquist
