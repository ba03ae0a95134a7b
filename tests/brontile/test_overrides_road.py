"""Ports built by their own constructors answer by their family's rules."""
import unittest

import brontile
import zarnith.platforms
from support import Platform, patch


def forwarding(cls, label, serdes, **more):
    args = dict(label=label, serdes=serdes, phy_types=(None,) * len(serdes), phy_addrs=(None,) * len(serdes),
                leds=None, unit=0)
    args.update(more)
    return cls(**args)


class RoadTest(unittest.TestCase):
    def test_tomahawk_100g_in_four(self):
        p = forwarding(brontile.Tomahawk100GPort, '17', (68, 69, 70, 71), phy_layer='QSFP28', rx_polarity_flip=10)
        mode = '4x25G'
        self.assertEqual(p.num_logical_ports(mode), 4)
        subs = range(4)
        self.assertEqual([p.hw_intf_prefix(mode, s) for s in subs], ['xe'] * 4)
        self.assertEqual([p.hw_port_num(mode, s) for s in subs], [68, 69, 70, 71])
        self.assertEqual([p.hw_intf(mode, s) for s in subs], ['xe68', 'xe69', 'xe70', 'xe71'])
        self.assertEqual([p.logical_port_num(mode, s, 1) for s in subs], [72, 73, 74, 75])
        self.assertEqual([p.led_port_num(mode, s) for s in subs], [36, 37, 38, 39])
        self.assertEqual([p.rx_logical_polarity_flip(mode, s) for s in subs], [0, 1, 0, 1])
        self.assertEqual((p.max_logical_ports, p.an_c37(mode), p.set_fiber_pref), (4, None, False))

    def test_tomahawk2_neighbours(self):
        first = brontile.TomahawkTwo100GPort('1', '2', (0, 1, 2, 3), (None,), (None,), 'QSFP28', None, 0,
                                             blocked_adj_split=4)
        second = forwarding(brontile.TomahawkTwo100GPort, '2', (4, 5, 6, 7), phy_layer='QSFP28', adj_label=None)
        self.assertEqual((first.max_logical_ports, second.max_logical_ports), (2, 4))
        self.assertEqual((first.blocked_adj_split_num(), second.blocked_adj_split_num()), (4, 0))
        with patch(zarnith.platforms, 'probe', lambda: Platform([first, second])):
            self.assertEqual([first.logical_port_num('4x25G', s, 1) for s in range(4)], [1, 2, 3, 4])
            self.assertRaises(RuntimeError, second.logical_port_num, '4x25G', 2, 1)

    def test_fixed_phy_layers(self):
        p = brontile.TridentTwoPlus40GPort(label='3', serdes=(8, 9, 10, 11), phy_types=(None,), phy_addrs=(None,),
                                           leds=None, unit=0, prim_offset=None)
        self.assertEqual((p.an_c37('4x10G'), p.an_c73('4x10G'), p.set_fiber_pref), ('on', 'off', True))
        self.assertEqual((p.an_c37('4x1G'), p.polarity_flip_val('4x1G', 2, 4)), (None, 1))
        self.assertEqual(p.logical_port_num('4x10G', 3, 20), 23)
        self.assertRaises(RuntimeError, p.led_port_num, '40G', 0)

    def test_qumran_names(self):
        p = forwarding(brontile.Qumran10GPort, '9', (13,), phy_layer='SFP+')
        self.assertTrue(p.is_dnx())
        self.assertEqual([p.if_name_get(m, 0) for m in ('10G', '1G', '40G/4')], ['10GBase-R13', 'SGMII13', 'XLGE3'])
        self.assertEqual((p.num_logical_ports('40G/4'), p.led_port_num('10G', 0)), (0, 14))

    def test_single_interface_ports(self):
        p = brontile.Hurricane21GPort(label='1', hw_port='xe3', phy_type=None, phy_addr=None, phy_layer='RJ45',
                                      leds=None, prim_offset=None, unit=0)
        self.assertEqual((p.speed('1G'), p.num_lanes('1G'), p.hw_port_num('1G', 0), p.led_port_num('1G', 0)),
                         (1, 1, 29, 32))
        p = brontile.Trident10GPort(label='2', serdes=17, phy_type=None, phy_addr=None, phy_layer='SFP+', leds=None,
                                    unit=0)
        self.assertEqual((p.num_logical_ports('40G/4'), p.num_physical_ports('10G'), p.led_port_num('10G', 0)),
                         (0, 1, 18))


if __name__ == '__main__':
    unittest.main()
