// The class statements of the SDK configuration object: SDKConfig, with the
// SerDes interface type numbers, and its Broadcom leaf BCMConfig.
#include "lanquist/lanquist.hpp"

#include "host/data.hpp"

namespace lanquist {

void define_sdk_config(PyObject* m) {
  using namespace host::data;
  define_class(m,
               {"SDKConfig",
                {"Config"},
                "SDK configuration generator.",
                {{"serdes_if_type_map",
                  dict_of({{"XGMII", 6}, {"SFI", 9}, {"XFI", 10}, {"KR4", 12}, {"SR4", 28}, {"KR", 11}})}}},
               /*classic=*/true);
  define_class(m, {"BCMConfig", {"SDKConfig"}, "Broadcom configuration object.", {}}, /*classic=*/true);
}

}  // namespace lanquist
