// The host layer against an embedded interpreter: reference ownership, the
// error boundary, argument parsing, class making (new-style and classic),
// member tables, typed class data, raising and module initialisation.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "host/data.hpp"
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

TEST(Signature, PositionKeywordAndErrors) {
  host::Signature sig;
  sig.compile("q", "mode, sub, port_base=None");
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
      {"too few", host::tuple(one.get()), Ref(), false, "q() takes at least 3 arguments (2 given)"},
      {"too many", host::tuple(one.get(), two.get(), three.get(), one.get()), Ref(), false,
       "q() takes at most 4 arguments (5 given)"},
      {"unexpected", host::tuple(one.get(), two.get()), kw({{"bogus", one.get()}}), false,
       "q() got an unexpected keyword argument 'bogus'"},
      {"twice", host::tuple(one.get(), two.get()), kw({{"mode", one.get()}}), false,
       "q() got multiple values for keyword argument 'mode'"},
  };
  for (auto& c : cases) {
    host::Args out;
    try {
      EXPECT_EQ(sig.bind(Py_None, c.args.get(), c.kwargs.get(), out), Py_None) << c.what;
      EXPECT_TRUE(c.ok) << c.what;
      EXPECT_EQ(out[0], one.get()) << c.what;
      EXPECT_EQ(out[1], two.get()) << c.what;
      if (std::string(c.what) == "optional omitted") {
        EXPECT_EQ(out[2], Py_None);
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

// Argument errors count the object, and too many positional arguments count
// the keywords as well, as a function written in Python words them.
TEST(Signature, CountsTheObjectAsPythonDoes) {
  host::Signature sig;
  sig.compile("__init__", "label, unit, leds=None");
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
    EXPECT_THROW(sig.bind(Py_None, c.args.get(), c.kwargs, out), host::Error) << c.message;
    EXPECT_EQ(error_text(), c.message);
  }
}

// Members shared by the class-making tests: they behave the same on both kinds.
Ref t_describe(PyObject* self, const host::Args& a) {
  Ref prefix = host::call_method(self, HN("prefix"));
  Ref fmt = host::text("%s:%s:%s");
  return host::format(fmt.get(), host::tuple(prefix.get(), a[0], a[1]).get());
}
Ref t_prefix(PyObject*, const host::Args&) { return host::text("base"); }
Ref t_init(PyObject* self, const host::Args& a) {
  host::setattr(self, HN("label"), a[0]);
  return host::none();
}
Ref t_doubled(PyObject* self) {
  Ref label = host::getattr(self, HN("label"));
  return host::check(PyNumber_Add(label.get(), label.get()));
}
Ref t_class_name(PyObject* cls, const host::Args&) { return host::getattr(cls, HN("__name__")); }

constexpr host::Member kThingMembers[] = {
    host::method("__init__", "label", t_init),
    host::method("describe", "mode, sub=None", t_describe),
    host::method("prefix", "", t_prefix),
    host::property("doubled", t_doubled),
    host::classmethod("class_name", "", t_class_name),
};

Ref make_class(bool classic) {
  Ref cls = host::ClassBuilder("demo", "Thing", "A thing.", classic).attr("size", host::integer(3)).make();
  host::add_members<kThingMembers>(cls.get());
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

// A classic class's property reads its C function directly; everything else
// about it is a property's: its fget and doc, class access, copies, errors,
// subclasses, and no leak.
TEST(Classes, ClassicPropertyIsAPropertyInEverythingButSpeed) {
  Ref cls = make_class(true);
  run(R"(
import sys
p = Thing.__dict__['doubled']
assert isinstance(p, property) and type(p).__name__ == 'property' and repr(p).startswith('<property object')
assert Thing.doubled is p and p.__get__(None, Thing) is p
assert p.fset is None and p.fdel is None and p.fget(Thing('x')) == 'xx'
t = Thing('ab')
assert p.__get__(t) == 'abab'
assert not hasattr(p, '__dict__')
t.doubled = 'own'
assert t.doubled == 'own', 'an instance attribute of a classic object wins'
g = p.getter(lambda self: 1)
assert type(g) is property and g.__get__(t) == 1
class Sub(type(p)):
    pass
s = Sub(len)
assert type(s) is Sub and s.__get__([1, 2]) == 2
try:
    p.__get__(3)
except AttributeError:
    pass
else:
    raise AssertionError('no AttributeError')
u = Thing('q')
before = sys.getrefcount(u)
for i in xrange(10000):
    u.doubled
assert sys.getrefcount(u) == before
)",
      {{"Thing", cls.get()}});
}

TEST(Classes, ClassicMemberCalledWithoutItsObjectRaisesTypeError) {
  {
    Ref cls = make_class(true);
    Ref ns = run(
        "calls = [Thing.describe.im_func, Thing.__init__.im_func, Thing.__dict__['class_name'].__func__,\n"
        "         Thing.__dict__['doubled'].fget]\n"
        "errors = []\n"
        "for f in calls:\n"
        "    try:\n"
        "        f()\n"
        "    except TypeError as e:\n"
        "        errors.append(str(e))\n",
        {{"Thing", cls.get()}});
    EXPECT_EQ(host::length(get(ns, "errors")), 4);
  }
  Ref cls = make_class(true);
  Ref ns = run("try:\n    Thing.describe.im_func()\nexcept TypeError as e:\n    text = str(e)\n", {{"Thing", cls.get()}});
  EXPECT_STREQ(PyString_AsString(get(ns, "text")), "describe() takes at least 2 arguments (0 given)");
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

// --- member tables ---------------------------------------------------------------------
namespace {

// Every argument, in parameter order, as a tuple.
Ref echo(PyObject*, const host::Args& a) {
  Ref t = host::check(PyTuple_New(static_cast<Py_ssize_t>(a.size())));
  for (std::size_t i = 0; i < a.size(); ++i) {
    Py_INCREF(a[i]);
    PyTuple_SET_ITEM(t.get(), i, a[i]);
  }
  return t;
}
Ref names_of(PyObject*, const host::Args& a) {
  Ref t = host::check(PyTuple_New(2));
  for (std::size_t i = 0; i < 2; ++i) {
    Py_INCREF(a.name(i));
    PyTuple_SET_ITEM(t.get(), i, a.name(i));
  }
  return t;
}

constexpr host::Member kEchoMembers[] = {
    host::method("defaults", "a, b=None, c=True, d=False, e=7, f=-3, g=0x1f, h='text', i=\"dq\", j=()", echo),
    host::method("star", "cmd, *args, **kwargs", echo),
    host::method("two", "mode, sub", echo),
    host::method("opt", "mode, sub, port_base=None", echo),
    host::method("none", "", echo),
    host::method("named", "first, second=2", names_of),
    host::classmethod("cm", "x=1", echo),
};

const char* const kEchoBehaviour = R"(
o = Echo()
assert o.defaults(1) == (1, None, True, False, 7, -3, 31, 'text', 'dq', ()), o.defaults(1)
assert o.defaults(1, j=5)[9] == 5
assert o.defaults(j=5, a=0) == (0, None, True, False, 7, -3, 31, 'text', 'dq', 5)
assert type(o.defaults(1)[4]) is int
assert o.defaults(1)[7] is o.defaults(2)[7], 'a default is one object, made once'
assert o.star('c') == ('c', (), {})
assert o.star('c', 1, 2, x=3, y=4) == ('c', (1, 2), {'x': 3, 'y': 4})
assert o.star(cmd='c', **{u'y': 1}) == ('c', (), {'y': 1})
assert o.two(**{u'mode': 1, u'sub': 2}) == (1, 2)
assert o.two(1, **{u'sub': 2}) == (1, 2)
assert o.opt(1, 2) == (1, 2, None) and o.opt(1, 2, port_base=3) == (1, 2, 3)
assert o.none() == ()
assert o.named(1) == ('first', 'second')
assert Echo.cm() == (1,) and o.cm(x=2) == (2,)
errors = [
    (lambda: o.two(1), 'two() takes exactly 3 arguments (2 given)'),
    (lambda: o.two(1, 2, 3), 'two() takes exactly 3 arguments (4 given)'),
    (lambda: o.two(sub=1), 'two() takes exactly 3 arguments (2 given)'),
    (lambda: o.opt(1), 'opt() takes at least 3 arguments (2 given)'),
    (lambda: o.opt(1, 2, 3, 4), 'opt() takes at most 4 arguments (5 given)'),
    (lambda: o.star(), 'star() takes at least 2 arguments (1 given)'),
    (lambda: o.none(1), 'none() takes exactly 1 argument (2 given)'),
    (lambda: o.two(1, 2, mode=3), "two() got multiple values for keyword argument 'mode'"),
    (lambda: o.two(1, **{u'mode': 3}), "two() got multiple values for keyword argument 'mode'"),
    (lambda: o.star('c', cmd='d'), "star() got multiple values for keyword argument 'cmd'"),
    (lambda: o.two(1, bogus=2), "two() got an unexpected keyword argument 'bogus'"),
    (lambda: o.none(**{u'bogus': 2}), "none() got an unexpected keyword argument 'bogus'"),
    (lambda: o.two(1, **{u'm\xe9de': 2}), 'two() keywords must be strings'),
    (lambda: Echo.cm(1, 2), 'cm() takes at most 2 arguments (3 given)'),
    (lambda: o.two(1, self=2), "two() got multiple values for keyword argument 'self'"),
    (lambda: o.star(self=2), "star() got multiple values for keyword argument 'self'"),
    (lambda: Echo.cm(cls=2), "cm() got multiple values for keyword argument 'cls'"),
]
import types
if isinstance(Echo, types.ClassType):
    # A classic class's function takes its object by keyword too, as a Python one does.
    assert Echo.two.im_func(mode=1, sub=2, self=o) == (1, 2)
    errors += [
        (lambda: Echo.two.im_func(), 'two() takes exactly 3 arguments (0 given)'),
        (lambda: Echo.two.im_func(mode=1, sub=2), 'two() takes exactly 3 arguments (2 given)'),
        (lambda: Echo.star.im_func(cmd=1), 'star() takes at least 2 arguments (1 given)'),
        (lambda: Echo.two.im_func(o, 1, 2, self=o), "two() got multiple values for keyword argument 'self'"),
    ]
for call, message in errors:
    try:
        call()
    except TypeError as e:
        assert str(e) == message, (str(e), message)
    else:
        raise AssertionError('no TypeError: ' + message)
# Arguments are the call's own: an override that empties the caller's dict
# while the member runs takes nothing away from it.
class Clearing(Thing):
    def prefix(self):
        kw.clear()
        litter = [''.join(['z'] * 6) for _ in range(100)]
        return 'c'
kw = {'mode': ''.join(['m', 'o', 'd', 'e', '4', 'x']), 'sub': ''.join(['s', 'u', 'b', '1', '2', '3'])}
assert Clearing('l').describe(**kw) == 'c:mode4x:sub123'
assert kw == {}
# A keyword for **kwargs whose hashing empties the caller's dict: the call
# keeps every keyword it was given, as a function written in Python does.
class Key(str):
    armed = False
    def __hash__(self):
        if Key.armed:
            Key.armed = False
            kw.clear()
            litter = [''.join(['z'] * 6) for _ in range(100)]
        return str.__hash__(self)
kw = {Key(''.join(['k', 'e', 'y'])): ''.join(['v', 'a', 'l']), 'other': ''.join(['o', 't', 'h'])}
Key.armed = True
assert o.star('c', **kw) == ('c', (), {'key': 'val', 'other': 'oth'})
assert kw == {}
)";

TEST(Members, ParameterListsDefaultsAndErrorsOnBothKinds) {
  for (bool classic : {false, true}) {
    Ref echo_cls = host::ClassBuilder("demo", "Echo", nullptr, classic).make();
    host::add_members<kEchoMembers>(echo_cls.get());
    Ref thing = make_class(classic);
    run(kEchoBehaviour, {{"Echo", echo_cls.get()}, {"Thing", thing.get()}});
  }
}

TEST(Members, SignatureReadsItsParameterList) {
  host::Signature sig;
  sig.compile("f", " mode , sub=None,  n = 0x10 , *rest, **kw ");
  ASSERT_EQ(sig.names.size(), 3u);
  EXPECT_STREQ(PyString_AS_STRING(sig.names[0]), "mode");
  EXPECT_STREQ(PyString_AS_STRING(sig.names[2]), "n");
  EXPECT_EQ(sig.names[1], host::interned("sub")) << "names are interned";
  EXPECT_EQ(sig.required, 1u);
  EXPECT_TRUE(sig.varargs);
  EXPECT_TRUE(sig.varkw);
  EXPECT_FALSE(sig.defaults[0]);
  EXPECT_EQ(sig.defaults[1].get(), Py_None);
  EXPECT_EQ(PyInt_AsLong(sig.defaults[2].get()), 16);
  sig.compile("g", "");
  EXPECT_EQ(sig.names.size(), 0u);
  EXPECT_FALSE(sig.varargs || sig.varkw);
}

// The compiler reads a member's list: what it keeps, and what it refuses
// (a member table holding one of these does not build; see
// malformed_members.cpp).
using host::params::Fault;
constexpr bool refused(const char* params, Fault why, const char* object = "self") {
  return host::params::parse(params, object).fault == why;
}
static_assert(refused("a,,b", Fault::kEmptyParameter) && refused(",a", Fault::kEmptyParameter));
static_assert(refused("a=1, b", Fault::kRequiredAfterDefault));
static_assert(refused("*a, *b", Fault::kBadStarArgs) && refused("*", Fault::kBadStarArgs) &&
              refused("*, a", Fault::kBadStarArgs));
static_assert(refused("**k, a", Fault::kAfterStarStarKwargs) && refused("**k, *a", Fault::kAfterStarStarKwargs));
static_assert(refused("*a, b", Fault::kAfterStarArgs));
static_assert(refused("1a", Fault::kBadName) && refused("a b", Fault::kBadName) && refused("a-b", Fault::kBadName) &&
              refused("**", Fault::kBadName));
static_assert(refused("a=[1]", Fault::kUnsupportedDefault) && refused("a=", Fault::kUnsupportedDefault) &&
              refused("a=1.5", Fault::kUnsupportedDefault) && refused("a='open", Fault::kUnsupportedDefault) &&
              refused("a=08", Fault::kUnsupportedDefault) && refused("a=0x", Fault::kUnsupportedDefault));
static_assert(refused("a=99999999999999999999999", Fault::kDefaultOutOfRange) &&
              refused("a=9223372036854775808", Fault::kDefaultOutOfRange) &&
              refused("a=-9223372036854775809", Fault::kDefaultOutOfRange));
static_assert(refused("a, a", Fault::kDuplicateName) && refused("self, mode", Fault::kDuplicateName) &&
              refused("mode, cls", Fault::kDuplicateName, "cls"));
static_assert(refused("p0,p1,p2,p3,p4,p5,p6,p7,p8,p9,p10,p11,p12,p13,p14,p15,p16,p17,p18,p19,p20,p21,p22,p23,p24",
                      Fault::kTooMany));
static_assert(refused("self, mode", Fault::kNone, "config") && refused("a, ", Fault::kNone) && refused("", Fault::kNone));
constexpr host::params::List kRead = host::params::parse(" mode , sub=None,  n = 0x10 , o=-017, big=-9223372036854775808, t='x y', *rest, **kw ");
static_assert(kRead.count == 6 && kRead.required == 1 && kRead.varargs && kRead.varkw);
static_assert(kRead.p[0].name_b == 1 && kRead.p[0].name_e == 5 && kRead.p[0].kind == host::params::Default::kRequired);
static_assert(kRead.p[1].kind == host::params::Default::kNone);
static_assert(kRead.p[2].kind == host::params::Default::kInt && kRead.p[2].value == 16);
static_assert(kRead.p[3].value == -15 && kRead.p[4].value == -9223372036854775807l - 1);
static_assert(kRead.p[5].kind == host::params::Default::kText && kRead.p[5].text_e - kRead.p[5].text_b == 3);

TEST(Members, MalformedParameterListsFailWithValueError) {
  std::string many;
  for (int i = 0; i < 25; ++i) many += (i ? ", p" : "p") + std::to_string(i);
  const char* bad[] = {
      "a,,b", ",a", "a=1, b", "*a, *b", "**k, a", "*a, b", "**k, *a", "1a", "a b", "a-b", "a=[1]", "a=",
      "a=1.5", "a='open", "a=99999999999999999999999", "a, a", "*", "**", "*, a", many.c_str(),
  };
  for (const char* params : bad) {
    host::Signature sig;
    try {
      sig.compile("f", params);
      ADD_FAILURE() << "accepted: " << params;
    } catch (const host::Error&) {
      EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_ValueError)) << params;
      EXPECT_NE(error_text().find("parameter list of f()"), std::string::npos) << params;
    }
  }
}

// --- typed class data ----------------------------------------------------------------------
void data_body(PyObject* m) {
  using namespace host::data;
  define_class(m, {"Base", {}, "The base.", {{"shared", dict_of({{"k", 1}})}}});
  define_class(m, {"Row", {"Base"}, nullptr,
                   {{"t", tuple_of(1, "a", 2.5)},
                    {"l", list_of(1, 2)},
                    {"empty_t", tuple_of()},
                    {"empty_l", list_of()},
                    {"small", 7},
                    {"bits", bits({0, 33, 64, 159})},
                    {"big", big("ffff0000000000000000000000000001fffe")},
                    {"flags", tuple_from({None, True, False})},
                    {"ordered", dict_of({{17, "a"}, {1, "b"}, {9, "c"}, {"x", tuple_of()}})},
                    {"kind", cls("Base")},
                    {"same_map", same("Base", "shared")},
                    {"nested", list_from({tuple_of(1, 2), dict_of()})}}});
  define_class(m, {"Err", {"RuntimeError"}, nullptr, {}});
  define_class(m, {"Old", {}, "classic", {{"n", 1}}}, true);
}

TEST(Data, ValuesKeepTheirTypesOrderAndIdentity) {
  ASSERT_NE(host::init_module("datamod", &data_body), nullptr);
  run(R"(
import datamod, types
R = datamod.Row
assert type(R.t) is tuple and R.t == (1, 'a', 2.5)
assert type(R.l) is list and R.l == [1, 2]
assert type(R.empty_t) is tuple and type(R.empty_l) is list
assert type(R.small) is int and type(R.t[2]) is float
assert type(R.bits) is long and R.bits == (1 << 0) | (1 << 33) | (1 << 64) | (1 << 159)
assert type(R.big) is long and R.big == 0xffff0000000000000000000000000001fffe
assert R.flags == (None, True, False) and R.flags[1] is True
assert R.ordered.items() == {17: 'a', 1: 'b', 9: 'c', 'x': ()}.items()
assert R.ordered.items() != {1: 'b', 9: 'c', 17: 'a', 'x': ()}.items(), 'keys that collide keep the written order'
assert R.kind is datamod.Base
assert R.same_map is datamod.Base.shared
assert R.nested == [(1, 2), {}]
assert R.__bases__ == (datamod.Base,) and R.__module__ == 'datamod' and R.__doc__ is None
assert datamod.Base.__doc__ == 'The base.'
assert issubclass(datamod.Err, RuntimeError)
assert type(datamod.Old) is types.ClassType and datamod.Old.n == 1
)");
}

// --- raising -------------------------------------------------------------------------------
TEST(Errors, RaiseHelpersRefuseWhatIsNoExceptionWithTypeError) {
  Ref not_exceptions[] = {
      Ref::borrow(reinterpret_cast<PyObject*>(&PyString_Type)), host::integer(42), host::none(),
      Ref::borrow(reinterpret_cast<PyObject*>(&PyBaseObject_Type)), host::text("text"),
  };
  Ref message = host::text("m");
  for (const Ref& o : not_exceptions) {
    std::string what = PyString_AsString(host::repr(o.get()).get());
    const std::function<void()> raisers[] = {
        [&] { host::raise(o.get(), "m"); },
        [&] { host::raise_bare(o.get()); },
        [&] { host::raise_value(o.get(), message.get()); },
        [&] { host::raise_instance(o.get()); },
    };
    for (const auto& r : raisers) {
      PyObject* result = host::guard([&]() -> Ref {
        r();
        return host::none();
      });
      EXPECT_EQ(result, nullptr) << what;
      EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_TypeError)) << what;
      EXPECT_FALSE(PyErr_ExceptionMatches(PyExc_SystemError)) << what;
      EXPECT_NE(error_text().find("exceptions must be old-style classes or derived from BaseException"),
                std::string::npos)
          << what;
    }
  }
  // An instance of a non-exception class is not raisable either, but an
  // exception class handed to raise_instance is raised as `raise cls`.
  PyObject* r = host::guard([]() -> Ref { host::raise_instance(PyExc_KeyError); });
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(PyErr_ExceptionMatches(PyExc_KeyError));
  EXPECT_EQ(error_text(), "");
}

}  // namespace

namespace {

TEST(Module, BindingThatFailsKeepsNoReference) {
  Ref value = host::text("bound-value-for-test");
  Py_ssize_t base = Py_REFCNT(value.get());
  Ref not_a_module = host::integer(3);
  try {
    host::bind(not_a_module.get(), "x", value);
    ADD_FAILURE() << "bound to an int";
  } catch (const host::Error&) {
    PyErr_Clear();
  }
  EXPECT_EQ(Py_REFCNT(value.get()), base);
  PyObject* m = host::init_module("bindmod", &good_body);
  ASSERT_NE(m, nullptr);
  host::bind(m, "x", value);
  EXPECT_EQ(Py_REFCNT(value.get()), base + 1);
  EXPECT_EQ(PyObject_GetAttrString(m, "x"), value.get());
  Py_DECREF(value.get());  // the new reference from PyObject_GetAttrString
}

}  // namespace

// to_int's short cut for str and int gives what int() gives, errors included.
TEST(Values, ToIntAgreesWithTheHostsInt) {
  Ref cases = host::check(PyRun_String(
      "['12', ' 12 ', '-3', '1\\x002', 'x', '', '99999999999999999999', 7, 2.5, u'8', 10 ** 30]", Py_eval_input,
      PyEval_GetBuiltins(), PyEval_GetBuiltins()));
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(cases.get()); ++i) {
    PyObject* v = PyList_GET_ITEM(cases.get(), i);
    Ref want = Ref::steal(PyNumber_Int(v));
    std::string want_error = want ? "" : error_text();
    try {
      Ref got = host::to_int(v);
      ASSERT_TRUE(want) << i;
      EXPECT_EQ(Py_TYPE(got.get()), Py_TYPE(want.get())) << i;
      EXPECT_TRUE(host::equal(got.get(), want.get())) << i;
    } catch (const host::Error&) {
      EXPECT_FALSE(want) << i;
      EXPECT_EQ(error_text(), want_error) << i;
    }
  }
}

// is_instance's short cut for classes whose metaclass is `type` gives what
// isinstance() gives, errors included.
TEST(Values, IsInstanceAgreesWithTheHostsIsinstance) {
  Ref ns = run(R"(
import abc
class Base(object):
    pass
class Derived(Base):
    pass
class Liar(object):
    __class__ = property(lambda self: Derived)
class Broken(object):
    @property
    def __class__(self):
        raise RuntimeError('no class')
class Old:
    pass
class Asking(type):
    def __instancecheck__(cls, o):
        return o == 3
class Asked(object):
    __metaclass__ = Asking
class Refusing(type):
    def __instancecheck__(cls, o):
        raise KeyError('refused')
class Refused(object):
    __metaclass__ = Refusing
class Abstract(object):
    __metaclass__ = abc.ABCMeta
Abstract.register(int)
objects = [3, True, 'text', Base(), Derived(), Liar(), Broken(), Old(), None, Base, type]
classes = [int, bool, str, object, Base, Derived, Old, Asked, Refused, Abstract, type, (str, Base), 3]
)");
  PyObject* objects = get(ns, "objects");
  PyObject* classes = get(ns, "classes");
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(objects); ++i) {
    for (Py_ssize_t j = 0; j < PyList_GET_SIZE(classes); ++j) {
      PyObject* o = PyList_GET_ITEM(objects, i);
      PyObject* cls = PyList_GET_ITEM(classes, j);
      int want = PyObject_IsInstance(o, cls);
      std::string want_error = want < 0 ? error_text() : "";
      try {
        bool got = host::is_instance(o, cls);
        EXPECT_EQ(want, got ? 1 : 0) << i << ", " << j;
      } catch (const host::Error&) {
        EXPECT_EQ(want, -1) << i << ", " << j;
        EXPECT_EQ(error_text(), want_error) << i << ", " << j;
      }
    }
  }
}

// format's own path for the common conversions gives what `%` gives: the
// text, its type, and the error where there is one. A str subclass's own
// __rmod__ answers, as it does for `%`.
TEST(Values, FormatAgreesWithTheHostsPercent) {
  Ref formats = host::check(PyRun_String(
      "['%s', '%d', '%i', '%u', '%x', '%04x', '%08x', '%03u', '%1d', '%5d', '%05d', '%0d', '%4x', '%4s', '%r',"
      " '%-4d', '%+d', '% d', '%.2d', '%ld', '%%', 'a%%b%s', '%', 'x%', '%s=%d', 'no conversion', '%(a)s',"
      " 'portmap_%s=%u:%u', 'phy_chain_rx_lane_map_physical{%u.0}=0x%08x']",
      Py_eval_input, PyEval_GetBuiltins(), PyEval_GetBuiltins()));
  Ref values = host::check(PyRun_String(
      "[0, 1, 7, 255, 4660, -1, -255, -2**63, 2**63 - 1, 2**64, 10L, 2.5, True, 'text', '', u'uni', None,"
      " type('S', (str,), {'__str__': lambda self: 'own'})('base'), (1, 2),"
      " type('R', (str,), {'__rmod__': lambda self, fmt: 'rmod'})('r')]",
      Py_eval_input, PyEval_GetBuiltins(), PyEval_GetBuiltins()));
  auto compare = [](PyObject* fmt, PyObject* args) {
    Ref want = Ref::steal(PyNumber_Remainder(fmt, args));
    std::string want_error = want ? "" : error_text();
    Ref args_repr = host::repr(args);
    std::string where = std::string(PyString_AS_STRING(fmt)) + " % " + PyString_AS_STRING(args_repr.get());
    try {
      Ref got = host::format(fmt, args);
      ASSERT_TRUE(want) << where;
      EXPECT_EQ(Py_TYPE(got.get()), Py_TYPE(want.get())) << where;
      EXPECT_TRUE(host::equal(got.get(), want.get())) << where;
    } catch (const host::Error&) {
      EXPECT_FALSE(want) << where;
      EXPECT_EQ(error_text(), want_error) << where;
    }
  };
  for (Py_ssize_t f = 0; f < PyList_GET_SIZE(formats.get()); ++f) {
    PyObject* fmt = PyList_GET_ITEM(formats.get(), f);
    compare(fmt, host::tuple().get());
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(values.get()); ++i) {
      PyObject* v = PyList_GET_ITEM(values.get(), i);
      compare(fmt, v);
      compare(fmt, host::tuple(v).get());
      compare(fmt, host::tuple(v, v).get());
      compare(fmt, host::tuple(v, v, v).get());
    }
  }
}
