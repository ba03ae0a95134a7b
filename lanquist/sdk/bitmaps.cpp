// The port bitmaps: the SDK ports of each interface kind, the valid ports of
// each unit (on top of the chip's own base bitmap) and the oversubscribed ones.
// Bitmaps are the host's integers, so any width prints in full.
#include <vector>

#include "lanquist/sdk/lines.hpp"

namespace lanquist {
namespace sdk {
namespace {

// A mapping that keeps its keys in the order they first came: the lines come
// out in the order of the ports that introduced them.
class OrderedMasks {
 public:
  OrderedMasks() : index_(host::new_dict()) {}

  // masks[key] |= bits, an absent entry starting from `start()`.
  template <typename Start>
  void merge(PyObject* key, PyObject* bits, Start&& start) {
    Entry* e = find(key);
    if (!e) {
      Ref base = start();
      Ref merged = host::check(PyNumber_Or(base.get(), bits));
      Ref at = host::check(PyInt_FromSize_t(entries_.size()));
      host::check_rc(PyDict_SetItem(index_.get(), key, at.get()));
      entries_.push_back(Entry{Ref::borrow(key), merged});
      return;
    }
    e->mask = host::check(PyNumber_Or(e->mask.get(), bits));
  }

  bool empty() const { return entries_.empty(); }

  // The mask of a key, or NULL (owned by this table).
  PyObject* mask_of(PyObject* key) const {
    const Entry* e = find(key);
    return e ? e->mask.get() : nullptr;
  }

  template <typename F>
  void each(F&& body) const {
    for (const Entry& e : entries_) body(e.key.get(), e.mask.get());
  }

 private:
  struct Entry {
    Ref key, mask;
  };

  // A key the dict cannot hash is not found here; storing it then fails.
  Entry* find(PyObject* key) const {
    PyObject* at = PyDict_GetItem(index_.get(), key);
    return at ? const_cast<Entry*>(&entries_[PyInt_AS_LONG(at)]) : nullptr;
  }

  Ref index_;  // key -> position in entries_
  std::vector<Entry> entries_;
};

Ref sdk_pbmp(PyObject* self) {
  OrderedMasks kinds, valid, oversub;
  Ref zero = host::integer(0);
  auto none_yet = [&] { return zero; };
  auto chip_base = [&] { return host::getattr(chip_of(self).get(), HN("base_pbmp")); };
  for_each_port(self, [&](PyObject* port) {
    for_each_sub(port, [&](PyObject* sub) {
      Ref prefix = host::call_method(port, HN("sdk_intf_prefix"), sub);
      // 100G ports count among the "xe" ports.
      if (host::equal(prefix.get(), HN("ce"))) prefix = host::text("xe");
      Ref unit = host::getattr(port, HN("unit"));
      Ref key = fmt(HN("%s.%u"), prefix.get(), unit.get());
      Ref bits = host::call_method(port, HN("sdk_pbmp"), sub);
      kinds.merge(key.get(), bits.get(), none_yet);
      valid.merge(unit.get(), bits.get(), chip_base);
      Ref over = host::getattr(port, HN("oversub"));
      if (host::truth(over.get())) oversub.merge(unit.get(), bits.get(), none_yet);
    });
  });

  Lines lines;
  // Higig ports have no port-kind line of their own.
  kinds.each([&](PyObject* key, PyObject* mask) {
    if (host::truth(host::call_method(key, HN("startswith"), HN("hg")).get())) return;
    lines.add(HN("pbmp_xport_%s=0x%x"), key, mask);
  });
  valid.each([&](PyObject* unit, PyObject* mask) { lines.add(HN("pbmp_valid.%u=0x%x"), unit, mask); });
  if (!oversub.empty()) {
    if (host::truth(host::getattr(chip_of(self).get(), HN("mixed_oversub")).get())) {
      valid.each([&](PyObject* unit, PyObject*) {
        PyObject* mask = oversub.mask_of(unit);
        if (mask) lines.add(HN("pbmp_oversubscribe.%u=0x%x"), unit, mask);
      });
    } else {
      lines.add(host::text("oversubscribe_mode=1"));
    }
  }
  return lines.text();
}

constexpr host::Member kMembers[] = {
    host::property("sdk_pbmp", sdk_pbmp, "The port bitmaps: per interface kind, valid and oversubscribed."),
};

}  // namespace

void add_bitmap_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
