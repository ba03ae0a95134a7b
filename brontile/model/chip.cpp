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

Ref sdk_chip_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"initial_path"};
  auto a = host::parse("__init__", args, kwargs, names);
  Ref dirs = host::check(PyList_New(0));
  host::check_rc(PyList_Append(dirs.get(), a[0]));
  host::setattr(self, HN("chip_dir_list"), dirs.get());
  return host::none();
}

Ref is_acpi(PyObject*, PyObject* args, PyObject* kwargs) {
  host::parse_none("is_acpi", args, kwargs);
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
Ref get_config(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"file_name"};
  auto a = host::parse("get_config", args, kwargs, names);
  PyObject* file_name = a[0];
  Ref files = host::getattr(self, HN("file_list"));
  if (files.get() == Py_None) return host::none();
  if (!host::contains(files.get(), file_name)) return host::none();

  Ref dirs = host::getattr(self, HN("chip_dir_list"));
  Ref it = host::check(PyObject_GetIter(dirs.get()));
  while (Ref dir = Ref::steal(PyIter_Next(it.get()))) {
    Ref path = host::getattr(self, HN("chip_config_path"));
    path = host::check(PyNumber_Add(path.get(), dir.get()));
    path = host::check(PyNumber_Add(path.get(), HN("/")));
    path = host::check(PyNumber_Add(path.get(), file_name));
    Ref os_path = host::getattr(global(HN("os")).get(), HN("path"));
    if (host::truth(host::call_method(os_path.get(), HN("exists"), path.get()).get())) return read_file(path.get());
  }
  if (PyErr_Occurred()) host::fail();
  return host::none();
}

Ref bcm_chip_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  host::parse_none("__init__", args, kwargs);
  run_base_init(HN("SDKChip"), self, HN("/bcm"));
  return host::none();
}

}  // namespace

Ref chip_row_init(const ChipRow& row, PyObject* self, PyObject* args, PyObject* kwargs) {
  host::parse_none("__init__", args, kwargs);
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

void define_chip_rows(PyObject* m, const ChipRow* rows, const ChipInit* inits, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const ChipRow& row = rows[i];
    Ref base = host::check(PyObject_GetAttrString(m, row.base));
    Ref cls = host::ClassBuilder(kModule, row.name, row.doc).base(base.get()).make();
    if (row.suffix) host::add_method_def(cls.get(), "__init__", inits[i].classic, inits[i].modern, nullptr);
    host::check_rc(PyModule_AddObject(m, row.name, cls.release()));
  }
}

void define_chips(PyObject* m) {
  Ref sdk_chip = host::ClassBuilder(kModule, "SDKChip", "SDK chip common attributes")
                     .attr("sw_base", host::none())
                     .attr("pci_vendor", host::none())
                     .attr("pci_device", host::none())
                     .attr("file_list", host::none())
                     .attr("port_channel_type_map", host::check(PyDict_New()))
                     .attr("portmap_capable", host::none())
                     .attr("dport_capable", host::none())
                     .attr("bcm_pn", host::none())
                     .attr("hsp_bw", host::none())
                     .attr("base_pbmp", host::none())
                     .make();
  host::add_method<sdk_chip_init>(sdk_chip.get(), "__init__");
  host::add_classmethod<is_acpi>(sdk_chip.get(), "is_acpi");
  host::add_property<chip_config_path>(sdk_chip.get(), "chip_config_path");
  host::add_property<bcm_config_path>(sdk_chip.get(), "bcm_config_path");
  host::add_method<get_config>(sdk_chip.get(), "get_config");

  Ref bcm_chip = host::ClassBuilder(kModule, "BCMChip", "BCM chip common attributes")
                     .base(sdk_chip.get())
                     .attr("sw_base", host::text("bcm"))
                     .attr("ipv4_host_table_size", host::integer(8192))
                     .attr("pci_vendor", host::integer(0x14E4))
                     .attr("mixed_oversub", host::none())
                     .attr("needs_lane_config", host::boolean(false))
                     .attr("dnx", host::boolean(false))
                     .make();
  host::add_method<bcm_chip_init>(bcm_chip.get(), "__init__");

  host::check_rc(PyModule_AddObject(m, "SDKChip", sdk_chip.release()));
  host::check_rc(PyModule_AddObject(m, "BCMChip", bcm_chip.release()));
}

}  // namespace brontile
