// A member table that the tests compile with MEMBER_KIND and MEMBER_PARAMS
// set: a malformed parameter list must stop the build.
#include "host/members.hpp"

namespace {
host::Ref member(PyObject*, const host::Args&) { return host::none(); }
constexpr host::Member kMembers[] = {host::MEMBER_KIND("m", MEMBER_PARAMS, member)};
}  // namespace

void attach(PyObject* cls) { host::add_members<kMembers>(cls); }
