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
PENDING_NAME(sdk_pbmp)
PENDING_NAME(portmap)
PENDING_NAME(dportmap)
PENDING_NAME(portmap_uncapable_config)
PENDING_NAME(port_emphasis)
PENDING_NAME(port_init)
PENDING_NAME(fiber_pref)
PENDING_NAME(phys)
PENDING_NAME(phy_addrs)
PENDING_NAME(phy_an)
PENDING_NAME(prim_offsets)
PENDING_NAME(phy_id1s)
PENDING_NAME(sys_interfaces)
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
    host::property("sdk_pbmp", pending_property<k_sdk_pbmp>),
    host::property("portmap", pending_property<k_portmap>),
    host::property("dportmap", pending_property<k_dportmap>),
    host::property("portmap_uncapable_config", pending_property<k_portmap_uncapable_config>),
    host::property("port_emphasis", pending_property<k_port_emphasis>),
    host::property("port_init", pending_property<k_port_init>),
    host::property("fiber_pref", pending_property<k_fiber_pref>),
    host::property("phys", pending_property<k_phys>),
    host::property("phy_addrs", pending_property<k_phy_addrs>),
    host::property("phy_an", pending_property<k_phy_an>),
    host::property("prim_offsets", pending_property<k_prim_offsets>),
    host::property("phy_id1s", pending_property<k_phy_id1s>),
    host::property("sys_interfaces", pending_property<k_sys_interfaces>),
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
