// The command runners: thin wrappers over subprocess.check_output for ip,
// drovik and the EEPROM decoder idwarden, each with a dummy mode that starts
// nothing, so a configuration object can be driven on a machine without them.
#include "lanquist/lanquist.hpp"

#include "host/data.hpp"
#include "host/members.hpp"

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

Ref init_dummy_only(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("dummy"), a[0]);
  return host::none();
}

// [program] + args: a new list, the caller's words untouched.
Ref run_program(const char* program, PyObject* self, PyObject* args) {
  if (is_dummy(self)) return host::text("");
  Ref argv = host::check(PyNumber_Add(one_word_list(program).get(), args));
  return check_output(argv.get());
}

Ref iproute2_run(PyObject* self, const host::Args& a) { return run_program(kIp, self, a[0]); }
Ref drovik_run(PyObject* self, const host::Args& a) { return run_program(kDrovik, self, a[0]); }

// --- Idwarden ------------------------------------------------------------------

Ref idwarden_init(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("dummy"), a[0]);
  host::setattr(self, HN("sw_base"), a[1]);
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
  Ref quoted = host::excerpt(value.get(), 's');
  Ref message = host::format(format.get(), host::tuple(quoted.get()).get());
  decoder_failed(message.get());
}

constexpr host::Member kIdwardenMembers[] = {
    host::method("__init__", "dummy=False, sw_base=None", idwarden_init),
    host::property("macaddr", idwarden_macaddr),
    host::property("macrange", idwarden_macrange),
};

constexpr host::Member kIPRoute2Members[] = {
    host::method("__init__", "dummy=False", init_dummy_only),
    host::method("run", "args", iproute2_run),
};

constexpr host::Member kDrovikMembers[] = {
    host::method("__init__", "dummy=False", init_dummy_only),
    host::method("run", "args", drovik_run),
};

}  // namespace

void define_runners(PyObject* m) {
  using host::data::define_class;
  Ref idwarden = define_class(
      m, {"Idwarden", {}, "Runs the EEPROM decoder idwarden; has a dummy mode for testing.", {}}, /*classic=*/true);
  host::add_members<kIdwardenMembers>(idwarden.get());
  Ref iproute2 =
      define_class(m, {"IPRoute2", {}, "Runs the ip program; has a dummy mode for testing.", {}}, /*classic=*/true);
  host::add_members<kIPRoute2Members>(iproute2.get());
  Ref drovik = define_class(
      m, {"Drovik", {}, "Runs the switch-port program drovik; has a dummy mode for testing.", {}}, /*classic=*/true);
  host::add_members<kDrovikMembers>(drovik.get());
}

}  // namespace lanquist
