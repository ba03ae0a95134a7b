// What the families' catalogue rows share: the port class maker, the
// bitmap-position tables, and the tuple of offered chip classes.
#include "brontile/brontile.hpp"

#include <string>

namespace brontile {
using host::Ref;

void define_port_table(PyObject* m, const PortRow* rows, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const PortRow& row = rows[i];
    Ref cls = host::data::define_class(m, {row.name, {row.base}, row.doc, row.attrs});
    if (row.members) row.members(cls.get());
  }
}

Ref pbmp_positions(std::initializer_list<NameRun> runs) {
  Ref table = host::new_dict();
  long position = 0;
  for (const NameRun& run : runs) {
    for (int x = 0; x < run.count; ++x) {
      Ref name = host::text((run.prefix + std::to_string(x)).c_str());
      Ref number = host::integer(++position);
      host::check_rc(PyDict_SetItem(table.get(), name.get(), number.get()));
    }
  }
  return table;
}

namespace {

// Offered in this order, which is not the order of definition.
constexpr const char* kOffered[] = {
    "TridentChip",
    "Helix4Chip",
    "Hurricane2Chip",
    "TridentTwo_56850_Chip",
    "TridentTwo_56854_Chip",
    "TridentThreeX5_56771_Chip",
    "TridentThreeX7_56870_Chip",
    "TridentThreeX7_56873_Chip",
    "TomahawkChip",
    "TomahawkPlus_56965_Chip",
    "TomahawkPlus_56967_Chip",
    "TomahawkTwoChip",
    "TomahawkTwo_56970_Chip",
    "TomahawkThreeChip",
    "TomahawkThree_56980_Chip",
    "MaverickChip",
    "Maverick_56762_Chip",
    "Maverick_56768_Chip",
    "QumranChip",
    "Qumran_88375_Chip",
};

}  // namespace

void define_offered_chips(PyObject* m) {
  constexpr std::size_t n = sizeof kOffered / sizeof kOffered[0];
  Ref chips = host::check(PyTuple_New(n));
  for (std::size_t i = 0; i < n; ++i) {
    PyTuple_SET_ITEM(chips.get(), i, host::check(PyObject_GetAttrString(m, kOffered[i])).release());
  }
  host::bind(m, "chips", chips);
}

}  // namespace brontile
