"""Chain configuration: claims, pads, gangs, runs and the emitted lines."""
import glimra
import ledkit
from ledkit import FakePort, GlimraCase, controller, loaded, pad_loop, pads, port_call, ROUTINE
from support import NotingList, range_counts


def routine_as(name, routine=ROUTINE):
    return routine.replace('set_led:', 'set_led_%s:' % name)


class ConfigureTest(GlimraCase):
    def runs(self, idx=0):
        return glimra.BCMLEDController.call_list[idx]

    def test_example_chain(self):
        c = controller(num_leds=8)()
        p1 = port_call('p1', 3)
        self.assertIsNone(c.configure(0, [FakePort(9, claims={0: {0: p1, 1: None}})]))
        self.assertEqual(self.runs(), [(p1, 1), (None, 1), (1, 6)])
        self.assertEqual(c.set_calls, loaded(3, 'p1') + pads(1, 6))
        self.assertEqual(c.set_functions, set([routine_as('p1'), c.pad_one]))

    def test_unclaimed_chains(self):
        for num_leds, lines, functions in (
                (0, [], set()),
                (1, pads(1, 1), set(['pad_one'])),
                (7, pads(1, 7), set(['pad_one'])),
                (8, pad_loop(1, 8), set(['pad_n_one'])),
                (300, pad_loop(1, 300), set(['pad_n_one']))):
            glimra.BCMLEDController.call_list.clear()
            c = controller(num_leds=num_leds)()
            c.configure(4, [])
            self.assertEqual(c.set_calls, lines, num_leds)
            self.assertEqual(c.set_functions, set(getattr(c, f) for f in functions), num_leds)
            self.assertEqual(self.runs(4), [(1, num_leds)] if num_leds else [], num_leds)

    def test_set_calls_is_appended_to_through_its_own_append(self):
        p1 = port_call('p1', 3)
        for num_leds, claims, lines in ((8, {0: {0: p1, 1: None}}, loaded(3, 'p1') + pads(1, 6)),
                                        (8, {}, pad_loop(1, 8))):
            ctrl = controller(num_leds=num_leds)()
            ctrl.set_calls = NotingList()
            ctrl.configure(0, [FakePort(9, claims=claims)])
            self.assertEqual((list(ctrl.set_calls), ctrl.set_calls.noted), ([], lines), claims)

    def test_later_claim_wins(self):
        """Ports in hardware order (stable for equal numbers), sub-ports in
        order; a claim replaces what the position held."""
        a, b, c, d = [port_call(n, 1) for n in 'abcd']
        ports = [FakePort(7, claims={0: {0: c}}),
                 FakePort(2, logical=2, claims={0: {0: a, 1: a}, 1: {1: b}}),
                 FakePort(7, claims={0: {1: d}})]
        ctrl = controller(num_leds=3)()
        ctrl.configure(0, ports)
        self.assertEqual(self.runs(), [(c, 1), (d, 1), (1, 1)])
        self.assertEqual([p.asked[0][0] for p in ports], [3, 1, 4])

    def test_numbering_and_gangs(self):
        ports = [FakePort(30, leds=(0, 12), logical=2, gang_label='g'),
                 FakePort(10, leds=(0, 10), logical=4, gang_label='g'),
                 FakePort(20, leds=(0, 11), logical=0, gang_label='g'),
                 FakePort(15, leds=(0, 4), logical=1, gang_label=5)]
        controller(num_leds=0)().configure(0, ports)
        gang = [12, 10, 11]
        self.assertEqual(ports[1].asked, [(1, 0, gang), (2, 1, gang), (3, 2, gang), (4, 3, gang)])
        self.assertEqual(ports[3].asked, [(5, 0, [4])])
        self.assertEqual(ports[2].asked, [])
        self.assertEqual(ports[0].asked, [(6, 0, gang), (7, 1, gang)])

    def test_positions_outside_the_chain(self):
        """Claims beyond the chain, or of other key types, are sorted in with
        the host's ordering."""
        x = port_call('x', None)
        ctrl = controller(num_leds=3)()
        ctrl.configure(0, [FakePort(1, claims={0: {20: x, -1: 0, 'led': None, 5L: x}})])
        self.assertEqual(self.runs(), [(0, 1), (1, 3), (x, 2), (None, 1)])
        self.assertEqual(ctrl.set_calls, pads(0, 1) + pads(1, 3))
        self.assertEqual(ctrl.set_functions, set([ctrl.pad_zero, ctrl.pad_one, routine_as('x')]))

    def test_runs_by_equality(self):
        """Equal calls form one run carrying its first; True and 1.0 are the pad 1."""
        ctrl = controller(num_leds=0)()
        claims = dict(enumerate([True, 1, 1.0, 0, 0L, False, True, 1.0, 1, True, 1, 1.0, 1, 1]))
        ctrl.configure(0, [FakePort(1, claims={0: claims})])
        runs = self.runs()
        self.assertEqual(runs, [(1, 3), (0, 3), (1, 8)])
        self.assertEqual([type(call) for call, _ in runs], [bool, int, bool])
        self.assertEqual(ctrl.set_calls, pad_loop(1, 3) + pads(0, 3) + pad_loop(1, 8))
        self.assertEqual(ctrl.set_functions, set([ctrl.pad_zero, ctrl.pad_n_one]))

    def test_loop_bound(self):
        """With looping chosen for a bit, runs of two stay unrolled and runs of
        three are looped."""
        claims = dict(enumerate([0, 0, 1] + [0] * 3 + [1] + [0] * 20))
        ctrl = controller(num_leds=0)()
        ctrl.configure(0, [FakePort(1, claims={0: claims})])
        self.assertEqual(ctrl.set_calls, pads(0, 2) + pads(1, 1) + pad_loop(0, 3) + pads(1, 1) + pad_loop(0, 20))

    def test_port_runs(self):
        five = port_call('five', 5)
        placed = port_call('placed', None, '\nset_led:\nxset_led: set_led:\n')
        ctrl = controller(num_leds=0)()
        ctrl.configure(0, [FakePort(1, claims={0: {0: five, 1: five, 2: five, 3: placed}})])
        self.assertEqual(ctrl.set_calls, loaded(5, 'five') * 3)
        self.assertEqual(ctrl.set_functions,
                         set([routine_as('five'), '\nset_led_placed:\nxset_led_placed: set_led_placed:\n']))
        self.assertEqual(self.runs(), [(five, 3), (placed, 1)])

    def test_chain_ports(self):
        for cls, cases in ((controller(), ((1, 1), (64, 64), (65, 1), (130, 2), (0, 64), (-1, 63), (2L, 2L))),
                           (controller(glimra.TridentLEDController), ((37, 1), (36, 36), (0, 36))),
                           (controller(glimra.TomahawkLEDController), ((65, 65), (0, 0), (-3, -3)))):
            for port, chained in cases:
                got = cls()._chain_port(port)
                self.assertEqual(got, chained, (cls.__bases__, port))
                self.assertIs(type(got), type(chained))
        self.assertEqual(controller(glimra.TomahawkLEDController)()._chain_port(call_port=7), 7)
        self.assertEqual(controller()()._chain_port(port_num=70), 6)
        with_wide_chain = controller(ports_per_chain=2.5)()
        self.assertEqual(with_wide_chain._chain_port(4), 1.5)

    def test_two_configures(self):
        ctrl = controller(num_leds=2)()
        ctrl.configure(0, [])
        ctrl.configure(1, [FakePort(1, claims={0: {0: 0}})])
        self.assertEqual(glimra.BCMLEDController.call_list, {0: [(1, 2)], 1: [(0, 1), (1, 1)]})
        self.assertEqual(ctrl.set_calls, pads(1, 2) + pads(0, 1) + pads(1, 1))

    def test_pad_and_port_call_directly(self):
        ctrl = controller()()
        for args in ((0, 0, True), (1, 0, False)):
            ctrl._led_pad_call(*args)
        ctrl._led_port_call(port_call('x', 1), 0)
        ctrl._led_port_call('not a call', 0)
        self.assertEqual((ctrl.set_calls, ctrl.set_functions), ([], set()))
        ctrl._led_pad_call(value=1.0, length=2, emit_loop=[0])
        ctrl._led_pad_call(False, 1, '')
        self.assertEqual(ctrl.set_calls, pad_loop(1, 2) + pads(0, 1))
        self.assertEqual(ctrl.set_functions, set([ctrl.pad_n_one, ctrl.pad_zero]))

    def test_run_lengths_as_range_takes_them(self):
        for length in range_counts():
            ctrl = controller()()
            try:
                times = len(range(length))
            except (TypeError, OverflowError) as e:
                for call in (lambda: ctrl._led_pad_call(0, length, False),
                             lambda: ctrl._led_port_call(port_call('x', 3), length)):
                    with self.assertRaises(type(e)) as cm:
                        call()
                    self.assertEqual(str(cm.exception), str(e), repr(length))
                continue
            ctrl._led_pad_call(0, length, False)
            ctrl._led_port_call(port_call('x', 3), length)
            self.assertEqual(ctrl.set_calls, pads(0, times) + loaded(3, 'x') * times, repr(length))


class ConfigureFailureTest(GlimraCase):
    def assertFails(self, exc, ctrl, ports, message=None):
        try:
            ctrl.configure(0, ports)
        except exc as e:
            if message is not None:
                self.assertEqual(str(e), message)
            return
        self.fail('no %s' % exc.__name__)

    def test_nothing_stored_before_the_runs(self):
        def raising(led_port, sub, led_index_list):
            raise KeyError('from the port')

        for ctrl, ports, exc in (
                (controller(num_leds=None)(), [], TypeError),
                (controller(num_leds='8')(), [], TypeError),
                (controller()(), [FakePort(1, leds=None)], TypeError),
                (controller()(), [FakePort(1, leds=(0,))], IndexError),
                (controller()(), [FakePort(1, claims=raising)], KeyError),
                (controller()(), [FakePort(1, logical=None)], TypeError),
                (controller()(), [FakePort(1, claims=lambda *a: [1, 2])], TypeError),
                (controller()(), 5, TypeError)):
            self.assertFails(exc, ctrl, ports)
            self.assertEqual(glimra.BCMLEDController.call_list, {})
            self.assertEqual((ctrl.set_calls, ctrl.set_functions), ([], set()))

    def test_bad_claims(self):
        """A claim that is no call form fails at its run; the runs are stored
        and the lines of earlier runs stay."""
        for claim, exc, message in (
                (('a', 'b'), ValueError, 'need more than 2 values to unpack'),
                (('a', 'b', 'c', 'd'), ValueError, 'too many values to unpack'),
                (7, TypeError, "'int' object is not iterable"),
                (2, TypeError, "'int' object is not iterable")):
            glimra.BCMLEDController.call_list.clear()
            ctrl = controller(num_leds=2)()
            self.assertFails(exc, ctrl, [FakePort(1, claims={0: {1: claim}})], message)
            self.assertEqual(glimra.BCMLEDController.call_list, {0: [(1, 1), (claim, 1)]})
            self.assertEqual(ctrl.set_calls, pads(1, 1))

    def test_no_chain_length(self):
        for per_chain, exc in ((None, TypeError), (0, ZeroDivisionError)):
            ctrl = controller(glimra.BCMLEDController, ports_per_chain=per_chain, num_leds=1)()
            self.assertFails(exc, ctrl, [FakePort(1, claims={0: {0: port_call('x', 3)}})])
            self.assertEqual(ctrl.set_functions, set([routine_as('x')]))

    def test_bad_pad_value(self):
        ctrl = controller()()
        for value, text in ((2, '2'), ((0, 1), '(0, 1)'), (None, 'None')):
            with self.assertRaises(RuntimeError) as cm:
                ctrl._led_pad_call(value, 1, False)
            self.assertEqual(str(cm.exception), 'bad pad value: %s' % text)


if __name__ == '__main__':
    import unittest
    unittest.main()
