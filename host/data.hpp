// Typed class data: the values that class statements hold, written as C++ data
// and turned into the host's objects when the class is made.
//
//   using namespace host::data;
//   Attr{"modes", tuple_of("4x10G", "40G")}           a tuple of str
//   Attr{"default_mode", "40G"}                       str
//   Attr{"max_gang_size", 4}                          int
//   Attr{"pci_device", 0xb960}                        int
//   Attr{"hsp_bw", 2.5}                               float
//   Attr{"gang_modes", list_of()}                     an empty list (not a tuple)
//   Attr{"base_pbmp", bits({1, 2, 159})}              a long with those bits set
//   Attr{"disable_prefix_xlate", None}                None, True, False
//   Attr{"_speed_map", dict_of({{"10G", 10000}})}     a dict, built in this order
//   Attr{"port_type", cls("Tomahawk100GPort")}        a class bound in the module earlier
//   Attr{"_serdes_intf_map", same("SDKPort", "_serdes_intf_map")}
//                                                     the very object another class holds
//   Attr{"pbmp_map", made([] { return positions(); })}
//                                                     what a function makes when the class is
//                                                     made (a table built by a rule)
//
// Small numbers are `int`; `bits` and `big` give a `long` of any size (a 160-bit
// bitmap). Tuple and list stay apart, and a mapping keeps the order written.
#pragma once

#include "host/host.hpp"

#include <initializer_list>
#include <vector>

namespace host {
namespace data {

class Value {
 public:
  enum class T { kNone, kTrue, kFalse, kInt, kBits, kHex, kFloat, kStr, kTuple, kList, kDict, kClass, kSame, kMade };

  Value(int v) : t_(T::kInt), i_(v) {}
  Value(long v) : t_(T::kInt), i_(v) {}
  Value(double v) : t_(T::kFloat), f_(v) {}
  Value(const char* s) : t_(T::kStr), s_(s) {}
  // A bool would otherwise convert to int silently.
  Value(bool) = delete;

  static Value make(T t) { return Value(t); }
  static Value items(T t, std::initializer_list<Value> v) {
    Value r(t);
    r.items_.assign(v.begin(), v.end());
    return r;
  }
  static Value pairs(std::initializer_list<std::pair<Value, Value>> kv) {
    Value r(T::kDict);
    for (auto& p : kv) {
      r.items_.push_back(p.first);
      r.items_.push_back(p.second);
    }
    return r;
  }
  static Value bits(std::initializer_list<int> positions) {
    Value r(T::kBits);
    r.bits_.assign(positions.begin(), positions.end());
    return r;
  }
  static Value hex(const char* digits) {
    Value r(T::kHex);
    r.s_ = digits;
    return r;
  }
  static Value named(T t, const char* cls, const char* attr = nullptr) {
    Value r(t);
    r.s_ = cls;
    r.attr_ = attr;
    return r;
  }

  static Value made(Ref (*make)()) {
    Value r(T::kMade);
    r.make_ = make;
    return r;
  }

  // A new reference to the object. Class names are looked up in `module`.
  Ref make_object(PyObject* module) const;

 private:
  explicit Value(T t) : t_(t) {}
  T t_;
  long i_ = 0;
  double f_ = 0;
  const char* s_ = nullptr;
  const char* attr_ = nullptr;
  Ref (*make_)() = nullptr;
  std::vector<Value> items_;
  std::vector<int> bits_;
};

inline const Value None = Value::make(Value::T::kNone);
inline const Value True = Value::make(Value::T::kTrue);
inline const Value False = Value::make(Value::T::kFalse);

template <typename... V>
Value tuple_of(V... v) {
  return Value::items(Value::T::kTuple, {Value(v)...});
}
template <typename... V>
Value list_of(V... v) {
  return Value::items(Value::T::kList, {Value(v)...});
}
inline Value tuple_from(std::initializer_list<Value> v) { return Value::items(Value::T::kTuple, v); }
inline Value list_from(std::initializer_list<Value> v) { return Value::items(Value::T::kList, v); }
inline Value dict_of(std::initializer_list<std::pair<Value, Value>> kv = {}) { return Value::pairs(kv); }
// A long with exactly these bits set.
inline Value bits(std::initializer_list<int> positions) { return Value::bits(positions); }
// A long from hexadecimal digits ("ffff0000000000000000000000000001fffe").
inline Value big(const char* hex_digits) { return Value::hex(hex_digits); }
inline Value cls(const char* name) { return Value::named(Value::T::kClass, name); }
inline Value same(const char* cls_name, const char* attr) { return Value::named(Value::T::kSame, cls_name, attr); }
// A new object from `make`, called when the class is made (a capture-free lambda will do).
inline Value made(Ref (*make)()) { return Value::made(make); }

struct Attr {
  const char* name;
  Value value;
};

// One class statement: its name, bases (bound in the module earlier, or
// builtins), docstring
// (nullptr: none) and the attributes its body sets, in order.
struct ClassDef {
  const char* name;
  std::vector<const char*> bases;
  const char* doc;
  std::vector<Attr> attrs;
};

// Make the class (new-style, or classic where asked) and bind it in the module.
// Returns the class (a new reference).
Ref define_class(PyObject* module, const ClassDef& def, bool classic = false);

}  // namespace data
}  // namespace host
