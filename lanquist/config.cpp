// Config: the configuration object of one run, ports.conf reading, completion
// and writing, the chip texts and the MAC mode. The MAC-address and interface
// members are in interfaces.cpp.
#include "lanquist/config.hpp"

#include <array>
#include <string>

namespace lanquist {
namespace config_detail {

Ref word_list(std::initializer_list<PyObject*> words) {
  Ref list = host::check(PyList_New(0));
  for (PyObject* w : words) host::check_rc(PyList_Append(list.get(), w));
  return list;
}

Ref run(PyObject* self, PyObject* runner, Ref words) {
  Ref r = host::getattr(self, runner);
  return host::call_method(r.get(), HN("run"), words.get());
}

Ref switch_of(PyObject* self) {
  Ref platform = host::getattr(self, HN("platform"));
  return host::getattr(platform.get(), HN("switch"));
}

}  // namespace config_detail

namespace {
using config_detail::chip_of;
using host::Ref;

Ref platform_ports(PyObject* self) { return host::getattr(config_detail::switch_of(self).get(), HN("ports")); }

Ref new_dict(std::initializer_list<std::pair<PyObject*, PyObject*>> items) {
  Ref d = host::check(PyDict_New());
  for (auto& kv : items) host::check_rc(PyDict_SetItem(d.get(), kv.first, kv.second));
  return d;
}

Ref int_type() { return Ref::borrow(reinterpret_cast<PyObject*>(&PyInt_Type)); }

// The parser lower-cases option names by default; labels keep their case.
PyObject* identity_entry(PyObject*, PyObject* arg) noexcept {
  return host::guard([&] { return Ref::borrow(arg); });
}
PyMethodDef identity_def = {"optionxform", identity_entry, METH_O, "Return the option name unchanged."};

Ref identity() {
  static PyObject* fn = nullptr;
  if (!fn) fn = host::check(PyCFunction_NewEx(&identity_def, nullptr, nullptr)).release();
  return Ref::borrow(fn);
}

// --- construction ---------------------------------------------------------------

Ref init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"platform", "verbose", "exploded", "dummy"};
  auto a = host::parse("__init__", args, kwargs, names, 1);
  PyObject* dummy = a[3] ? a[3] : Py_False;
  host::setattr(self, HN("platform"), a[0]);
  host::setattr(self, HN("verbose"), a[1] ? a[1] : Py_False);
  host::setattr(self, HN("exploded"), a[2] ? a[2] : Py_False);
  host::setattr(self, HN("dummy"), dummy);

  Ref sw_base = host::getattr(chip_of(self).get(), HN("sw_base"));
  Ref eeprom = host::call_kw(global(HN("Idwarden")).get(), nullptr,
                             new_dict({{HN("dummy"), dummy}, {HN("sw_base"), sw_base.get()}}).get());
  host::setattr(self, HN("eeprom"), eeprom.get());
  Ref ip = host::call_kw(global(HN("IPRoute2")).get(), nullptr, new_dict({{HN("dummy"), dummy}}).get());
  host::setattr(self, HN("iproute2"), ip.get());
  Ref drovik = host::call_kw(global(HN("Drovik")).get(), nullptr, new_dict({{HN("dummy"), dummy}}).get());
  host::setattr(self, HN("drovik"), drovik.get());

  Ref ports = host::check(PyList_New(0));
  host::setattr(self, HN("ports"), ports.get());
  Ref macbase = host::check(PyList_New(0));
  host::setattr(self, HN("macbase"), macbase.get());

  // The range is asked before the base address: the order the decoder expects.
  eeprom = host::getattr(self, HN("eeprom"));
  Ref macrange = host::getattr(eeprom.get(), HN("macrange"));
  host::setattr(self, HN("macrange"), macrange.get());
  Ref macaddr = host::getattr(eeprom.get(), HN("macaddr"));
  Ref fields = host::call_method(macaddr.get(), HN("split"), HN(":"));
  Ref it = host::check(PyObject_GetIter(fields.get()));
  Ref sixteen = host::integer(16);
  while (Ref field = Ref::steal(PyIter_Next(it.get()))) {
    Ref byte = host::call(int_type().get(), field.get(), sixteen.get());
    host::check_rc(PyList_Append(macbase.get(), byte.get()));
  }
  if (PyErr_Occurred()) host::fail();

  host::setattr(self, HN("macmode"), HN("standard"));
  return host::none();
}

// --- ports.conf -------------------------------------------------------------------

Ref config(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"config"};
  auto a = host::parse("config", args, kwargs, names);
  Ref text = host::check(PyNumber_Add(HN("[ports]\n"), a[0]));

  Ref parser_class = host::getattr(global(HN("configparser")).get(), HN("RawConfigParser"));
  Ref parser = host::call(parser_class.get());
  host::setattr(parser.get(), HN("optionxform"), identity().get());
  Ref stream = host::call(host::getattr(global(HN("StringIO")).get(), HN("StringIO")).get(), text.get());
  host::call_method(parser.get(), HN("readfp"), stream.get());
  Ref items = host::call_method(parser.get(), HN("items"), HN("ports"));
  Ref map = host::check(PyDict_New());
  host::check_rc(PyDict_MergeFromSeq2(map.get(), items.get(), 1));

  // Replaced only now that the whole text has been read.
  host::setattr(self, HN("config_map"), map.get());
  Ref completed = host::call_method(self, HN("_complete_modes"), map.get());
  host::setattr(self, HN("config_map"), completed.get());
  return host::none();
}

Ref complete_modes(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"config_map"};
  auto a = host::parse("_complete_modes", args, kwargs, names);
  PyObject* map = a[0];
  // Each key is handled alone; a snapshot keeps the walk independent of the stores.
  Ref keys = host::check(PySequence_List(map));
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(keys.get()); ++i) {
    PyObject* key = PyList_GET_ITEM(keys.get(), i);
    Ref port = host::call_method(self, HN("find_hw_port"), key);
    if (port.get() == Py_None) continue;
    Ref value = host::item(map, key);
    Ref done = host::call_method(port.get(), HN("complete_mode"), port.get(), value.get());
    host::check_rc(PyObject_SetItem(map, key, done.get()));
  }
  return Ref::borrow(map);
}

Ref find_hw_port(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"label"};
  auto a = host::parse("find_hw_port", args, kwargs, names);
  Ref ports = platform_ports(self);
  Ref it = host::check(PyObject_GetIter(ports.get()));
  while (Ref port = Ref::steal(PyIter_Next(it.get()))) {
    Ref label = host::getattr(port.get(), HN("label"));
    if (!host::equal(label.get(), a[0])) continue;
    Ref fabric = host::getattr(port.get(), HN("is_fabric"));
    if (!host::truth(fabric.get())) return port;
  }
  if (PyErr_Occurred()) host::fail();
  return host::none();
}

struct ChipText {
  PyObject* name;
  PyObject* field;
};

const std::array<ChipText, 6>& chip_texts() {
  static const std::array<ChipText, 6> table = {{
      {HN("hw_desc"), HN("hw_desc")},
      {HN("rc.forwarding"), HN("rc_forwarding")},
      {HN("datapath.conf"), HN("datapath_conf")},
      {HN("sdk.bcm"), HN("sdk_bcm")},
      {HN("uft.json"), HN("uft")},
      {HN("riot.json"), HN("riot")},
  }};
  return table;
}

Ref read_config(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"configfile"};
  auto a = host::parse("read_config", args, kwargs, names);
  PyObject* configfile = a[0];

  for (const ChipText& t : chip_texts()) {
    if (!host::equal(configfile, t.name)) continue;
    Ref text = host::call_method(chip_of(self).get(), HN("get_config"), configfile);
    host::setattr(self, t.field, text.get());
    return host::none();
  }

  Ref vettaro = host::getattr(global(HN("zarnith")).get(), HN("vettaro"));
  Ref validator_class = host::getattr(vettaro.get(), HN("Vettaro"));
  Ref validator =
      host::call_kw(validator_class.get(), host::tuple(configfile).get(), new_dict({{HN("debug"), Py_False}}).get());
  Ref errors = host::call_method(validator.get(), HN("vettaro"));
  if (host::length(errors.get()) > 0) {
    host::call_method(validator.get(), HN("portwriteerrors"), errors.get());
    Ref status = host::integer(-1);
    host::call_method(global(HN("sys")).get(), HN("exit"), status.get());
    // sys.exit raises; should a replacement return, the rejected file is still not read.
    return host::none();
  }

  Ref file = host::call(global(HN("open")).get(), configfile, HN("r"));
  Ref text;
  host::closing(file.get(), [&] { text = host::call_method(file.get(), HN("read")); });
  host::call_method(self, HN("config"), text.get());
  return host::none();
}

Ref init_config(PyObject* self, PyObject* args, PyObject* kwargs) {
  host::parse_none("init_config", args, kwargs);
  Ref os = global(HN("os"));
  Ref path = host::getattr(os.get(), HN("path"));
  PyObject* etc = HN("/etc/bcm.d");
  if (!host::truth(host::call_method(path.get(), HN("isdir"), etc).get())) {
    host::call_method(os.get(), HN("mkdir"), etc);
  }
  Ref config_path = host::getattr(chip_of(self).get(), HN("bcm_config_path"));
  Ref rc_soc = host::call_method(path.get(), HN("join"), config_path.get(), HN("rc.soc"));
  host::call_method(global(HN("shutil")).get(), HN("copy"), rc_soc.get(), etc);

  Ref map = host::check(PyDict_New());
  Ref ports = platform_ports(self);
  Ref it = host::check(PyObject_GetIter(ports.get()));
  while (Ref port = Ref::steal(PyIter_Next(it.get()))) {
    Ref key = host::getattr(port.get(), HN("label"));
    if (host::truth(host::getattr(port.get(), HN("is_fabric")).get())) {
      key = host::check(PyNumber_Add(HN("Fabric-"), key.get()));
    }
    Ref mode = host::getattr(port.get(), HN("default_mode"));
    host::check_rc(PyObject_SetItem(map.get(), key.get(), mode.get()));
  }
  if (PyErr_Occurred()) host::fail();
  host::setattr(self, HN("config_map"), map.get());
  return host::none();
}

Ref write_config(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"configfile"};
  auto a = host::parse("write_config", args, kwargs, names);
  Ref map = host::getattr(self, HN("config_map"));

  // Keys are checked and ordered before the file is opened, so a bad key
  // leaves an existing ports.conf as it was.
  Ref keys = host::check(PyList_New(0));
  Ref it = host::check(PyObject_GetIter(map.get()));
  while (Ref key = Ref::steal(PyIter_Next(it.get()))) {
    Ref fabric = host::call_method(key.get(), HN("startswith"), HN("Fabric-"));
    if (!host::truth(fabric.get())) host::check_rc(PyList_Append(keys.get(), key.get()));
  }
  if (PyErr_Occurred()) host::fail();
  Ref sorted = host::getattr(host::import("__builtin__").get(), HN("sorted"));
  Ref order =
      host::call_kw(sorted.get(), host::tuple(keys.get()).get(), new_dict({{HN("key"), int_type().get()}}).get());

  Ref file = host::call(global(HN("open")).get(), a[0], HN("w"));
  host::closing(file.get(), [&] {
    host::call_method(file.get(), HN("write"), HN("# XXX - default config file (needs documentation comments)\n"));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(order.get()); ++i) {
      PyObject* key = PyList_GET_ITEM(order.get(), i);
      Ref mode = host::item(map.get(), key);
      Ref line = host::format(HN("%s=%s\n"), host::tuple(key, mode.get()).get());
      host::call_method(file.get(), HN("write"), line.get());
    }
  });
  return host::none();
}

Ref set_macmode(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode"};
  auto a = host::parse("set_macmode", args, kwargs, names);
  host::setattr(self, HN("macmode"), a[0]);
  return host::none();
}

}  // namespace

void add_config_members(PyObject* cls) {
  host::add_method<init>(cls, "__init__");
  host::add_method<config>(cls, "config", "Parse ports.conf text into the config map and complete its modes.");
  host::add_method<complete_modes>(cls, "_complete_modes",
                                   "Complete shorthand modes of the map's front-panel labels, in place.");
  host::add_method<find_hw_port>(cls, "find_hw_port", "The first non-fabric platform port with this label, or None.");
  host::add_method<read_config>(cls, "read_config",
                                "Load a chip text by name, or validate and parse a ports.conf file.");
  host::add_method<init_config>(cls, "init_config",
                                "Install the chip's rc.soc and fill the config map with default modes.");
  host::add_method<write_config>(cls, "write_config", "Write the non-fabric entries as a ports.conf file.");
  host::add_method<set_macmode>(cls, "set_macmode", "Set the MAC mode (\"standard\" or \"l3-only\").");
  config_detail::add_interface_members(cls);
}

}  // namespace lanquist
