// The host layer against an embedded interpreter: reference ownership, the
// error boundary, argument parsing, class making (new-style and classic) and
// module initialisation.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "host/host.hpp"
#include "host/members.hpp"

using host::Ref;

namespace {

class Interpreter : public ::testing::Environment {
 public:
  void SetUp() override { Py_Initialize(); }
  void TearDown() override { Py_Finalize(); }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Interpreter);

// Run Python statements in a fresh namespace holding `names`; return the namespace.
Ref run(const std::string& code, std::initializer_list<std::pair<const char*, PyObject*>> names = {}) {
  Ref ns = host::check(PyDict_New());
  host::check_rc(PyDict_SetItemString(ns.get(), "__builtins__", PyEval_GetBuiltins()));
  for (auto& kv : names) host::check_rc(PyDict_SetItemString(ns.get(), kv.first, kv.second));
  Ref r = Ref::steal(PyRun_String(code.c_str(), Py_file_input, ns.get(), ns.get()));
  if (!r) {
    PyErr_Print();
    ADD_FAILURE() << "Python code failed:\n" << code;
    throw host::Error{};
  }
  return ns;
}

PyObject* get(const Ref& ns, const char* name) { return PyDict_GetItemString(ns.get(), name); }

std::string error_text() {
  PyObject *t, *v, *tb;
  PyErr_Fetch(&t, &v, &tb);
  PyErr_NormalizeException(&t, &v, &tb);
  std::string s = PyString_AsString(PyObject_Str(v));
  Py_XDECREF(t);
  Py_XDECREF(v);
  Py_XDECREF(tb);
  return s;
}

TEST(Ref, OwnsExactlyOneReference) {
  PyObject* o = PyString_FromString("owned-text-for-test");
  Py_ssize_t base = Py_REFCNT(o);
  {
    Ref a = Ref::steal(o);
    Py_INCREF(o);  // keep it alive past the scope
    Ref b = a;
    EXPECT_EQ(Py_REFCNT(o), base + 2);
    Ref c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(Py_REFCNT(o), base + 2);
    Ref d = Ref::borrow(o);
    EXPECT_EQ(Py_REFCNT(o), base + 3);
    d = Ref();
    EXPECT_EQ(Py_REFCNT(o), base + 2);
  }
  EXPECT_EQ(Py_REFCNT(o), base);
  Py_DECREF(o);
}

TEST(Guard, TranslatesEveryExceptionKind) {
  PyObject* r = host::guard([]() -> Ref { host::raise(PyExc_KeyError, "k"); });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_KeyError));
  PyErr_Clear();

  r = host::guard([]() -> Ref { throw std::bad_alloc(); });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_MemoryError));
  PyErr_Clear();

  r = host::guard([]() -> Ref { throw std::runtime_error("boom"); });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_RuntimeError));
  EXPECT_EQ(error_text(), "boom");

  r = host::guard([]() -> Ref { throw 42; });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_RuntimeError));
  PyErr_Clear();

  // An error marker with no exception set must not return NULL silently.
  r = host::guard([]() -> Ref { throw host::Error{}; });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_SystemError));
  PyErr_Clear();

  r = host::guard([] { return host::integer(7); });
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(PyInt_AsLong(r), 7);
  Py_DECREF(r);
}

TEST(Guard, BareExceptionHasNoArguments) {
  PyObject* r = host::guard([]() -> Ref { host::raise_bare(PyExc_NotImplementedError); });
  EXPECT_EQ(r, nullptr);
  EXPECT_EQ(error_text(), "");
}

TEST(ParseArgs, PositionKeywordAndErrors) {
  static const char* const names[] = {"mode", "sub", "port_base"};
  Ref one = host::integer(1), two = host::integer(2), three = host::integer(3);

  struct Case {
    const char* what;
    Ref args;
    Ref kwargs;
    bool ok;
    const char* message;
  };
  auto kw = [](std::initializer_list<std::pair<const char*, PyObject*>> items) {
    Ref d = host::check(PyDict_New());
    for (auto& kv : items) PyDict_SetItemString(d.get(), kv.first, kv.second);
    return d;
  };
  Case cases[] = {
      {"all positional", host::tuple(one.get(), two.get(), three.get()), Ref(), true, nullptr},
      {"mixed", host::tuple(one.get()), kw({{"port_base", three.get()}, {"sub", two.get()}}), true, nullptr},
      {"optional omitted", host::tuple(one.get(), two.get()), Ref(), true, nullptr},
      {"too few", host::tuple(one.get()), Ref(), false, "q() takes at least 2 arguments (1 given)"},
      {"too many", host::tuple(one.get(), two.get(), three.get(), one.get()), Ref(), false,
       "q() takes at most 3 arguments (4 given)"},
      {"unexpected", host::tuple(one.get(), two.get()), kw({{"bogus", one.get()}}), false,
       "q() got an unexpected keyword argument 'bogus'"},
      {"twice", host::tuple(one.get(), two.get()), kw({{"mode", one.get()}}), false,
       "q() got multiple values for keyword argument 'mode'"},
  };
  for (auto& c : cases) {
    PyObject* out[3];
    try {
      host::parse_args("q", c.args.get(), c.kwargs.get(), names, 3, 2, out);
      EXPECT_TRUE(c.ok) << c.what;
      EXPECT_EQ(out[0], one.get()) << c.what;
      EXPECT_EQ(out[1], two.get()) << c.what;
      if (std::string(c.what) == "optional omitted") {
        EXPECT_EQ(out[2], nullptr);
      } else {
        EXPECT_EQ(out[2], three.get()) << c.what;
      }
    } catch (const host::Error&) {
      EXPECT_FALSE(c.ok) << c.what;
      EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_TypeError)) << c.what;
      EXPECT_EQ(error_text(), c.message) << c.what;
    }
  }
}

// A member called as a method written in Python is: its argument errors count
// the object, and too many positional arguments count the keywords as well.
TEST(Signature, CountsTheObjectAsPythonDoes) {
  host::Signature sig;
  sig.compile("__init__", "label, unit, leds=None");
  sig.counts_object = true;
  Ref one = host::integer(1);
  Ref kw = host::check(PyDict_New());
  PyDict_SetItemString(kw.get(), "leds", one.get());
  struct Case {
    Ref args;
    PyObject* kwargs;
    const char* message;
  };
  Case cases[] = {
      {host::tuple(one.get()), nullptr, "__init__() takes at least 3 arguments (2 given)"},
      {host::tuple(one.get(), one.get(), one.get(), one.get()), nullptr,
       "__init__() takes at most 4 arguments (5 given)"},
      {host::tuple(one.get(), one.get(), one.get(), one.get()), kw.get(),
       "__init__() takes at most 4 arguments (6 given)"},
  };
  for (auto& c : cases) {
    host::Args out;
    EXPECT_THROW(sig.bind(c.args.get(), 0, c.kwargs, out), host::Error) << c.message;
    EXPECT_EQ(error_text(), c.message);
  }
}

// Members shared by the class-making tests: they behave the same on both kinds.
Ref describe(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"mode", "sub"};
  auto a = host::parse("describe", args, kwargs, names, 1);
  // Ask the object, so that an override in a subclass wins.
  Ref prefix = host::call_method(self, HN("prefix"));
  Ref fmt = host::text("%s:%s:%s");
  return host::format(fmt.get(), host::tuple(prefix.get(), a[0], a[1] ? a[1] : Py_None).get());
}
Ref prefix(PyObject*, PyObject* args, PyObject* kwargs) {
  host::parse_none("prefix", args, kwargs);
  return host::text("base");
}
Ref init(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const names[] = {"label"};
  auto a = host::parse("__init__", args, kwargs, names);
  host::setattr(self, HN("label"), a[0]);
  return host::none();
}
Ref doubled(PyObject* self) {
  Ref label = host::getattr(self, HN("label"));
  return host::check(PyNumber_Add(label.get(), label.get()));
}
Ref class_name(PyObject* cls, PyObject* args, PyObject* kwargs) {
  host::parse_none("class_name", args, kwargs);
  return host::getattr(cls, HN("__name__"));
}

Ref make_class(bool classic) {
  Ref cls = host::ClassBuilder("demo", "Thing", "A thing.", classic).attr("size", host::integer(3)).make();
  host::add_method<init>(cls.get(), "__init__");
  host::add_method<describe>(cls.get(), "describe");
  host::add_method<prefix>(cls.get(), "prefix");
  host::add_property<doubled>(cls.get(), "doubled");
  host::add_classmethod<class_name>(cls.get(), "class_name");
  return cls;
}

const char* const kBehaviour = R"(
t = Thing("ab")
assert t.label == "ab", t.label
assert t.doubled == "abab"
assert t.describe("4x") == "base:4x:None"
assert t.describe(mode="1x", sub=2) == "base:1x:2"
assert Thing.describe(t, "m") == "base:m:None"
assert Thing.__doc__ == "A thing." and Thing.__module__ == "demo"
assert Thing.class_name() == "Thing" and t.class_name() == "Thing"
class Sub(Thing):
    size = 4
    def prefix(self):
        return "sub"
s = Sub("x")
assert s.describe("m", 1) == "sub:m:1"
assert s.class_name() == "Sub"
assert s.size == 4 and t.size == 3
Thing.size = 5
assert t.size == 5 and s.size == 4
t.extra = 1
assert t.extra == 1
for bad in [lambda: Thing(), lambda: Thing("a", "b"), lambda: t.describe(), lambda: t.describe("m", nope=1)]:
    try:
        bad()
    except TypeError:
        pass
    else:
        raise AssertionError("no TypeError")
)";

TEST(Classes, NewStyleClassBehavesLikePythonClass) {
  Ref cls = make_class(false);
  EXPECT_TRUE(PyType_Check(cls.get()));
  run(kBehaviour, {{"Thing", cls.get()}});
  Ref ns = run("t = Thing('q')\ntry:\n    t.doubled = 1\nexcept AttributeError:\n    ok = True\n",
               {{"Thing", cls.get()}});
  EXPECT_EQ(get(ns, "ok"), Py_True) << "properties are read-only";
}

TEST(Classes, ClassicClassBehavesLikePythonClass) {
  Ref cls = make_class(true);
  EXPECT_TRUE(PyClass_Check(cls.get()));
  run(kBehaviour, {{"Thing", cls.get()}});
  Ref ns = run("import types\nt = Thing('q')\nis_instance = type(t) is types.InstanceType\n"
               "unbound = type(Thing.describe) is types.MethodType and Thing.describe.im_self is None\n"
               "prop = isinstance(Thing.__dict__['doubled'], property)\n",
               {{"Thing", cls.get()}});
  EXPECT_EQ(get(ns, "is_instance"), Py_True);
  EXPECT_EQ(get(ns, "unbound"), Py_True);
  EXPECT_EQ(get(ns, "prop"), Py_True);
}

TEST(Classes, NoLeakOverManyCalls) {
  Ref cls = make_class(false);
  Ref ns = run(
      "import sys\nt = Thing('ab')\nm = 'mode'\nbefore = sys.getrefcount(m), sys.getrefcount(t)\n"
      "for i in xrange(20000):\n    t.describe(m, 1); t.doubled; t.class_name()\n"
      "    try:\n        t.describe()\n    except TypeError:\n        pass\n"
      "after = sys.getrefcount(m), sys.getrefcount(t)\n",
      {{"Thing", cls.get()}});
  EXPECT_EQ(host::equal(get(ns, "before"), get(ns, "after")), true);
}

void failing_body(PyObject*) { host::raise(PyExc_ImportError, "half made"); }
void good_body(PyObject* m) { host::check_rc(PyModule_AddIntConstant(m, "answer", 42)); }

TEST(Module, FailedInitLeavesNoModuleBehind) {
  EXPECT_EQ(host::init_module("halfmade", &failing_body), nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_ImportError));
  PyErr_Clear();
  EXPECT_EQ(PyDict_GetItemString(PyImport_GetModuleDict(), "halfmade"), nullptr);

  ASSERT_NE(host::init_module("wholemod", &good_body), nullptr);
  Ref ns = run("import wholemod\nanswer = wholemod.answer\n");
  EXPECT_EQ(PyInt_AsLong(get(ns, "answer")), 42);
}

TEST(Module, GlobalsAreLookedUpAtCallTime) {
  PyObject* m = host::init_module("lookupmod", &good_body);
  ASSERT_NE(m, nullptr);
  Ref len = host::global(m, HN("len"));
  EXPECT_EQ(len.get(), PyDict_GetItemString(PyEval_GetBuiltins(), "len"));
  run("import lookupmod\nlookupmod.len = 5\n");
  EXPECT_EQ(PyInt_AsLong(host::global(m, HN("len")).get()), 5);
  try {
    host::global(m, HN("no_such_name_anywhere"));
    ADD_FAILURE() << "expected NameError";
  } catch (const host::Error&) {
    EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_NameError));
    PyErr_Clear();
  }
}

TEST(Errors, RaiseValueKeepsOneArgument) {
  Ref value = host::tuple(host::integer(1).get(), host::integer(2).get());
  PyObject* r = host::guard([&]() -> Ref { host::raise_value(PyExc_RuntimeError, value.get()); });
  EXPECT_EQ(r, nullptr);
  PyObject *t, *v, *tb;
  PyErr_Fetch(&t, &v, &tb);
  PyErr_NormalizeException(&t, &v, &tb);
  Ref args = host::getattr(v, HN("args"));
  EXPECT_EQ(PyTuple_GET_SIZE(args.get()), 1);
  EXPECT_EQ(PyTuple_GET_ITEM(args.get(), 0), value.get());
  Py_XDECREF(t);
  Py_XDECREF(v);
  Py_XDECREF(tb);
}

}  // namespace

namespace {

TEST(Closing, ClosesOnSuccessAndOnFailureKeepingTheBodysError) {
  Ref ns = run(
      "class F(object):\n"
      "    closed = 0\n"
      "    def __init__(self, close_fails=False):\n"
      "        self.close_fails = close_fails\n"
      "    def read(self):\n"
      "        raise IOError('read failed')\n"
      "    def close(self):\n"
      "        F.closed += 1\n"
      "        if self.close_fails:\n"
      "            raise OSError('close failed')\n"
      "good, bad = F(), F(close_fails=True)\n");
  PyObject* cls = get(ns, "F");
  int ran = 0;
  host::closing(get(ns, "good"), [&] { ++ran; });
  EXPECT_EQ(ran, 1);
  for (const char* name : {"good", "bad"}) {
    try {
      host::closing(get(ns, name), [&] { host::call_method(get(ns, name), HN("read")); });
      ADD_FAILURE() << "expected the read error";
    } catch (const host::Error&) {
      EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_IOError)) << name;
      EXPECT_EQ(error_text(), "read failed") << name;
    }
  }
  EXPECT_EQ(PyInt_AsLong(host::getattr(cls, HN("closed")).get()), 3);
}

}  // namespace
