"""Lane polarity values: the flag, count, mode and list rules."""
import unittest

import brontile
from overkit import ROOTS, Checker, lanes, port
from portkit import raised

NSM = brontile.NoSuchMode

FLAG = ('Helix410GPort', 'Hurricane210GPort', 'Trident10GPort', 'TridentTwo10GPort', 'TridentTwo10GFabricPort',
        'TridentTwoPlus10GPort', 'TridentThree25GPort', 'TridentThree10GPort', 'TridentThreeMGPort',
        'Tomahawk25GPort', 'Maverick10GPort', 'Maverick10GFabricPort', 'Qumran10GPort')
COUNT = ('TridentThree100GPort', 'Tomahawk100GPort', 'Tomahawk100GFabricPort', 'TomahawkTwo100GPort',
         'TomahawkThree100GPort', 'Minipack100GPort', 'Maverick100GPort', 'Qumran100GPort', 'Qumran40GPort')
MODE = ('TridentTwo40GPort', 'TridentTwoPlus40GPort', 'Maverick40GPort', 'Maverick40GFabricPort')
NO_RULE = ROOTS + ('Helix41GPort', 'Hurricane21GPort', 'Hurricane213GPort', 'Hurricane213GFabricPort',
                   'TomahawkMgmt10GPort')

# Count rule: (mode, value, answers for sub-ports 0, 1, ...); a class is asked
# only the modes it has.
COUNT_CASES = [
    ('4x25G', 10, [0, 1, 0, 1]),
    ('4x10G', 5, [1, 0, 1, 0]),
    ('4x25G', (1 << 70) | 2, [0, 1, 0, 0]),
    ('2x50G', 13, [1, 3]),
    ('2x40G', 6, [2, 1]),
    ('2x20G', 0xF0, [0, 0]),
    ('50G', 3, [3]),
    ('40G', 9, [9]),
    ('100G', 6, [6]),
]

# Mode rule: (classes, mode, value, answers per sub-port or an error)
MODE_CASES = [
    (MODE, '4x10G', 5, [1, 0, 1, 0]),
    (MODE, '40G', 4, [4]),
    (MODE, '40G', None, [None]),
    (MODE[1:], '4x1G', 4, [0, 0, 1, 0]),
    (MODE[:1], '4x1G', 4, NSM),
    (MODE, '4x10G', None, TypeError),
    (MODE, '10G', 1, NSM),
]

# List rule (Trident40GPort): (mode, flags, answers per sub-port or an error)
LIST_CASES = [
    ('40G', [True, False, False, False], [0x000F]),
    ('40G', [False, True, True, False], [0x0FF0]),
    ('40G', [True] * 4, [0xFFFF]),
    ('40G', (True, False), [0x000F]),
    ('40G', [], [0]),
    ('40G', [1, 0, 0, 0], [0]),
    ('40G', [True] * 20, [(1 << 80) - 1]),
    ('4x10G', [False, True, False, False], [0, 1, 0, 0]),
    ('4x10G', [True, 1, 'yes', None], [1, 0, 0, 0]),
    ('4x10G', [], IndexError),
    ('40G', None, TypeError),
    ('4x1G', [True] * 4, NSM),
    ('/4', [True] * 4, NSM),
]


class PolarityTest(unittest.TestCase, Checker):
    def check_subs(self, p, mode, value, expected, msg):
        if not isinstance(expected, list):
            self.check_answer(lambda: p.polarity_flip_val(mode, 0, value), expected, msg)
            return
        for sub, answer in enumerate(expected):
            self.check_answer(lambda: p.polarity_flip_val(mode, sub, value), answer, (msg, sub))

    def test_flag_rule(self):
        for name in FLAG:
            p = port(name, ('ce0',))
            for mode in type(p).modes:
                for sub in range(4):
                    self.check_answer(lambda: p.polarity_flip_val(mode, sub, True), 1, (name, mode, sub))
                    for value in (False, None, 1, [True], 'True'):
                        self.check_answer(lambda: p.polarity_flip_val(mode, sub, value), 0, (name, mode, value))
            self.check_answer(lambda: p.polarity_flip_val('4x10G', 0, True), NSM, name)
            self.check_answer(lambda: p.polarity_flip_val(mode='10G', sub=0, polarity_flip=True), 1, name)

    def test_count_rule(self):
        for name in COUNT:
            p = port(name, lanes('ce', 0))
            modes = type(p).modes
            for mode, value, expected in COUNT_CASES:
                if mode in modes:
                    self.check_subs(p, mode, value, expected, (name, mode, value))
            # The whole port gets the stored value itself.
            whole = type(p).default_mode
            marker = object()
            self.assertIs(p.polarity_flip_val(whole, 0, marker), marker, name)
            self.check_answer(lambda: p.polarity_flip_val('4x', 0, 1), NSM, name)
            self.check_answer(lambda: p.polarity_flip_val(whole, 0, polarity_flip_list=7), 7, name)
            self.assertRaises(TypeError, p.polarity_flip_val, whole, 0, polarity_flip=7)
        p = port('Tomahawk100GPort', lanes('ce', 0))
        self.check_answer(lambda: p.polarity_flip_val('4x25G', 0, None), TypeError, 'None in a breakout')
        self.check_answer(lambda: p.polarity_flip_val('2x50G', 0, [1]), TypeError, 'list in a breakout')

    def test_count_rule_asks_the_objects_count(self):
        class Counted(brontile.Tomahawk100GPort):
            asked = []

            def num_logical_ports(self, mode):
                self.asked.append(mode)
                return {'4x25G': 2, '100G': 4}.get(mode, 1)

        p = port(Counted, lanes('ce', 0))
        self.assertEqual(p.polarity_flip_val('4x25G', 1, 13), 3)
        # Not 4, then asked again before the two-port test.
        self.assertEqual(Counted.asked, ['4x25G', '4x25G'])
        self.assertEqual(p.polarity_flip_val('100G', 2, 4), 1)

    def test_mode_rule(self):
        for classes, mode, value, expected in MODE_CASES:
            for name in classes:
                self.check_subs(port(name, lanes('xe', 0)), mode, value, expected, (name, mode, value))
        marker = object()
        self.assertIs(port('Maverick40GPort').polarity_flip_val('40G', 0, marker), marker)

    def test_list_rule(self):
        p = port('Trident40GPort', lanes('hg', 0))
        for mode, flags, expected in LIST_CASES:
            self.check_subs(p, mode, flags, expected, (mode, flags))

    def test_no_rule(self):
        for name in NO_RULE:
            p = port(name, ('ce0',))
            for mode in (type(p).default_mode, 'junk'):
                e = raised(lambda: p.polarity_flip_val(mode, 0, True))
                self.assertIs(type(e), NotImplementedError, (name, mode))
                self.assertEqual(e.args, (), name)

    def test_argument_count(self):
        for name in ('Tomahawk25GPort', 'Tomahawk100GPort', 'Maverick40GPort', 'Trident40GPort'):
            p = port(name, lanes('ce', 0))
            self.assertRaises(TypeError, p.polarity_flip_val, '100G', 0)
            self.assertRaises(TypeError, p.polarity_flip_val, '100G', 0, 1, 2)

    def test_through_the_stored_values(self):
        p = port('Tomahawk100GPort', lanes('ce', 0), rx_polarity_flip=10, tx_polarity_flip=5)
        self.assertEqual([p.rx_logical_polarity_flip('4x25G', s) for s in range(4)], [0, 1, 0, 1])
        self.assertEqual([p.tx_logical_polarity_flip('4x25G', s) for s in range(4)], [1, 0, 1, 0])
        p = port('Trident10GPort', ('hg4',), rx_polarity_flip=True, tx_polarity_flip=False)
        self.assertEqual((p.rx_logical_polarity_flip('40G/4', 0), p.tx_logical_polarity_flip('40G/4', 0)), (1, 0))


if __name__ == '__main__':
    unittest.main()
