"""The mode grammar: the mode check, speeds and lanes, shorthand completion,
and the configuration queries (configurable, port_mangler, MAC demand)."""
import unittest

import brontile
from portkit import QuadPort, make_port, raised


def port_type(modes, speeds=None, base=brontile.BCMPort):
    return type('Typed', (base,), {'modes': modes, '_speed_map': speeds or {}})


class ModeCheckTest(unittest.TestCase):
    def test_valid_mode_passes_on_class_and_object(self):
        cls = port_type(('40G', '4x10G'))
        self.assertIsNone(cls._check_mode('40G'))
        self.assertIsNone(make_port(cls)._check_mode('4x10G'))

    def test_refusal_lists_shorthands_then_modes(self):
        cases = [
            (('40G', '4x10G'), '100G', "['1x', '4x', '/1', '40G', '4x10G']"),
            (('40G', '4x10G'), '40g', "['1x', '4x', '/1', '40G', '4x10G']"),
            (('40G', '4x10G'), '4x', "['1x', '4x', '/1', '40G', '4x10G']"),
            (('25G', '10G', '100G/4', '40G/4'), '50G', "['1x', '/4', '/1', '25G', '10G', '100G/4', '40G/4']"),
            (('40G/4', '100G', '2x50G', '4x25G'), '1G',
             "['1x', '/4', '2x', '4x', '/1', '40G/4', '100G', '2x50G', '4x25G']"),
            (['10G', '8x1G', '20G/2', '80G/8'], '1G',
             "['1x', '/1', '8x', '/2', '/8', '10G', '8x1G', '20G/2', '80G/8']"),
            (('10G',), '1G', "['10G']"),
            ((), '10G', '[]'),
        ]
        for modes, mode, listed in cases:
            e = raised(lambda: port_type(modes)._check_mode(mode))
            what = '%r in %r' % (mode, modes)
            self.assertIs(type(e), brontile.NoSuchMode, what)
            self.assertTrue(isinstance(e, RuntimeError), what)
            self.assertEqual(e.args, ('error: mode not found: %s, must be one of: %s' % (mode, listed),), what)

    def test_check_reads_the_class_not_the_object(self):
        cls = port_type(('40G',))
        port = make_port(cls)
        port.modes = ('100G',)
        self.assertRaises(brontile.NoSuchMode, port._check_mode, '100G')
        self.assertIsNone(port._check_mode('40G'))


class SpeedTest(unittest.TestCase):
    SPEEDS = {'100G': 100, '40G': 40, '2x50G': 50, '2x20G': 20, '4x25G': 25, '4x10G': 10, '1G': 1,
              '2.5G': 2.5, '5G': 5, '13G': 13, '3.7G': 3.7, '200G': 200, '0G': 0}

    def setUp(self):
        self.cls = port_type(tuple(self.SPEEDS), self.SPEEDS)

    def test_speed_is_the_maps_entry(self):
        self.assertEqual(self.cls.speed('4x10G'), 10)
        self.assertIs(type(self.cls.speed('2.5G')), float)
        self.assertEqual(make_port(self.cls).speed('2.5G'), 2.5)
        self.assertRaises(brontile.NoSuchMode, self.cls.speed, '4x')

    def test_lanes_per_speed(self):
        lanes = {'100G': 4, '40G': 4, '2x50G': 2, '2x20G': 2, '4x25G': 1, '4x10G': 1, '1G': 1,
                 '2.5G': 1, '5G': 1, '13G': 1}
        for mode, expected in lanes.items():
            got = self.cls.num_lanes(mode)
            self.assertEqual(got, expected, mode)
            self.assertIs(type(got), int, mode)
        self.assertEqual(make_port(self.cls).num_lanes('2x50G'), 2)

    def test_other_speeds_are_refused(self):
        for mode, text in (('3.7G', 'invalid speed: 3'), ('200G', 'invalid speed: 200'), ('0G', 'invalid speed: 0')):
            e = raised(lambda: self.cls.num_lanes(mode))
            self.assertIs(type(e), RuntimeError, mode)
            self.assertEqual(e.args, (text,), mode)
        self.assertRaises(brontile.NoSuchMode, self.cls.num_lanes, '400G')

    def test_class_methods_ask_the_class(self):
        class OwnSpeed(brontile.BCMPort):
            @classmethod
            def speed(cls, mode):
                return 50

        class OwnCheck(brontile.BCMPort):
            _speed_map = {'any': 25}

            @classmethod
            def _check_mode(cls, mode):
                pass

        self.assertEqual(OwnSpeed.num_lanes('whatever'), 2)
        self.assertEqual(make_port(OwnSpeed).num_lanes('whatever'), 2)
        self.assertEqual(OwnCheck.speed('any'), 25)
        self.assertEqual(OwnCheck.num_lanes('any'), 1)
        self.assertRaises(KeyError, OwnCheck.speed, 'other')


class CompleteModeTest(unittest.TestCase):
    def test_shorthands_completed_from_the_cage(self):
        cases = [
            ('QSFP28', '1x', '100G'), ('QSFP28', '/1', '100G'), ('QSFP28', '2x', '2x50G'),
            ('QSFP28', '4x', '4x25G'), ('QSFP28', '8x', '8x12G'), ('QSFP28', '/2', '200G/2'),
            ('QSFP28', '/4', '400G/4'), ('QSFP28', '/8', '800G/8'),
            ('SFP+', '1x', '10G'), ('SFP+', '2x', '2x5G'), ('SFP+', '4x', '4x2G'), ('SFP+', '8x', '8x1G'),
            ('SFP+', '/2', '20G/2'), ('SFP+', '/4', '40G/4'),
            ('SFP28', '4x', '4x6G'), ('QSFP+', '4x', '4x10G'), ('QSFP+', '/4', '160G/4'),
            ('QSFP56', '2x', '2x200G'),
        ]
        for cage, mode, expected in cases:
            port = make_port(phy_layer=cage)
            self.assertEqual(port.complete_mode(port, mode), expected, (cage, mode))

    def test_other_modes_come_back_unchanged(self):
        for cage, mode in (('QSFP28', '40G'), ('QSFP28', '4X'), ('QSFP28', 'disable'), ('10GBaseT', '10G'),
                           (None, 'loopback'), (None, '4x4')):
            port = make_port(phy_layer=cage)
            self.assertIs(port.complete_mode(port, mode), mode, (cage, mode))

    def test_unknown_cage_raises_key_error(self):
        for cage, mode in (('10GBaseT', '4x'), ('1GBaseT', '1x'), (None, '/4')):
            port = make_port(phy_layer=cage)
            e = raised(lambda: port.complete_mode(port, mode))
            self.assertIs(type(e), KeyError, (cage, mode))
            self.assertEqual(e.args, (cage,), (cage, mode))

    def test_the_port_argument_decides(self):
        bound = make_port(phy_layer='QSFP28')
        other = make_port(phy_layer='SFP+')
        self.assertEqual(bound.complete_mode(other, '1x'), '10G')
        self.assertEqual(bound.complete_mode(self=other, mode='/4'), '40G/4')
        self.assertRaises(TypeError, bound.complete_mode, '1x')


class PortManglerTest(unittest.TestCase):
    def test_port_stands_for_itself(self):
        port = make_port()
        mode = '4x10G'
        result = port.port_mangler(mode)
        self.assertEqual(type(result), tuple)
        self.assertEqual(len(result), 1)
        self.assertIs(result[0][0], port)
        self.assertIs(result[0][1], mode)
        self.assertEqual(len(result[0]), 2)


class ConfigurableTest(unittest.TestCase):
    def test_disable_values(self):
        port = make_port(label='7')
        port.default_mode = '10G'
        fabric = make_port(type('Fabric', (brontile.BCMPort,), {'is_fabric': True}), label='7')
        fabric.default_mode = '10G'
        cases = [
            (port, {}, True),
            (port, {'7': 'DISABLED'}, False),
            (port, {'7': 'disable-me'}, False),
            (port, {'7': ' disable'}, True),
            (port, {'7': '4x10G'}, True),
            (port, {'7': 'loopback'}, True),
            (port, {'Fabric-7': 'disable'}, True),
            (fabric, {'7': 'disable'}, True),
            (fabric, {'Fabric-7': 'disable'}, False),
            (fabric, {}, True),
        ]
        for p, config_map, expected in cases:
            self.assertIs(p.configurable(config_map), expected, (p.is_fabric, config_map))

    def test_default_mode_decides_without_an_entry(self):
        port = make_port(label='1')
        self.assertRaises(AttributeError, port.configurable, {})
        port.default_mode = 'Disable'
        self.assertIs(port.configurable({}), False)
        self.assertIs(port.configurable({'1': '10G'}), True)


class MacContributionTest(unittest.TestCase):
    def test_contribution(self):
        def quad(label, **cls_attrs):
            cls = type('Quad', (QuadPort,), cls_attrs)
            return make_port(cls, label=label)

        cases = [
            ('configured', quad('1'), {}, 4),
            ('disabled', quad('1'), {'1': 'disable'}, 0),
            ('fabric', quad('1', is_fabric=True), {}, 0),
            ('fabric with interfaces', quad('1', is_fabric=True, create_fabric=True), {}, 4),
            ('disabled fabric', quad('1', is_fabric=True, create_fabric=True), {'Fabric-1': 'disable'}, 0),
        ]
        for what, port, config_map, expected in cases:
            port.default_mode = '100G'
            got = port.mac_addrs_contrib_total(config_map)
            self.assertEqual(got, expected, what)
            self.assertIs(type(got), int, what)

    def test_uncounted_ports_never_read_the_count(self):
        disabled = make_port(label='1')
        disabled.default_mode = 'disable'
        self.assertEqual(disabled.mac_addrs_contrib_total({}), 0)
        fabric = make_port(type('Fabric', (brontile.BCMPort,), {'is_fabric': True}), label='1')
        fabric.default_mode = '10G'
        self.assertEqual(fabric.mac_addrs_contrib_total({}), 0)

    def test_asks_the_port_types_answers(self):
        class Decided(QuadPort):
            max_logical_ports = 2

            def configurable(self, config_map):
                return config_map == 'yes'

        port = make_port(Decided)
        self.assertEqual(port.mac_addrs_contrib_total('yes'), 2)
        self.assertEqual(port.mac_addrs_contrib_total('no'), 0)


if __name__ == '__main__':
    unittest.main()
