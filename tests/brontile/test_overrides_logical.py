"""Logical port numbering with a port base, and the Tomahawk2 port adjacency."""
import unittest

import brontile
import zarnith.platforms
from overkit import FAMILIES, Checker, lanes, port
from portkit import raised
from support import Platform, patch

NSM = brontile.NoSuchMode

SEQUENTIAL = ('TridentTwoPlusPort', 'TridentTwoPlus10GPort', 'TridentTwoPlus40GPort') + FAMILIES['qumran'] + \
    FAMILIES['maverick']
NO_RULE = FAMILIES['trident'] + FAMILIES['helix4'] + FAMILIES['hurricane2'] + \
    ('TridentTwoPort', 'TridentTwo10GPort', 'TridentTwo10GFabricPort', 'TridentTwo40GPort')

# rule -> (classes, mode, hardware number -> logical port number)
LANE_RULES = {
    'Trident3, gap above 64': (('TridentThree25GPort',), '25G', {0: 1, 63: 64, 64: 67, 127: 130}),
    'Trident3 100G': (('TridentThree100GPort',), '100G', {63: 64, 64: 67}),
    'Trident3, lane + 1': (('TridentThree10GPort', 'TridentThreeMGPort'), '10G', {0: 1, 63: 64, 64: 65, 127: 128}),
    'Tomahawk': (('Tomahawk100GPort', 'Tomahawk100GFabricPort', 'Tomahawk25GPort', 'TomahawkMgmt10GPort'), 'junk',
                 {0: 1, 31: 32, 32: 34, 63: 65, 64: 68, 95: 99, 96: 102, 127: 133, 128: 66, 129: 135, 130: 100}),
    'Tomahawk3': (('TomahawkThree100GPort', 'Minipack100GPort'), 'junk',
                  {0: 1, 30: 16, 31: 16, 32: 20, 64: 40, 128: 80, 255: 155}),
    'Tomahawk2, own sub-ports': (('TomahawkTwo100GPort',), 'junk',
                                 {0: 1, 60: 31, 64: 34, 128: 68, 192: 102, 252: 132}),
}


def th2(label, lane, **fields):
    fields.setdefault('adj_label', None)
    fields.setdefault('blocked_adj_split', None)
    return port('TomahawkTwo100GPort', ('ce%d' % lane, 'ce%d' % (lane + 100)), label=label, **fields)


class LaneRulesTest(unittest.TestCase, Checker):
    def test_sequential(self):
        for name in SEQUENTIAL:
            p = port(name, ())
            for mode in ('junk', None):
                self.check_answer(lambda: p.logical_port_num(mode, 2, 5), 7, (name, mode))
            self.check_answer(lambda: p.logical_port_num(mode='x', sub=0, port_base=1 << 64), 1 << 64, name)
            self.assertRaises(TypeError, p.logical_port_num, '10G', 0)

    def test_lane_rules(self):
        for rule, (classes, mode, table) in sorted(LANE_RULES.items()):
            for name in classes:
                for n, expected in sorted(table.items()):
                    p = port(name, ('ce%d' % n, 'ce999'))
                    for base in (1, 40):
                        self.check_answer(lambda: p.logical_port_num(mode, 0, base), expected, (rule, name, n))

    def test_trident3_checks_the_mode_through_the_count(self):
        self.check_answer(lambda: port('TridentThree10GPort', ('ce1',)).logical_port_num('40G/4', 0, 1), NSM, '')
        self.check_answer(lambda: port('TridentThree100GPort', lanes('ce', 4)).logical_port_num('2x50G', 1, 1), 7,
                          'first lane of the second pair')
        self.check_answer(lambda: port('TridentThreePort', ('ce1',)).logical_port_num('10G', 0, 1),
                          NotImplementedError, 'root')

    def test_errors(self):
        for name in ('Tomahawk100GPort', 'TomahawkThree100GPort', 'TridentThree25GPort'):
            mode = getattr(brontile, name).default_mode
            self.check_answer(lambda: port(name, ('ce1',)).logical_port_num(mode, 3, 1), IndexError, name)
            self.check_answer(lambda: port(name, ('cez',)).logical_port_num(mode, 0, 1), ValueError, name)

    def test_no_rule(self):
        for name in NO_RULE:
            e = raised(lambda: port(name, ('hg0',)).logical_port_num('10G', 0))
            self.assertIs(type(e), NotImplementedError, name)
            self.assertEqual(e.args, (), name)

    def test_asks_the_object(self):
        class Mapped(brontile.Tomahawk100GPort):
            def hw_port_num(self, mode, sub):
                return 64

        self.assertEqual(port(Mapped, ('ce0',)).logical_port_num('100G', 0, 1), 68)

        # Numbers other than plain ints keep the interpreter's arithmetic.
        class Wide(brontile.Tomahawk100GPort):
            lane = 1 << 70

            def hw_port_num(self, mode, sub):
                return self.lane

        for lane, expected in ((1 << 70, (1 << 70) + 6), (64L, 68L), (True, 2), (63.0, 65.0)):
            Wide.lane = lane
            got = port(Wide, ()).logical_port_num('100G', 0, 1)
            self.assertEqual((got, type(got)), (expected, type(expected)), lane)


class TomahawkTwoTest(unittest.TestCase, Checker):
    def setUp(self):
        self.ports = []
        self._patch = patch(zarnith.platforms, 'probe', lambda: Platform(self.ports))
        self._patch.__enter__()

    def tearDown(self):
        self._patch.__exit__(None, None, None)

    def test_own_pair_reads_sub_port_0(self):
        p = th2('5', 64)
        self.assertEqual([p.logical_port_num('4x25G', s, 9) for s in (0, 1)], [34, 35])
        for lane, pair in ((0, [1, 2]), (60, [31, 32]), (128, [68, 69]), (192, [102, 103]), (252, [132, 133])):
            p = th2('1', lane)
            self.assertEqual([p.logical_port_num('100G', s, 1) for s in (0, 1)], pair, lane)

    def test_upper_sub_ports_from_the_next_port(self):
        five, six, seven = th2('5', 64), th2('6', 68), th2('7', 72)
        self.ports[:] = [five, six, seven]
        self.assertEqual([five.logical_port_num('4x25G', s, 1) for s in range(4)], [34, 35, 36, 37])
        # Four and more go on down the line.
        self.assertEqual([five.logical_port_num('4x25G', s, 1) for s in (4, 5)], [38, 39])
        self.check_answer(lambda: seven.logical_port_num('4x25G', 2, 1),
                          (RuntimeError, 'adjacent port not found: 8'), 'last port')

    def test_next_label(self):
        self.ports[:] = [th2('8', 0), th2('10', 8)]
        self.assertEqual(th2('07', 4).logical_port_num('4x25G', 2, 1), 1)
        self.assertEqual(th2('9', 4).logical_port_num('4x25G', 3, 1), 6)
        self.check_answer(lambda: th2('abc', 4).logical_port_num('4x25G', 2, 1), ValueError, 'label')
        self.assertEqual(th2('abc', 4).logical_port_num('4x25G', 1, 1), 4)

    def test_port_base_and_mode_passed_on(self):
        seen = []

        class Recorder(brontile.TomahawkTwo100GPort):
            def logical_port_num(self, mode, sub, port_base):
                seen.append((mode, sub, port_base))
                return 77

        nxt = port(Recorder, ('ce4',), label='2')
        self.ports[:] = [nxt]
        self.assertEqual(th2('1', 0).logical_port_num('4x10G', 3, 'base'), 77)
        self.assertEqual(seen, [('4x10G', 1, 'base')])

    def test_find_port(self):
        fabric = port('Tomahawk100GFabricPort', ('ce0',), label='6')
        first, second = th2('6', 4), th2('6', 8)
        self.ports[:] = [th2('5', 0), fabric, first, second]
        p = th2('5', 0)
        self.assertIs(p.find_port('6'), first)
        self.assertIs(p.find_port(label='6'), first)
        self.assertIsNone(p.find_port('9'))
        self.assertIsNone(p.find_port(6))
        # The fabric port alone carries the label: no port, and no number.
        self.ports[:] = [fabric]
        self.assertIsNone(p.find_port('6'))
        self.check_answer(lambda: p.logical_port_num('4x25G', 2, 1), (RuntimeError, 'adjacent port not found: 6'), '')
        self.ports[:] = []
        self.assertIsNone(p.find_port('6'))
        self.assertRaises(TypeError, p.find_port)

    def test_platform_problems_pass_through(self):
        p = th2('5', 0)

        def broken():
            raise IOError('no platform')

        with patch(zarnith.platforms, 'probe', broken):
            self.assertRaises(IOError, p.find_port, '6')
            self.assertRaises(IOError, p.logical_port_num, '4x25G', 2, 1)
        with patch(zarnith.platforms, 'probe', lambda: object()):
            self.assertRaises(AttributeError, p.find_port, '6')
        # The package is looked up when the call is made.
        with patch(brontile, 'zarnith', None):
            self.assertRaises(AttributeError, p.find_port, '6')

    def test_delegation_that_never_ends_is_an_error(self):
        class Loop(brontile.TomahawkTwo100GPort):
            def find_port(self, label):
                return self

        p = port(Loop, ('ce0',), label='1')
        self.assertRaises(RuntimeError, p.logical_port_num, '4x25G', 10 ** 6, 1)

    def test_blocked_adj_split_num(self):
        for value, expected in ((None, 0), (4, 4), (2, 2)):
            self.assertEqual(th2('1', 0, blocked_adj_split=value).blocked_adj_split_num(), expected)
        self.assertRaises(TypeError, th2('1', 0).blocked_adj_split_num, 1)
        self.assertFalse(hasattr(brontile.TomahawkTwoPort, 'blocked_adj_split_num'))


if __name__ == '__main__':
    unittest.main()
