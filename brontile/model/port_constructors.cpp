// The rules of the per-chip port constructors (plans in port_constructors.hpp).
#include "brontile/model/port_constructors.hpp"

#include <string>
#include <vector>

namespace brontile {
namespace ctor {
using host::Ref;

// Made once per plan when its constructor is attached, and kept for the
// process's life (the objects it holds are never released). Parameters are
// named by position: at a call, the arguments carry the constructor's own
// signature and with it the interned names.
struct Prepared {
  PyObject* base = nullptr;    // class name, interned
  PyObject* format = nullptr;  // interface name format
  std::vector<std::size_t> passed;                            // under their own names
  std::vector<std::pair<std::size_t, PyObject*>> wrapped;     // position, keyword
  std::vector<std::pair<PyObject*, PyObject*>> fixed;         // keyword, value
  std::vector<std::size_t> store_before, store_after;         // positions
  PyObject* serdes_speed = nullptr;
  PyObject* serdes_type = nullptr;
};

namespace {

[[noreturn]] void bad_plan(const char* params, const char* name) {
  PyErr_Format(PyExc_ValueError, "port constructor plan names '%s', not a parameter of \"%s\"", name, params);
  host::fail();
}

// The parameter names of a plan's list, read as the constructor's own
// signature reads them (the build has checked the list).
std::vector<std::string> param_names(const char* params) {
  const host::params::List l = host::params::parse(params);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < l.count; ++i) names.emplace_back(params + l.p[i].name_b, params + l.p[i].name_e);
  return names;
}

std::size_t position(const std::vector<std::string>& names, const char* params, const char* name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return i;
  }
  bad_plan(params, name);
}

PyObject* keep(Ref v) { return v.release(); }

// cls.__init__(self, *args, **kwargs) with `cls` a module global at call time.
void run_init(PyObject* cls_name, PyObject* args, PyObject* kwargs) {
  Ref cls = global(cls_name);
  Ref init = host::getattr(cls.get(), HN("__init__"));
  host::call_kw(init.get(), args, kwargs);
}

void set_item(PyObject* dict, PyObject* key, PyObject* value) { host::check_rc(PyDict_SetItem(dict, key, value)); }

}  // namespace

PyObject* Bound::operator[](PyObject* name) const {
  for (std::size_t i = 0; i < args_.size(); ++i) {
    if (args_.name(i) == name) return args_[i];
  }
  PyErr_Format(PyExc_KeyError, "no parameter '%s'", PyString_AS_STRING(name));
  host::fail();
}

// --- family base constructors --------------------------------------------------------

const Prepared& prepare(const Family& plan) {
  auto* p = new Prepared;
  if (plan.name_format) p->format = keep(host::text(plan.name_format));
  return *p;
}

Ref run(const Family& plan, const Prepared& p, PyObject* self, const host::Args& a) {
  Ref hw_ports;
  if (p.format) {
    // One name per serdes number, in the caller's order, as a tuple.
    Ref names = host::new_list();
    host::for_each(a[1], [&](PyObject* serdes) {
      Ref name = host::format(p.format, serdes);
      host::check_rc(PyList_Append(names.get(), name.get()));
    });
    hw_ports = host::check(PyList_AsTuple(names.get()));
  } else {
    hw_ports = Ref::borrow(a[1]);
  }
  if (plan.params == kFamilyBaseParams) {
    // The generic constructor's order: mdi_pair_map (last here) comes 13th.
    run_base_init(HN("BCMPort"), self, a[0], hw_ports.get(), a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10],
                  a[11], a[18], a[12], a[13], a[14], a[15], a[16], a[17]);
  } else {
    // The short list: the drive settings and the rest are the generic port's defaults.
    Ref args = host::tuple(self, a[0], hw_ports.get(), a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11],
                           a[12]);
    Ref kwargs = host::new_dict();
    for (PyObject* name : {HN("pre_emphasis"), HN("drv_current"), HN("pre_drv_current"), HN("phy_id1"),
                           HN("sys_interface")}) {
      set_item(kwargs.get(), name, Py_None);
    }
    set_item(kwargs.get(), HN("oversub"), Py_False);
    run_init(HN("BCMPort"), args.get(), kwargs.get());
  }
  if (plan.dnx) host::setattr(self, HN("dnx"), Py_True);
  return host::none();
}

// --- keyword-passing constructors --------------------------------------------------------

const Prepared& prepare(const Forward& plan) {
  auto* p = new Prepared;
  const std::vector<std::string> names = param_names(plan.params);
  const std::size_t n = names.size();
  std::vector<bool> own(n, true);  // passed on under its own name
  auto at = [&](const char* name) { return position(names, plan.params, name); };
  auto take = [&](const char* name) {
    std::size_t i = at(name);
    own[i] = false;
    return i;
  };
  p->base = host::interned(plan.base);
  for (const char* name : plan.store_before) {
    if (name) p->store_before.push_back(take(name));
  }
  for (const char* name : plan.store_after) {
    if (name) p->store_after.push_back(take(name));
  }
  for (const char* name : plan.held) {
    if (name) take(name);
  }
  for (const Wrap& w : plan.wrap) {
    if (w.param) p->wrapped.emplace_back(take(w.param), host::interned(w.keyword));
  }
  for (const Fixed& f : plan.fixed) {
    if (f.kind == Fixed::kUnset) continue;
    PyObject* keyword = host::interned(f.keyword);
    for (std::size_t i = 0; i < n; ++i) {
      if (names[i] == f.keyword) own[i] = false;  // the fixed value wins
    }
    PyObject* value = f.kind == Fixed::kNone   ? keep(host::none())
                      : f.kind == Fixed::kTrue ? keep(host::boolean(true))
                      : f.kind == Fixed::kZero ? keep(host::integer(0))
                                               : keep(host::text(f.text));
    p->fixed.emplace_back(keyword, value);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (own[i]) p->passed.push_back(i);
  }
  if (plan.serdes_speed) {
    p->serdes_speed = keep(host::integer(plan.serdes_speed));
    p->serdes_type = keep(host::text(plan.serdes_type));
  }
  return *p;
}

Ref run(const Forward& plan, const Prepared& p, PyObject* self, const host::Args& a) {
  Bound args(a);
  for (std::size_t i : p.store_before) host::setattr(self, a.name(i), a[i]);
  if (plan.before) plan.before(plan, self, args);

  Ref kwargs = host::new_dict();
  for (std::size_t i : p.passed) set_item(kwargs.get(), a.name(i), a[i]);
  for (const auto& w : p.wrapped) {
    Ref one = host::tuple(a[w.first]);
    set_item(kwargs.get(), w.second, one.get());
  }
  for (const auto& f : p.fixed) set_item(kwargs.get(), f.first, f.second);
  Ref positional = host::tuple(self);
  run_init(p.base, positional.get(), kwargs.get());

  if (p.serdes_speed) {
    // A mapping of the port's own, never the class's shared one.
    Ref types = host::new_dict();
    set_item(types.get(), p.serdes_speed, p.serdes_type);
    host::setattr(self, HN("_serdes_intf_map"), types.get());
  }
  for (std::size_t i : p.store_after) host::setattr(self, a.name(i), a[i]);
  if (plan.after) plan.after(plan, self, args);
  return host::none();
}

// --- extra settings ------------------------------------------------------------------------

void set_default_mode(const Forward& plan, PyObject* self, const Bound&) {
  Ref mode = host::text(plan.text);
  host::setattr(self, HN("default_mode"), mode.get());
}

// self.modes[0]: read through the object, so a subclass's own modes count.
void set_first_mode_default(const Forward&, PyObject* self, const Bound&) {
  Ref modes = host::getattr(self, HN("modes"));
  Ref zero = host::integer(0);
  Ref first = host::item(modes.get(), zero.get());
  host::setattr(self, HN("default_mode"), first.get());
}

// "sw%sp%s" % (label[1], label[3:]).
void set_name_from_label(const Forward&, PyObject* self, const Bound& args) {
  PyObject* label = args[HN("label")];
  Ref one = host::integer(1);
  Ref unit = host::item(label, one.get());
  Ref port = host::slice(label, 3, host::kOpen);
  Ref fmt = host::text("sw%sp%s");
  Ref values = host::tuple(unit.get(), port.get());
  Ref name = host::format(fmt.get(), values.get());
  host::setattr(self, HN("name_override"), name.get());
}

}  // namespace ctor
}  // namespace brontile
