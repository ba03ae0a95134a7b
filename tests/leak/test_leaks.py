"""Leak check: representative entry points of brontile and lanquist, on their
normal and their error paths, called many times in one process. Reference
counts of the arguments, extra references held on results, and the process's
resident memory must not grow."""
import gc
import os
import sys
import unittest

import brontile
import lanquist

WIRING = ('label', 'hw_ports', 'phy_types', 'phy_addrs', 'phy_layer', 'prim_offset', 'leds', 'unit',
          'rx_polarity_flip', 'tx_polarity_flip', 'rx_lane_map', 'tx_lane_map', 'mdi_pair_map',
          'pre_emphasis', 'drv_current', 'pre_drv_current', 'oversub', 'phy_id1', 'sys_interface')

# Under AddressSanitizer freed memory sits in quarantine: resident size says nothing there.
SANITIZED = 'asan' in os.environ.get('LD_PRELOAD', '')


class QuadPort(brontile.BCMPort):
    modes = ('100G', '2x50G', '4x25G')
    _speed_map = {'100G': 100, '2x50G': 50, '4x25G': 25}
    default_mode = '100G'
    pbmp_map = dict(('ce%d' % i, 130 + i) for i in range(4))
    max_logical_ports = 4

    def num_logical_ports(self, mode):
        return {'100G': 1, '2x50G': 2, '4x25G': 4}[mode]


def make_port():
    args = dict.fromkeys(WIRING)
    args.update(label='1', hw_ports=('ce0', 'ce1', 'ce2', 'ce3'), phy_layer='QSFP28',
                phy_addrs=(0, None, 7), phy_types=('84328', 'x', 'y', 'z'), unit=0)
    return QuadPort(**args)


class Switch(object):
    def __init__(self, chip, ports):
        self.chip = chip
        self.ports = ports


class Platform(object):
    def __init__(self, switch):
        self.switch = switch


class FakeCPort(lanquist.ConfiguredPort):
    label = '6'


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
    def cases(self):
        port = make_port()
        chip = brontile.TomahawkTwo_56970_Chip()
        config = lanquist.Config(Platform(Switch(chip, [port])), dummy=True)
        config.config('1=4x\n')
        cport = FakeCPort('40G/4', 0, False)
        mode, bad_mode, sub, base = '2x50G', '8x1G', 1, [0, 0x11, 0x22, 0x33, 0x44, 0xfe]
        portsconf = '1=4x\n2=100G\n# note\n'
        self.args = [port, chip, config, mode, bad_mode, sub, base, portsconf]
        return [
            ('num_lanes', lambda: port.num_lanes(mode)),
            ('hw_intf', lambda: port.hw_intf(mode, sub)),
            ('hw_pbmp wide', lambda: port.hw_pbmp(mode, 3)),
            ('base_hw_intf_num', lambda: port.base_hw_intf_num('100G', 0)),
            ('num_phys', lambda: port.num_phys),
            ('complete_mode', lambda: port.complete_mode(port, '4x')),
            ('configurable', lambda: port.configurable({'1': 'disable'})),
            ('mac_addrs_contrib_total', lambda: port.mac_addrs_contrib_total({})),
            ('port_mangler', lambda: port.port_mangler(mode)),
            ('set_leds', lambda: port.set_leds(mode, 1, 0, [])),
            ('bad mode', lambda: expect(brontile.NoSuchMode, port.speed, bad_mode)),
            ('bad lane index', lambda: expect(IndexError, port.hw_intf_prefix, mode, 9)),
            ('bare hook', lambda: expect(NotImplementedError, brontile.SDKPort.max_logical_ports.__get__, port)),
            ('wrong arguments', lambda: expect(TypeError, port.hw_intf, mode)),
            ('keywords', lambda: port.hw_intf(mode=mode, sub=sub)),
            ('unicode keywords', lambda: port.hw_intf(**{u'mode': mode, u'sub': sub})),
            ('keyword given twice', lambda: expect(TypeError, lambda: port.hw_intf(mode, sub, sub=sub))),
            ('optional left out', lambda: expect(NotImplementedError, brontile.SDKPort.logical_port_num, port, mode, sub)),
            ('port construction by keyword', lambda: make_port()),
            ('chip construction', lambda: brontile.Qumran_88370_Chip()),
            ('get_config found', lambda: chip.get_config('hw_desc')),
            ('get_config unlisted', lambda: chip.get_config('nothing')),
            ('Config in dummy mode', lambda: lanquist.Config(config.platform, dummy=True)),
            ('config', lambda: config.config(portsconf)),
            ('config parse error', lambda: expect(lanquist.configparser.Error, config.config, '1=a\n1=b\n')),
            ('makemacaddr', lambda: config.makemacaddr(base, 300)),
            ('makemacaddr carry', lambda: config.makemacaddr(base, 1 << 40)),
            ('gang_label', lambda: cport.gang_label),
            ('abstract property', lambda: expect(NotImplementedError, getattr, cport, 'speed')),
        ]

    def test_no_growth(self):
        cases = self.cases()
        devnull = open(os.devnull, 'w')
        self.addCleanup(devnull.close)
        old_stdout = sys.stdout
        sys.stdout = devnull  # the carry case prints its message
        try:
            def round_(n):
                for _ in xrange(n):
                    for _name, fn in cases:
                        fn()
            round_(300)
            gc.collect()
            counts = [sys.getrefcount(a) for a in self.args]
            rss = resident_kb()
            round_(5000)
            gc.collect()
            grown = resident_kb() - rss
        finally:
            sys.stdout = old_stdout
        self.assertEqual([sys.getrefcount(a) for a in self.args], counts, 'argument reference counts')
        for name, fn in cases:
            result = fn()
            if result is not None and not isinstance(result, (int, bool, str)):
                # our variable and getrefcount's argument: nothing else holds it
                self.assertEqual(sys.getrefcount(result), 2, name)
        if not SANITIZED:
            self.assertLess(grown, 1024, 'resident memory grew by %d KiB' % grown)


if __name__ == '__main__':
    unittest.main()
