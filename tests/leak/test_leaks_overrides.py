"""Leak check of the per-family port rules: representative rules on their
normal and error paths, many times in one process; argument reference counts
and resident memory must not grow."""
import unittest

import brontile
import zarnith.platforms
from leakkit import check_no_growth, expect
from support import WIRING, Platform


def make(cls, label, hw_ports, **extra):
    args = dict.fromkeys(WIRING)
    args.update(label=label, hw_ports=hw_ports, phy_layer='QSFP28')
    obj = cls.__new__(cls)
    brontile.SDKPort.__init__(obj, **args)
    for k, v in extra.items():
        setattr(obj, k, v)
    return obj


class OverrideLeakTest(unittest.TestCase):
    def test_no_growth(self):
        th = make(brontile.Tomahawk100GPort, '1', ('ce68', 'ce69', 'ce70', 'ce71'))
        t2a = make(brontile.TomahawkTwo100GPort, '5', ('ce64', 'ce65'), adj_label=None, blocked_adj_split=None)
        t2b = make(brontile.TomahawkTwo100GPort, '6', ('ce68', 'ce69'), adj_label=None, blocked_adj_split=None)
        gang = make(brontile.Tomahawk25GPort, '2', ('ce100',))
        trident = make(brontile.Trident40GPort, '3', ('hg8', 'hg9', 'hg10', 'hg11'))
        qumran = make(brontile.Qumran100GPort, '4', ('xe8', 'xe9', 'xe10', 'xe11'))
        hurricane = make(brontile.Hurricane21GPort, '7', ('xe1',))
        bad_prefix = make(brontile.Hurricane21GPort, '9', ('ce0',))
        mav = make(brontile.Maverick10GPort, '8', ('xe40',))
        flags, mask, base = [True, False, True, False], (1 << 70) | 10, 1 << 64
        platform = Platform([t2a, t2b])
        old_probe = zarnith.platforms.probe
        zarnith.platforms.probe = lambda: platform
        self.addCleanup(setattr, zarnith.platforms, 'probe', old_probe)
        args = [th, t2a, t2b, gang, trident, qumran, hurricane, bad_prefix, mav, flags, mask, base, platform]
        cases = [
            lambda: th.num_logical_ports('4x25G'),
            lambda: th.polarity_flip_val('4x25G', 1, mask),
            lambda: th.polarity_flip_val('2x50G', 1, mask),
            lambda: th.polarity_flip_val('100G', 0, mask),
            lambda: th.led_port_num('2x50G', 1),
            lambda: th.logical_port_num('4x25G', 3, base),
            lambda: th.hw_intf_prefix('100G', 0),
            lambda: gang.num_physical_ports('100G/4'),
            lambda: trident.polarity_flip_val('40G', 0, flags),
            lambda: qumran.if_name_get('4x10G', 2),
            lambda: t2a.logical_port_num('4x25G', 3, base),
            lambda: t2a.max_logical_ports,
            lambda: t2a.blocked_adj_split_num(),
            lambda: mav.an_c37('10G'),
            lambda: mav.set_fiber_pref,
            lambda: hurricane.hw_pbmp('1G', 0),
            lambda: hurricane.led_port_num('1G', 0),
            lambda: expect(brontile.NoSuchMode, th.num_logical_ports, '4x'),
            lambda: expect(KeyError, qumran.if_name_get, '4x25G', 0),
            lambda: expect(RuntimeError, bad_prefix.led_port_num, '1G', 0),
            lambda: expect(RuntimeError, t2b.logical_port_num, '4x25G', 2, base),
            lambda: expect(TypeError, trident.polarity_flip_val, '40G', 0, None),
            lambda: expect(TypeError, th.polarity_flip_val, '40G', 0),
        ]
        check_no_growth(self, cases, args, 300, 5000)


if __name__ == '__main__':
    unittest.main()
