"""Port counts: logical and physical ports per mode, the most a port yields,
gang leaders, and the speed of the two 1G classes."""
import unittest

import brontile
from overkit import EIGHT, ROOTS, Checker, lanes, port
from portkit import raised

NSM = brontile.NoSuchMode

# rule: (classes, hw_ports, [(mode, logical count or error)]); the physical
# count of these classes is the logical one.
COUNT_RULES = {
    'fixed one': (
        ('Helix41GPort', 'Hurricane21GPort', 'Helix410GPort', 'Hurricane210GPort', 'Hurricane213GPort',
         'Hurricane213GFabricPort'),
        ('ge1',),
        [('1G', 1), ('10G', 1), ('13G', 1), ('40G', 1), ('not a mode', 1), (None, 1)]),
    'one after the check': (
        ('TomahawkMgmt10GPort',), ('ce1',),
        [('10G', 1), ('100G', NSM), ('1x', NSM), (None, NSM)]),
    'breakout digit, all eight': (
        ('TridentThree100GPort', 'Tomahawk100GPort', 'Tomahawk100GFabricPort', 'Maverick100GPort'),
        lanes('ce', 68),
        [('100G', 1), ('40G', 1), ('50G', 1), ('2x50G', 2), ('2x40G', 2), ('2x20G', 2), ('4x25G', 4),
         ('4x10G', 4), ('4x', NSM), ('/4', NSM), ('4x1G', NSM)]),
    'breakout digit, no 2x40G': (
        ('TomahawkTwo100GPort',), lanes('ce', 0),
        [('100G', 1), ('2x50G', 2), ('2x20G', 2), ('4x25G', 4), ('2x40G', NSM)]),
    'breakout digit, no 2x20G': (
        ('Qumran100GPort',), lanes('xe', 0),
        [('100G', 1), ('2x40G', 2), ('4x10G', 4), ('2x20G', NSM)]),
    'breakout digit, 40G': (
        ('Qumran40GPort',), lanes('xe', 0),
        [('40G', 1), ('4x10G', 4), ('4x1G', NSM), ('100G', NSM)]),
    'breakout digit, 100G only': (
        ('TomahawkThree100GPort', 'Minipack100GPort'), lanes('ce', 0),
        [('100G', 1), ('4x25G', NSM)]),
    '40G with 10G breakout': (
        ('Trident40GPort', 'TridentTwo40GPort'), lanes('hg', 8),
        [('40G', 1), ('4x10G', 4), ('4x1G', NSM), ('4x', NSM)]),
    '40G with 10G or 1G breakout': (
        ('TridentTwoPlus40GPort', 'Maverick40GPort', 'Maverick40GFabricPort'), lanes('xe', 8),
        [('40G', 1), ('4x10G', 4), ('4x1G', 4), ('10G', NSM)]),
    'multi-gigabit': (
        ('TridentThreeMGPort',), ('ce9',),
        [('10G', 1), ('5G', 1), ('2.5G', 1), ('1G', 1), ('25G', NSM)]),
}

MAX = [
    ('Helix41GPort', {}, 1), ('Hurricane21GPort', {}, 1), ('Helix410GPort', {}, 1), ('Hurricane210GPort', {}, 1),
    ('Hurricane213GPort', {}, 1), ('Hurricane213GFabricPort', {}, 1), ('TomahawkMgmt10GPort', {}, 1),
    ('Trident40GPort', {}, 4), ('TridentTwo40GPort', {}, 4), ('TridentTwoPlus40GPort', {}, 4),
    ('Maverick40GPort', {}, 4), ('Maverick40GFabricPort', {}, 1), ('TridentThree100GPort', {}, 4),
    ('Tomahawk100GPort', {}, 4), ('Maverick100GPort', {}, 4), ('Tomahawk100GFabricPort', {}, 1),
    ('Qumran100GPort', {}, 4), ('Qumran40GPort', {}, 4), ('TridentThreeMGPort', {}, 1),
    ('TomahawkTwo100GPort', {'adj_label': None}, 4), ('TomahawkTwo100GPort', {'adj_label': '5'}, 2),
    ('TomahawkTwo100GPort', {'adj_label': ''}, 2),
    ('TomahawkThree100GPort', {'hw_ports': ('ce0', 'ce1')}, 2),
    ('TomahawkThree100GPort', {'hw_ports': lanes('ce', 0)}, 4),
    ('TomahawkThree100GPort', {'hw_ports': None}, TypeError),
    ('Minipack100GPort', {'hw_ports': ('ce0', 'ce1')}, 1),
    # Gang-capable classes: one port at most.
    ('Trident10GPort', {}, 1), ('TridentTwo10GPort', {}, 1), ('TridentTwo10GFabricPort', {}, 1),
    ('TridentTwoPlus10GPort', {}, 1), ('TridentThree25GPort', {}, 1), ('TridentThree10GPort', {}, 1),
    ('Tomahawk25GPort', {}, 1), ('Maverick10GPort', {}, 1), ('Maverick10GFabricPort', {}, 1),
    ('Qumran10GPort', {}, 1),
]

# class: (interface prefix, single modes, gang modes)
GANG = {
    'Trident10GPort': ('hg', ('10G',), ('40G/4',)),
    'TridentTwo10GPort': ('hg', ('10G',), ('40G/4',)),
    'TridentTwo10GFabricPort': ('hg', ('10G',), ('40G/4',)),
    'TridentTwoPlus10GPort': ('hg', ('10G', '1G'), ('40G/4',)),
    'Maverick10GPort': ('xe', ('10G', '1G'), ('40G/4',)),
    'Maverick10GFabricPort': ('xe', ('10G', '1G'), ('40G/4',)),
    'Qumran10GPort': ('xe', ('10G', '1G'), ('40G/4',)),
    'TridentThree25GPort': ('ce', ('25G', '10G'), ('100G/4', '40G/4')),
    'Tomahawk25GPort': ('ce', ('25G', '10G'), ('100G/4', '40G/4')),
    'TridentThree10GPort': ('ce', ('10G', '1G'), ()),
}


class CountRulesTest(unittest.TestCase, Checker):
    def test_rules(self):
        for rule, (classes, hw_ports, cases) in sorted(COUNT_RULES.items()):
            for name in classes:
                p = port(name, hw_ports)
                for mode, expected in cases:
                    msg = (rule, name, mode)
                    self.check_answer(lambda: p.num_logical_ports(mode), expected, msg)
                    self.check_answer(lambda: p.num_physical_ports(mode), expected, msg)
                    self.check_answer(lambda: p.num_logical_ports(mode=mode), expected, msg)

    def test_mode_check_message(self):
        e = raised(lambda: port('TomahawkMgmt10GPort').num_logical_ports('100G'))
        self.assertEqual(str(e), "error: mode not found: 100G, must be one of: ['10G']")

    def test_argument_count(self):
        for name in ('Helix41GPort', 'Tomahawk100GPort', 'TridentThreeMGPort', 'Tomahawk25GPort'):
            p = port(name, ('ce0',))
            for method in (p.num_logical_ports, p.num_physical_ports):
                self.assertRaises(TypeError, method)
                self.assertRaises(TypeError, method, '10G', 0)
                self.assertRaises(TypeError, method, speed='10G')

    def test_family_roots_have_no_counts(self):
        for name in ROOTS:
            p = port(name, lanes('ce', 0))
            for call in (lambda: p.num_logical_ports('100G'), lambda: p.num_physical_ports('10G'),
                         lambda: p.max_logical_ports):
                e = raised(call)
                self.assertIs(type(e), NotImplementedError, name)
                self.assertEqual(e.args, (), name)

    def test_mode_check_asked_of_the_object(self):
        class Wider(brontile.Tomahawk100GPort):
            modes = list(EIGHT) + ['8x12G']

        self.assertEqual(port(Wider, lanes('ce', 0)).num_logical_ports('8x12G'), 8)


class MaxLogicalPortsTest(unittest.TestCase, Checker):
    def test_table(self):
        for name, fields, expected in MAX:
            fields = dict(fields)
            p = port(name, fields.pop('hw_ports', lanes('ce', 0)), **fields)
            self.check_answer(lambda: p.max_logical_ports, expected, (name, fields))

    def test_read_on_every_access(self):
        p = port('TomahawkThree100GPort', ('ce0',))
        self.assertEqual(p.max_logical_ports, 1)
        p.hw_ports = lanes('ce', 0, 8)
        self.assertEqual(p.max_logical_ports, 8)
        p = port('TomahawkTwo100GPort', lanes('ce', 0), adj_label=None)
        p.adj_label = '7'
        self.assertEqual(p.max_logical_ports, 2)
        # A fabric port's maximum stays while its count is the breakout's.
        p = port('Tomahawk100GFabricPort', lanes('ce', 0))
        self.assertEqual((p.num_logical_ports('4x25G'), p.max_logical_ports), (4, 1))

    def test_read_only(self):
        p = port('Tomahawk100GPort', lanes('ce', 0))
        self.assertRaises(AttributeError, setattr, p, 'max_logical_ports', 2)


class GangTest(unittest.TestCase, Checker):
    def test_leader_by_first_interface_number(self):
        for name, (prefix, singles, gangs) in sorted(GANG.items()):
            for number in (0, 16, 17, 18, 19, 100, 101, 131):
                p = port(name, (prefix + str(number), prefix + str(number + 1)))
                for mode in gangs:
                    counts = (p.num_logical_ports(mode), p.num_physical_ports(mode))
                    expected = (1, 4) if number % 4 == 0 else (0, 0)
                    self.assertEqual(counts, expected, (name, number, mode))
                    self.assertEqual(map(type, counts), [int, int], (name, number, mode))
                for mode in singles:
                    self.assertEqual((p.num_logical_ports(mode), p.num_physical_ports(mode)), (1, 1),
                                     (name, number, mode))

    def test_single_modes_never_read_the_interfaces(self):
        for name, (prefix, singles, gangs) in sorted(GANG.items()):
            for hw_ports in ((), ('xx?',), None):
                p = port(name, hw_ports)
                for mode in singles:
                    self.assertEqual((p.num_logical_ports(mode), p.num_physical_ports(mode)), (1, 1),
                                     (name, hw_ports, mode))

    def test_errors(self):
        for name, (prefix, singles, gangs) in sorted(GANG.items()):
            cases = [((), '/4', NSM), ((), '4x10G', NSM), ((), 'loopback', NSM), ((), None, NSM),
                     (('ce0',), 'disabled', NSM)]
            if gangs:
                cases += [((), gangs[0], IndexError), ((prefix + 'zz',), gangs[0], ValueError)]
            else:
                cases += [((prefix + '0',), '40G/4', NSM)]
            for hw_ports, mode, error in cases:
                p = port(name, hw_ports)
                for method in (p.num_logical_ports, p.num_physical_ports):
                    self.check_answer(lambda: method(mode), error, (name, hw_ports, mode))

    def test_gang_modes_asked_of_the_object(self):
        # A leader answers for itself whatever its neighbours do; which modes
        # gang is the class's (here a subclass's) own table.
        class NoGang(brontile.Tomahawk25GPort):
            gang_modes = ()

        p = port(NoGang, ('ce1',))
        self.assertEqual(p.num_physical_ports('100G/4'), 1)
        self.assertEqual(port('Tomahawk25GPort', ('ce1',)).num_physical_ports('100G/4'), 0)


class SpeedOfOneGigTest(unittest.TestCase):
    def test_class_and_object(self):
        for name in ('Helix41GPort', 'Hurricane21GPort'):
            cls = getattr(brontile, name)
            p = port(cls, ('ge0',))
            for answer in (cls.speed('1G'), cls.speed('25G'), p.speed('1G'), p.speed(mode=None)):
                self.assertEqual((answer, type(answer)), (1, int), name)
            # Lane counts go through the speed, on the class as on the object.
            self.assertEqual((cls.num_lanes('1G'), p.num_lanes('anything')), (1, 1), name)
            self.assertRaises(TypeError, p.speed)
            self.assertRaises(TypeError, cls.speed, '1G', 0)


if __name__ == '__main__':
    unittest.main()
