"""SDKPort's numbering and per-lane queries."""
import unittest

import brontile
from portkit import QuadPort, make_port, raised


def quad(hw_ports=('ce0', 'ce1', 'ce2', 'ce3'), **fields):
    return make_port(QuadPort, hw_ports=hw_ports, **fields)


class InterfaceNumberTest(unittest.TestCase):
    def test_two_port_mode_starts_each_sub_port_on_a_lane_pair(self):
        port = quad(('ce0', 'xe1', 'ce2', 'xe3'))
        port.pbmp_map = {'ce0': 1, 'xe1': 2, 'ce2': 3, 'xe3': 4}
        self.assertEqual(port.hw_intf_num('2x50G', 0), 0)
        self.assertEqual(port.hw_intf_num('2x50G', 1), 2)
        self.assertEqual(port.hw_intf_num_portmap('2x50G', 1), 2)
        # Only the number doubles its lane index; the other queries read lane `sub`.
        self.assertEqual(port.hw_intf_prefix('2x50G', 1), 'xe')
        self.assertEqual(port.hw_intf('2x50G', 1), 'xe2')
        self.assertEqual(port.hw_port_num('2x50G', 1), 2)
        self.assertEqual(port.led_port_num('2x50G', 1), 2)
        self.assertEqual(port.hw_pbmp('2x50G', 1), 4)
        self.assertRaises(IndexError, port.hw_intf_num, '2x50G', 2)

    def test_other_modes_read_lane_sub(self):
        port = quad()
        for mode in ('4x25G', '100G'):
            got = port.hw_intf_num(mode, 3)
            self.assertEqual(got, 3, mode)
            self.assertIs(type(got), int, mode)
        self.assertRaises(brontile.NoSuchMode, port.hw_intf_num, '4x', 0)

    def test_number_is_int_of_the_tail(self):
        for name, expected in (('xe12', 12), ('ce0', 0), ('hg127', 127), ('ge5', 5)):
            port = quad((name,))
            self.assertEqual(port.hw_intf_num('4x25G', 0), expected, name)
        for name in ('xeab', 'xe', 'xe1a'):
            e = raised(lambda: quad((name,)).hw_intf_num('4x25G', 0))
            self.assertIs(type(e), ValueError, name)

    def test_base_number(self):
        cases = [
            (('ce0', 'ce1', 'ce2', 'ce3'), '100G', 0),
            (('ce7', 'ce4', 'ce5', 'ce6'), '100G', 4),
            (('ce7', 'ce4', 'ce5', 'ce6'), '2x50G', 4),
            (('ce10', 'ce9'), '100G', 9),
        ]
        for hw_ports, mode, expected in cases:
            port = quad(hw_ports)
            for sub in range(len(hw_ports)):
                self.assertEqual(port.base_hw_intf_num(mode, sub), expected, (hw_ports, mode, sub))
        # Lanes not more than ports: the sub-port's own number.
        port = quad(('ce7', 'ce4', 'ce5', 'ce6'))
        self.assertEqual([port.base_hw_intf_num('4x25G', s) for s in range(4)], [7, 4, 5, 6])
        self.assertEqual(quad(('xe9',)).base_hw_intf_num('4x25G', 0), 9)
        self.assertRaises(ValueError, quad(('ce1', 'cex')).base_hw_intf_num, '100G', 0)

    def test_interface_name(self):
        port = quad(('xe12', 'xe13'))
        self.assertEqual(port.hw_intf('4x25G', 0), 'xe12')

        class CePrefix(QuadPort):
            def hw_intf_prefix(self, mode, sub):
                return 'ce' if mode == '100G' else 'xe'

        port = make_port(CePrefix, hw_ports=('xe12',))
        self.assertEqual(port.hw_intf('100G', 0), 'ce12')
        self.assertEqual(port.hw_intf('4x25G', 0), 'xe12')


class OverridesTest(unittest.TestCase):
    """Answers built on other members use the port type's replacements."""

    def test_port_count_replacement(self):
        class Halves(QuadPort):
            def num_logical_ports(self, mode):
                return 2

        port = make_port(Halves, hw_ports=('ce0', 'ce1', 'ce2', 'ce3'))
        self.assertEqual([port.hw_intf_num('100G', s) for s in (0, 1)], [0, 2])
        self.assertEqual(port.hw_intf('100G', 1), 'ce2')
        self.assertEqual(port.base_hw_intf_num('100G', 1), 0)
        self.assertEqual(port.num_physical_ports('100G'), 2)

    def test_number_replacement(self):
        class Shifted(QuadPort):
            def hw_intf_num(self, mode, sub):
                return 100 + sub

        port = make_port(Shifted, hw_ports=('ce0', 'ce1', 'ce2', 'ce3'))
        self.assertEqual(port.hw_intf_num_portmap('4x25G', 3), 103)
        self.assertEqual(port.hw_intf('4x25G', 1), 'ce101')
        self.assertEqual(port.base_hw_intf_num('4x25G', 2), 102)
        self.assertEqual(port.base_hw_intf_num('100G', 2), 0)

    def test_polarity_wrappers_pass_the_stored_fields(self):
        rx, tx = object(), object()
        port = quad(rx_polarity_flip=rx, tx_polarity_flip=tx)
        mode, sub, stored = port.rx_logical_polarity_flip('4x25G', 2)
        self.assertEqual((mode, sub), ('4x25G', 2))
        self.assertIs(stored, rx)
        self.assertIs(port.tx_logical_polarity_flip(mode='4x25G', sub=1)[2], tx)


class BitmapTest(unittest.TestCase):
    def test_positions_and_wide_masks(self):
        names = ('xe0', 'xe1', 'xe2', 'xe3', 'xe4')
        positions = (1, 5, 63, 159, 200)
        port = quad(names)
        port.pbmp_map = dict(zip(names, positions))
        for sub, position in enumerate(positions):
            mask = port.hw_pbmp('100G', sub)
            self.assertEqual(mask, 1 << position, position)
            self.assertIs(type(mask), type(1 << position), position)
            self.assertIs(port.hw_port_num('100G', sub), port.pbmp_map[names[sub]])
            self.assertIs(port.led_port_num('100G', sub), port.pbmp_map[names[sub]])
        self.assertIs(type(port.hw_pbmp('100G', 1)), int)
        self.assertEqual(port.hw_pbmp('100G', 3), 730750818665451459101842416358141509827966271488)

    def test_missing_names_and_lanes(self):
        port = quad(('xe0', 'xe1'))
        port.pbmp_map = {'xe0': 1}
        cases = [
            ('not in map', lambda: port.hw_pbmp('100G', 1), KeyError),
            ('empty default map', lambda: quad().hw_port_num('100G', 0), KeyError),
            ('led, not in map', lambda: port.led_port_num('100G', 1), KeyError),
            ('past the lanes', lambda: port.hw_port_num('100G', 2), IndexError),
        ]
        for what, call, kind in cases:
            self.assertIs(type(raised(call)), kind, what)


class LaneQueriesTest(unittest.TestCase):
    def test_mac_index(self):
        port = quad()
        self.assertEqual(port.port_mac_index('100G', 40, 3), 43)
        self.assertEqual(port.port_mac_index(mode=None, mac_index=0, sub=0), 0)

    def test_num_phys(self):
        for addrs, expected in ((None, 0), ((None, None), 0), ((0, None, 7), 2), ([], 0), ([1, 2, 3], 3)):
            got = quad(phy_addrs=addrs).num_phys
            self.assertEqual(got, expected, addrs)
            self.assertIs(type(got), int, addrs)
        self.assertRaises(AttributeError, setattr, quad(), 'num_phys', 1)

    def test_phy_autodetect(self):
        port = quad(phy_types=('84328', '9999', 84328, '8727'))
        self.assertEqual([port.phy_autodetect('100G', s) for s in range(4)], [True, False, False, True])
        self.assertIs(port.phy_autodetect('100G', 0), True)
        self.assertIs(port.phy_autodetect('100G', 1), False)
        self.assertRaises(IndexError, port.phy_autodetect, '100G', 4)
        self.assertRaises(TypeError, quad().phy_autodetect, '100G', 0)

    def test_serdes_interface_type(self):
        fabric = quad()
        fabric._serdes_intf_map = {10: 'KR'}
        self.assertEqual(fabric.serdes_if_type(10), 'KR')
        self.assertEqual(fabric.serdes_if_type(10.0), 'KR')
        self.assertIsNone(fabric.serdes_if_type(40))
        self.assertIsNone(quad().serdes_if_type(10))

    def test_led_claims_are_fresh_mappings(self):
        port = quad()
        first = port.set_leds('100G', 1, 0, [3])
        second = port.set_leds(mode='100G', led_port=2, sub=0, led_index_list=[])
        self.assertEqual(first, {})
        self.assertIsNot(first, second)
        first[1] = 0
        self.assertEqual(second, {})
        self.assertEqual(port.set_leds('100G', 1, 0, [3]), {})

    def test_autonegotiation_defaults(self):
        port = quad()
        for arg in ('10G', 10, None):
            self.assertIsNone(port.an_c37(arg), arg)
            self.assertIsNone(port.an_c73(arg), arg)
        self.assertRaises(TypeError, port.an_c37)
        self.assertRaises(TypeError, port.an_c73, '10G', 0)

    def test_is_dnx(self):
        port = quad()
        self.assertIs(port.is_dnx(), False)
        port.dnx = True
        self.assertIs(port.is_dnx(), True)
        self.assertRaises(TypeError, port.is_dnx, 1)


if __name__ == '__main__':
    unittest.main()
