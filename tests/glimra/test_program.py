"""The program text: the defines and the whole program in both variants."""
import os

import glimra
from ledkit import FakePort, GlimraCase, PROGRAMS, ROUTINE, controller, port_call

EXTRA = '\nextra:\n        ret\n'


def expected(name):
    with open(os.path.join(PROGRAMS, name)) as f:
        return f.read()


def small_chain(**attrs):
    """Twelve positions on a Trident chain: two port calls, a zero, then nine
    ones that are looped."""
    attrs.setdefault('num_leds', 12)
    attrs.setdefault('blink_period', 60)
    ctrl = controller(glimra.TridentLEDController, **attrs)()
    claims = {0: {0: port_call('link', 37)}, 1: {1: port_call('link', 38), 2: 0}}
    ctrl.configure(0, [FakePort(3, logical=2, claims=claims)])
    return ctrl


class DefinesTest(GlimraCase):
    def test_ticks(self):
        for period, ticks in ((0, 0), (90, 3), (90.0, 3), (60L, 2), (3000, 100), (-30, -1)):
            d = controller(blink_period=period)().defines
            self.assertIn('\nTICKS_PER_BLINK    equ    %d    ; 0 to' % ticks, d, period)

    def test_example_text(self):
        self.assertEqual(controller(num_leds=48)().defines,
                         '\n;;;\n;;; Platform-specific defines\n'
                         'TICKS_PER_BLINK    equ    3    ; 0 to alternate every cycle (15Hz)\n'
                         'NUM_LEDS           equ    48\n')

    def test_failures(self):
        for attrs, exc, message in (
                (dict(blink_period=45), RuntimeError, 'non-integer blink cycles, correct period to multiple of 30'),
                (dict(blink_period=31.0), RuntimeError, 'non-integer blink cycles, correct period to multiple of 30'),
                (dict(num_leds=None), TypeError, None),
                (dict(blink_period=None), TypeError, None)):
            ctrl = controller(**attrs)()
            for prop in ('defines', 'asm', 'hex'):
                with self.assertRaises(exc) as cm:
                    getattr(ctrl, prop)
                if message:
                    self.assertEqual(str(cm.exception), message)


class ProgramTest(GlimraCase):
    def assertProgram(self, ctrl, name, functions):
        self.assertEqual(ctrl.set_functions, functions)
        program = expected(name).replace('@SET_FUNCTIONS@', ''.join(ctrl.set_functions))
        self.assertEqual(ctrl.asm, program)

    def test_plain_program(self):
        ctrl = small_chain(led_functions=(EXTRA,))
        functions = set([ROUTINE.replace('set_led:', 'set_led_link:'), ctrl.pad_zero, ctrl.pad_n_one])
        self.assertProgram(ctrl, 'plain.asm', functions)

    def test_id_program(self):
        ctrl = small_chain(has_phys_id=True)
        functions = set([ROUTINE.replace('set_led:', 'set_led_link:'), ctrl.pad_zero, ctrl.pad_n_one])
        self.assertProgram(ctrl, 'id.asm', functions)

    def test_variant_by_truth(self):
        for value, marker in ((None, 'blink_update_state'), (0, 'blink_update_state'), ('', 'blink_update_state'),
                              (1, 'PORT_MAP_ARRAY'), ('yes', 'PORT_MAP_ARRAY'), ([0], 'PORT_MAP_ARRAY')):
            self.assertIn(marker, controller(has_phys_id=value)().asm, value)

    def test_port_map_address_follows_the_object(self):
        """The class's variables text is filled with its base; an object that
        moves the port map gets that text filled with its own base, and a text
        of its own goes in unchanged."""
        ours = glimra.BCMLEDController.static_id_func_code
        line = 'PORT_MAP_ARRAY     equ    0x%x\n'
        self.assertEqual(ours['variables'].count('%'), 0)
        own = ';; mine 100% %(base_addr)x\n'
        copied = dict(ours, functions='')
        for addr, code, variables in (
                (0xc0, ours, ours['variables']),
                (0xc0L, ours, ours['variables']),
                (0xa0, ours, ours['variables'].replace(line % 0xc0, line % 0xa0)),
                (0x1ab, copied, ours['variables'].replace(line % 0xc0, line % 0x1ab)),
                (0xc0, dict(ours, variables=own), own),
                (0xa0, dict(ours, variables=own), own)):
            ctrl = controller(has_phys_id=True, data_array_base_addr=addr, static_id_func_code=code)()
            ctrl._template = '%(variables)s'
            self.assertEqual(ctrl.asm, variables, (hex(addr), code['variables'][:12]))

    def test_never_configured(self):
        text = controller()().asm
        self.assertIn('\nmain:\n        \n\n        call blink_update_state\n        send NUM_LEDS\n\n'
                      + glimra.BCMLEDController.static_no_id_func_code['functions'] + '\n\n\n', text)
        self.assertTrue(text.endswith('ret\n\n\n\n'))
        with_id = controller(has_phys_id=True)().asm
        self.assertIn('\nmain:\n        \n\n        ld      b, BLINK_TICKS_P\n', with_id)

    def test_example_main_section(self):
        ctrl = controller(num_leds=2)()
        ctrl.configure(0, [])
        self.assertIn('\nmain:\n        \n        call    pad_one\n        call    pad_one\n\n'
                      '        call blink_update_state\n        send NUM_LEDS\n', ctrl.asm)

    def test_reading_changes_nothing(self):
        ctrl = small_chain(has_phys_id=True)
        static = dict(glimra.BCMLEDController.static_code)
        variants = [dict(glimra.BCMLEDController.static_id_func_code),
                    dict(glimra.BCMLEDController.static_no_id_func_code)]
        self.assertEqual(ctrl.asm, ctrl.asm)
        self.assertEqual(glimra.BCMLEDController.static_code, static)
        self.assertEqual([dict(glimra.BCMLEDController.static_id_func_code),
                          dict(glimra.BCMLEDController.static_no_id_func_code)], variants)

    def test_non_text_pieces(self):
        for where in ('set_functions', 'set_calls', 'led_functions'):
            ctrl = controller()()
            setattr(ctrl, where, ['\nok\n', 7])
            self.assertRaises(TypeError, getattr, ctrl, 'asm')

    def test_platform_pieces(self):
        """A subclass's own mappings, and a key the template lacks, as the
        host's %-mapping takes them."""
        ctrl = controller(static_code={'constants': ';; c', 'unused': 1},
                          static_no_id_func_code={'variables': ';; v 100%%', 'functions': '',
                                                  'blink_updater_calls': ''})()
        ctrl._template = '%(constants)s|%(variables)s|%(set_calls)s'
        self.assertEqual(ctrl.asm, ';; c|;; v 100%%|')
        ctrl._template = '%(missing)s'
        self.assertRaises(KeyError, getattr, ctrl, 'asm')


if __name__ == '__main__':
    import unittest
    unittest.main()
