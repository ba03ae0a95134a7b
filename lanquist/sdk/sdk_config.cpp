// SDKConfig and BCMConfig: the classes, their constructors, output(name) and
// the texts that need only the constructor (the chip's packaged texts and the
// PHY-microcode settings).
#include "host/data.hpp"
#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {

Ref switch_of(PyObject* self) {
  Ref platform = host::getattr(self, HN("platform"));
  return host::getattr(platform.get(), HN("switch"));
}

Ref join_lines(PyObject* items) { return host::call_method(HN("\n"), HN("join"), items); }

namespace {

// --- construction -------------------------------------------------------------------

// `Base.__init__(self, platform, verbose, exploded, dummy=dummy)`, the base
// found by name in the module at call time, as a class statement naming it.
void run_base_init(PyObject* base, PyObject* self, const host::Args& a) {
  Ref init = host::getattr(global(base).get(), HN("__init__"));
  Ref kwargs = host::new_dict();
  host::check_rc(PyDict_SetItem(kwargs.get(), HN("dummy"), a[3]));
  host::call_kw(init.get(), host::tuple(self, a[0], a[1], a[2]).get(), kwargs.get());
}

Ref sdk_init(PyObject* self, const host::Args& a) {
  run_base_init(HN("Config"), self, a);
  // The chip's texts, in the order the chip expects to be asked.
  for (PyObject* name : {HN("uft.json"), HN("riot.json"), HN("hw_desc"), HN("rc.forwarding"), HN("datapath.conf"),
                         HN("sdk.bcm")}) {
    host::call_method(self, HN("read_config"), name);
  }
  return host::none();
}

Ref bcm_init(PyObject* self, const host::Args& a) {
  run_base_init(HN("SDKConfig"), self, a);
  return host::none();
}

// --- texts --------------------------------------------------------------------------

Ref lines(std::initializer_list<PyObject*> items) {
  Ref list = host::new_list();
  for (PyObject* item : items) host::append(list.get(), item);
  return join_lines(list.get());
}

// A chip text under its comment line; an absent text stays absent.
Ref chip_text(PyObject* self, PyObject* field, PyObject* comment) {
  Ref text = host::getattr(self, field);
  if (text.get() == Py_None || !comment) return text;
  return lines({comment, text.get()});
}

Ref with_header(PyObject* self, const char* header, PyObject* property) {
  Ref head = host::text(header);
  Ref body = host::getattr(self, property);
  return lines({head.get(), body.get()});
}

Ref ucodebcm(PyObject* self) {
  Ref sw = switch_of(self);
  bool spi_rom;
  if (host::truth(host::getattr(self, HN("exploded")).get())) {
    spi_rom = !host::truth(host::getattr(sw.get(), HN("has_phy_ucode_mdio")).get());
  } else {
    spi_rom = host::truth(host::getattr(sw.get(), HN("has_phy_ucode_spi_rom")).get());
  }
  return host::text(spi_rom ? "# use SPI-ROM method for ucode download\nphy_ext_rom_boot=3000"
                            : "# use MDIO method for ucode download\nphy_ext_rom_boot=0");
}

bool chip_flag_is_true(PyObject* self, PyObject* flag) {
  return host::getattr(chip_of(self).get(), flag).get() == Py_True;
}

// The SDK configuration: every section under its comment line, each header
// beginning with a newline so that an empty line precedes it.
Ref portsbcm(PyObject* self) {
  Ref items = host::new_list();
  auto section = [&](const char* header, PyObject* property) {
    Ref head = host::text(header);
    host::append(items.get(), head.get());
    Ref body = host::getattr(self, property);
    host::append(items.get(), body.get());
  };
  section("\n# pbmp", HN("sdk_pbmp"));
  if (chip_flag_is_true(self, HN("dport_capable"))) section("\n# dport map", HN("dportmap"));
  if (chip_flag_is_true(self, HN("portmap_capable"))) {
    section("\n# portmap", HN("portmap"));
  } else {
    section("\n# non portmap capable config", HN("portmap_uncapable_config"));
  }
  section("\n# emphasis", HN("port_emphasis"));
  section("\n# port initializations", HN("port_init"));
  section("\n# phys", HN("phys"));
  section("\n# addrs", HN("phy_addrs"));
  section("\n# autoneg", HN("phy_an"));
  section("\n# prime_offsets", HN("prim_offsets"));
  section("\n# phy_id1s", HN("phy_id1s"));
  section("\n# sys_interfaces", HN("sys_interfaces"));
  // Read once: the same text decides the section and fills it.
  Ref fiber = host::getattr(self, HN("fiber_pref"));
  if (host::truth(fiber.get())) {
    Ref head = host::text("\n# fiber pref");
    host::append(items.get(), head.get());
    host::append(items.get(), fiber.get());
  }
  return join_lines(items.get());
}

bool is_text(PyObject* o) { return PyString_Check(o) || PyUnicode_Check(o); }

// "rcports_<unit>": the unit is what follows the last "_", read as int() reads it.
Ref rcports_by_name(PyObject* self, PyObject* name) {
  Ref parts = host::call_method(name, HN("rpartition"), HN("_"));
  Ref digits = host::item(parts.get(), 2);
  Ref unit = host::call(reinterpret_cast<PyObject*>(&PyInt_Type), digits.get());
  return host::call_method(self, HN("rcports"), unit.get());
}

[[noreturn]] void unknown_name(PyObject* name) {
  Ref message = host::format(HN("no output named %r"), host::tuple(name).get());
  host::raise_value(PyExc_ValueError, message.get());
}

Ref output(PyObject* self, const host::Args& a) {
  PyObject* name = a[0];
  auto is = [name](PyObject* row) { return host::equal(name, row); };
  if (is(HN("portsbcm"))) return portsbcm(self);
  if (is(HN("porttab"))) {
    return with_header(self, "# linux_intf\tsdk_intf\tunit\tis_fabric\tlogical_port\tnum_ganged_ports\tis_loopback",
                       HN("porttab"));
  }
  if (is(HN("linkdefaults"))) return host::getattr(self, HN("linkdefaults"));
  if (is(HN("phytab"))) return with_header(self, "# phy_addr\tlinux_intf\tsdk_intf", HN("phytab"));
  if (is_text(name) && host::truth(host::call_method(name, HN("startswith"), HN("rcports_")).get())) {
    return rcports_by_name(self, name);
  }
  if (is(HN("rcled"))) return host::getattr(self, HN("rcled"));
  if (is(HN("rcphy"))) return host::getattr(self, HN("rcphy"));
  if (is(HN("ethertab"))) return host::getattr(self, HN("ethertab"));
  if (is(HN("ucodebcm"))) return ucodebcm(self);
  if (is(HN("sfptab"))) return with_header(self, "# linux_intf\tmode\tsfp_addrtype\tsfp_addr", HN("sfptab"));
  if (is(HN("hwdesc"))) return chip_text(self, HN("hw_desc"), HN(" # chip description file"));
  if (is(HN("uft"))) return chip_text(self, HN("uft"), nullptr);
  if (is(HN("riot"))) return chip_text(self, HN("riot"), nullptr);
  if (is(HN("datapath"))) return chip_text(self, HN("datapath_conf"), HN(" # chip datapath configuration file"));
  if (is(HN("sdk"))) return chip_text(self, HN("sdk_bcm"), nullptr);
  if (is(HN("rcforwarding"))) {
    return chip_text(self, HN("rc_forwarding"), HN(" # chip forwarding configuration file"));
  }
  unknown_name(name);
}

constexpr const char* kInitParams = "platform, verbose=False, exploded=False, dummy=False";

constexpr host::Member kSdkConfigMembers[] = {
    host::method("__init__", kInitParams, sdk_init),
    host::method("output", "configfile", output, "The generated text of that name."),
};

constexpr host::Member kBcmConfigMembers[] = {
    host::method("__init__", kInitParams, bcm_init),
};

}  // namespace
}  // namespace sdk

void define_sdk_config(PyObject* m) {
  using host::Ref;
  using namespace host::data;
  define_class(m, {"PhyTableError", {"IndexError"}, "A line of the PHY table file that cannot be read.", {}});
  Ref sdk_config = define_class(m,
                                ClassDef{"SDKConfig",
                                         {"Config"},
                                         "SDK configuration implementation",
                                         {{"serdes_if_type_map", dict_of({{"XGMII", 6},
                                                                          {"SFI", 9},
                                                                          {"XFI", 10},
                                                                          {"KR4", 12},
                                                                          {"SR4", 28},
                                                                          {"KR", 11}})}}},
                                /*classic=*/true);
  host::add_members<sdk::kSdkConfigMembers>(sdk_config.get());
  sdk::add_calculate_members(sdk_config.get());
  sdk::add_led_members(sdk_config.get());
  sdk::add_phytab_members(sdk_config.get());
  sdk::add_porttab_members(sdk_config.get());
  sdk::add_rcports_members(sdk_config.get());
  sdk::add_linkdefaults_members(sdk_config.get());
  sdk::add_table_members(sdk_config.get());
  sdk::add_bitmap_members(sdk_config.get());
  sdk::add_portmap_members(sdk_config.get());
  sdk::add_port_init_members(sdk_config.get());
  sdk::add_phy_line_members(sdk_config.get());

  Ref bcm_config = define_class(
      m, ClassDef{"BCMConfig", {"SDKConfig"}, "Broadcom configuration implementation", {}}, /*classic=*/true);
  host::add_members<sdk::kBcmConfigMembers>(bcm_config.get());
}

}  // namespace lanquist
