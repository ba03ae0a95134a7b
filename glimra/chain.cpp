// Configuring one controller's chain: the ports' LED claims become runs of
// equal calls, and the runs become main-loop lines and routine texts.
#include "glimra/glimra.hpp"

namespace glimra {
using host::Ref;

namespace {

// `for i in range(count): body()`, with the host's own range() deciding
// which counts it takes, as configure's walks do.
template <typename F>
void repeat(PyObject* count, F&& body) {
  Ref times = host::call(global(HN("range")).get(), count);
  host::for_each(times.get(), [&](PyObject*) { body(); });
}

// `fmt % (value,)`: one value in its own tuple, so a tuple value is one field.
Ref format1(PyObject* fmt, PyObject* value) { return host::format(fmt, host::tuple(value).get()); }

bool is_zero(PyObject* length) {
  Ref zero = host::integer(0);
  return host::equal(length, zero.get());
}

// set.add(v), or the object's own `add` when something else was put there
// (a frozenset, which has none, gives the host's AttributeError).
void add_function(PyObject* functions, PyObject* text) {
  if (Py_TYPE(functions) == &PySet_Type) {
    host::check_rc(PySet_Add(functions, text));
  } else {
    host::call_method(functions, HN("add"), text);
  }
}

// `sorted(ports, key=lambda p: p.hw_port_num(0))`: the host's stable sort,
// keys computed once per port in list order.
Ref ports_in_hw_order(PyObject* ports) {
  Ref sorted_ports = host::check(PySequence_List(ports));
  Ref zero = host::integer(0);
  Ref key = host::call(methodcaller(), HN("hw_port_num"), zero.get());
  Ref kwargs = host::new_dict();
  host::check_rc(PyDict_SetItem(kwargs.get(), HN("key"), key.get()));
  Ref sort = host::getattr(sorted_ports.get(), HN("sort"));
  host::call_kw(sort.get(), nullptr, kwargs.get());
  return sorted_ports;
}

}  // namespace

int pad_bit(PyObject* call) {
  Ref zero = host::integer(0);
  if (host::equal(call, zero.get())) return 0;
  Ref one = host::integer(1);
  if (host::equal(call, one.get())) return 1;
  return -1;
}

Ref controller_init(PyObject* self, const host::Args&) {
  host::setattr(self, HN("set_functions"), host::check(PySet_New(nullptr)).get());
  host::setattr(self, HN("set_calls"), host::new_list().get());
  host::setattr(self, HN("_template"), host::text(kMainTemplate).get());
  return host::none();
}

Ref configure(PyObject* self, const host::Args& a) {
  PyObject* controller_idx = a[0];
  // The ports are walked twice (gangs, then claims): take them once.
  Ref ports = host::check(PySequence_List(a[1]));

  // Every position starts with the pad bit.
  Ref claims = host::new_dict();
  {
    Ref num_leds = host::getattr(self, HN("num_leds"));
    Ref default_pad = host::getattr(self, HN("default_pad"));
    Ref positions = host::call(global(HN("range")).get(), num_leds.get());
    host::for_each(positions.get(), [&](PyObject* led) {
      host::check_rc(PyDict_SetItem(claims.get(), led, default_pad.get()));
    });
  }

  // Gangs: the LED indexes of the ports sharing a gang label, in port order.
  Ref gangs = host::new_dict();
  host::for_each(ports.get(), [&](PyObject* port) {
    Ref label = host::getattr(port, HN("gang_label"));
    Ref members;
    if (host::check_rc(PyDict_Contains(gangs.get(), label.get()))) {
      members = host::item(gangs.get(), label.get());
    } else {
      members = host::new_list();
      host::check_rc(PyDict_SetItem(gangs.get(), label.get(), members.get()));
    }
    Ref leds = host::getattr(port, HN("leds"));
    host::append(members.get(), subscript(leds.get(), 1).get());
  });

  // Claims, logical port by logical port in hardware order; a later claim wins.
  long led_port = 1;
  Ref ordered = ports_in_hw_order(ports.get());
  host::for_each(ordered.get(), [&](PyObject* port) {
    Ref count = host::getattr(port, HN("num_logical_ports"));
    Ref subs = host::call(global(HN("range")).get(), count.get());
    host::for_each(subs.get(), [&](PyObject* sub) {
      Ref label = host::getattr(port, HN("gang_label"));
      Ref members = host::item(gangs.get(), label.get());
      Ref lport = host::integer(led_port);
      Ref claimed = host::call_method(port, HN("set_leds"), lport.get(), sub, members.get());
      host::call_method(claims.get(), HN("update"), claimed.get());
      ++led_port;
    });
  });

  // Runs of equal calls in LED order; like groupby, each position is compared
  // with the first of its run, which the run carries.
  Ref leds = host::check(PyDict_Keys(claims.get()));
  host::check_rc(PyList_Sort(leds.get()));
  Ref runs = host::new_list();
  Ref first;
  long length = 0;
  auto close_run = [&] {
    if (!first) return;
    Ref count = host::integer(length);
    host::append(runs.get(), host::tuple(first.get(), count.get()).get());
  };
  host::for_each(leds.get(), [&](PyObject* led) {
    Ref call = host::item(claims.get(), led);
    if (first && host::equal(first.get(), call.get())) {
      ++length;
      return;
    }
    close_run();
    first = call;
    length = 1;
  });
  close_run();

  Ref call_list = host::getattr(self, HN("call_list"));
  host::check_rc(PyObject_SetItem(call_list.get(), controller_idx, runs.get()));
  Ref stored = host::item(call_list.get(), controller_idx);

  Ref use_pad_n = host::call_method(self, HN("_eval_looping"), stored.get());
  host::for_each(stored.get(), [&](PyObject* run) {
    Ref parts[2];
    unpack(run, 2, parts);
    PyObject* call = parts[0].get();
    PyObject* count = parts[1].get();
    int bit = pad_bit(call);
    if (bit >= 0) {
      // `use_pad_n[bit] and count > loop_insert_cost`
      Ref loop = subscript(use_pad_n.get(), bit);
      if (host::truth(loop.get())) {
        Ref cost = host::getattr(self, HN("loop_insert_cost"));
        loop = host::check(PyObject_RichCompare(count, cost.get(), Py_GT));
      }
      host::call_method(self, HN("_led_pad_call"), call, count, loop.get());
    } else if (call != Py_None) {
      host::call_method(self, HN("_led_port_call"), call, count);
    }
  });
  return host::none();
}

Ref led_pad_call(PyObject* self, const host::Args& a) {
  PyObject* value = a[0];
  PyObject* length = a[1];
  PyObject* emit_loop = a[2];
  if (is_zero(length)) return host::none();
  int bit = pad_bit(value);
  if (bit < 0) {
    Ref message = format1(HN("bad pad value: %s"), value);
    host::raise_value(PyExc_RuntimeError, message.get());
  }
  const char* word = bit ? "one" : "zero";
  Ref set_calls = host::getattr(self, HN("set_calls"));
  Ref routine;
  if (host::truth(emit_loop)) {
    routine = format1(HN("pad_n_%s"), host::text(word).get());
    host::append(set_calls.get(), format1(HN("\n        ld      a, %u"), length).get());
    host::append(set_calls.get(), format1(HN("\n        call    %s"), routine.get()).get());
  } else {
    routine = format1(HN("pad_%s"), host::text(word).get());
    Ref line = format1(HN("\n        call    %s"), routine.get());
    repeat(length, [&] { host::append(set_calls.get(), line.get()); });
  }
  Ref functions = host::getattr(self, HN("set_functions"));
  add_function(functions.get(), host::getattr(self, routine.get()).get());
  return host::none();
}

Ref led_port_call(PyObject* self, const host::Args& a) {
  PyObject* length = a[1];
  if (is_zero(length)) return host::none();
  Ref parts[3];
  unpack(a[0], 3, parts);
  PyObject* name = parts[0].get();
  PyObject* code = parts[1].get();
  PyObject* port = parts[2].get();
  repeat(length, [&] {
    Ref routine = format1(HN("set_led_%s"), name);
    Ref label = host::check(PyNumber_Add(routine.get(), HN(":")));
    Ref text = host::call_method(code, HN("replace"), HN("set_led:"), label.get());
    add_function(host::getattr(self, HN("set_functions")).get(), text.get());
    if (port != Py_None) {
      Ref chain = host::call_method(self, HN("_chain_port"), port);
      Ref set_calls = host::getattr(self, HN("set_calls"));
      host::append(set_calls.get(), format1(HN("\n        ld      a,%u"), chain.get()).get());
      host::append(set_calls.get(), format1(HN("\n        call    %s"), routine.get()).get());
    }
  });
  return host::none();
}

// ((port - 1) mod ports_per_chain) + 1, with the host's floor modulo: the
// chain numbers its ports 1..ports_per_chain and starts again after that.
Ref chain_port(PyObject* self, const host::Args& a) {
  Ref one = host::integer(1);
  Ref per_chain = host::getattr(self, HN("ports_per_chain"));
  Ref v = host::check(PyNumber_Subtract(a[0], one.get()));
  v = host::check(PyNumber_Remainder(v.get(), per_chain.get()));
  return host::check(PyNumber_Add(v.get(), one.get()));
}

Ref chain_port_unchanged(PyObject*, const host::Args& a) { return Ref::borrow(a[0]); }

}  // namespace glimra
