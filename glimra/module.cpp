// Module body: the outside modules the generator uses, then the controller
// classes. Every class is a new-style class that platform definitions derive
// from to set their chain's values.
#include "glimra/glimra.hpp"

#include <string>

namespace glimra {
using host::Ref;

namespace {
PyObject* g_module = nullptr;
PyObject* g_methodcaller = nullptr;
PyObject* g_id_variables = nullptr;

constexpr host::Member kControllerMembers[] = {
    host::method("__init__", "", controller_init),
    host::method("configure", "controller_idx, ports", configure),
    host::method("_eval_looping", "calls", eval_looping),
    host::method("_calc_looped_instructions", "calls", calc_looped_instructions),
    host::method("_calc_unrolled_instructions", "calls", calc_unrolled_instructions),
    host::method("_led_pad_call", "value, length, emit_loop", led_pad_call),
    host::method("_led_port_call", "call, length", led_port_call),
    host::method("_chain_port", "port_num", chain_port),
    host::property("defines", defines, "The platform-specific defines of the program."),
    host::property("asm", asm_text, "The whole LED program text."),
    host::property("hex", hex, "The program as the assembler makes it."),
    host::method("_compile", "asm", compile),
    host::method("led_map", "controller_idx", led_map),
    host::method("led_memory_init_commands", "controller_idx", led_memory_init_commands),
};

constexpr host::Member kTomahawkMembers[] = {
    // The Tomahawk's chain numbers its ports as the switch does.
    host::method("_chain_port", "call_port", chain_port_unchanged),
};

// The ID program's variables text as the class holds it, filled once with the
// class's own base; kept, so that a render knows the class's text again.
Ref filled_id_variables() {
  Ref text = id_variables(host::integer(kDataArrayBaseAddr).get());
  Py_XDECREF(g_id_variables);
  g_id_variables = Ref(text).release();
  return text;
}

void define_controllers(PyObject* m) {
  using namespace host::data;
  define_class(m, {"LEDController", {}, "Base of the LED controllers.", {}});

  auto blinker = [](int addr, int val) { return dict_of({{"addr", addr}, {"val", val}}); };
  Ref bcm = define_class(
      m, {"BCMLEDController",
          {"LEDController"},
          "The LED processor program of one Broadcom LED controller. Platforms derive from a\n"
          "per-chip class and set at least num_leds.",
          {{"_pulsic", "/usr/lib/zarnith/pulsic"},
           {"ports_per_chain", None},
           {"num_leds", None},
           {"led_functions", tuple_of()},
           {"blink_period", 90},
           {"pad_n_code_size", 10},
           {"pad_call_size", 2},
           {"pad_n_call_size", 4},
           {"loop_insert_cost", 2},
           {"default_pad", 1},
           {"has_phys_id", False},
           {"data_array_name", "CMIC_GLIMRA{idx}_DATA_RAM"},
           {"data_array_base_addr", kDataArrayBaseAddr},
           {"logical_to_led_index", dict_of()},
           // One mapping for every controller object: controller index to its runs.
           {"call_list", dict_of()},
           {"static_code", dict_of({{"constants", kConstants}})},
           {"static_no_id_func_code", dict_of({{"variables", kPlainVariables},
                                               {"functions", kPlainFunctions},
                                               {"blink_updater_calls", kPlainBlinkerCalls}})},
           // "variables" is filled here, with the class's own port map base.
           {"static_id_func_code", dict_of({{"variables", made(filled_id_variables)},
                                            {"functions", kIdFunctions},
                                            {"blink_updater_calls", kIdBlinkerCalls}})},
           {"in_ram_constants", dict_of({{"blink", blinker(0xf2, 3)},
                                         {"wiggle", blinker(0xf5, 19)},
                                         {"wag", blinker(0xf8, 119)}})},
           {"pad_zero", kPadZero},
           {"pad_one", kPadOne},
           {"pad_n_zero", kPadNZero},
           {"pad_n_one", kPadNOne}}});
  host::add_members<kControllerMembers>(bcm.get());

  struct Chip {
    const char* name;
    int ports_per_chain;
  };
  static const Chip chips[] = {
      {"Helix4LEDController", 64},        {"Hurricane2LEDController", 64},     {"TridentLEDController", 36},
      {"TridentTwoLEDController", 64},    {"TridentTwoPlusLEDController", 64}, {"MaverickLEDController", 64},
      {"TomahawkLEDController", 64},
  };
  for (const Chip& c : chips) {
    Ref cls = define_class(m, {c.name, {"BCMLEDController"}, nullptr, {{"ports_per_chain", c.ports_per_chain}}});
    if (std::string(c.name) == "TomahawkLEDController") host::add_members<kTomahawkMembers>(cls.get());
  }
}

void body(PyObject* m) {
  g_module = m;
  Py_INCREF(g_module);
  g_methodcaller = host::getattr(host::import("operator").get(), HN("methodcaller")).release();
  host::bind(m, "subprocess", host::import("subprocess"));
  host::bind(m, "os", host::import("os"));
  host::bind(m, "shutil", host::import("shutil"));
  // tempfile is bound on first use (see assembly.cpp): importing it costs a
  // third of an interpreter start, and only assembly needs it.
  define_controllers(m);
}
}  // namespace

PyObject* module() { return g_module; }
PyObject* methodcaller() { return g_methodcaller; }
PyObject* class_id_variables() { return g_id_variables; }

}  // namespace glimra

HOST_MODINIT(glimra) { host::init_module(glimra::kModule, &glimra::body); }
