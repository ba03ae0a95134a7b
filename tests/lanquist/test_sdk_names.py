"""SDK and Linux names and numbers of a configured port, on plain, port-mapped
and direct-port classes."""
import unittest

import lanquist
from sdkportkit import QuadPort, Recorder, cport, gang_cage, make_port, quad, raised

SDKConfiguredPort = lanquist.SDKConfiguredPort
SDKConfiguredMappedPort = lanquist.SDKConfiguredMappedPort
BCMConfiguredMappedPort = lanquist.BCMConfiguredMappedPort
BCMConfiguredDportPort = lanquist.BCMConfiguredDportPort


def dport(physical_port, mode='100G', port_base=1, if_port_base=1):
    return BCMConfiguredDportPort(mode, physical_port, port_base, if_port_base, 0, False)


class Prefixed(QuadPort):
    def hw_intf_prefix(self, mode, sub):
        return self.prefix


class PrefixTest(unittest.TestCase):
    def test_only_hg_is_translated_unless_the_port_keeps_it(self):
        cases = (('hg', None, 'xe'), ('hg', True, 'hg'), ('hg', 1, 'xe'), ('hg', 'yes', 'xe'), ('hg', False, 'xe'),
                 ('ce', None, 'ce'), ('ge', None, 'ge'), ('xe', True, 'xe'), ('ce', True, 'ce'),
                 ('hgx', None, 'xe'), ('cexy', None, 'ce'), ('hgx', True, 'hg'), ('x', None, 'x'), ('', None, ''))
        port = make_port(Prefixed, hw_ports=('xe3',))
        c = cport(port)
        for prefix, keep, expected in cases:
            port.prefix, port.disable_prefix_xlate = prefix, keep
            self.assertEqual(c.sdk_intf_prefix(0), expected, (prefix, keep))
            self.assertEqual(c.sdk_intf(0), expected + '3', (prefix, keep))

    def test_generic_prefix_is_the_lanes_own(self):
        c = cport(quad(hw_ports=('hg0', 'ce1', 'ge2', 'xe3')), '4x25G')
        self.assertEqual([c.sdk_intf(s) for s in range(4)], ['xe0', 'ce1', 'ge2', 'xe3'])
        self.assertRaises(IndexError, c.sdk_intf_prefix, 4)

    def test_asks_the_platform_port_with_mode_and_sub(self):
        port = Recorder()
        c = cport(port, 'M')
        self.assertRaises(TypeError, c.sdk_intf_prefix, 2)  # the recorder answers no text
        self.assertEqual(port.last()[:2], ('hw_intf_prefix', ('M', 2)))


class NumberTest(unittest.TestCase):
    def test_numbers(self):
        c = cport(quad(hw_ports=('xe8', 'xe9', 'xe10', 'xe11')), '2x50G', port_base=9)
        self.assertEqual([c.sdk_intf_num(s) for s in (0, 1)], [8, 10])
        self.assertEqual([c.sdk_unit_intf_num(s) for s in (0, 1)], [8, 10])
        self.assertEqual([c.sdk_intf(s) for s in (0, 1)], ['xe8', 'xe10'])
        self.assertEqual(c.sdk_logical_port_num(2), 11)
        self.assertIs(type(c.sdk_logical_port_num(2)), int)

    def test_unsigned_format_of_numbers(self):
        class Numbered(SDKConfiguredPort):
            def sdk_intf_num(self, sub):
                return self.answer

        c = cport(quad(), cls=Numbered)
        for answer, expected in ((5.0, 'xe5'), (5.7, 'xe5'), (-3, 'xe-3'), (7L, 'xe7'), (1 << 70, 'xe%d' % (1 << 70))):
            c.answer = answer
            self.assertEqual(c.sdk_intf(0), expected, repr(answer))
        c.answer = '5'
        self.assertRaises(TypeError, c.sdk_intf, 0)

    def test_bitmap_is_the_platform_ports(self):
        pbmp_map = dict(('ce%d' % i, 157 + i) for i in range(4))
        c = cport(quad(hw_ports=('ce0', 'ce1', 'ce2', 'ce3')), '4x25G')
        c.physical_port.pbmp_map = pbmp_map
        self.assertEqual([c.sdk_pbmp(s) for s in range(4)], [1 << 157, 1 << 158, 1 << 159, 1 << 160])
        c.physical_port.pbmp_map = {'ce0': 3}
        self.assertEqual(c.sdk_pbmp(0), 8)
        self.assertIs(type(c.sdk_pbmp(0)), int)
        self.assertRaises(KeyError, c.sdk_pbmp, 1)
        port = Recorder()
        answer = cport(port, 'M').sdk_pbmp(3)
        self.assertEqual(port.last()[:2], ('hw_pbmp', ('M', 3)))
        self.assertIs(answer, port.last()[2])


class ConfigNameTest(unittest.TestCase):
    def test_unit_is_added_when_units_are_unknown_or_many(self):
        plain = cport(quad(unit=1, hw_ports=('xe5',)), port_base=17)
        mapped = cport(quad(unit=1, hw_ports=('xe5',)), port_base=17, cls=SDKConfiguredMappedPort)
        for num_units, plain_name, mapped_name in ((None, 'xe5.1', '17.1'), (1, 'xe5', '17'), (0, 'xe5', '17'),
                                                   (2, 'xe5.1', '17.1'), (3, 'xe5.1', '17.1'), (-1, 'xe5', '17')):
            self.assertEqual(plain.sdk_config_intf(0, num_units), plain_name, num_units)
            self.assertEqual(mapped.sdk_config_intf(0, num_units=num_units), mapped_name, num_units)
        self.assertEqual((plain.sdk_config_intf(0), mapped.sdk_config_intf(0)), ('xe5.1', '17.1'))

    def test_portmap_capable_is_read_through_the_object_for_truth(self):
        c = cport(quad(unit=0, hw_ports=('xe5',)), port_base=17)
        for capable, expected in ((1, '17'), ('yes', '17'), ('', 'xe5'), (None, 'xe5'), (0, 'xe5')):
            c.portmap_capable = capable
            self.assertEqual(c.sdk_config_intf(0, 1), expected, repr(capable))

    def test_unit_is_read_only_when_added(self):
        class NoUnit(QuadPort):
            @property
            def unit(self):
                raise LookupError('no unit')

            @unit.setter
            def unit(self, value):
                pass

        c = cport(make_port(NoUnit, hw_ports=('xe5',)))
        self.assertEqual(c.sdk_config_intf(0, 1), 'xe5')
        self.assertRaises(LookupError, c.sdk_config_intf, 0)
        for unit, expected in ((None, TypeError), ('0', TypeError)):
            self.assertRaises(expected, cport(quad(unit=unit)).sdk_config_intf, 0)
        self.assertEqual(cport(quad(unit=2.0)).sdk_config_intf(0), 'xe4.2')

    def test_logical_number_is_the_objects_own(self):
        class Logical(SDKConfiguredMappedPort):
            def sdk_logical_port_num(self, sub):
                return 'L%d' % sub

        c = cport(quad(), cls=Logical)
        self.assertEqual(c.sdk_config_intf(3), 'L3.0')


class LinuxNameTest(unittest.TestCase):
    def test_names(self):
        cases = (
            (quad(), '4x25G', ['swp5s0', 'swp5s1', 'swp5s2', 'swp5s3']),
            (quad(), '2x50G', ['swp5s0', 'swp5s1']),
            (quad(), '100G', ['swp5']),
            (quad(label='12'), '40G', ['swp12']),
        )
        for port, mode, names in cases:
            c = cport(port, mode)
            self.assertEqual([c.linux_port_name(s) for s in range(len(names))], names, mode)
            port.is_fabric = True
            self.assertEqual([c.linux_port_name(s) for s in range(len(names))],
                             [n.replace('swp', 'fp') for n in names], mode)

    def test_gangs_take_their_groups_name(self):
        for n, label in ((6, '7'), (4, '5')):
            c = cport(gang_cage(n, label=label), '40G/4')
            self.assertEqual(c.linux_port_name(0), 'swp5', label)

    def test_name_override_wins_everywhere(self):
        name = 'sw1p2'
        port = quad(hw_ports=('xe0',))
        port.name_override = name
        for mode in ('4x25G', '100G', 'bogus'):
            for sub in (0, 3, 'x'):
                self.assertIs(cport(port, mode).linux_port_name(sub), name, (mode, sub))

    def test_sub_formats_unsigned(self):
        c = cport(quad(), '4x25G')
        self.assertEqual((c.linux_port_name(2.0), c.linux_port_name(-1)), ('swp5s2', 'swp5s-1'))
        self.assertRaises(TypeError, c.linux_port_name, 'x')


class AutoTest(unittest.TestCase):
    def test_auto_neg(self):
        cases = ((None, '10GBaseT', True), (None, '1GBaseT', True), (None, u'1GBaseT', True),
                 (None, 'SFP+', False), (None, 'QSFP28', False), (None, '10GBASET', False), (None, None, False),
                 (False, '10GBaseT', False), (True, 'SFP+', True), (0, '1GBaseT', 0), ('on', None, 'on'))
        for pref, layer, expected in cases:
            port = quad(phy_layer=layer)
            port.autoneg_pref = pref
            value = cport(port).enable_auto_neg
            self.assertEqual(value, expected, (pref, layer))
            self.assertIs(type(value), type(expected), (pref, layer))

    def test_auto_fec(self):
        port = quad()
        c = cport(port)
        self.assertIs(c.enable_auto_fec, False)
        for pref in (True, False, 0, 'rs', object()):
            port.autofec_pref = pref
            self.assertIs(c.enable_auto_fec, pref, repr(pref))


class MappedTest(unittest.TestCase):
    def test_numbers_follow_port_base(self):
        for cls in (SDKConfiguredMappedPort, BCMConfiguredMappedPort):
            c = cport(quad(hw_ports=('xe40', 'xe41', 'xe42', 'xe43')), '4x25G', port_base=9, cls=cls)
            self.assertEqual([c.sdk_logical_port_num(s) for s in range(4)], [9, 10, 11, 12], cls)
            self.assertEqual([c.sdk_intf_num(s) for s in range(4)], [8, 9, 10, 11], cls)
            self.assertEqual([c.sdk_unit_intf_num(s) for s in range(4)], [8, 9, 10, 11], cls)
            self.assertEqual([c.sdk_pbmp(s) for s in range(4)], [0x200, 0x400, 0x800, 0x1000], cls)
            self.assertEqual([c.sdk_intf(s) for s in range(4)], ['xe8', 'xe9', 'xe10', 'xe11'], cls)
            self.assertEqual([c.sdk_config_intf(s, 1) for s in range(4)], ['9', '10', '11', '12'], cls)

    def test_first_port(self):
        c = cport(quad(hw_ports=('xe7',)), port_base=1, cls=SDKConfiguredMappedPort)
        self.assertEqual((c.sdk_logical_port_num(0), c.sdk_intf_num(0), c.sdk_intf(0), c.sdk_pbmp(0)),
                         (1, 0, 'xe0', 2))
        self.assertEqual((c.sdk_config_intf(0), c.sdk_config_intf(0, 1), c.sdk_config_intf(0, 2)),
                         ('1.0', '1', '1.0'))

    def test_same_lanes_different_bases(self):
        a = cport(quad(), port_base=1, cls=SDKConfiguredMappedPort)
        b = cport(quad(), port_base=5, cls=SDKConfiguredMappedPort)
        self.assertEqual((a.sdk_intf(0), a.sdk_pbmp(0)), ('xe0', 2))
        self.assertEqual((b.sdk_intf(0), b.sdk_pbmp(0)), ('xe4', 32))

    def test_wide_bitmaps(self):
        c = cport(quad(), port_base=159, cls=SDKConfiguredMappedPort)
        self.assertEqual([c.sdk_pbmp(s) for s in (0, 1)], [1 << 159, 1 << 160])
        self.assertIs(type(cport(quad(), port_base=3, cls=SDKConfiguredMappedPort).sdk_pbmp(0)), int)

    def test_bcm_mapped_constructor(self):
        port = quad()
        c = BCMConfiguredMappedPort(loopback=True, mac_index=4, port_base=2, physical_port=port, mode='100G')
        self.assertEqual((c.mode, c.port_base, c.mac_index, c.loopback, c.ganged_ports), ('100G', 2, 4, True, None))
        self.assertIs(c.physical_port, port)
        for args in ((), ('100G', port, 1, 0), ('100G', port, 1, 0, False, 1)):
            self.assertRaises(TypeError, BCMConfiguredMappedPort, *args)


class DportTest(unittest.TestCase):
    def test_numbers_from_the_port_type(self):
        c = dport(quad(hw_ports=('xe40', 'xe41', 'xe42', 'xe43')), '4x25G', port_base=9)
        self.assertEqual([c.sdk_logical_port_num(s) for s in range(4)], [9, 10, 11, 12])
        self.assertEqual([c.sdk_intf_num(s) for s in range(4)], [9, 10, 11, 12])
        self.assertEqual([c.sdk_unit_intf_num(s) for s in range(4)], [8, 9, 10, 11])
        self.assertEqual([c.sdk_pbmp(s) for s in range(4)], [0x200, 0x400, 0x800, 0x1000])
        self.assertEqual([c.sdk_intf(s) for s in range(4)], ['xe9', 'xe10', 'xe11', 'xe12'])
        self.assertEqual([c.sdk_config_intf(s, 1) for s in range(4)], ['9', '10', '11', '12'])

    def test_each_number_asks_the_port_anew(self):
        port = Recorder()
        c = dport(port, 'M', port_base=7)
        for name in ('sdk_logical_port_num', 'sdk_intf_num'):
            before = len(port.calls)
            first, second = getattr(c, name)(2), getattr(c, name)(2)
            self.assertEqual(len(port.calls), before + 2, name)
            self.assertEqual(port.calls[-1][:2], ('logical_port_num', ('M', 2, 7)), name)
            self.assertIs(second, port.calls[-1][2], name)
            self.assertIsNot(first, second, name)

    def test_unit_number_ignores_the_port_type(self):
        class Far(QuadPort):
            def logical_port_num(self, mode, sub, port_base=None):
                return 100 + sub

        c = dport(make_port(Far, hw_ports=('xe0',)), '4x25G', port_base=9, if_port_base=50)
        self.assertEqual([c.sdk_unit_intf_num(s) for s in range(2)], [8, 9])
        self.assertEqual([c.sdk_intf_num(s) for s in range(2)], [100, 101])
        self.assertEqual(c.sdk_pbmp(1), 1 << 101)

    def test_if_port_base_is_stored_and_changes_nothing(self):
        port, marker = quad(), object()
        a, b = dport(port, port_base=3, if_port_base=marker), dport(port, port_base=3, if_port_base=40)
        self.assertIs(a.if_port_base, marker)
        self.assertEqual(sorted(vars(a)), ['ganged_ports', 'if_port_base', 'loopback', 'mac_index', 'mode',
                                           'physical_port', 'port_base'])
        for name in ('sdk_logical_port_num', 'sdk_intf_num', 'sdk_unit_intf_num', 'sdk_pbmp', 'sdk_intf',
                     'sdk_config_intf', 'linux_port_name'):
            self.assertEqual(getattr(a, name)(0), getattr(b, name)(0), name)

    def test_constructor(self):
        port = quad()
        c = BCMConfiguredDportPort(if_port_base=5, loopback=False, mac_index=4, port_base=2, physical_port=port,
                                   mode='100G')
        self.assertEqual((c.mode, c.port_base, c.if_port_base, c.mac_index, c.loopback), ('100G', 2, 5, 4, False))
        for args in ((), ('100G', port, 1, 0, False), ('100G', port, 1, 1, 0, False, 9)):
            self.assertRaises(TypeError, BCMConfiguredDportPort, *args)

    def test_port_type_without_a_rule(self):
        c = dport(make_port(label='1', hw_ports=('xe0',), unit=0))
        for name in ('sdk_logical_port_num', 'sdk_intf_num', 'sdk_pbmp', 'sdk_intf', 'sdk_config_intf'):
            self.assertIs(type(raised(getattr(c, name), 0)), NotImplementedError, name)
        self.assertEqual(c.sdk_unit_intf_num(0), 0)

    def test_own_logical_number_feeds_the_bitmap(self):
        class Mine(BCMConfiguredDportPort):
            def sdk_logical_port_num(self, sub):
                return 159

        c = Mine('100G', quad(), 1, 1, 0, False)
        self.assertEqual(c.sdk_pbmp(0), 1 << 159)
        self.assertEqual(c.sdk_config_intf(0), '159.0')


if __name__ == '__main__':
    unittest.main()
