"""Leak check of the SDK configuration lines: every section of the
"portsbcm" text on real platforms, and the refusals and bad-input errors,
called many times in one process; reference counts and resident memory must
not grow."""
import gc
import os
import sys
import unittest

import brontile
import lanquist
import test_sdk_portsbcm_golden as golden

SANITIZED = 'asan' in os.environ.get('LD_PRELOAD', '')
SECTIONS = ('sdk_pbmp', 'dportmap', 'portmap', 'port_emphasis', 'port_init', 'fiber_pref', 'phys', 'phy_addrs',
            'phy_an', 'prim_offsets', 'phy_id1s', 'sys_interfaces')


def resident_kb():
    with open('/proc/self/statm') as f:
        return int(f.read().split()[1]) * os.sysconf('SC_PAGE_SIZE') // 1024


def expect(exc, fn, *args):
    try:
        fn(*args)
    except exc:
        return
    raise AssertionError('%s did not raise %s' % (fn, exc.__name__))


class LeakTest(unittest.TestCase):
    def test_no_growth(self):
        configs = [golden.configured(build) for _, build in golden.PLATFORMS]
        helix = configs[-1]
        short = brontile.Maverick100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None, leds=None,
                                          unit=0, pre_emphasis=[1, 2, 3])
        bad = lanquist.BCMConfig(golden.platform('bad', brontile.MaverickChip(), [short]), dummy=True)
        bad.config('1=40G\n')
        qumran = brontile.Qumran100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None, leds=None,
                                         unit=0)
        unnamed = lanquist.BCMConfig(golden.platform('bad', brontile.Qumran_88375_Chip(), [qumran]), dummy=True)
        unnamed.config('1=4x25G\n')
        self.args = configs + [bad, unnamed, short, qumran]
        cases = [('portsbcm', lambda: [c.output('portsbcm') for c in configs]),
                 ('sections', lambda: [getattr(configs[0], name) for name in SECTIONS]),
                 ('uncapable', lambda: helix.portmap_uncapable_config),
                 ('refused portmap', lambda: expect(RuntimeError, getattr, helix, 'portmap')),
                 ('refused dportmap', lambda: expect(RuntimeError, getattr, helix, 'dportmap')),
                 ('refused uncapable', lambda: expect(RuntimeError, getattr, configs[0], 'portmap_uncapable_config')),
                 ('short emphasis', lambda: expect(IndexError, bad.output, 'portsbcm')),
                 ('no interface name', lambda: expect(KeyError, unnamed.output, 'portsbcm'))]

        def round_(n):
            for _ in xrange(n):
                for _name, fn in cases:
                    fn()
        round_(100)
        gc.collect()
        counts = [sys.getrefcount(a) for a in self.args]
        rss = resident_kb()
        round_(1500)
        gc.collect()
        grown = resident_kb() - rss
        self.assertEqual([sys.getrefcount(a) for a in self.args], counts, 'argument reference counts')
        if not SANITIZED:
            self.assertLess(grown, 1024, 'resident memory grew by %d KiB' % grown)


if __name__ == '__main__':
    unittest.main()
