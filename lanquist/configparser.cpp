#include "lanquist/lanquist.hpp"

namespace lanquist {

host::Ref configparser_module() { return host::import("ConfigParser"); }

}  // namespace lanquist
