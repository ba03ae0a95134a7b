// The error classes, the Platform record and the switch classes.
#include "brontile/brontile.hpp"

namespace brontile {
using host::Ref;

void define_errors(PyObject* m) {
  for (const char* name : {"NoSuchPlatform", "NoSuchChip", "NoSuchMode"}) {
    Ref cls = host::ClassBuilder(kModule, name, nullptr).base(PyExc_RuntimeError).make();
    host::check_rc(PyModule_AddObject(m, name, cls.release()));
  }
}

namespace {

Ref switch_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"chip"};
  auto a = host::parse("__init__", args, kwargs, names);
  host::setattr(self, HN("chip"), a[0]);
  return host::none();
}

// BCMSwitch runs SDKSwitch's constructor, found by name at call time.
Ref bcm_switch_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"chip"};
  auto a = host::parse("__init__", args, kwargs, names);
  run_base_init(HN("SDKSwitch"), self, a[0]);
  return host::none();
}

}  // namespace

void define_platform(PyObject* m) {
  Ref platform = host::ClassBuilder(kModule, "Platform", "The platform record: what one switch model is made of.")
                     .attr("cpld", host::none())
                     .attr("switch", host::none())
                     .attr("bmc", host::none())
                     .attr("use_dynamic_sensors", host::boolean(false))
                     .attr("portleds", host::none())
                     .make();
  host::check_rc(PyModule_AddObject(m, "Platform", platform.release()));

  Ref sdk_switch = host::ClassBuilder(kModule, "SDKSwitch", "Attributes common to SDK switch platforms.")
                       .attr("has_phy_ucode_spi_rom", host::none())
                       .attr("has_phy_ucode_mdio", host::none())
                       .attr("led_controllers", host::none())
                       .make();
  host::add_method<switch_init>(sdk_switch.get(), "__init__");

  Ref bcm_switch = host::ClassBuilder(kModule, "BCMSwitch", "A switch built on a Broadcom chip.")
                       .base(sdk_switch.get())
                       .make();
  host::add_method<bcm_switch_init>(bcm_switch.get(), "__init__");
  host::check_rc(PyModule_AddObject(m, "SDKSwitch", sdk_switch.release()));
  host::check_rc(PyModule_AddObject(m, "BCMSwitch", bcm_switch.release()));
}

}  // namespace brontile
