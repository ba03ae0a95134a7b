// The LED programs: one LED controller object per controller, made from the
// class(es) the platform names in its switch's `glimra`, and the LED script
// that loads and starts them.
#include "lanquist/sdk/sdk.hpp"

#include <unordered_map>
#include <vector>

namespace lanquist {
namespace sdk {
namespace {

Ref sorted_list(PyObject* iterable) {
  Ref list = host::check(PySequence_List(iterable));
  host::check_rc(PyList_Sort(list.get()));
  return list;
}

// `glimra[n]()`, or `glimra()` when that raises TypeError: the switch may name
// one class for every controller, or a class per controller.
Ref make_controller(PyObject* self, PyObject* n) {
  try {
    Ref glimra = host::getattr(switch_of(self).get(), HN("glimra"));
    Ref cls = host::item(glimra.get(), n);
    return host::call(cls.get());
  } catch (const host::Error&) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw;
    PyErr_Clear();
  }
  Ref glimra = host::getattr(switch_of(self).get(), HN("glimra"));
  return host::call(glimra.get());
}

// A port with LEDs and its controller number. Kept in C++, out of reach of
// Python code that runs meanwhile (configure, a number's own __eq__).
struct Wired {
  Ref number;
  Ref port;
};

// An exact int or long: hashing and comparing it runs no code of anyone's.
bool is_plain_number(PyObject* v) { return PyInt_CheckExact(v) || PyLong_CheckExact(v); }

// The ports of the controllers, found by the numbers' hashes when every
// number is a plain one: one pass instead of a walk of every port per
// controller. When some number is not, its own equality is asked, port by port.
class PortsByNumber {
 public:
  explicit PortsByNumber(const std::vector<Wired>& wired) : wired_(wired) {
    for (std::size_t j = 0; j < wired.size(); ++j) {
      PyObject* number = wired[j].number.get();
      if (!is_plain_number(number)) {
        by_hash_.clear();
        plain_ = false;
        return;
      }
      by_hash_[PyObject_Hash(number)].push_back(j);
    }
  }

  // A new list of the ports whose number equals `n`, in port order.
  Ref of(PyObject* n) const {
    Ref ports = host::new_list();
    if (plain_ && is_plain_number(n)) {
      auto found = by_hash_.find(PyObject_Hash(n));
      if (found == by_hash_.end()) return ports;
      for (std::size_t j : found->second) {
        if (host::check_rc(PyObject_RichCompareBool(wired_[j].number.get(), n, Py_EQ))) {
          host::append(ports.get(), wired_[j].port.get());
        }
      }
      return ports;
    }
    for (const Wired& w : wired_) {
      if (host::equal(w.number.get(), n)) host::append(ports.get(), w.port.get());
    }
    return ports;
  }

 private:
  const std::vector<Wired>& wired_;
  bool plain_ = true;
  std::unordered_map<long, std::vector<std::size_t>> by_hash_;  // hash -> indexes in wired_
};

Ref calculate_leds(PyObject* self, const host::Args&) {
  Ref programs = host::new_dict();
  host::setattr(self, HN("_led_programs"), programs.get());
  Ref platform = host::getattr(self, HN("platform"));
  if (host::truth(host::getattr(platform.get(), HN("portleds")).get())) return host::none();

  // Each port with LEDs, with its controller number, in the order of the ports.
  Ref ports = host::getattr(self, HN("ports"));
  std::vector<Wired> wired;
  host::for_each(ports.get(), [&](PyObject* cp) {
    Ref leds = host::getattr(cp, HN("leds"));
    if (leds.get() == Py_None) return;
    wired.push_back(Wired{subscript(leds.get(), 0), Ref::borrow(cp)});
  });

  Ref controllers = host::getattr(switch_of(self).get(), HN("led_controllers"));
  if (!host::truth(controllers.get())) {
    controllers = host::check(PySet_New(nullptr));
    for (const Wired& w : wired) host::check_rc(PySet_Add(controllers.get(), w.number.get()));
  }
  Ref order = sorted_list(controllers.get());
  const PortsByNumber ports_of(wired);

  host::for_each(order.get(), [&](PyObject* n) {
    Ref controller = make_controller(self, n);
    Ref on_controller = ports_of.of(n);
    host::call_method(controller.get(), HN("configure"), n, on_controller.get());
    host::check_rc(PyObject_SetItem(programs.get(), n, controller.get()));
  });
  return host::none();
}

// The controller numbers with a program, in ascending order.
Ref controller_numbers(PyObject* self) {
  Ref programs = host::getattr(self, HN("_led_programs"));
  return sorted_list(programs.get());
}

Ref led_chains(PyObject* self) { return controller_numbers(self); }

// {n: _led_programs[n].<field>} for every controller.
Ref per_controller(PyObject* self, PyObject* field) {
  Ref programs = host::getattr(self, HN("_led_programs"));
  Ref numbers = sorted_list(programs.get());
  Ref result = host::new_dict();
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(numbers.get()); ++i) {
    Ref n = Ref::borrow(PyList_GET_ITEM(numbers.get(), i));
    Ref controller = host::item(programs.get(), n.get());
    Ref value = host::getattr(controller.get(), field);
    host::check_rc(PyDict_SetItem(result.get(), n.get(), value.get()));
  }
  return result;
}

Ref led_asm(PyObject* self) { return per_controller(self, HN("asm")); }
Ref led_hex(PyObject* self) { return per_controller(self, HN("hex")); }

// Per controller: stop, automatic mode, load the image the caller stored,
// start (one block that ends in a newline), then its data-RAM commands.
Ref rcled(PyObject* self) {
  Ref programs = host::getattr(self, HN("_led_programs"));
  Ref numbers = sorted_list(programs.get());
  Ref items = host::new_list();
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(numbers.get()); ++i) {
    Ref n = Ref::borrow(PyList_GET_ITEM(numbers.get(), i));
    PyObject* v = n.get();
    Ref block = host::format(HN("led %d stop\nled %d auto on\nled %d load /etc/bcm.d/led%d.hex\nled %d start\n"),
                             host::tuple(v, v, v, v, v).get());
    host::append(items.get(), block.get());
    Ref controller = host::item(programs.get(), v);
    Ref commands = host::call_method(controller.get(), HN("led_memory_init_commands"), v);
    host::for_each(commands.get(), [&](PyObject* command) { host::append(items.get(), command); });
  }
  return join_lines(items.get());
}

constexpr host::Member kMembers[] = {
    host::method("_calculate_leds", "", calculate_leds,
                 "Make and configure one LED controller object per LED controller."),
    host::property("led_chains", led_chains, "The LED controllers that have a program."),
    host::property("led_asm", led_asm, "The LED program text of each controller."),
    host::property("led_hex", led_hex, "The assembled LED program of each controller."),
    host::property("rcled", rcled, "The LED script: load and start every LED program."),
};

}  // namespace

void add_led_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
