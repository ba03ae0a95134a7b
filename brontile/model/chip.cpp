// The chip base classes SDKChip and BCMChip, the lookup of the packaged
// default files, and the class maker for the families' chip rows.
#include "brontile/brontile.hpp"

namespace brontile {
using host::Ref;

namespace {

// The directory of the installed module followed by `tail`. __file__ is read
// on every call: it is only set once the module has loaded, and tests move it.
Ref beside_module(PyObject* tail) {
  Ref file = host::getattr(module(), HN("__file__"));
  Ref os_path = host::getattr(global(HN("os")).get(), HN("path"));
  Ref dir = host::call_method(os_path.get(), HN("dirname"), file.get());
  return host::check(PyNumber_Add(dir.get(), tail));
}

Ref chip_config_path(PyObject*) { return beside_module(HN("/__chip_config/")); }

Ref bcm_config_path(PyObject*) { return beside_module(HN("/__bcm_config/")); }

Ref sdk_chip_init(PyObject* self, const host::Args& a) {
  Ref dirs = host::new_list();
  host::append(dirs.get(), a[0]);
  host::setattr(self, HN("chip_dir_list"), dirs.get());
  return host::none();
}

Ref is_acpi(PyObject*, const host::Args&) {
  return host::boolean(false);
}

// The whole text of the file; it is closed again whether reading works or not.
Ref read_file(PyObject* path) {
  Ref f = host::call(global(HN("open")).get(), path, HN("r"));
  Ref content;
  host::closing(f.get(), [&] { content = host::call_method(f.get(), HN("read")); });
  return content;
}

// The first directory of the chip's list (most specific first) that has the
// file serves it. Only names the chip lists are served.
Ref get_config(PyObject* self, const host::Args& a) {
  PyObject* file_name = a[0];
  Ref files = host::getattr(self, HN("file_list"));
  if (files.get() == Py_None) return host::none();
  if (!host::contains(files.get(), file_name)) return host::none();

  Ref dirs = host::getattr(self, HN("chip_dir_list"));
  Ref found;
  Ref it = host::check(PyObject_GetIter(dirs.get()));
  while (!found) {
    Ref dir = Ref::steal(PyIter_Next(it.get()));
    if (!dir) break;
    Ref path = host::getattr(self, HN("chip_config_path"));
    path = host::check(PyNumber_Add(path.get(), dir.get()));
    path = host::check(PyNumber_Add(path.get(), HN("/")));
    path = host::check(PyNumber_Add(path.get(), file_name));
    Ref os_path = host::getattr(global(HN("os")).get(), HN("path"));
    if (host::truth(host::call_method(os_path.get(), HN("exists"), path.get()).get())) found = path;
  }
  if (PyErr_Occurred()) host::fail();
  return found ? read_file(found.get()) : host::none();
}

Ref bcm_chip_init(PyObject* self, const host::Args&) {
  run_base_init(HN("SDKChip"), self, HN("/bcm"));
  return host::none();
}

}  // namespace

Ref chip_row_init(const ChipRow& row, PyObject* self) {
  Ref base_name = host::check(PyString_InternFromString(row.base));
  run_base_init(base_name.get(), self);
  // Plain concatenation: "Plus" names a sibling directory, "/56850" a subdirectory.
  Ref dirs = host::getattr(self, HN("chip_dir_list"));
  Ref first = host::item(dirs.get(), static_cast<Py_ssize_t>(0));
  Ref entry = host::check(PyNumber_Add(first.get(), host::text(row.suffix).get()));
  Ref front = host::integer(0);
  host::call_method(dirs.get(), HN("insert"), front.get(), entry.get());
  return host::none();
}

namespace {

constexpr host::Member kSDKChipMembers[] = {
    host::method("__init__", "initial_path", sdk_chip_init),
    host::classmethod("is_acpi", "", is_acpi),
    host::property("chip_config_path", chip_config_path),
    host::property("bcm_config_path", bcm_config_path),
    host::method("get_config", "file_name", get_config),
};

constexpr host::Member kBCMChipMembers[] = {
    host::method("__init__", "", bcm_chip_init),
};

}  // namespace

void define_chips(PyObject* m) {
  using namespace host::data;
  Ref sdk_chip = define_class(m, {"SDKChip", {}, "SDK chip common attributes",
                                  {{"sw_base", None},
                                   {"pci_vendor", None},
                                   {"pci_device", None},
                                   {"file_list", None},
                                   {"port_channel_type_map", dict_of()},
                                   {"portmap_capable", None},
                                   {"dport_capable", None},
                                   {"bcm_pn", None},
                                   {"hsp_bw", None},
                                   {"base_pbmp", None}}});
  host::add_members<kSDKChipMembers>(sdk_chip.get());

  Ref bcm_chip = define_class(m, {"BCMChip", {"SDKChip"}, "BCM chip common attributes",
                                  {{"sw_base", "bcm"},
                                   {"ipv4_host_table_size", 8192},
                                   {"pci_vendor", 0x14E4},
                                   {"mixed_oversub", None},
                                   {"needs_lane_config", False},
                                   {"dnx", False}}});
  host::add_members<kBCMChipMembers>(bcm_chip.get());
}

}  // namespace brontile
