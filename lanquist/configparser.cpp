// The `configparser` package that Config.config reads ports.conf with. The
// host's package is used when it is installed. Otherwise this module stands in
// with the part that ports.conf needs, keeping that package's dialect (not the
// one of Python 2's ConfigParser): option names keep the case optionxform gives
// them, a repeated option or section is an error at once, only whole-line
// comments, indented lines continue a value, "[DEFAULT]" options show in every
// section, no interpolation, and all malformed lines reported together.
#include "lanquist/lanquist.hpp"

#include "host/data.hpp"
#include "host/members.hpp"

#include <initializer_list>
#include <string>

namespace lanquist {
using host::Ref;

namespace {

constexpr const char* kName = "lanquist.configparser";

// Our module, kept for the life of the process (the extension is never unloaded).
PyObject* g_cp = nullptr;

template <typename... A>
[[noreturn]] void raise_error(PyObject* class_name, A... args) {
  Ref cls = host::getattr(g_cp, class_name);
  host::raise_instance(host::call(cls.get(), static_cast<PyObject*>(args)...).get());
}

Ref fmt(const char* format, const Ref& args) { return host::format(host::text(format).get(), args.get()); }

Ref concat(std::initializer_list<PyObject*> parts) {
  Ref list = host::new_list();
  for (PyObject* p : parts) host::append(list.get(), p);
  return host::call_method(host::text("").get(), HN("join"), list.get());
}

Py_ssize_t as_index(const Ref& v) {
  Py_ssize_t n = PyNumber_AsSsize_t(v.get(), PyExc_OverflowError);
  if (n == -1 && PyErr_Occurred()) host::fail();
  return n;
}

bool is_default_section(PyObject* name) { return host::equal(name, host::text("DEFAULT").get()); }

// --- errors --------------------------------------------------------------------
// Each keeps its text in `message`, which str() and repr() show (a ParsingError
// grows it line by line), and its parts in attributes and `args`.

void error_init(PyObject* self, PyObject* message) {
  host::setattr(self, HN("message"), message);
  Ref base_init = host::getattr(PyExc_Exception, HN("__init__"));
  host::call(base_init.get(), self, message);
}

Ref error_new(PyObject* self, const host::Args& a) {
  error_init(self, a[0]);
  return host::none();
}

Ref error_str(PyObject* self, const host::Args&) { return host::getattr(self, HN("message")); }

Ref no_section_new(PyObject* self, const host::Args& a) {
  error_init(self, fmt("No section: %r", host::tuple(a[0])).get());
  host::setattr(self, HN("section"), a[0]);
  host::setattr(self, HN("args"), host::tuple(a[0]).get());
  return host::none();
}

Ref no_option_new(PyObject* self, const host::Args& a) {
  error_init(self, fmt("No option %r in section: %r", host::tuple(a[0], a[1])).get());
  host::setattr(self, HN("option"), a[0]);
  host::setattr(self, HN("section"), a[1]);
  host::setattr(self, HN("args"), host::tuple(a[0], a[1]).get());
  return host::none();
}

// "While reading from 'src' [line  3]: <what>", or "<What>" without a source.
Ref duplicate_message(const char* what, const char* What, PyObject* tail, PyObject* source, PyObject* lineno) {
  if (source == Py_None) return concat({host::text(What).get(), tail});
  Ref where = concat({host::text("While reading from ").get(), host::repr(source).get()});
  if (lineno != Py_None) where = concat({where.get(), fmt(" [line %2d]", host::tuple(lineno)).get()});
  return concat({where.get(), host::text(what).get(), tail});
}

Ref duplicate_section_new(PyObject* self, const host::Args& a) {
  PyObject* section = a[0];
  PyObject* source = a[1];
  PyObject* lineno = a[2];
  Ref tail = concat({host::repr(section).get(), host::text(" already exists").get()});
  error_init(self, duplicate_message(": section ", "Section ", tail.get(), source, lineno).get());
  host::setattr(self, HN("section"), section);
  host::setattr(self, HN("source"), source);
  host::setattr(self, HN("lineno"), lineno);
  host::setattr(self, HN("args"), host::tuple(section, source, lineno).get());
  return host::none();
}

Ref duplicate_option_new(PyObject* self, const host::Args& a) {
  PyObject* section = a[0];
  PyObject* option = a[1];
  PyObject* source = a[2];
  PyObject* lineno = a[3];
  Ref tail = concat({host::repr(option).get(), host::text(" in section ").get(), host::repr(section).get(),
                     host::text(" already exists").get()});
  error_init(self, duplicate_message(": option ", "Option ", tail.get(), source, lineno).get());
  host::setattr(self, HN("section"), section);
  host::setattr(self, HN("option"), option);
  host::setattr(self, HN("source"), source);
  host::setattr(self, HN("lineno"), lineno);
  host::setattr(self, HN("args"), host::tuple(section, option, source, lineno).get());
  return host::none();
}

Ref parsing_new(PyObject* self, const host::Args& a) {
  error_init(self, fmt("Source contains parsing errors: %r", host::tuple(a[0])).get());
  host::setattr(self, HN("source"), a[0]);
  host::setattr(self, HN("errors"), host::new_list().get());
  host::setattr(self, HN("args"), host::tuple(a[0]).get());
  return host::none();
}

// One bad line's part of a ParsingError's message.
Ref parsing_line(PyObject* lineno, PyObject* line) { return fmt("\n\t[line %2d]: %s", host::tuple(lineno, line)); }

// `errors` is an attribute anyone may rebind: appended to as a list if it is one.
Ref parsing_append(PyObject* self, const host::Args& a) {
  Ref errors = host::getattr(self, HN("errors"));
  host::append(errors.get(), host::tuple(a[0], a[1]).get());
  Ref message = host::getattr(self, HN("message"));
  Ref added = parsing_line(a[0], a[1]);
  host::setattr(self, HN("message"), host::check(PyNumber_InPlaceAdd(message.get(), added.get())).get());
  return host::none();
}

Ref missing_header_new(PyObject* self, const host::Args& a) {
  error_init(self, fmt("File contains no section headers.\nfile: %r, line: %d\n%r", host::tuple(a[0], a[1], a[2])).get());
  host::setattr(self, HN("source"), a[0]);
  host::setattr(self, HN("lineno"), a[1]);
  host::setattr(self, HN("line"), a[2]);
  host::setattr(self, HN("args"), host::tuple(a[0], a[1], a[2]).get());
  return host::none();
}

// --- RawConfigParser ---------------------------------------------------------------
// State: `_defaults` (options of "[DEFAULT]") and `_sections` (name -> options),
// ordered mappings, so that items() answers in file order.

Ref ordered_dict() {
  Ref collections = host::import("collections");
  return host::call(host::getattr(collections.get(), HN("OrderedDict")).get());
}

Ref parser_init(PyObject* self, const host::Args&) {
  host::setattr(self, HN("_defaults"), ordered_dict().get());
  host::setattr(self, HN("_sections"), ordered_dict().get());
  return host::none();
}

Ref parser_optionxform(PyObject*, const host::Args& a) {
  return host::call_method(a[0], HN("lower"));
}

// While reading, a value is the list of its lines; afterwards the lines are
// joined and trailing blank ones dropped.
void join_values(PyObject* options) {
  Ref items = host::call_method(options, HN("items"));
  Ref newline = host::text("\n");
  for (Py_ssize_t i = 0, n = host::length(items.get()); i < n; ++i) {
    Ref pair = host::item(items.get(), i);
    Ref value = host::item(pair.get(), Py_ssize_t{1});
    if (!PyList_Check(value.get())) continue;
    Ref joined = host::call_method(newline.get(), HN("join"), value.get());
    Ref text = host::call_method(joined.get(), HN("rstrip"));
    host::check_rc(PyObject_SetItem(options, host::item(pair.get(), Py_ssize_t{0}).get(), text.get()));
  }
}

// Index of the first "=" or ":" in `text`, or -1.
Py_ssize_t delimiter_at(PyObject* text) {
  Py_ssize_t at = -1;
  for (const char* d : {"=", ":"}) {
    Py_ssize_t p = as_index(host::call_method(text, HN("find"), host::text(d).get()));
    if (p >= 0 && (at < 0 || p < at)) at = p;
  }
  return at;
}

// The section name of a "[name]" line (anything after the "]" is ignored), or NULL.
Ref header_name(PyObject* text) {
  if (!host::truth(host::call_method(text, HN("startswith"), host::text("[").get()).get())) return Ref();
  Py_ssize_t close = as_index(host::call_method(text, HN("find"), host::text("]").get()));
  if (close < 2) return Ref();
  return host::check(PySequence_GetSlice(text, 1, close));
}

void read(PyObject* self, PyObject* fp, PyObject* source) {
  Ref defaults = host::getattr(self, HN("_defaults"));
  Ref sections = host::getattr(self, HN("_sections"));
  Ref added = host::check(PySet_New(nullptr));  // sections and (section, option) pairs of this read
  Ref comment_prefixes = host::tuple(host::text("#").get(), host::text(";").get());
  Ref cursect, sectname, optname;  // cursect unset before the first header
  // Bad lines, gathered for one ParsingError made at the end: its errors and
  // the parts of its message (joined once, so the cost stays linear).
  Ref bad_errors = host::new_list();
  Ref bad_parts = host::new_list();
  Py_ssize_t indent_level = 0;
  long lineno = 0;

  auto bad_line = [&](PyObject* line) {
    Ref number = host::integer(lineno);
    Ref text = host::repr(line);
    host::append(bad_errors.get(), host::tuple(number.get(), text.get()).get());
    host::append(bad_parts.get(), parsing_line(number.get(), text.get()).get());
  };
  auto in_value = [&]() { return cursect && optname && host::truth(optname.get()); };

  host::for_each(fp, [&](PyObject* line) {
    ++lineno;
    Ref value = host::call_method(line, HN("strip"));
    bool comment = host::truth(host::call_method(value.get(), HN("startswith"), comment_prefixes.get()).get());
    if (comment || host::length(value.get()) == 0) {
      // A blank line may sit inside a value; it stays only if a continuation follows.
      if (!comment && in_value()) {
        Ref parts = host::item(cursect.get(), optname.get());
        if (parts.get() != Py_None) host::append(parts.get(), host::text("").get());
      }
      return;
    }
    Py_ssize_t indent = host::length(line) - host::length(host::call_method(line, HN("lstrip")).get());
    if (in_value() && indent > indent_level) {
      host::append(host::item(cursect.get(), optname.get()).get(), value.get());
      return;
    }
    indent_level = indent;
    if (Ref name = header_name(value.get())) {
      sectname = name;
      if (host::contains(sections.get(), name.get())) {
        if (host::contains(added.get(), name.get()))
          raise_error(HN("DuplicateSectionError"), name.get(), source, host::integer(lineno).get());
        cursect = host::item(sections.get(), name.get());
        host::check_rc(PySet_Add(added.get(), name.get()));
      } else if (is_default_section(name.get())) {
        cursect = defaults;
      } else {
        cursect = ordered_dict();
        host::check_rc(PyObject_SetItem(sections.get(), name.get(), cursect.get()));
        host::check_rc(PySet_Add(added.get(), name.get()));
      }
      optname = Ref();  // a section cannot begin with a continuation line
      return;
    }
    if (!cursect) raise_error(HN("MissingSectionHeaderError"), source, host::integer(lineno).get(), line);
    Py_ssize_t at = delimiter_at(value.get());
    if (at < 0) {
      bad_line(line);
      return;
    }
    if (at == 0) bad_line(line);  // reported, but read on like any other option
    Ref name = host::call_method(host::check(PySequence_GetSlice(value.get(), 0, at)).get(), HN("rstrip"));
    optname = host::call_method(self, HN("optionxform"), name.get());
    Ref key = host::tuple(sectname.get(), optname.get());
    if (host::contains(added.get(), key.get()))
      raise_error(HN("DuplicateOptionError"), sectname.get(), optname.get(), source, host::integer(lineno).get());
    host::check_rc(PySet_Add(added.get(), key.get()));
    Ref rest = host::check(PySequence_GetSlice(value.get(), at + 1, PY_SSIZE_T_MAX));
    Ref parts = host::new_list();
    host::append(parts.get(), host::call_method(rest.get(), HN("strip")).get());
    host::check_rc(PyObject_SetItem(cursect.get(), optname.get(), parts.get()));
  });

  join_values(defaults.get());
  Ref all = host::call_method(sections.get(), HN("values"));
  for (Py_ssize_t i = 0, n = host::length(all.get()); i < n; ++i) join_values(host::item(all.get(), i).get());
  if (PyList_GET_SIZE(bad_errors.get()) == 0) return;
  Ref error = host::call(host::getattr(g_cp, HN("ParsingError")).get(), source);
  Ref errors = host::getattr(error.get(), HN("errors"));
  host::for_each(bad_errors.get(), [&](PyObject* entry) { host::append(errors.get(), entry); });
  Ref message = host::getattr(error.get(), HN("message"));
  Ref tail = host::call_method(host::text("").get(), HN("join"), bad_parts.get());
  host::setattr(error.get(), HN("message"), host::check(PyNumber_Add(message.get(), tail.get())).get());
  host::raise_instance(error.get());
}

Ref parser_readfp(PyObject* self, const host::Args& a) {
  Ref source = Ref::borrow(a[1]);
  if (source.get() == Py_None) {
    source = Ref::steal(PyObject_GetAttr(a[0], HN("name")));
    if (!source) {
      if (!PyErr_ExceptionMatches(PyExc_AttributeError)) host::fail();
      PyErr_Clear();
      source = host::text("<\?\?\?>");  // escaped: not a trigraph
    }
  }
  read(self, a[0], source.get());
  return host::none();
}

// The options of a section, or NULL for "[DEFAULT]"; NoSectionError for others.
Ref section_options(PyObject* self, PyObject* section) {
  Ref sections = host::getattr(self, HN("_sections"));
  PyObject* options = PyObject_GetItem(sections.get(), section);
  if (options) return Ref::steal(options);
  if (!PyErr_ExceptionMatches(PyExc_KeyError)) host::fail();
  PyErr_Clear();
  if (!is_default_section(section)) raise_error(HN("NoSectionError"), section);
  return Ref();
}

// (name, value) pairs: the "[DEFAULT]" options first, then the section's own,
// a section's value replacing a default of the same name in its place.
Ref parser_items(PyObject* self, const host::Args& a) {
  Ref options = section_options(self, a[0]);
  Ref merged = host::call_method(host::getattr(self, HN("_defaults")).get(), HN("copy"));
  if (options) host::call_method(merged.get(), HN("update"), options.get());
  return host::call_method(merged.get(), HN("items"));
}

Ref parser_get(PyObject* self, const host::Args& a) {
  Ref options = section_options(self, a[0]);
  Ref option = host::call_method(self, HN("optionxform"), a[1]);
  Ref defaults = host::getattr(self, HN("_defaults"));
  for (PyObject* where : {options.get(), defaults.get()}) {
    if (!where) continue;
    PyObject* v = PyObject_GetItem(where, option.get());
    if (v) return Ref::steal(v);
    if (!PyErr_ExceptionMatches(PyExc_KeyError)) host::fail();
    PyErr_Clear();
  }
  raise_error(HN("NoOptionError"), option.get(), a[0]);
}

Ref parser_sections(PyObject* self, const host::Args&) {
  return host::check(PySequence_List(host::getattr(self, HN("_sections")).get()));
}

Ref parser_has_section(PyObject* self, const host::Args& a) {
  return host::boolean(host::contains(host::getattr(self, HN("_sections")).get(), a[0]));
}

// --- the module --------------------------------------------------------------------

constexpr host::Member kErrorMembers[] = {
    host::method("__init__", "msg=''", error_new),
    host::method("__str__", "", error_str),
    host::method("__repr__", "", error_str),
};
constexpr host::Member kNoSectionMembers[] = {host::method("__init__", "section", no_section_new)};
constexpr host::Member kNoOptionMembers[] = {host::method("__init__", "option, section", no_option_new)};
constexpr host::Member kDuplicateSectionMembers[] = {
    host::method("__init__", "section, source=None, lineno=None", duplicate_section_new),
};
constexpr host::Member kDuplicateOptionMembers[] = {
    host::method("__init__", "section, option, source=None, lineno=None", duplicate_option_new),
};
constexpr host::Member kParsingMembers[] = {
    host::method("__init__", "source", parsing_new),
    host::method("append", "lineno, line", parsing_append),
};
constexpr host::Member kMissingHeaderMembers[] = {
    host::method("__init__", "filename, lineno, line", missing_header_new),
};
constexpr host::Member kParserMembers[] = {
    host::method("__init__", "", parser_init),
    host::method("optionxform", "optionstr", parser_optionxform),
    host::method("readfp", "fp, filename=None", parser_readfp),
    host::method("sections", "", parser_sections),
    host::method("has_section", "section", parser_has_section),
    host::method("items", "section", parser_items),
    host::method("get", "section, option", parser_get),
};

// An error class of the module (the host's exception machinery makes it), with its members.
template <const auto& Members>
Ref error_class(PyObject* module, const char* name, PyObject* base, const char* doc) {
  std::string dotted = std::string(kName) + "." + name;
  Ref cls = host::check(PyErr_NewExceptionWithDoc(const_cast<char*>(dotted.c_str()), const_cast<char*>(doc), base,
                                                  nullptr));
  host::add_members<Members>(cls.get());
  host::bind(module, name, cls);
  return cls;
}

Ref own_module() {
  Ref m = host::check(PyModule_New(kName));
  host::setattr(m.get(), HN("__doc__"),
                host::text("Stand-in for the configparser package: the part that ports.conf needs.").get());

  Ref error = error_class<kErrorMembers>(m.get(), "Error", PyExc_Exception, "Base class of the parser's errors.");
  error_class<kNoSectionMembers>(m.get(), "NoSectionError", error.get(), "The section does not exist.");
  error_class<kNoOptionMembers>(m.get(), "NoOptionError", error.get(), "The option does not exist in the section.");
  error_class<kDuplicateSectionMembers>(m.get(), "DuplicateSectionError", error.get(), "A section given twice.");
  error_class<kDuplicateOptionMembers>(m.get(), "DuplicateOptionError", error.get(),
                                       "An option given twice in one section.");
  Ref parsing = error_class<kParsingMembers>(m.get(), "ParsingError", error.get(),
                                             "Lines that are neither header, option nor comment.");
  error_class<kMissingHeaderMembers>(m.get(), "MissingSectionHeaderError", parsing.get(),
                                     "An option before any section header.");

  Ref parser = host::data::define_class(
      m.get(), {"RawConfigParser", {}, "Reads INI-style text into sections of options; no interpolation.", {}});
  host::add_members<kParserMembers>(parser.get());
  return m;
}

}  // namespace

Ref configparser_module() {
  PyObject* package = PyImport_ImportModule("configparser");
  if (package) return Ref::steal(package);
  if (!PyErr_ExceptionMatches(PyExc_ImportError)) host::fail();
  PyErr_Clear();
  Ref m = own_module();
  Py_XDECREF(g_cp);
  g_cp = Ref(m).release();
  return m;
}

}  // namespace lanquist
