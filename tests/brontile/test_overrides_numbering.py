"""Hardware port numbers, bitmaps and interface prefixes; Qumran interface
names; LED port numbers."""
import unittest

import brontile
from overkit import FAMILIES, Checker, lanes, port
from portkit import raised

NSM = brontile.NoSuchMode
BAD_PREFIX = (RuntimeError, 'bad interface prefix')

SERDES_LANE = FAMILIES['tomahawk'] + FAMILIES['tridentthree'] + FAMILIES['maverick'] + FAMILIES['qumran']
SPEED_PREFIX = FAMILIES['tomahawk'] + FAMILIES['tridentthree'] + FAMILIES['qumran']

# Hurricane2 speed classes: (interface name, hardware port number or error)
HURRICANE2 = [('ge5', 7), ('ge0', 2), ('xe1', 27), ('xe2', 28), ('hg0', 28), ('xe3', 29), ('hg1', 29),
              ('ce0', BAD_PREFIX), ('hgx', ValueError)]

# LED rules: rule -> (classes, mode, hardware interface numbers -> LED port numbers)
FOLDS = {
    'Tomahawk fold': (('Tomahawk25GPort', 'TomahawkMgmt10GPort'), '10G', 'ce',
                      {0: 0, 31: 31, 32: 0, 95: 63, 96: 32, 127: 63, 128: 0, 129: 65, 130: 1, 131: 67}),
    '64-port fold': (('TomahawkTwo100GPort', 'TomahawkThree100GPort', 'Minipack100GPort'), '100G', 'ce',
                     {0: 0, 63: 63, 64: 0, 127: 63, 128: 0, 191: 63, 192: 0, 255: 63, 256: 64}),
    '36-port fold': (('Maverick10GPort', 'Maverick10GFabricPort', 'Qumran10GPort'), '10G', 'xe',
                     {0: 1, 35: 36, 36: 1, 71: 36, 72: 37, 73: 38}),
    'interface number': (('TridentThree25GPort', 'TridentThree10GPort', 'TridentThreeMGPort'), '10G', 'ce',
                         {0: 0, 63: 63, 131: 131}),
}


class HardwarePortTest(unittest.TestCase, Checker):
    def test_serdes_lane_families(self):
        for name in SERDES_LANE:
            p = port(name, ('ce68', 'xe69', 'ce7', 'ce100'))
            # The lane itself, whatever the mode (not even a mode of the class).
            for mode in ('100G', 'junk'):
                self.assertEqual([p.hw_port_num(mode, s) for s in range(4)], [68, 69, 7, 100], name)
            self.check_answer(lambda: p.hw_port_num('100G', 4), IndexError, name)
            self.check_answer(lambda: port(name, ('cex',)).hw_port_num('100G', 0), ValueError, name)
            self.check_answer(lambda: p.hw_port_num(mode='100G', sub=0), 68, name)
            self.assertRaises(TypeError, p.hw_port_num, '100G')

    def test_tomahawk_100g(self):
        p = port('Tomahawk100GPort', lanes('ce', 68))
        self.assertEqual((p.hw_intf_prefix('100G', 0), p.hw_port_num('100G', 0)), ('ce', 68))
        self.assertEqual([p.hw_intf_prefix('4x25G', s) for s in range(4)], ['xe'] * 4)
        self.assertEqual([p.hw_port_num('4x25G', s) for s in range(4)], [68, 69, 70, 71])
        self.assertEqual((p.hw_port_num('2x50G', 1), p.hw_intf_num('2x50G', 1)), (69, 70))
        self.assertEqual((p.hw_intf('100G', 0), p.hw_intf('2x50G', 1)), ('ce68', 'xe70'))
        for mode in ('100G', '4x25G'):
            self.assertRaises(KeyError, p.hw_pbmp, mode, 0)

    def test_speed_prefix(self):
        for name in SPEED_PREFIX:
            p = port(name, ('ge0',))
            for mode, prefix in (('100G', 'ce'), ('100G/4', 'ce'), ('4x25G', 'xe'), ('2x50G', 'xe'),
                                 ('1G', 'xe'), ('40G/4', 'xe'), ('25G', 'xe'), ('junk', 'xe'), (None, 'xe')):
                self.assertEqual(p.hw_intf_prefix(mode, 9), prefix, (name, mode))
        for name in FAMILIES['maverick']:
            p = port(name, ('ce0',))
            for mode, prefix in (('100G', 'ce'), ('100G/4', 'ce'), ('1G', 'ge'), ('4x1G', 'xe'), ('10G', 'xe'),
                                 ('40G/4', 'xe'), ('40G', 'xe')):
                self.assertEqual(p.hw_intf_prefix(mode, 9), prefix, (name, mode))

    def test_maverick_10g(self):
        p = port('Maverick10GPort', ('xe40',))
        self.assertEqual([p.hw_intf_prefix(m, 0) for m in ('1G', '10G', '40G/4')], ['ge', 'xe', 'xe'])
        self.assertEqual((p.hw_port_num('10G', 0), p.hw_pbmp('10G', 0)), (40, 1 << 41))
        self.assertEqual(p.hw_intf('1G', 0), 'ge40')

    def test_generic_families(self):
        p = port('TridentTwo40GPort', lanes('hg', 8))
        self.assertEqual((p.hw_port_num('40G', 0), p.hw_pbmp('40G', 0), p.hw_intf_prefix('40G', 0)), (9, 512, 'hg'))
        p = port('Helix41GPort', ('ge5',))
        self.assertEqual((p.hw_port_num('1G', 0), p.hw_pbmp('1G', 0), p.hw_intf_prefix('1G', 0)), (6, 64, 'ge'))
        self.assertEqual(port('Helix410GPort', ('hg2',)).hw_port_num('10G', 0), 52)

    def test_hurricane2_offsets(self):
        for name in FAMILIES['hurricane2'][1:]:
            for intf, expected in HURRICANE2:
                p = port(name, (intf,))
                self.check_answer(lambda: p.hw_port_num('any', 0), expected, (name, intf))
                pbmp = 1 << expected if isinstance(expected, int) else expected
                self.check_answer(lambda: p.hw_pbmp('any', 0), pbmp, (name, intf))
                self.assertEqual(p.hw_intf_prefix('any', 0), intf[:2])
        e = raised(lambda: port('Hurricane2Port', ('ge5',)).hw_port_num('1G', 0))
        self.assertIs(type(e), NotImplementedError)

    def test_hurricane2_asks_the_object(self):
        class Shifted(brontile.Hurricane21GPort):
            def hw_intf_num(self, mode, sub):
                return 10

        p = port(Shifted, ('xe1',))
        self.assertEqual((p.hw_port_num('1G', 0), p.hw_pbmp('1G', 0)), (36, 1 << 36))

        class Numbered(brontile.Hurricane21GPort):
            def hw_port_num(self, mode, sub):
                return 70

        self.assertEqual(port(Numbered, ('xe1',)).hw_pbmp('1G', 0), 1 << 70)


class QumranNameTest(unittest.TestCase, Checker):
    CASES = [
        ('Qumran100GPort', lanes('xe', 8), [
            ('100G', 0, 'CGE2'), ('40G', 0, 'XLGE2'), ('2x40G', 0, 'XLGE2'), ('2x40G', 1, 'XLGE2'),
            ('4x10G', 0, '10GBase-R8'), ('4x10G', 1, '10GBase-R9'), ('4x10G', 2, '10GBase-R10'),
            ('4x10G', 3, '10GBase-R11'),
            ('50G', 0, KeyError), ('2x50G', 0, KeyError), ('4x25G', 0, KeyError), ('50G', 9, KeyError),
            ('2x20G', 0, NSM), ('junk', 9, NSM), ('4x10G', 4, IndexError)]),
        ('Qumran100GPort', lanes('xe', 0), [('100G', 0, 'CGE0')]),
        ('Qumran40GPort', lanes('xe', 4), [('40G', 0, 'XLGE1'), ('4x10G', 2, '10GBase-R6'), ('100G', 0, NSM)]),
        ('Qumran10GPort', ('xe13',), [('10G', 0, '10GBase-R13'), ('1G', 0, 'SGMII13'), ('40G/4', 0, 'XLGE3')]),
        ('Qumran10GPort', ('xe12',), [('40G/4', 0, 'XLGE3')]),
        ('Qumran10GPort', ('xeq',), [('10G', 0, ValueError)]),
    ]

    def test_names(self):
        for name, hw_ports, cases in self.CASES:
            p = port(name, hw_ports, dnx=True)
            for mode, sub, expected in cases:
                self.check_answer(lambda: p.if_name_get(mode, sub), expected, (name, mode, sub))
        e = raised(lambda: port('Qumran100GPort', lanes('xe', 0)).if_name_get('4x25G', 0))
        self.assertEqual(e.args, (25,))
        p = port('Qumran10GPort', ('xe13',))
        self.assertEqual(p.if_name_get(mode='1G', sub=0), 'SGMII13')
        self.assertRaises(TypeError, p.if_name_get, '1G')

    def test_only_the_speed_classes(self):
        for name in ('QumranPort', 'MaverickPort', 'Tomahawk100GPort'):
            self.assertFalse(hasattr(getattr(brontile, name), 'if_name_get'), name)

    def test_asks_the_object(self):
        class Named(brontile.Qumran100GPort):
            _ifname_map = {25: 'TWFGE'}

            def hw_port_num(self, mode, sub):
                return 41

        self.assertEqual(port(Named, lanes('xe', 0)).if_name_get('4x25G', 0), 'TWFGE41')


class LedPortTest(unittest.TestCase, Checker):
    def test_folds(self):
        for rule, (classes, mode, prefix, table) in sorted(FOLDS.items()):
            for name in classes:
                cls = getattr(brontile, name)
                mode_here = mode if mode in cls.modes else cls.default_mode
                for n, expected in sorted(table.items()):
                    p = port(cls, (prefix + str(n),))
                    self.check_answer(lambda: p.led_port_num(mode_here, 0), expected, (rule, name, n))

    def test_sub_ports(self):
        p = port('Tomahawk100GPort', lanes('ce', 68))
        self.assertEqual((p.led_port_num('100G', 0), p.led_port_num('4x25G', 1), p.led_port_num('2x50G', 1)),
                         (36, 37, 38))
        self.assertEqual(port('TridentThree100GPort', lanes('ce', 4)).led_port_num('2x50G', 1), 6)
        # Trident keeps the generic rule: the bitmap position.
        self.assertEqual(port('Trident40GPort', lanes('hg', 8)).led_port_num('4x10G', 2), 11)

    def test_offsets(self):
        cases = [
            (FAMILIES['helix4'][1:], [('ge5', 6), ('hg2', 51), ('xe1', BAD_PREFIX), ('gex', ValueError)]),
            (FAMILIES['hurricane2'][1:], [('ge5', 7), ('xe1', 28), ('xe3', 32), ('hg0', BAD_PREFIX)]),
        ]
        for classes, table in cases:
            for name in classes:
                for intf, expected in table:
                    p = port(name, (intf,))
                    # Neither family checks the mode on this road.
                    self.check_answer(lambda: p.led_port_num('any text', 0), expected, (name, intf))

    def test_trident2_refuses(self):
        for name in FAMILIES['tridenttwo']:
            p = port(name, ())
            for mode in ('10G', 'junk', None):
                self.check_answer(lambda: p.led_port_num(mode, 5), (RuntimeError, 'Trident 2 LED port unknown'),
                                  (name, mode))
            self.assertRaises(TypeError, p.led_port_num, '10G')

    def test_errors_of_the_interface_number(self):
        self.check_answer(lambda: port('TomahawkMgmt10GPort', ('ce1',)).led_port_num('100G', 0), NSM, 'mode')
        self.check_answer(lambda: port('TomahawkPort', ('ce1',)).led_port_num('100G', 0), NotImplementedError,
                          'root')
        self.check_answer(lambda: port('Maverick100GPort', ('xe1',)).led_port_num('4x10G', 1), IndexError, 'sub')
        self.check_answer(lambda: port('Trident40GPort', ('hg99',)).led_port_num('40G', 0), KeyError, 'map')

    def test_asks_the_object(self):
        class Lane(brontile.TomahawkTwo100GPort):
            def hw_intf_num(self, mode, sub):
                return 200

        self.assertEqual(port(Lane, ()).led_port_num('whatever', 0), 8)


if __name__ == '__main__':
    unittest.main()
