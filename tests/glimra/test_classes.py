"""The controller classes: tree, class values, instance state, the shared run
list, and platform subclasses overriding values and operations."""
import glimra
import ledkit
from ledkit import FakePort, GlimraCase, controller, port_call

CHIPS = (
    ('Helix4LEDController', 64),
    ('Hurricane2LEDController', 64),
    ('TridentLEDController', 36),
    ('TridentTwoLEDController', 64),
    ('TridentTwoPlusLEDController', 64),
    ('MaverickLEDController', 64),
    ('TomahawkLEDController', 64),
)

CLASS_VALUES = (
    ('_pulsic', '/usr/lib/zarnith/pulsic'),
    ('ports_per_chain', None),
    ('num_leds', None),
    ('led_functions', ()),
    ('blink_period', 90),
    ('pad_n_code_size', 10),
    ('pad_call_size', 2),
    ('pad_n_call_size', 4),
    ('loop_insert_cost', 2),
    ('default_pad', 1),
    ('has_phys_id', False),
    ('data_array_name', 'CMIC_GLIMRA{idx}_DATA_RAM'),
    ('data_array_base_addr', 0xc0),
    ('logical_to_led_index', {}),
    ('in_ram_constants', {'blink': {'addr': 0xf2, 'val': 3}, 'wiggle': {'addr': 0xf5, 'val': 19},
                          'wag': {'addr': 0xf8, 'val': 119}}),
)

# Lengths of the fixed texts, and a line each must hold.
TEXTS = (
    (lambda c: c.static_code['constants'], 1337, 'TICKS_PER_SEC      equ    30   ; LED program runs at 30Hz\n'),
    (lambda c: c.static_no_id_func_code['variables'], 234, 'BLINK_STATE_P      equ    0xf1\n'),
    (lambda c: c.static_no_id_func_code['functions'], 376, '        ld      a,TICKS_PER_BLINK\n'),
    (lambda c: c.static_no_id_func_code['blink_updater_calls'], 32, '\n        call blink_update_state'),
    (lambda c: c.static_id_func_code['variables'], 688, 'PORT_MAP_ARRAY     equ    0xc0\n'),
    (lambda c: c.static_id_func_code['functions'], 696, '        sub     b, 2     ; Point back to counter\n'),
    (lambda c: c.static_id_func_code['blink_updater_calls'], 186, '        ld      b, WAG_TICKS_P\n'),
    (lambda c: c.pad_zero, 52, '\npad_zero:\n        push  0\n        pack\n        ret\n'),
    (lambda c: c.pad_one, 51, '\npad_one:\n        push  1\n        pack\n        ret\n'),
    (lambda c: c.pad_n_zero, 91, '        dec a\n        jnz pad_n_zero\n        ret\n'),
    (lambda c: c.pad_n_one, 89, '        dec a\n        jnz pad_n_one\n        ret\n'),
    (lambda c: c()._template, 167, '\nmain:\n        %(set_calls)s\n%(blink_updater_calls)s\n        send NUM_LEDS\n'),
)


class ClassTreeTest(GlimraCase):
    def test_tree_and_kind(self):
        self.assertEqual(glimra.LEDController.__bases__, (object,))
        self.assertEqual(glimra.BCMLEDController.__bases__, (glimra.LEDController,))
        for name, per_chain in CHIPS:
            cls = getattr(glimra, name)
            self.assertEqual(cls.__bases__, (glimra.BCMLEDController,), name)
            self.assertEqual(cls().ports_per_chain, per_chain, name)
            self.assertNotIn('num_leds', cls.__dict__, name)
        self.assertIsNone(glimra.BCMLEDController().ports_per_chain)
        self.assertIn('_chain_port', glimra.TomahawkLEDController.__dict__)

    def test_class_values(self):
        for name, value in CLASS_VALUES:
            got = getattr(glimra.BCMLEDController, name)
            self.assertEqual(got, value, name)
            self.assertIs(type(got), type(value), name)

    def test_fixed_texts(self):
        for get, length, line in TEXTS:
            text = get(glimra.BCMLEDController)
            self.assertEqual(len(text), length, repr(text[:40]))
            self.assertIn(line, text)
            self.assertNotIn('\t', text)
            self.assertNotIn(' \n', text.replace('\n        %(set_calls)s', ''))

    def test_new_object(self):
        before = dict(glimra.BCMLEDController.call_list, x=1)
        glimra.BCMLEDController.call_list['x'] = 1
        c = glimra.MaverickLEDController()
        self.assertEqual(c.set_functions, set())
        self.assertEqual(c.set_calls, [])
        self.assertEqual(len(c._template), 167)
        self.assertEqual(glimra.BCMLEDController.call_list, before)
        self.assertIsNot(c.set_calls, glimra.MaverickLEDController().set_calls)

    def test_call_list_shared(self):
        """The run list of an index is the one configured last, whatever the
        object or class that reads it."""
        first = controller(glimra.TridentLEDController)()
        second = controller(glimra.TomahawkLEDController)()
        first.configure(1, [FakePort(1, claims={0: {0: port_call('a', 5)}})])
        second.configure(1, [FakePort(1, claims={0: {0: port_call('b', 7)}})])
        for reader in (first, second, controller()()):
            self.assertEqual(reader.led_map(1), [7])
        self.assertIs(first.call_list, glimra.BCMLEDController.call_list)

    def test_subclass_with_own_call_list(self):
        own = controller(call_list={})
        own().configure(0, [])
        self.assertEqual(own.call_list, {0: [(1, 8)]})
        self.assertEqual(glimra.BCMLEDController.call_list, {})


class OverrideTest(GlimraCase):
    """A platform's class attributes and methods win over ours, also inside
    our own operations."""

    def test_values_read_when_used(self):
        cls = controller(num_leds=3, default_pad=0, pad_zero='\nmy_pad_zero:\n')
        c = cls()
        c.configure(0, [])
        self.assertEqual(c.set_calls, ledkit.pads(0, 3))
        self.assertEqual(c.set_functions, set(['\nmy_pad_zero:\n']))
        cls.num_leds = 5
        self.assertIn('NUM_LEDS           equ    5\n', c.defines)
        c.blink_period = 150
        self.assertIn('TICKS_PER_BLINK    equ    5 ', c.asm)

    def test_operations_called_through_the_object(self):
        seen = []

        class Platform(controller(num_leds=2)):
            def _chain_port(self, port_num):
                seen.append(('chain', port_num))
                return 40 + port_num

            def _eval_looping(self, calls):
                seen.append(('eval', list(calls)))
                return [True, True]

            def _led_pad_call(self, value, length, emit_loop):
                seen.append(('pad', value, length, emit_loop))
                return super(Platform, self)._led_pad_call(value, length, emit_loop)

            @property
            def defines(self):
                return '\n;;; mine\n'

        c = Platform()
        c.configure(0, [FakePort(1, claims={0: {0: port_call('x', 2)}})])
        call = port_call('x', 2)
        self.assertEqual(seen, [('eval', [(call, 1), (1, 1)]), ('chain', 2), ('pad', 1, 1, False)])
        self.assertEqual(c.set_calls, ledkit.loaded(42, 'x') + ledkit.pads(1, 1))
        self.assertIn('\n;;; mine\n', c.asm)

    def test_cost_constants_and_template(self):
        c = controller(num_leds=5, pad_n_code_size=0)()
        c.configure(0, [])
        self.assertEqual(c.set_calls, ledkit.pad_loop(1, 5))
        # The main template is the object's own, set by the constructor.
        c._template = u'%(set_calls)s|%(defines)s'
        self.assertEqual(c.asm, ''.join(c.set_calls) + '|' + c.defines)
        self.assertIs(type(c.asm), unicode)

    def test_hostile_callers(self):
        """Wrong objects, missing or extra arguments, objects made without
        __init__: Python-level errors only."""
        bare = glimra.BCMLEDController.__new__(controller())
        cases = (
            (TypeError, lambda: glimra.BCMLEDController.configure(None, 0, [])),
            (TypeError, lambda: glimra.BCMLEDController.__dict__['asm'].__get__(object())),
            (TypeError, lambda: controller()().configure(0)),
            (TypeError, lambda: controller()().configure(0, [], 1)),
            (TypeError, lambda: controller()().configure(0, ports=[], idx=1)),
            (TypeError, lambda: glimra.BCMLEDController(1)),
            (TypeError, lambda: controller()().configure(0, None)),
            (AttributeError, lambda: bare.configure(0, [])),
            (AttributeError, lambda: bare.asm),
            (TypeError, lambda: controller()()._chain_port()),
            (AttributeError, lambda: controller()().configure(0, [object()])),
        )
        for exc, fn in cases:
            self.assertRaises(exc, fn)
        for name, value in (('set_functions', frozenset()), ('set_calls', ()), ('set_functions', None)):
            c = controller()()
            setattr(c, name, value)
            self.assertRaises(AttributeError, c.configure, 0, [])
        self.assertEqual(controller()().configure(controller_idx=3, ports=[]), None)
        self.assertIn(3, glimra.BCMLEDController.call_list)

    def test_override_that_calls_back_and_mutates(self):
        """A port that reconfigures the controller and empties the list it was
        given while the chain is being built."""
        c = controller(num_leds=2)()
        ports = []

        def claims(led_port, sub, led_index_list):
            del led_index_list[:]
            ports[:] = []
            c.configure(9, [])
            return {0: port_call('x', 1)}

        ports.extend([FakePort(1, claims=claims), FakePort(2, claims=claims)])
        c.configure(0, ports)
        self.assertEqual(glimra.BCMLEDController.call_list[0], [(port_call('x', 1), 1), (1, 1)])
        self.assertEqual(glimra.BCMLEDController.call_list[9], [(1, 2)])


if __name__ == '__main__':
    import unittest
    unittest.main()
