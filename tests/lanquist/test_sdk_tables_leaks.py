"""Leak check of the generated tables: the port table with its reconciliation,
the PHY table and its read-back, the port script, the link defaults and the
small tables, on normal and error paths, many times in one process; reference
counts and resident memory must not grow."""
import contextlib
import subprocess
import unittest

import zarnith.errors
from leakkit import check_no_growth, expect
from support import environ
from tabkit import (ClassicUnprintable, CPort, Machine, NeverEqual, Unprintable, configured, small_platform, turning,
                    with_ports)


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
        refused = with_ports([CPort([5, 'x' * 100, 'x' * 100, ('swp', 1), Unprintable(), ClassicUnprintable(),
                                     u'\xe9' * 100, u'swp\xe9', u'swp1', 'swp1', NeverEqual('swp2'),
                                     turning(unicode, u'a b', u'swp3', u'swp3')]),
                              CPort(['a b'], label='L\0' * 1000), CPort(['a b'], label=u'\xe9' * 100)])
        names = ['xe%d' % n for n in (5, 1, 2, 3, 9, 10)]
        self.args = [platform, c, machine, other, qsim, refused, names]

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
            ('porttab refused names', lambda: expect(ValueError, getattr, refused, 'porttab')),
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

        def empty_log():
            del machine.log[:]

        @contextlib.contextmanager
        def batch(n):
            with environ(DROVIK_USE_TUNTAP=None):
                yield
                # Tap mode starts from no interfaces and leaves none.
                for name in list(machine.links):
                    machine.remove(name)
                with environ(DROVIK_USE_TUNTAP='1'):
                    for _ in xrange(n // 10):
                        c.porttab
                        empty_log()
                for name in list(machine.links):
                    machine.remove(name)
        check_no_growth(self, cases, self.args, 100, 3000, each_round=empty_log, around=batch)


if __name__ == '__main__':
    unittest.main()
