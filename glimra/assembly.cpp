// What the switch loads: the program assembled by the outside assembler, and
// the commands that fill the LED processor's data RAM.
#include "glimra/glimra.hpp"

namespace glimra {
using host::Ref;

namespace {

// The port map may not reach the ID/Locator flags; the blinker records follow them.
constexpr long kPortMapEnd = 0xe0;

Ref os_path() { return host::getattr(global(HN("os")).get(), HN("path")); }

Ref path_in(PyObject* dir, PyObject* name) { return host::call_method(os_path().get(), HN("join"), dir, name); }

Ref open_file(PyObject* path, PyObject* mode) { return host::call(global(HN("open")).get(), path, mode); }

void remove_tree(PyObject* dir) { host::call_method(global(HN("shutil")).get(), HN("rmtree"), dir); }

// Write the program, run the assembler on it and read back its image.
Ref assemble(PyObject* self, PyObject* program, PyObject* dir) {
  Ref source = path_in(dir, HN("code.asm"));
  Ref f = open_file(source.get(), HN("w"));
  host::closing(f.get(), [&] { host::call_method(f.get(), HN("write"), program); });

  // The assembler takes the common stem of its input and output files.
  Ref argv = host::check(PyList_New(2));
  PyList_SET_ITEM(argv.get(), 0, host::getattr(self, HN("_pulsic")).release());
  PyList_SET_ITEM(argv.get(), 1, host::slice(source.get(), 0, -4).release());
  Ref devnull_path = host::getattr(global(HN("os")).get(), HN("devnull"));
  Ref devnull = open_file(devnull_path.get(), HN("r+"));
  host::closing(devnull.get(), [&] {
    Ref kwargs = host::new_dict();
    for (PyObject* stream : {HN("stdin"), HN("stdout"), HN("stderr")}) {
      host::check_rc(PyDict_SetItem(kwargs.get(), stream, devnull.get()));
    }
    Ref check_call = host::getattr(global(HN("subprocess")).get(), HN("check_call"));
    host::call_kw(check_call.get(), host::tuple(argv.get()).get(), kwargs.get());
  });

  Ref image = path_in(dir, HN("code.hex"));
  Ref h = open_file(image.get(), HN("r"));
  Ref text;
  host::closing(h.get(), [&] { text = host::call_method(h.get(), HN("read")); });
  return text;
}

}  // namespace

Ref hex(PyObject* self) {
  Ref program = host::getattr(self, HN("asm"));
  return host::call_method(self, HN("_compile"), program.get());
}

namespace {
// The module's `tempfile`, imported and bound the first time it is needed;
// once bound it is looked up like the other module names, so a caller may
// substitute it.
Ref tempfile_module() {
  PyObject* names = PyModule_GetDict(module());
  if (PyObject* bound = PyDict_GetItem(names, HN("tempfile"))) return Ref::borrow(bound);
  Ref imported = host::import("tempfile");
  host::check_rc(PyDict_SetItem(names, HN("tempfile"), imported.get()));
  return imported;
}
}  // namespace

Ref compile(PyObject* self, const host::Args& a) {
  Ref dir = host::call_method(tempfile_module().get(), HN("mkdtemp"));
  Ref text;
  try {
    text = assemble(self, a[0], dir.get());
  } catch (...) {
    // As a `finally`: the directory goes first; an error in removing it is
    // the one the caller sees.
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    try {
      remove_tree(dir.get());
    } catch (...) {
      Py_XDECREF(type);
      Py_XDECREF(value);
      Py_XDECREF(tb);
      throw;
    }
    PyErr_Restore(type, value, tb);
    throw;
  }
  remove_tree(dir.get());
  return text;
}

Ref led_map(PyObject* self, const host::Args& a) {
  Ref call_list = host::getattr(self, HN("call_list"));
  Ref runs = host::item(call_list.get(), a[0]);
  Ref ports = host::new_list();
  host::for_each(runs.get(), [&](PyObject* run) {
    Ref parts[2];
    unpack(run, 2, parts);
    PyObject* call = parts[0].get();
    if (call == Py_None || pad_bit(call) >= 0) return;
    Ref call_parts[3];
    unpack(call, 3, call_parts);
    host::append(ports.get(), call_parts[2].get());
  });
  return ports;
}

Ref led_memory_init_commands(PyObject* self, const host::Args& a) {
  PyObject* controller_idx = a[0];
  Ref commands = host::new_list();
  // Only False itself means "no ID/Locator program": by identity, not truth.
  if (host::getattr(self, HN("has_phys_id")).get() == Py_False) return commands;

  Ref name_kwargs = host::new_dict();
  host::check_rc(PyDict_SetItem(name_kwargs.get(), HN("idx"), controller_idx));
  Ref name_format = host::getattr(host::getattr(self, HN("data_array_name")).get(), HN("format"));
  Ref name = host::call_kw(name_format.get(), nullptr, name_kwargs.get());
  Ref addr = host::getattr(self, HN("data_array_base_addr"));

  Ref entries = host::check(PySequence_List(host::call_method(self, HN("led_map"), controller_idx).get()));
  Py_ssize_t n = PyList_GET_SIZE(entries.get());
  if (n > 0) {
    // Beyond its room the map would overwrite the ID/Locator flags and then
    // the blinker records: refuse rather than corrupt the LED processor's data.
    Ref span = host::integer(static_cast<long>(n - 1));
    Ref last = host::check(PyNumber_Add(addr.get(), span.get()));
    Ref end = host::integer(kPortMapEnd);
    if (host::check_rc(PyObject_RichCompareBool(last.get(), end.get(), Py_GE))) {
      Ref count = host::check(PyInt_FromSsize_t(n));
      Ref message = host::format(HN("LED controller %s: %d port-map entries overrun the data RAM at 0xe0"),
                                 host::tuple(controller_idx, count.get()).get());
      host::raise_value(PyExc_RuntimeError, message.get());
    }
  }

  Ref params = host::new_dict();
  host::check_rc(PyDict_SetItem(params.get(), HN("name"), name.get()));
  Ref command_format = host::getattr(HN("setreg {name}[0x{addr:x}] {val}"), HN("format"));
  auto emit = [&](PyObject* at, PyObject* val) {
    host::check_rc(PyDict_SetItem(params.get(), HN("addr"), at));
    host::check_rc(PyDict_SetItem(params.get(), HN("val"), val));
    host::append(commands.get(), host::call_kw(command_format.get(), nullptr, params.get()).get());
  };
  Ref one = host::integer(1);
  for (Py_ssize_t i = 0; i < n; ++i) {
    emit(addr.get(), PyList_GET_ITEM(entries.get(), i));
    addr = host::check(PyNumber_Add(addr.get(), one.get()));
  }
  Ref constants = host::getattr(self, HN("in_ram_constants"));
  host::for_each(constants.get(), [&](PyObject* key) {
    Ref constant = host::item(constants.get(), key);
    Ref at = host::item(constant.get(), HN("addr"));
    Ref val = host::item(constant.get(), HN("val"));
    emit(at.get(), val.get());
  });
  return commands;
}

}  // namespace glimra
