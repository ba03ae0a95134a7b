"""Leak check of the generated tables: the port table with its reconciliation,
the PHY table and its read-back, the port script, the link defaults and the
small tables, on normal and error paths, many times in one process; reference
counts and resident memory must not grow."""
import errno
import gc
import os
import subprocess
import sys
import unittest

import lanquist
import zarnith.errors
from support import environ
from tabkit import PHYTAB, CPort, Machine, configured, small_platform, with_ports

SANITIZED = 'asan' in os.environ.get('LD_PRELOAD', '')


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
        platform = small_platform()
        platform.switch.ports[0].sfp = type('Sfp', (object,), {'type': 'QSFP', 'accessmethod': 'i2c-sdk',
                                                               'address': 80})()
        c = configured(platform)
        machine = Machine('# header\n0x1\tswp1s0\txe1\t4x10G\n0x4\tswp2\txe1\t4x25G\n')
        cm = machine.install(c)
        self.addCleanup(cm.__exit__, None, None, None)
        other = with_ports([CPort(['a'])], sw_base='other')
        qsim = with_ports([CPort(['a'], phy_addrs=[1], phy_init={'r': 1})], sw_base='qsim')
        names = ['xe%d' % n for n in (5, 1, 2, 3, 9, 10)]
        self.args = [platform, c, machine, other, qsim, names]

        def failing(fail):
            def render():
                machine.fail = fail
                try:
                    expect(subprocess.CalledProcessError, getattr, c, 'porttab')
                finally:
                    machine.fail = None
            return render

        def short_phytab():
            good, machine.phytab = machine.phytab, '0x1\tswp1'
            try:
                expect(IndexError, getattr, c, 'porttab')
            finally:
                machine.phytab = good

        cases = [
            ('porttab', lambda: c.output('porttab')),
            ('porttab removal fails', failing(('ip', 'link', 'del'))),
            ('porttab creation fails', failing(('drovik', 'add'))),
            ('porttab short phytab', short_phytab),
            ('porttab unsupported', lambda: expect(zarnith.errors.UnsupportedPlatformError, getattr, other, 'porttab')),
            ('phytab', lambda: c.output('phytab')),
            ('rcports', lambda: c.output('rcports_0')),
            ('compress', lambda: c._compress_portlist(names)),
            ('compress bad', lambda: expect(ValueError, c._compress_portlist, ['xe1', 'xex'])),
            ('linkdefaults', lambda: c.output('linkdefaults')),
            ('linkdefaults qsim', lambda: qsim.linkdefaults),
            ('rcphy', lambda: qsim.rcphy),
            ('ethertab', lambda: c.output('ethertab')),
            ('sfptab', lambda: c.output('sfptab')),
        ]

        def round_(n):
            with environ(DROVIK_USE_TUNTAP=None):
                for _ in xrange(n):
                    for _name, fn in cases:
                        fn()
                    del machine.log[:]
                # Tap mode starts from no interfaces and leaves none.
                for name in list(machine.links):
                    machine.remove(name)
                with environ(DROVIK_USE_TUNTAP='1'):
                    for _ in xrange(n // 10):
                        c.porttab
                        del machine.log[:]
                for name in list(machine.links):
                    machine.remove(name)
        round_(100)
        gc.collect()
        counts = [sys.getrefcount(a) for a in self.args]
        rss = resident_kb()
        round_(3000)
        gc.collect()
        grown = resident_kb() - rss
        self.assertEqual([sys.getrefcount(a) for a in self.args], counts, 'argument reference counts')
        if not SANITIZED:
            self.assertLess(grown, 1024, 'resident memory grew by %d KiB' % grown)


if __name__ == '__main__':
    unittest.main()
