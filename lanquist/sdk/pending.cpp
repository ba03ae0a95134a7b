// Texts whose renderers are not written yet. Each member is in place under its
// own name, so that output() dispatches every name and a Python subclass can
// already supply any of them; each raises NotImplementedError until its
// renderer replaces the entry here.
#include "lanquist/sdk/sdk.hpp"

namespace lanquist {
namespace sdk {
namespace {

template <const char* Name>
Ref pending_property(PyObject*) {
  host::raise(PyExc_NotImplementedError, Name);
}

template <const char* Name>
Ref pending_method(PyObject*, const host::Args&) {
  host::raise(PyExc_NotImplementedError, Name);
}

#define PENDING_NAME(name) constexpr char k_##name[] = #name " is not rendered yet";
PENDING_NAME(phytab)
PENDING_NAME(_compress_portlist)
PENDING_NAME(rcports)
PENDING_NAME(porttab)
PENDING_NAME(rcphy)
PENDING_NAME(ethertab)
PENDING_NAME(linkdefaults)
PENDING_NAME(_linkdefaults_qsim)
PENDING_NAME(_linkdefaults)
PENDING_NAME(sfptab)
#undef PENDING_NAME

constexpr host::Member kMembers[] = {
    host::property("phytab", pending_property<k_phytab>),
    host::method("_compress_portlist", "portlist", pending_method<k__compress_portlist>),
    host::method("rcports", "unit", pending_method<k_rcports>),
    host::property("porttab", pending_property<k_porttab>),
    host::property("rcphy", pending_property<k_rcphy>),
    host::property("ethertab", pending_property<k_ethertab>),
    host::property("linkdefaults", pending_property<k_linkdefaults>),
    host::method("_linkdefaults_qsim", "", pending_method<k__linkdefaults_qsim>),
    host::method("_linkdefaults", "", pending_method<k__linkdefaults>),
    host::property("sfptab", pending_property<k_sfptab>),
};

}  // namespace

void add_pending_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
