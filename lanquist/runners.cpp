// The command runners: thin wrappers over subprocess.check_output for ip,
// drovik and the EEPROM decoder idwarden, each with a dummy mode that starts
// nothing, so a configuration object can be driven on a machine without them.
#include "lanquist/lanquist.hpp"

namespace lanquist {
using host::Ref;

namespace {

constexpr const char* kIp = "ip";
constexpr const char* kDrovik = "/usr/lib/zarnith/drovik";
constexpr const char* kIdwarden = "/usr/zarnith/bin/idwarden";

bool is_dummy(PyObject* self) { return host::truth(host::getattr(self, HN("dummy")).get()); }

// subprocess is looked up at call time, so a caller (or a test) can replace it;
// the argument vector is its only argument: no shell, no options.
Ref check_output(PyObject* argv) {
  Ref subprocess = global(HN("subprocess"));
  Ref fn = host::getattr(subprocess.get(), HN("check_output"));
  return host::call(fn.get(), argv);
}

Ref one_word_list(const char* word) {
  Ref list = host::check(PyList_New(1));
  PyList_SET_ITEM(list.get(), 0, host::text(word).release());
  return list;
}

// --- IPRoute2, Drovik ----------------------------------------------------------

Ref init_dummy_only(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"dummy"};
  auto a = host::parse("__init__", args, kwargs, names, 0);
  host::setattr(self, HN("dummy"), a[0] ? a[0] : Py_False);
  return host::none();
}

// [program] + args: a new list, the caller's words untouched.
Ref run_program(const char* program, PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"args"};
  auto a = host::parse("run", args, kwargs, names);
  if (is_dummy(self)) return host::text("");
  Ref argv = host::check(PyNumber_Add(one_word_list(program).get(), a[0]));
  return check_output(argv.get());
}

Ref iproute2_run(PyObject* self, PyObject* args, PyObject* kwargs) { return run_program(kIp, self, args, kwargs); }
Ref drovik_run(PyObject* self, PyObject* args, PyObject* kwargs) { return run_program(kDrovik, self, args, kwargs); }

// --- Idwarden ------------------------------------------------------------------

Ref idwarden_init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"dummy", "sw_base"};
  auto a = host::parse("__init__", args, kwargs, names, 0);
  host::setattr(self, HN("dummy"), a[0] ? a[0] : Py_False);
  host::setattr(self, HN("sw_base"), a[1] ? a[1] : Py_None);
  return host::none();
}

// A decoder failure usually ends start-up: keep the operator's console to one
// line, leave a trace in syslog, and raise the runner's own error.
[[noreturn]] void decoder_failed(PyObject* message) {
  Ref sys = global(HN("sys"));
  host::setattr(sys.get(), HN("tracebacklimit"), host::integer(0).get());
  Ref syslog = global(HN("syslog"));
  Ref priority = host::getattr(syslog.get(), HN("LOG_ERR"));
  host::call_method(syslog.get(), HN("syslog"), priority.get(), message);
  host::raise_value(PyExc_RuntimeError, message);
}

// Run the decoder with one option. Ordinary errors become the runner's error;
// KeyboardInterrupt, SystemExit and the like go on unchanged.
Ref run_decoder(const char* option, const char* message) {
  try {
    Ref argv = host::check(PyList_New(2));
    PyList_SET_ITEM(argv.get(), 0, host::text(kIdwarden).release());
    PyList_SET_ITEM(argv.get(), 1, host::text(option).release());
    return check_output(argv.get());
  } catch (const host::Error&) {
    if (!PyErr_ExceptionMatches(PyExc_Exception)) throw;
    PyErr_Clear();
  }
  decoder_failed(host::text(message).get());
}

Ref idwarden_macaddr(PyObject* self) {
  if (is_dummy(self)) return host::text("ff:ff:ff:ff:ff:00");
  return run_decoder("-a", "error: idwarden -a failed");
}

Ref idwarden_macrange(PyObject* self) {
  Ref value = is_dummy(self) ? host::integer(255) : run_decoder("-r", "error: idwarden -r failed");
  try {
    return host::call(reinterpret_cast<PyObject*>(&PyInt_Type), value.get());
  } catch (const host::Error&) {
    if (!PyErr_ExceptionMatches(PyExc_ValueError)) throw;
    PyErr_Clear();
  }
  Ref format = host::text("error: idwarden -r returned bogus value: %s");
  Ref message = host::format(format.get(), host::tuple(value.get()).get());
  decoder_failed(message.get());
}

}  // namespace

void add_runner_members(PyObject* idwarden, PyObject* iproute2, PyObject* drovik) {
  host::add_method<idwarden_init>(idwarden, "__init__");
  host::add_property<idwarden_macaddr>(idwarden, "macaddr");
  host::add_property<idwarden_macrange>(idwarden, "macrange");

  host::add_method<init_dummy_only>(iproute2, "__init__");
  host::add_method<iproute2_run>(iproute2, "run");

  host::add_method<init_dummy_only>(drovik, "__init__");
  host::add_method<drovik_run>(drovik, "run");
}

}  // namespace lanquist
