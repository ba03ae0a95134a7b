#include "host/data.hpp"

namespace host {
namespace data {

Ref Value::make_object(PyObject* module) const {
  switch (t_) {
    case T::kNone:
      return none();
    case T::kTrue:
      return boolean(true);
    case T::kFalse:
      return boolean(false);
    case T::kInt:
      return integer(i_);
    case T::kFloat:
      return check(PyFloat_FromDouble(f_));
    case T::kStr:
      return text(s_);
    case T::kBits: {
      Ref v = check(PyLong_FromLong(0));
      Ref one = check(PyLong_FromLong(1));
      for (int b : bits_) {
        Ref shift = integer(b);
        Ref bit = check(PyNumber_Lshift(one.get(), shift.get()));
        v = check(PyNumber_Or(v.get(), bit.get()));
      }
      return v;
    }
    case T::kHex:
      return check(PyLong_FromString(const_cast<char*>(s_), nullptr, 16));
    case T::kTuple: {
      Ref t = check(PyTuple_New(static_cast<Py_ssize_t>(items_.size())));
      for (std::size_t i = 0; i < items_.size(); ++i) {
        PyTuple_SET_ITEM(t.get(), i, items_[i].make_object(module).release());
      }
      return t;
    }
    case T::kList: {
      Ref l = check(PyList_New(static_cast<Py_ssize_t>(items_.size())));
      for (std::size_t i = 0; i < items_.size(); ++i) {
        PyList_SET_ITEM(l.get(), i, items_[i].make_object(module).release());
      }
      return l;
    }
    case T::kDict: {
      Ref d = check(PyDict_New());
      for (std::size_t i = 0; i + 1 < items_.size(); i += 2) {
        Ref k = items_[i].make_object(module);
        Ref v = items_[i + 1].make_object(module);
        check_rc(PyDict_SetItem(d.get(), k.get(), v.get()));
      }
      return d;
    }
    case T::kClass:
      return check(PyObject_GetAttrString(module, s_));
    case T::kSame: {
      Ref owner = check(PyObject_GetAttrString(module, s_));
      return check(PyObject_GetAttrString(owner.get(), attr_));
    }
    case T::kMade:
      return make_();
  }
  raise(PyExc_SystemError, "unknown class data kind");
}

Ref define_class(PyObject* module, const ClassDef& def, bool classic) {
  const char* modname = PyModule_GetName(module);
  if (!modname) fail();
  ClassBuilder b(modname, def.name, def.doc, classic);
  // A base is found as a class statement finds it: in the module, then among
  // the builtins (RuntimeError).
  for (const char* base : def.bases) {
    Ref name = check(PyString_FromString(base));
    b.base(global(module, name.get()).get());
  }
  for (const Attr& a : def.attrs) b.attr(a.name, a.value.make_object(module));
  Ref cls = b.make();
  bind(module, def.name, cls);
  return cls;
}

}  // namespace data
}  // namespace host
