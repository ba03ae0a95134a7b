// Whether a counted loop pays for the pad runs of each bit. Looping costs a
// routine of its own once per bit, then a little per looped run; unrolling
// costs one call per position. Sizes use the host's arithmetic on the class
// values, so a subclass may tune them with any numbers.
#include "glimra/glimra.hpp"

namespace glimra {
using host::Ref;

namespace {

Ref pair_list(Ref a, Ref b) {
  Ref l = host::check(PyList_New(2));
  PyList_SET_ITEM(l.get(), 0, a.release());
  PyList_SET_ITEM(l.get(), 1, b.release());
  return l;
}

// Call `body(bit, count)` for each pad run of `calls`; other runs are passed
// over, but every run must still be a pair.
template <typename F>
void for_pad_runs(PyObject* calls, F&& body) {
  host::for_each(calls, [&](PyObject* run) {
    Ref parts[2];
    unpack(run, 2, parts);
    int bit = pad_bit(parts[0].get());
    if (bit >= 0) body(bit, parts[1].get());
  });
}

Ref add(PyObject* a, PyObject* b) { return host::check(PyNumber_Add(a, b)); }

}  // namespace

Ref calc_unrolled_instructions(PyObject* self, const host::Args& a) {
  Ref call_size = host::getattr(self, HN("pad_call_size"));
  Ref size[2] = {host::integer(0), host::integer(0)};
  for_pad_runs(a[0], [&](int bit, PyObject* count) {
    Ref cost = host::check(PyNumber_Multiply(count, call_size.get()));
    size[bit] = add(size[bit].get(), cost.get());
  });
  return pair_list(size[0], size[1]);
}

Ref calc_looped_instructions(PyObject* self, const host::Args& a) {
  Ref call_size = host::getattr(self, HN("pad_call_size"));
  Ref loop_call_size = host::getattr(self, HN("pad_n_call_size"));
  Ref insert_cost = host::getattr(self, HN("loop_insert_cost"));
  Ref size[2] = {host::integer(0), host::integer(0)};
  bool looped[2] = {false, false};
  for_pad_runs(a[0], [&](int bit, PyObject* count) {
    if (host::check_rc(PyObject_RichCompareBool(count, insert_cost.get(), Py_GT))) {
      size[bit] = add(size[bit].get(), loop_call_size.get());
      looped[bit] = true;
    } else {
      Ref cost = host::check(PyNumber_Multiply(count, call_size.get()));
      size[bit] = add(size[bit].get(), cost.get());
    }
  });
  // The looping routine is paid for once per bit, however many runs use it.
  Ref code_size;
  for (int bit = 0; bit < 2; ++bit) {
    if (!looped[bit]) continue;
    if (!code_size) code_size = host::getattr(self, HN("pad_n_code_size"));
    size[bit] = add(size[bit].get(), code_size.get());
  }
  return pair_list(size[0], size[1]);
}

Ref eval_looping(PyObject* self, const host::Args& a) {
  Ref looped = host::call_method(self, HN("_calc_looped_instructions"), a[0]);
  Ref unrolled = host::call_method(self, HN("_calc_unrolled_instructions"), a[0]);
  Ref use[2];
  for (int bit = 0; bit < 2; ++bit) {
    Ref l = subscript(looped.get(), bit);
    Ref u = subscript(unrolled.get(), bit);
    // Strictly smaller: equal sizes keep the plainer unrolled form.
    use[bit] = host::boolean(host::check_rc(PyObject_RichCompareBool(l.get(), u.get(), Py_LT)) != 0);
  }
  return pair_list(use[0], use[1]);
}

}  // namespace glimra
