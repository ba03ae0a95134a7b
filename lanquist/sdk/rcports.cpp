// The per-unit port script: SDK shell variables listing a unit's ports (all,
// per speed, loopback, per SDK group) in range notation, and the loopback
// ports put into MAC loopback.
#include <vector>

#include "lanquist/sdk/walk.hpp"

namespace lanquist {
namespace sdk {
namespace {

struct Name {
  Ref text;    // the SDK interface name
  Ref prefix;  // its first two characters
  Ref number;  // int() of the rest
};

// xe0,xe1,xe2,xe5 -> xe0-xe2,xe5: names sorted by prefix and number, each run
// of three or more consecutive numbers of one prefix written as first-last.
Ref compress_portlist(PyObject*, const host::Args& a) {
  // Sorted by "%s%03u" of prefix and number; equal keys keep their order.
  std::vector<Name> names;
  Ref keyed = host::new_list();
  host::for_each(a[0], [&](PyObject* text) {
    Ref prefix = host::slice(text, 0, 2);
    Ref rest = host::slice(text, 2, host::kOpen);
    Ref number = host::to_int(rest.get());
    Ref key = fmt(HN("%s%03u"), prefix.get(), number.get());
    Ref position = host::integer(static_cast<long>(names.size()));
    host::append(keyed.get(), host::tuple(key.get(), position.get()).get());
    names.push_back(Name{Ref::borrow(text), prefix, number});
  });
  host::check_rc(PyList_Sort(keyed.get()));

  // A run keeps "%s%u" of prefix and (position - number) constant.
  Ref items = host::new_list();
  std::vector<const Name*> run;
  Ref run_key;
  auto flush = [&] {
    if (run.size() >= 3) {
      Ref item = fmt(HN("%s-%s"), run.front()->text.get(), run.back()->text.get());
      host::append(items.get(), item.get());
    } else {
      for (const Name* n : run) host::append(items.get(), n->text.get());
    }
    run.clear();
  };
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(keyed.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(keyed.get(), i);
    const Name& n = names[PyInt_AS_LONG(PyTuple_GET_ITEM(pair, 1))];
    Ref position = host::integer(static_cast<long>(i));
    Ref offset = host::check(PyNumber_Subtract(position.get(), n.number.get()));
    Ref key = fmt(HN("%s%u"), n.prefix.get(), offset.get());
    if (run_key && !host::equal(key.get(), run_key.get())) flush();
    run_key = key;
    run.push_back(&n);
  }
  flush();
  return host::call_method(HN(","), HN("join"), items.get());
}

// name -> list of the names met under that key, the list made at first use.
void add_to(PyObject* table, PyObject* key, PyObject* name) {
  Ref list = host::call_method(table, HN("get"), key);
  if (list.get() == Py_None) {
    list = host::new_list();
    host::check_rc(PyObject_SetItem(table, key, list.get()));
  }
  host::append(list.get(), name);
}

Ref compressed(PyObject* self, PyObject* names) {
  return host::call_method(self, HN("_compress_portlist"), names);
}

Ref rcports(PyObject* self, const host::Args& a) {
  PyObject* unit = a[0];
  Ref all = host::new_list();
  Ref speeds = host::new_dict();
  Ref loopback = host::new_list();
  Ref groups = host::new_dict();

  Ref ports = host::getattr(self, HN("ports"));
  host::for_each(ports.get(), [&](PyObject* port) {
    if (!host::equal(host::getattr(port, HN("unit")).get(), unit)) return;
    Ref logical_ports = host::getattr(port, HN("num_logical_ports"));
    for_range(logical_ports.get(), [&](PyObject* sub) {
      Ref name = host::call_method(port, HN("sdk_intf"), sub);
      host::append(all.get(), name.get());
      Ref speed = host::getattr(port, HN("speed"));
      add_to(speeds.get(), speed.get(), name.get());
      if (host::truth(host::getattr(port, HN("loopback")).get())) host::append(loopback.get(), name.get());
      Ref group = host::getattr(port, HN("sdk_group"));
      if (group.get() != Py_None) add_to(groups.get(), group.get(), name.get());
    });
  });

  Ref lines = host::new_list();
  auto line = [&](PyObject* format, auto... args) {
    Ref text = fmt(format, args...);
    host::append(lines.get(), text.get());
  };
  line(HN("setenv allports %s"), compressed(self, all.get()).get());
  Ref one = host::integer(1);
  // Speeds and groups come in the order the tables give them.
  Ref speed_items = host::check(PyDict_Items(speeds.get()));
  host::for_each(speed_items.get(), [&](PyObject* pair) {
    PyObject* speed = PyTuple_GET_ITEM(pair, 0);
    Ref list = compressed(self, PyTuple_GET_ITEM(pair, 1));
    if (host::equal(speed, one.get())) {
      line(HN("setenv 1Gports %s"), list.get());
    } else {
      line(HN("setenv %sGports %s"), speed, list.get());
    }
  });
  if (PyList_GET_SIZE(loopback.get()) > 0) {
    line(HN("setenv lbports %s"), compressed(self, loopback.get()).get());
    host::append(lines.get(), HN("port $lbports lb=mac"));
  }
  Ref group_items = host::check(PyDict_Items(groups.get()));
  host::for_each(group_items.get(), [&](PyObject* pair) {
    Ref list = compressed(self, PyTuple_GET_ITEM(pair, 1));
    line(HN("setenv sdk_group_%s %s"), PyTuple_GET_ITEM(pair, 0), list.get());
  });
  return join_lines(lines.get());
}

constexpr host::Member kMembers[] = {
    host::method("_compress_portlist", "portlist", compress_portlist,
                 "The SDK interface names in range notation: xe0-xe3,xe5."),
    host::method("rcports", "unit", rcports, "The port script of one unit."),
};

}  // namespace

void add_rcports_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
