// Config: MAC addresses from the EEPROM base and the Linux interfaces of the
// front-panel ports (tap devices, kernel netdevs, their addresses, removal).
//
// Commands are handed to the runners as word lists built word by word, so an
// interface name holding white space stays one argument.
#include <string>

#include "lanquist/config.hpp"

#include "host/members.hpp"

namespace lanquist {
namespace {
using config_detail::as_word;
using config_detail::chip_of;
using config_detail::run;
using config_detail::word_list;
using host::Ref;

bool compare(PyObject* a, PyObject* b, int op) { return host::check_rc(PyObject_RichCompareBool(a, b, op)) != 0; }

// The index to use: in l3-only mode every interface takes the base address.
Ref effective_index(PyObject* self, PyObject* index) {
  Ref mode = host::getattr(self, HN("macmode"));
  if (host::equal(mode.get(), HN("l3-only"))) return host::integer(0);
  return Ref::borrow(index);
}

Ref address_of(PyObject* self, PyObject* index) {
  Ref macbase = host::getattr(self, HN("macbase"));
  return host::call_method(self, HN("makemacaddr"), macbase.get(), index);
}

Ref makemacaddr(PyObject*, const host::Args& a) {
  PyObject* inmac = a[0];
  if (inmac == Py_None) return host::none();
  auto byte = [&](long i) { return host::item(inmac, host::integer(i).get()); };
  Ref eight = host::integer(8), sixteen = host::integer(16);

  Ref low = byte(5);
  Ref b4 = host::check(PyNumber_Lshift(byte(4).get(), eight.get()));
  low = host::check(PyNumber_Or(low.get(), b4.get()));
  Ref b3 = host::check(PyNumber_Lshift(byte(3).get(), sixteen.get()));
  low = host::check(PyNumber_Or(low.get(), b3.get()));
  Ref sum = host::check(PyNumber_Add(low.get(), a[1]));

  // Only the low three bytes count up: anything outside them would change the OUI.
  Ref top = host::integer(0xFFFFFF), zero = host::integer(0);
  if (compare(sum.get(), top.get(), Py_GT) || compare(sum.get(), zero.get(), Py_LT)) {
    Ref out = host::getattr(global(HN("sys")).get(), HN("stdout"));
    host::call_method(out.get(), HN("write"), HN("Tried to carry into OUI.\n"));
    return host::none();
  }

  Ref mask = host::integer(255);
  Ref hi = host::check(PyNumber_Rshift(sum.get(), sixteen.get()));
  Ref mid = host::check(PyNumber_Rshift(sum.get(), eight.get()));
  Ref mac = host::new_list();
  for (Ref v : {byte(0), byte(1), byte(2), host::check(PyNumber_And(hi.get(), mask.get())),
                host::check(PyNumber_And(mid.get(), mask.get())), host::check(PyNumber_And(sum.get(), mask.get()))}) {
    host::append(mac.get(), v.get());
  }
  return mac;
}

Ref destroyints(PyObject* self, const host::Args& a) {
  host::for_each(a[0], [&](PyObject* name) {
    // The switch's own interfaces are never removed.
    if (host::contains(name, HN("switch"))) return;
    run(self, HN("iproute2"), word_list({HN("link"), HN("del"), HN("dev"), as_word(name).get()}));
  });
  host::call_method(a[0], HN("clear"));
  return host::none();
}

Ref setmac(PyObject* self, const host::Args& a) {
  Ref index = effective_index(self, a[1]);
  Ref mac = address_of(self, index.get());
  if (mac.get() == Py_None) return host::none();
  Ref name = as_word(a[0]);
  run(self, HN("iproute2"), word_list({HN("link"), HN("set"), name.get(), HN("down")}));
  Ref bytes = host::check(PySequence_Tuple(mac.get()));
  Ref address = host::format(HN("%x:%x:%x:%x:%x:%x"), bytes.get());
  run(self, HN("iproute2"),
      word_list({HN("link"), HN("set"), HN("dev"), name.get(), HN("address"), address.get()}));
  return host::none();
}

Ref maketap(PyObject* self, const host::Args& a) {
  host::for_each(a[0], [&](PyObject* entry) {
    Ref portname = host::item(entry, HN("portname"));
    Ref index = effective_index(self, host::item(entry, HN("index")).get());
    if (address_of(self, index.get()).get() == Py_None) return;
    run(self, HN("iproute2"),
        word_list({HN("tuntap"), HN("add"), HN("dev"), as_word(portname.get()).get(), HN("mode"), HN("tap"),
                   HN("one_queue")}));
    host::call_method(self, HN("setmac"), portname.get(), index.get());
  });
  return host::none();
}

Ref unsupported_message(PyObject* base) {
  static const std::string fmt =
      std::string("Kernel netdevs are not supported") + std::string(27, ' ') + "on %s, only on Broadcom and Mellanox";
  return host::format(host::text(fmt.c_str()).get(), host::tuple(base).get());
}

Ref makekernnet(PyObject* self, const host::Args& a) {
  if (host::truth(host::getattr(self, HN("dummy")).get())) return host::none();

  host::for_each(a[0], [&](PyObject* entry) {
    Ref portname = host::item(entry, HN("portname"));
    Ref given = host::item(entry, HN("index"));
    Ref unit = host::item(entry, HN("unit"));
    Ref index = effective_index(self, given.get());

    if (address_of(self, index.get()).get() != Py_None) {
      Ref base = host::getattr(chip_of(self).get(), HN("sw_base"));
      bool bcm = host::equal(base.get(), HN("bcm"));
      if (!bcm && !host::equal(base.get(), HN("mlx"))) {
        host::raise_value(global(HN("UnsupportedPlatformError")).get(), unsupported_message(base.get()).get());
      }
      PyObject* link_type = bcm ? HN("bcm_knet") : HN("mlx_sx_netdev");
      run(self, HN("drovik"),
          word_list({HN("add"), HN("name"), as_word(portname.get()).get(), HN("type"), link_type, HN("unit"),
                     as_word(unit.get()).get()}));
      host::call_method(self, HN("setmac"), portname.get(), index.get());
    }

    Ref base = host::getattr(chip_of(self).get(), HN("sw_base"));
    if (host::equal(base.get(), HN("bcm"))) {
      Ref file = host::call(global(HN("open")).get(), HN("/proc/bcm/knet/link"), HN("w"));
      Ref line = host::format(HN("%s=down"), host::tuple(portname.get()).get());
      host::closing(file.get(), [&] { host::call_method(file.get(), HN("write"), line.get()); });
    }
  });
  return host::none();
}

constexpr host::Member kInterfaceMembers[] = {
    host::method("makemacaddr", "inmac, index", makemacaddr,
                 "The base address plus index in its low three bytes, or None on a carry."),
    host::method("destroyints", "interface_set", destroyints,
                 "Remove the interfaces of the set (not the switch's) and empty it."),
    host::method("setmac", "portname, index", setmac,
                 "Give an interface the address of its MAC index, leaving it down."),
    host::method("maketap", "netdevs", maketap,
                 "Create a tap device with its address for each entry that has one."),
    host::method("makekernnet", "netdevs", makekernnet,
                 "Create a kernel netdev with its address for each entry that has one."),
};

}  // namespace

namespace config_detail {

void add_interface_members(PyObject* cls) { host::add_members<kInterfaceMembers>(cls); }

}  // namespace config_detail
}  // namespace lanquist
