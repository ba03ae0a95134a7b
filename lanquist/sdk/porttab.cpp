// The port table, and with it the reconciliation of the front-panel Linux
// interfaces: every rendering lists what exists, keeps what still fits its
// port, removes the rest and creates what is missing. Removal, creation and
// addressing are the object's own operations, called through the object.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lanquist/sdk/walk.hpp"

namespace lanquist {
namespace sdk {
namespace {

constexpr const char* kKnetFile = "/proc/bcm/knet/link";

Ref words(std::initializer_list<PyObject*> items) {
  Ref list = host::new_list();
  for (PyObject* w : items) host::append(list.get(), w);
  return list;
}

// A program's output in lines, split at "\n", "\r" and "\r\n" only. A str
// splits there by itself; unicode's own splitlines also breaks at \x0b, \x0c,
// \x1c to \x1e, \x85, \u2028 and \u2029, and would cut one line in pieces.
Ref lines_of(PyObject* out) {
  if (!PyUnicode_Check(out)) return host::call_method(out, HN("splitlines"));
  const Py_UNICODE* text = PyUnicode_AS_UNICODE(out);
  Py_ssize_t size = PyUnicode_GET_SIZE(out);
  Ref lines = host::new_list();
  auto add = [&](Py_ssize_t begin, Py_ssize_t end) {
    host::append(lines.get(), host::check(PyUnicode_FromUnicode(text + begin, end - begin)).get());
  };
  Py_ssize_t begin = 0;
  for (Py_ssize_t i = 0; i < size; ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    add(begin, i);
    if (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n') ++i;
    begin = i + 1;
  }
  // As splitlines: a last line without its end, but no empty line after the last end.
  if (begin < size) add(begin, size);
  return lines;
}

// `self.<runner>.run(words)`, the output split into lines.
Ref run_lines(PyObject* self, PyObject* runner, Ref argv) {
  Ref r = host::getattr(self, runner);
  Ref out = host::call_method(r.get(), HN("run"), argv.get());
  return lines_of(out.get());
}

bool tap_mode() {
  Ref environ = host::getattr(global(HN("os")).get(), HN("environ"));
  Ref value = host::call_method(environ.get(), HN("get"), HN("DROVIK_USE_TUNTAP"));
  return host::equal(value.get(), HN("1"));
}

[[noreturn]] void unsupported(PyObject* base) {
  static const std::string text =
      std::string("Kernel netdevs are not supported") + std::string(22, ' ') + "on %s, only on Broadcom and Mellanox";
  Ref message = fmt(host::text(text.c_str()).get(), base);
  host::raise_value(global(HN("UnsupportedPlatformError")).get(), message.get());
}

void add_name(PyObject* set, PyObject* name) {
  if (host::truth(name)) host::check_rc(PySet_Add(set, name));
}

// "tuntap show" names a device before its first ":".
void list_taps(PyObject* self, PyObject* existing) {
  Ref lines = run_lines(self, HN("iproute2"), words({HN("tuntap"), HN("show")}));
  host::for_each(lines.get(), [&](PyObject* line) {
    Ref parts = host::call_method(line, HN("partition"), HN(":"));
    Ref name = host::item(parts.get(), Py_ssize_t{0});
    add_name(existing, name.get());
  });
}

// drovik names an interface in the first blank-separated field; the switch's
// own entries are no front-panel interfaces.
void list_netdevs(PyObject* self, PyObject* link_type, PyObject* existing) {
  Ref lines = run_lines(self, HN("drovik"), words({HN("show"), HN("type"), link_type}));
  host::for_each(lines.get(), [&](PyObject* line) {
    Ref fields = host::call_method(line, HN("split"), HN(" "));
    Ref name = host::item(fields.get(), Py_ssize_t{0});
    if (host::equal(name.get(), HN("switch")) || host::equal(name.get(), HN("swid"))) return;
    add_name(existing, name.get());
  });
}

void knet_down(PyObject* name) {
  Ref file = host::call(global(HN("open")).get(), HN(kKnetFile), HN("w"));
  Ref line = fmt(HN("%s=down"), name);
  host::closing(file.get(), [&] { host::call_method(file.get(), HN("write"), line.get()); });
}

// `ip -o link show` names an interface in its second ":" field; a linked
// interface reads name@parent there, and only the name can be brought up.
void bring_up_switch(PyObject* self) {
  Ref lines = run_lines(self, HN("iproute2"), words({HN("-o"), HN("link"), HN("show")}));
  host::for_each(lines.get(), [&](PyObject* line) {
    Ref fields = host::call_method(line, HN("split"), HN(":"));
    if (host::length(fields.get()) < 2) return;
    Ref field = host::item(fields.get(), Py_ssize_t{1});
    Ref parts = host::call_method(field.get(), HN("partition"), HN("@"));
    Ref name = host::call_method(host::item(parts.get(), Py_ssize_t{0}).get(), HN("strip"));
    if (!host::contains(name.get(), HN("switch"))) return;
    Ref r = host::getattr(self, HN("iproute2"));
    host::call_method(r.get(), HN("run"), words({HN("link"), HN("set"), name.get(), HN("up")}).get());
  });
}

// A sub-port gets an interface unless it belongs to a fabric port that does
// not ask for one; only the False object itself means "not a fabric port".
bool gets_interface(PyObject* port) {
  if (host::getattr(port, HN("is_fabric")).get() == Py_False) return true;
  return host::truth(host::getattr(port, HN("create_fabric")).get());
}

// A configured port with the Linux names of its sub-ports, read once: they
// are checked before any interface changes, and the walk below uses them. A
// name of a str or unicode subclass is kept as the plain text of its own
// characters, so that the check, the listing, the commands and the table all
// see one text: a subclass's __eq__, __hash__ or __str__ could answer each of
// them differently.
struct Named {
  Ref port;
  bool makes;  // its sub-ports get interfaces
  std::vector<Ref> names;
};

std::vector<Named> read_names(PyObject* ports) {
  std::vector<Named> named;
  host::for_each(ports, [&](PyObject* port) {
    Named n{Ref::borrow(port), false, {}};
    Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
    for_range(logical_ports.get(), [&](PyObject* sub) {
      n.names.push_back(host::plain_text(host::call_method(port, HN("linux_port_name"), sub).get()));
    });
    if (!n.names.empty()) n.makes = gets_interface(port);
    named.push_back(std::move(n));
  });
  return named;
}

// The text a name takes in a command, as bytes.
std::string name_bytes(PyObject* name) {
  Ref text = fmt(HN("%s"), name);
  if (PyUnicode_Check(text.get())) text = host::check(PyUnicode_AsUTF8String(text.get()));
  char* data;
  Py_ssize_t size;
  host::check_rc(PyString_AsStringAndSize(text.get(), &data, &size));
  return std::string(data, size);
}

// The words that `ip link set NAME down` takes as one of its own instead of
// the interface's name (it then fails, or acts on something else): each
// keyword, with the shortest prefix of it that ip takes (its length is the
// keyword's own where only the whole word counts). Found by trying iproute2
// 6.1 on an interface of every word its program holds and every prefix of
// one: ip compares some keywords whole and others by prefix, in an order of
// its own ("d" is taken for dynamic; dev counts only whole, so "de" is a
// name). Kept sorted for the look-up.
struct IpWord {
  std::string_view word;
  std::size_t shortest;
};

constexpr IpWord kIpWords[] = {
    {"address", 1},      {"addrgenmode", 5},  {"alias", 2},        {"allmulticast", 12}, {"arp", 3},
    {"brd", 3},          {"broadcast", 1},    {"carrier", 7},      {"dev", 3},           {"down", 4},
    {"dynamic", 1},      {"gro_max_size", 12}, {"group", 5},       {"gso_max_segs", 12}, {"gso_max_size", 12},
    {"help", 1},         {"index", 5},        {"link-netnsid", 1}, {"master", 1},        {"mode", 4},
    {"mtu", 3},          {"multicast", 9},    {"name", 4},         {"netns", 5},         {"nomaster", 1},
    {"numrxqueues", 4},  {"numtxqueues", 2},  {"parentdev", 9},    {"promisc", 7},       {"protodown", 9},
    {"qlen", 4},         {"state", 5},        {"trailers", 8},     {"txqlen", 4},        {"txqueuelen", 1},
    {"type", 2},         {"up", 2},           {"vf", 2},           {"vrf", 3},           {"xdp", 3},
    {"xdpdrv", 6},       {"xdpgeneric", 10},  {"xdpoffload", 10},
};

constexpr bool well_formed(const IpWord* words, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (words[i].shortest < 1 || words[i].shortest > words[i].word.size()) return false;
    if (i > 0 && !(words[i - 1].word < words[i].word)) return false;
  }
  return true;
}
static_assert(well_formed(kIpWords, std::size(kIpWords)), "kIpWords: sorted, each prefix length within its word");

// The keywords that begin with `name` follow one another from its place in
// the sorted table.
bool ip_keyword(std::string_view name) {
  const IpWord* end = std::end(kIpWords);
  const IpWord* at = std::lower_bound(std::begin(kIpWords), end, name,
                                      [](const IpWord& w, std::string_view n) { return w.word < n; });
  for (; at != end && at->word.substr(0, name.size()) == name; ++at) {
    if (name.size() >= at->shortest) return true;
  }
  return false;
}

// Why a name cannot be made, or nullptr: the kernel would refuse it, or
// one of the commands that make and address it could not carry it.
const char* refusal(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name == "." || name == "..") return "is \".\" or \"..\"";
  if (name.size() > 15) return "is longer than 15 bytes";
  if (name.find('/') != std::string::npos) return "holds \"/\"";
  if (name.find(':') != std::string::npos) return "holds \":\"";
  if (name.find_first_of(" \t\n\v\f\r") != std::string::npos) return "holds white space";
  // No program argument can carry it.
  if (name.find('\0') != std::string::npos) return "holds a NUL byte";
  // Past white space (0x09 to 0x0D, and 0xA0 to the kernel) ip takes and
  // lists every byte raw; what breaks is Python's two kinds of text. A
  // unicode name outside ASCII reaches the commands encoded (UTF-8, or not
  // at all under the C locale), but the listing gives back str bytes, which
  // never equal it: every render would remove and remake the interface, and
  // its KNET line cannot be written to a file. A str name outside ASCII
  // fails on unicode text beside it (a unicode SDK name in its line), and
  // control bytes print as nothing. A unicode name is checked as its UTF-8.
  for (unsigned char c : name) {
    if (c < 0x21 || c > 0x7E) return "holds a character outside printable ASCII";
  }
  // The kernel numbers a name with "%d" itself and refuses any other "%".
  if (name.find('%') != std::string::npos) return "holds \"%\"";
  if (name == "all" || name == "default") return "is \"all\" or \"default\"";
  // `ip -o link show` lists a linked interface as name@parent, so the
  // switch's interfaces are read only up to the first "@".
  if (name.find('@') != std::string::npos) return "holds \"@\"";
  // The reconciliation takes any name holding "switch" for one of the
  // switch's own: it is never removed and is brought up with the switch.
  if (name.find("switch") != std::string::npos) return "holds \"switch\", the mark of the switch's own interfaces";
  // The kernel-netdev listing passes over "swid", so a second render would
  // make it again.
  if (name == "swid") return "is \"swid\", which the listing passes over as the switch's own";
  // Every machine has it: making it fails after other interfaces changed.
  if (name == "lo") return "is \"lo\", the loopback device";
  // Bringing the interface down names it without "dev".
  if (ip_keyword(name)) return "is read by \"ip link set\" as a keyword";
  return nullptr;
}

std::string describe(const Named& n, std::size_t sub) {
  // A port without a label (a stand-in) is shown as it prints.
  Ref label = Ref::steal(PyObject_GetAttr(n.port.get(), HN("label")));
  if (!label) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) host::fail();
    PyErr_Clear();
    label = host::repr(n.port.get());
  }
  // However long the label, the message stays short.
  Ref shown = host::excerpt(label.get(), 's');
  Ref text = fmt(HN("port %s sub-port %d"), shown.get(), host::integer(static_cast<long>(sub)).get());
  // A unicode label makes the text unicode; what is not ASCII is shown escaped.
  if (PyUnicode_Check(text.get())) {
    text = host::check(PyUnicode_AsEncodedString(text.get(), "ascii", "backslashreplace"));
  }
  // Taken with its size: a NUL byte in the label does not end the text.
  Ref bytes = host::str(text.get());
  return std::string(PyString_AS_STRING(bytes.get()), PyString_GET_SIZE(bytes.get()));
}

// type(o).__name__, read from the type itself: a metaclass's own __name__
// never runs. A class's tp_name is its __name__; a built-in type's is
// prefixed with its module.
Ref type_name(PyObject* o) {
  PyTypeObject* type = Py_TYPE(o);
  const char* name = type->tp_name;
  const char* dot = type->tp_flags & Py_TPFLAGS_HEAPTYPE ? nullptr : std::strrchr(name, '.');
  return host::text(dot ? dot + 1 : name);
}

// A refused name as the message quotes it. A name that is no text and whose
// repr() fails is still refused by its port and sub-port, shown by its type.
Ref quoted(PyObject* name) {
  try {
    return host::excerpt(name, 'r');
  } catch (const host::Error&) {
    if (PyString_Check(name) || PyUnicode_Check(name) || !PyErr_ExceptionMatches(PyExc_Exception)) throw;
    PyErr_Clear();
  }
  Ref type = host::excerpt(type_name(name).get(), 's');
  return fmt(HN("<unprintable %s object>"), type.get());
}

// Two interfaces of one name, or a name the kernel refuses, would be found
// only when ip fails on it, after other interfaces were changed: refuse the
// configuration here, naming the ports concerned.
void check_names(const std::vector<Named>& named) {
  struct Use {
    std::size_t port, sub;
  };
  // A name as the commands get it, with every sub-port that has it; a str
  // and a unicode of the same UTF-8 bytes are one name, quoted as the first
  // seen. A name that is no text has an entry of its own: its "%s" text may
  // read like a name, but the listing gives back a str, which never equals
  // it, so every render would remove and remake its interface.
  struct Entry {
    std::string bytes;
    Ref name;  // the first name seen
    std::vector<Use> uses;
    bool not_text() const { return !PyString_Check(name.get()) && !PyUnicode_Check(name.get()); }
  };
  std::vector<Entry> entries;
  std::unordered_map<std::string, std::size_t> by_bytes;
  for (std::size_t p = 0; p < named.size(); ++p) {
    if (!named[p].makes) continue;
    for (std::size_t sub = 0; sub < named[p].names.size(); ++sub) {
      PyObject* name = named[p].names[sub].get();
      if (!PyString_Check(name) && !PyUnicode_Check(name)) {
        entries.push_back({std::string(), Ref::borrow(name), {{p, sub}}});
        continue;
      }
      std::string bytes = name_bytes(name);
      auto found = by_bytes.emplace(bytes, entries.size());
      if (found.second) entries.push_back({std::move(bytes), Ref::borrow(name), {}});
      entries[found.first->second].uses.push_back({p, sub});
    }
  }
  std::string problems;
  for (const Entry& e : entries) {
    const auto& u = e.uses;
    const char* why = e.not_text() ? "is not a str or unicode" : refusal(e.bytes);
    if (!why && u.size() == 1) continue;
    std::string where;
    for (std::size_t i = 0; i < u.size(); ++i) {
      where += (i == 0 ? "" : i + 1 == u.size() ? " and " : ", ") + describe(named[u[i].port], u[i].sub);
    }
    // Quoted as an outside answer is, by its characters: however long the
    // name, the message stays short.
    Ref shown = host::str(quoted(e.name.get()).get());
    if (!problems.empty()) problems += "; ";
    problems += std::string(PyString_AS_STRING(shown.get()), PyString_GET_SIZE(shown.get())) + " of " + where + " " +
                (why ? why : "is given to more than one interface");
  }
  if (problems.empty()) return;
  problems = "Linux interface names that cannot be made: " + problems;
  host::raise_value(PyExc_ValueError, host::text(problems.data(), static_cast<Py_ssize_t>(problems.size())).get());
}

Ref porttab(PyObject* self) {
  Ref lines = host::new_list();
  Ref existing = host::check(PySet_New(nullptr));
  Ref new_netdevs = host::new_list();
  Ref base = host::getattr(chip_of(self).get(), HN("sw_base"));
  bool bcm = host::equal(base.get(), HN("bcm"));
  Ref previous = host::new_dict();

  bool tap = tap_mode();
  if (tap) {
    list_taps(self, existing.get());
  } else if (!host::equal(base.get(), HN("qsim"))) {
    if (!bcm && !host::equal(base.get(), HN("mlx"))) unsupported(base.get());
    list_netdevs(self, bcm ? HN("bcm_knet") : HN("mlx_sx_netdev"), existing.get());
    previous = previous_modes();
  }

  std::vector<Named> named = read_names(host::getattr(self, HN("ports")).get());
  check_names(named);

  Ref no_port = host::integer(-1);
  for (const Named& n : named) {
    PyObject* port = n.port.get();
    for (std::size_t i = 0; i < n.names.size(); ++i) {
      Ref sub_number = host::integer(static_cast<long>(i));
      PyObject* sub = sub_number.get();
      const Ref& name = n.names[i];
      Ref logical = no_port;
      if (host::truth(host::getattr(chip_of(self).get(), HN("dport_capable")).get())) {
        logical = host::call_method(port, HN("sdk_logical_port_num"), sub);
      }
      Ref sdk_name = host::call_method(port, HN("sdk_intf"), sub);
      Ref unit = host::getattr(port, HN("unit"));
      Ref is_fabric = host::getattr(port, HN("is_fabric"));
      Ref ganged = host::getattr(port, HN("num_ganged_ports"));
      Ref loopback = host::getattr(port, HN("loopback"));
      Ref line = fmt(HN("%s\t%s\t%u\t%i\t%u\t%i\t%i"), name.get(), sdk_name.get(), unit.get(), is_fabric.get(),
                     logical.get(), ganged.get(), loopback.get());
      host::append(lines.get(), line.get());

      if (!n.makes) continue;
      Ref index = host::call_method(port, HN("port_mac_index"), sub);
      Ref before = host::call_method(previous.get(), HN("get"), name.get());
      Ref mode = host::getattr(port, HN("mode"));
      bool listed = host::check_rc(PySet_Contains(existing.get(), name.get())) != 0;
      if (listed && (host::equal(before.get(), Py_None) || host::equal(before.get(), mode.get()))) {
        host::check_rc(PySet_Discard(existing.get(), name.get()));
        if (bcm) knet_down(name.get());
        continue;
      }
      Ref entry = host::new_dict();
      host::check_rc(PyDict_SetItem(entry.get(), HN("portname"), name.get()));
      host::check_rc(PyDict_SetItem(entry.get(), HN("index"), index.get()));
      Ref entry_unit = host::getattr(port, HN("unit"));
      host::check_rc(PyDict_SetItem(entry.get(), HN("unit"), entry_unit.get()));
      host::append(new_netdevs.get(), entry.get());
    }
  }

  host::call_method(self, HN("destroyints"), existing.get());
  host::call_method(self, tap ? HN("maketap") : HN("makekernnet"), new_netdevs.get());
  if (bcm && !tap) bring_up_switch(self);
  return join_lines(lines.get());
}

constexpr host::Member kMembers[] = {
    host::property("porttab", porttab,
                   "The port table; rendering it brings the front-panel Linux interfaces into line."),
};

}  // namespace

void add_porttab_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
