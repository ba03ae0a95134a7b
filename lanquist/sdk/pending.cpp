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
};

}  // namespace

void add_pending_members(PyObject* cls) { host::add_members<kMembers>(cls); }

}  // namespace sdk
}  // namespace lanquist
