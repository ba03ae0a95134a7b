// The LED programs: one LED controller object per controller, made from the
// class(es) the platform names in its switch's `glimra`, and the LED script
// that loads and starts them.
#include "lanquist/sdk/sdk.hpp"

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

// An exact int or long: its equality with another is its hash's, and runs no
// code of anyone's.
bool is_plain_number(PyObject* v) { return PyInt_CheckExact(v) || PyLong_CheckExact(v); }

// The ports of each controller number, in the order of `wired`, when every
// number is a plain one: one pass instead of a walk of every port per
// controller. NULL when some number is not, and its own equality must be asked.
Ref group_by_number(PyObject* wired) {
  Ref groups = host::new_dict();
  for (Py_ssize_t j = 0; j < PyList_GET_SIZE(wired); ++j) {
    PyObject* pair = PyList_GET_ITEM(wired, j);
    PyObject* number = PyTuple_GET_ITEM(pair, 0);
    if (!is_plain_number(number)) return Ref();
    PyObject* group = PyDict_GetItem(groups.get(), number);
    if (!group) {
      Ref fresh = host::new_list();
      host::check_rc(PyDict_SetItem(groups.get(), number, fresh.get()));
      group = fresh.get();
    }
    host::check_rc(PyList_Append(group, PyTuple_GET_ITEM(pair, 1)));
  }
  return groups;
}

Ref calculate_leds(PyObject* self, const host::Args&) {
  Ref programs = host::new_dict();
  host::setattr(self, HN("_led_programs"), programs.get());
  Ref platform = host::getattr(self, HN("platform"));
  if (host::truth(host::getattr(platform.get(), HN("portleds")).get())) return host::none();

  // Each port with LEDs, with its controller number, in the order of the ports.
  Ref ports = host::getattr(self, HN("ports"));
  Ref wired = host::new_list();
  host::for_each(ports.get(), [&](PyObject* cp) {
    Ref leds = host::getattr(cp, HN("leds"));
    if (leds.get() == Py_None) return;
    Ref controller = subscript(leds.get(), 0);
    host::append(wired.get(), host::tuple(controller.get(), cp).get());
  });

  Ref controllers = host::getattr(switch_of(self).get(), HN("led_controllers"));
  if (!host::truth(controllers.get())) {
    controllers = host::check(PySet_New(nullptr));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(wired.get()); ++i) {
      PyObject* pair = PyList_GET_ITEM(wired.get(), i);
      host::check_rc(PySet_Add(controllers.get(), PyTuple_GET_ITEM(pair, 0)));
    }
  }
  Ref order = sorted_list(controllers.get());
  Ref by_number = group_by_number(wired.get());

  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(order.get()); ++i) {
    Ref n = Ref::borrow(PyList_GET_ITEM(order.get(), i));
    Ref controller = make_controller(self, n.get());
    Ref on_controller;
    if (by_number && is_plain_number(n.get())) {
      PyObject* found = PyDict_GetItem(by_number.get(), n.get());  // borrowed; hashing an int cannot fail
      // A copy: a number listed twice gets a list of its own each time, as a walk gives.
      on_controller = found ? host::check(PyList_GetSlice(found, 0, PyList_GET_SIZE(found))) : host::new_list();
    } else {
      on_controller = host::new_list();
      for (Py_ssize_t j = 0; j < PyList_GET_SIZE(wired.get()); ++j) {
        Ref pair = Ref::borrow(PyList_GET_ITEM(wired.get(), j));
        if (host::equal(PyTuple_GET_ITEM(pair.get(), 0), n.get())) {
          host::append(on_controller.get(), PyTuple_GET_ITEM(pair.get(), 1));
        }
      }
    }
    host::call_method(controller.get(), HN("configure"), n.get(), on_controller.get());
    host::check_rc(PyObject_SetItem(programs.get(), n.get(), controller.get()));
  }
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
