"""Leak check of the SDK configuration object: construction, the calculation
with gangs and LED programs, output rows and their error paths, called many
times in one process; reference counts and resident memory must not grow."""
import gc
import os
import sys
import unittest

import lanquist
import sdkkit
from sdkkit import Port

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
        ports = [Port(str(n + 1), ['xe%d' % n], leds=(n % 2, n)) for n in range(8)]
        chip = sdkkit.Chip({'hw_desc': 'HW', 'uft.json': '{}'})
        chip.dport_capable = True
        log = []  # the controllers' own record, emptied after every round
        platform = sdkkit.platform(ports, chip=chip, glimra={0: sdkkit.recording_controller(log),
                                                              1: sdkkit.recording_controller(log, {1: ['c']})})
        portsconf = '1=40G/4\n2=40G/4\n3=40G/4\n4=40G/4\n5=loopback\n6=4x10G\n7=disable\n'
        c = sdkkit.config(platform)
        self.args = [platform, chip, portsconf, c]
        cases = [
            ('construct', lambda: lanquist.BCMConfig(platform, dummy=True)),
            ('config', lambda: c.config(portsconf)),
            ('gangs duplicate', lambda: expect(RuntimeError, c._calculate_gangs, [c.ports[1]] * 2)),
            ('hwdesc', lambda: c.output('hwdesc')),
            ('ucodebcm', lambda: c.output('ucodebcm')),
            ('rcled', lambda: c.output('rcled')),
            ('led_hex', lambda: c.led_hex),
            ('port_units', lambda: c.port_units),
            ('unknown', lambda: expect(ValueError, c.output, 'nothing')),
            ('rcports bad unit', lambda: expect(ValueError, c.output, 'rcports_x')),
            ('render stops on a port without a member', lambda: expect(AttributeError, c.output, 'portsbcm')),
        ]

        def round_(n):
            with sdkkit.configured_ports():
                for _ in xrange(n):
                    for _name, fn in cases:
                        fn()
                    del log[:]
        round_(200)
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
