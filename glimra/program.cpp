// The program text: fixed templates filled with the chain's lines and
// routines and the platform's values, by the host's %-formatting.
#include "glimra/glimra.hpp"

namespace glimra {
using host::Ref;

namespace {

Ref join(PyObject* texts) { return host::call_method(HN(""), HN("join"), texts); }

// `fmt % values` as Python's operator gives it: a subclass may hold a unicode
// template, or something that is no text at all (the host's TypeError then).
Ref percent(PyObject* fmt, PyObject* values) { return host::check(PyNumber_Remainder(fmt, values)); }

void set(PyObject* mapping, PyObject* key, PyObject* value) {
  host::check_rc(PyObject_SetItem(mapping, key, value));
}

}  // namespace

Ref id_variables(PyObject* base) {
  Ref values = host::new_dict();
  set(values.get(), HN("base_addr"), base);
  return host::format(host::text(kIdVariables).get(), values.get());
}

Ref defines(PyObject* self) {
  Ref period = host::getattr(self, HN("blink_period"));
  Ref per_tick = host::check(PyFloat_FromDouble(30.0));
  Ref ticks = host::check(PyNumber_Divide(period.get(), per_tick.get()));
  Ref whole = host::to_int(ticks.get());
  if (host::check_rc(PyObject_RichCompareBool(ticks.get(), whole.get(), Py_NE))) {
    host::raise(PyExc_RuntimeError, "non-integer blink cycles, correct period to multiple of 30");
  }
  Ref values = host::new_dict();
  set(values.get(), HN("ticks_per_blink"), whole.get());
  set(values.get(), HN("num_leds"), host::getattr(self, HN("num_leds")).get());
  return host::format(host::text(kDefinesTemplate).get(), values.get());
}

Ref asm_text(PyObject* self) {
  // A copy: the class's own mapping is never changed.
  Ref code = host::call(reinterpret_cast<PyObject*>(&PyDict_Type), host::getattr(self, HN("static_code")).get());
  bool with_id = host::truth(host::getattr(self, HN("has_phys_id")).get());
  Ref variant = host::getattr(self, with_id ? HN("static_id_func_code") : HN("static_no_id_func_code"));
  host::call_method(code.get(), HN("update"), variant.get());
  if (with_id && host::check_rc(PyDict_Contains(code.get(), HN("variables")))) {
    // The port map's address comes from the object, so a class that moves the
    // array keeps the program and the data-RAM commands in step. Only the
    // class's own text is refilled: a text a platform supplies goes in as it is.
    Ref text = host::item(code.get(), HN("variables"));
    if (host::equal(text.get(), class_id_variables())) {
      Ref base = host::getattr(self, HN("data_array_base_addr"));
      if (!host::equal(base.get(), host::integer(kDataArrayBaseAddr).get())) {
        set(code.get(), HN("variables"), id_variables(base.get()).get());
      }
    }
  }
  set(code.get(), HN("set_functions"), join(host::getattr(self, HN("set_functions")).get()).get());
  set(code.get(), HN("set_calls"), join(host::getattr(self, HN("set_calls")).get()).get());
  set(code.get(), HN("defines"), host::getattr(self, HN("defines")).get());
  set(code.get(), HN("led_functions"), join(host::getattr(self, HN("led_functions")).get()).get());
  return percent(host::getattr(self, HN("_template")).get(), code.get());
}

}  // namespace glimra
