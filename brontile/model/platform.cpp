// The error classes, the Platform record and the switch classes.
#include "brontile/brontile.hpp"

namespace brontile {
using host::Ref;

void define_errors(PyObject* m) {
  using namespace host::data;
  for (const char* name : {"NoSuchPlatform", "NoSuchChip", "NoSuchMode"}) {
    define_class(m, {name, {"RuntimeError"}, nullptr, {}});
  }
}

namespace {

Ref switch_init(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("chip"), a[0]);
  return host::none();
}

// BCMSwitch runs SDKSwitch's constructor, found by name at call time.
Ref bcm_switch_init(PyObject* self, const host::Args& a) {
  run_base_init(HN("SDKSwitch"), self, a[0]);
  return host::none();
}

constexpr host::Member kSDKSwitchMembers[] = {
    host::method("__init__", "chip", switch_init),
};

constexpr host::Member kBCMSwitchMembers[] = {
    host::method("__init__", "chip", bcm_switch_init),
};

}  // namespace

void define_platform(PyObject* m) {
  using namespace host::data;
  define_class(m, {"Platform", {}, "The platform record: what one switch model is made of.",
                   {{"cpld", None}, {"switch", None}, {"bmc", None}, {"use_dynamic_sensors", False}, {"portleds", None}}});

  Ref sdk_switch = define_class(m, {"SDKSwitch", {}, "Attributes common to SDK switch platforms.",
                                    {{"has_phy_ucode_spi_rom", None}, {"has_phy_ucode_mdio", None}, {"led_controllers", None}}});
  host::add_members<kSDKSwitchMembers>(sdk_switch.get());

  Ref bcm_switch = define_class(m, {"BCMSwitch", {"SDKSwitch"}, "A switch built on a Broadcom chip.", {}});
  host::add_members<kBCMSwitchMembers>(bcm_switch.get());
}

}  // namespace brontile
