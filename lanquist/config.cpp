// Config: the configuration object of one run, ports.conf reading, completion
// and writing, the chip texts and the MAC mode. The MAC-address and interface
// members are in interfaces.cpp.
#include "lanquist/config.hpp"

#include "host/data.hpp"
#include "host/members.hpp"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <string>
#include <vector>

namespace lanquist {
namespace config_detail {

Ref word_list(std::initializer_list<PyObject*> words) {
  Ref list = host::new_list();
  for (PyObject* w : words) host::append(list.get(), w);
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

// The decoder's answer as six integers of 0 to 255, each ":"-separated field
// read as hexadecimal. Anything else is refused here, quoting the answer:
// otherwise the interface work would fail on it half-way, or hand ip a
// malformed address.
Ref mac_octets(PyObject* answer) {
  Ref fields = host::call_method(answer, HN("split"), HN(":"));
  Ref octets = host::new_list();
  bool good = host::length(fields.get()) == 6;
  if (good) {
    Ref sixteen = host::integer(16), low = host::integer(0), high = host::integer(255);
    host::for_each(fields.get(), [&](PyObject* field) {
      if (!good) return;
      Ref octet = Ref::steal(PyObject_CallFunctionObjArgs(int_type().get(), field, sixteen.get(), nullptr));
      if (!octet) {
        if (!PyErr_ExceptionMatches(PyExc_ValueError)) host::fail();
        PyErr_Clear();
        good = false;
        return;
      }
      good = host::check_rc(PyObject_RichCompareBool(octet.get(), low.get(), Py_GE)) &&
             host::check_rc(PyObject_RichCompareBool(octet.get(), high.get(), Py_LE));
      host::append(octets.get(), octet.get());
    });
  }
  if (!good) {
    Ref quoted = host::excerpt(answer, 'r');
    Ref message = host::format(HN("idwarden gave the base MAC address %s: not six hexadecimal fields of 0 to 255"),
                               host::tuple(quoted.get()).get());
    host::raise_value(PyExc_ValueError, message.get());
  }
  return octets;
}


Ref init(PyObject* self, const host::Args& a) {
  PyObject* dummy = a[3];
  host::setattr(self, HN("platform"), a[0]);
  host::setattr(self, HN("verbose"), a[1]);
  host::setattr(self, HN("exploded"), a[2]);
  host::setattr(self, HN("dummy"), dummy);

  Ref sw_base = host::getattr(chip_of(self).get(), HN("sw_base"));
  Ref eeprom = host::call_kw(global(HN("Idwarden")).get(), nullptr,
                             host::new_dict({{HN("dummy"), dummy}, {HN("sw_base"), sw_base.get()}}).get());
  host::setattr(self, HN("eeprom"), eeprom.get());
  Ref ip = host::call_kw(global(HN("IPRoute2")).get(), nullptr, host::new_dict({{HN("dummy"), dummy}}).get());
  host::setattr(self, HN("iproute2"), ip.get());
  Ref drovik = host::call_kw(global(HN("Drovik")).get(), nullptr, host::new_dict({{HN("dummy"), dummy}}).get());
  host::setattr(self, HN("drovik"), drovik.get());

  Ref ports = host::new_list();
  host::setattr(self, HN("ports"), ports.get());
  Ref macbase = host::new_list();
  host::setattr(self, HN("macbase"), macbase.get());

  // The range is asked before the base address: the order the decoder expects.
  eeprom = host::getattr(self, HN("eeprom"));
  Ref macrange = host::getattr(eeprom.get(), HN("macrange"));
  host::setattr(self, HN("macrange"), macrange.get());
  Ref macaddr = host::getattr(eeprom.get(), HN("macaddr"));
  Ref octets = mac_octets(macaddr.get());
  host::for_each(octets.get(), [&](PyObject* octet) { host::append(macbase.get(), octet); });

  host::setattr(self, HN("macmode"), HN("standard"));
  return host::none();
}

// --- ports.conf -------------------------------------------------------------------

Ref config(PyObject* self, const host::Args& a) {
  Ref text = host::check(PyNumber_Add(HN("[ports]\n"), a[0]));

  Ref parser_class = host::getattr(global(HN("configparser")).get(), HN("RawConfigParser"));
  Ref parser = host::call(parser_class.get());
  host::setattr(parser.get(), HN("optionxform"), identity().get());
  Ref stream = host::call(host::getattr(global(HN("StringIO")).get(), HN("StringIO")).get(), text.get());
  host::call_method(parser.get(), HN("readfp"), stream.get());
  Ref items = host::call_method(parser.get(), HN("items"), HN("ports"));
  Ref map = host::new_dict();
  host::check_rc(PyDict_MergeFromSeq2(map.get(), items.get(), 1));

  // Replaced only now that the whole text has been read.
  host::setattr(self, HN("config_map"), map.get());
  Ref completed = host::call_method(self, HN("_complete_modes"), map.get());
  host::setattr(self, HN("config_map"), completed.get());
  return host::none();
}

bool is_fabric(PyObject* port) { return host::truth(host::getattr(port, HN("is_fabric")).get()); }

// The first port of `self.platform.switch.ports` whose label equals `label`
// and that is not a fabric port, or None: one walk.
Ref first_port_labelled(PyObject* self, PyObject* label) {
  Ref ports = platform_ports(self);
  Ref it = host::check(PyObject_GetIter(ports.get()));
  while (Ref port = Ref::steal(PyIter_Next(it.get()))) {
    Ref own = host::getattr(port.get(), HN("label"));
    if (host::equal(own.get(), label) && !is_fabric(port.get())) return port;
  }
  if (PyErr_Occurred()) host::fail();
  return host::none();
}

// Config's own find_hw_port function, set when the class is made.
PyObject* own_find_hw_port = nullptr;

// find_hw_port's answers for the keys of one completion, from one walk of the
// platform's ports instead of a walk per key. The walk goes only as far as a
// lookup needs, reads each port's label once and `is_fabric` only of a port
// whose label equals the key asked, in port order, as the walk per key does:
// an error of a port's attributes reaches the caller at the same key. A label
// that is neither str nor int (only the host's comparison can judge it) sends
// the rest of the call to the walk per key. When the object's find_hw_port is
// not Config's own, it is called once per key.
class PortFinder {
 public:
  explicit PortFinder(PyObject* self) : self_(self) {}

  Ref find(PyObject* label) {
    if (mode_ == Mode::kUndecided) mode_ = own_finder() ? Mode::kIndex : Mode::kOverride;
    if (mode_ == Mode::kOverride) return host::call_method(self_, HN("find_hw_port"), label);
    // Keys come from the ports.conf parser as str; anything else gets the plain walk.
    if (mode_ == Mode::kWalk || !PyString_CheckExact(label)) return first_port_labelled(self_, label);
    if (!ports_) {
      heads_ = host::new_dict();
      ports_ = host::check(PyObject_GetIter(platform_ports(self_).get()));
    }
    if (Ref port = among_walked(label)) return port;
    return walk_on(label);
  }

 private:
  enum class Mode { kUndecided, kIndex, kWalk, kOverride };
  struct Walked {
    Ref port;
    Py_ssize_t next = -1;  // the next walked port with the same label
    Py_ssize_t last = -1;  // on the first of them: the last one
  };

  bool own_finder() const {
    Ref f = host::getattr(self_, HN("find_hw_port"));
    return PyMethod_Check(f.get()) && PyMethod_GET_FUNCTION(f.get()) == own_find_hw_port &&
           PyMethod_GET_SELF(f.get()) == self_;
  }

  // The first walked port with `label` that is not a fabric port.
  Ref among_walked(PyObject* label) {
    PyObject* head = PyDict_GetItem(heads_.get(), label);
    for (Py_ssize_t at = head ? PyInt_AS_LONG(head) : -1; at >= 0; at = walked_[at].next) {
      if (!is_fabric(walked_[at].port.get())) return walked_[at].port;
    }
    return Ref();
  }

  Ref walk_on(PyObject* label) {
    while (Ref port = Ref::steal(PyIter_Next(ports_.get()))) {
      Ref own = host::getattr(port.get(), HN("label"));
      if (PyInt_CheckExact(own.get()) || PyLong_CheckExact(own.get())) continue;  // an int never equals a str
      if (!PyString_CheckExact(own.get())) {
        mode_ = Mode::kWalk;
        return first_port_labelled(self_, label);
      }
      link(own.get(), port);
      if (_PyString_Eq(own.get(), label) && !is_fabric(port.get())) return port;
    }
    if (PyErr_Occurred()) host::fail();
    return host::none();
  }

  void link(PyObject* label, const Ref& port) {
    Py_ssize_t at = static_cast<Py_ssize_t>(walked_.size());
    walked_.push_back(Walked{port});
    if (PyObject* head = PyDict_GetItem(heads_.get(), label)) {
      Walked& first = walked_[PyInt_AS_LONG(head)];
      walked_[first.last].next = at;
      first.last = at;
      return;
    }
    walked_[at].last = at;
    host::check_rc(PyDict_SetItem(heads_.get(), label, host::integer(at).get()));
  }

  PyObject* self_;
  Mode mode_ = Mode::kUndecided;
  Ref ports_;  // the iterator of the walk
  Ref heads_;  // str label -> index in walked_ of the first port with it
  std::vector<Walked> walked_;
};

// The map is owned by the call (a[0]): an override of find_hw_port or
// complete_mode may drop every other reference to it.
Ref complete_modes(PyObject* self, const host::Args& a) {
  PyObject* map = a[0];
  // Each key is handled alone; a snapshot keeps the walk independent of the stores.
  Ref keys = host::check(PySequence_List(map));
  PortFinder finder(self);
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(keys.get()); ++i) {
    // Owned: the snapshot is private but reachable (gc), and the override may
    // drop the map's own reference to the key.
    Ref key = Ref::borrow(PyList_GET_ITEM(keys.get(), i));
    Ref port = finder.find(key.get());
    if (port.get() == Py_None) continue;
    Ref value = host::item(map, key.get());
    Ref done = host::call_method(port.get(), HN("complete_mode"), port.get(), value.get());
    host::check_rc(PyObject_SetItem(map, key.get(), done.get()));
  }
  return Ref::borrow(map);
}

Ref find_hw_port(PyObject* self, const host::Args& a) { return first_port_labelled(self, a[0]); }

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

Ref read_config(PyObject* self, const host::Args& a) {
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
      host::call_kw(validator_class.get(), host::tuple(configfile).get(), host::new_dict({{HN("debug"), Py_False}}).get());
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

// --- the default configuration --------------------------------------------------

Ref init_config(PyObject* self, const host::Args&) {
  Ref os = global(HN("os"));
  Ref path = host::getattr(os.get(), HN("path"));
  // The package's rc.soc is read before anything is made under /etc: an
  // object that cannot name it, or a file that cannot be read, fails without
  // leaving a directory behind.
  Ref config_path = host::getattr(chip_of(self).get(), HN("bcm_config_path"));
  Ref rc_soc = host::call_method(path.get(), HN("join"), config_path.get(), HN("rc.soc"));
  Ref source = host::call(global(HN("open")).get(), rc_soc.get(), HN("rb"));
  Ref content;
  host::closing(source.get(), [&] { content = host::call_method(source.get(), HN("read")); });
  Ref perm = config_detail::permission_bits(host::call_method(os.get(), HN("stat"), rc_soc.get()).get());
  PyObject* etc = HN("/etc/bcm.d");
  if (!host::truth(host::call_method(path.get(), HN("isdir"), etc).get())) {
    host::call_method(os.get(), HN("mkdir"), etc);
  }
  // The SDK reads rc.soc at start: a copy cut short must never take its place.
  Ref installed = host::call_method(path.get(), HN("join"), etc, HN("rc.soc"));
  config_detail::write_whole(installed.get(), content.get(), perm.get());

  Ref map = host::new_dict();
  host::for_each(platform_ports(self).get(), [&](PyObject* port) {
    Ref key = host::getattr(port, HN("label"));
    if (host::truth(host::getattr(port, HN("is_fabric")).get())) {
      key = host::check(PyNumber_Add(HN("Fabric-"), key.get()));
    }
    Ref mode = host::getattr(port, HN("default_mode"));
    host::check_rc(PyObject_SetItem(map.get(), key.get(), mode.get()));
  });
  host::setattr(self, HN("config_map"), map.get());
  return host::none();
}

// --- writing ports.conf ---------------------------------------------------------

// The keys written, in order: those not beginning with "Fabric-", by integer
// value. The sort is stable, so keys of equal value keep the map's order.
Ref sorted_keys(PyObject* map) {
  Ref keys = host::new_list();
  host::for_each(map, [&](PyObject* key) {
    if (!host::truth(host::call_method(key, HN("startswith"), HN("Fabric-")).get())) host::append(keys.get(), key);
  });
  Ref sort = host::getattr(keys.get(), HN("sort"));
  host::call_kw(sort.get(), nullptr, host::new_dict({{HN("key"), int_type().get()}}).get());
  return keys;
}

// The text of ports.conf, whole, as the bytes a file write of it gives (a
// unicode mode is encoded as writing it would encode it).
Ref ports_conf_text(PyObject* map, PyObject* order) {
  Ref pieces = host::new_list();
  host::append(pieces.get(), HN("# XXX - default config file (needs documentation comments)\n"));
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(order); ++i) {
    Ref key = Ref::borrow(PyList_GET_ITEM(order, i));
    Ref mode = host::item(map, key.get());
    host::append(pieces.get(), host::format(HN("%s=%s\n"), host::tuple(key.get(), mode.get()).get()).get());
  }
  Ref text = host::call_method(host::text("").get(), HN("join"), pieces.get());
  return PyUnicode_Check(text.get()) ? host::str(text.get()) : text;
}

Ref write_config(PyObject* self, const host::Args& a) {
  PyObject* configfile = a[0];
  Ref map = host::getattr(self, HN("config_map"));
  // The whole text is made, and so checked, before any file is touched.
  Ref text = ports_conf_text(map.get(), sorted_keys(map.get()).get());

  config_detail::write_whole(configfile, text.get(), nullptr);
  return host::none();
}

Ref set_macmode(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("macmode"), a[0]);
  return host::none();
}

constexpr host::Member kConfigMembers[] = {
    host::method("__init__", "platform, verbose=False, exploded=False, dummy=False", init),
    host::method("config", "config", config, "Parse ports.conf text into the config map and complete its modes."),
    host::method("_complete_modes", "config_map", complete_modes,
                 "Complete shorthand modes of the map's front-panel labels, in place."),
    host::method("find_hw_port", "label", find_hw_port, "The first non-fabric platform port with this label, or None."),
    host::method("read_config", "configfile", read_config,
                 "Load a chip text by name, or validate and parse a ports.conf file."),
    host::method("init_config", "", init_config,
                 "Install the chip's rc.soc and fill the config map with default modes."),
    host::method("write_config", "configfile", write_config, "Write the non-fabric entries as a ports.conf file."),
    host::method("set_macmode", "mode", set_macmode, "Set the MAC mode (\"standard\" or \"l3-only\")."),
};

}  // namespace

void define_config(PyObject* m) {
  Ref config = host::data::define_class(m,
                                        {"Config",
                                         {},
                                         "Understands the ports.conf format, computes MAC addresses and manages "
                                         "Linux interfaces; has a dummy mode for testing.",
                                         {}},
                                        /*classic=*/true);
  host::add_members<kConfigMembers>(config.get());
  Ref finder = host::getattr(config.get(), HN("find_hw_port"));
  if (PyMethod_Check(finder.get())) own_find_hw_port = host::Ref::borrow(PyMethod_GET_FUNCTION(finder.get())).release();
  config_detail::add_interface_members(config.get());
}

}  // namespace lanquist
