"""Config: MAC addresses from the EEPROM base, and the commands that create,
address and remove Linux interfaces (recorded through a fake subprocess, with
the KNET link-control writes redirected through lanquist.open)."""
import StringIO
import sys
import unittest

import lanquist
import zarnith.errors

from support import FakeSubprocess, environ, patch

IP = 'ip'
DROVIK = '/usr/lib/zarnith/drovik'
KNET = '/proc/bcm/knet/link'
CARRY = 'Tried to carry into OUI.\n'


class Chip(object):
    def __init__(self, sw_base):
        self.sw_base = sw_base


class Switch(object):
    def __init__(self, chip):
        self.chip = chip
        self.ports = []


class Platform(object):
    def __init__(self, sw_base):
        self.switch = Switch(Chip(sw_base))


class FailingSubprocess(FakeSubprocess):
    """Records like FakeSubprocess; a run whose words include `word` fails."""

    def __init__(self, word):
        FakeSubprocess.__init__(self)
        self.word = word

    def check_output(self, argv, *args, **kwargs):
        if self.word in argv:
            self.calls.append(list(argv))
            raise self.CalledProcessError(1, argv)
        return FakeSubprocess.check_output(self, argv, *args, **kwargs)


class KnetFile(object):
    """The KNET link-control file: its opens, writes and closes go to one log."""

    def __init__(self, log):
        self.log = log

    def write(self, text):
        self.log.append(('write', text))

    def close(self):
        self.log.append(('close',))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def entry(name, index, unit=0):
    return {'portname': name, 'index': index, 'unit': unit}


def address(name, mac):
    return [IP, 'link', 'set', 'dev', name, 'address', mac]


def down(name):
    return [IP, 'link', 'set', name, 'down']


def tuntap(name):
    return [IP, 'tuntap', 'add', 'dev', name, 'mode', 'tap', 'one_queue']


def knet(name):
    return [('open', KNET, 'w'), ('write', '%s=down' % name), ('close',)]


class InterfaceTestCase(unittest.TestCase):
    """One log (self.log) holds the argument vectors of the programs run and the
    KNET file operations, in order; standard output is captured in self.out."""

    def setUp(self):
        self.fake = FakeSubprocess()
        self.log = self.fake.calls
        self.out = StringIO.StringIO()
        self.use(sys, 'stdout', self.out)
        self.use(lanquist, 'subprocess', self.fake)
        self.use(lanquist, 'open', self.open_knet)

    def use(self, obj, name, value):
        cm = patch(obj, name, value)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)

    def use_subprocess(self, fake):
        fake.calls = self.log
        self.use(lanquist, 'subprocess', fake)

    def open_knet(self, path, mode='r'):
        if path != KNET:
            raise AssertionError('unexpected open of %s' % path)
        self.log.append(('open', path, mode))
        return KnetFile(self.log)

    def make(self, base='00:11:22:33:44:fe', sw_base='bcm', dummy=False):
        with environ(FAKE_IDWARDEN_A=base + '\n', FAKE_IDWARDEN_R='64\n'):
            c = lanquist.Config(Platform(sw_base), dummy=dummy)
        del self.log[:]
        return c


class MakeMacAddrTest(InterfaceTestCase):
    BASE = [0x00, 0x11, 0x22, 0x33, 0x44, 0xfe]
    TOP = [0x00, 0x11, 0x22, 0xff, 0xff, 0xfe]
    DUMMY = [0xff, 0xff, 0xff, 0xff, 0xff, 0x00]
    ZERO = [0x02, 0x00, 0x00, 0x00, 0x00, 0x00]
    CASES = [
        ('index 0 is the base', BASE, 0, BASE),
        ('count into the next byte', BASE, 2, [0x00, 0x11, 0x22, 0x33, 0x45, 0x00]),
        ('long index', BASE, 2L, [0x00, 0x11, 0x22, 0x33, 0x45, 0x00]),
        ('last address below the OUI', TOP, 1, [0x00, 0x11, 0x22, 0xff, 0xff, 0xff]),
        ('carry into the OUI', TOP, 2, None),
        ('dummy base, last index', DUMMY, 255, [0xff] * 6),
        ('dummy base, first carry', DUMMY, 256, None),
        ('whole low range', ZERO, 0xffffff, [0x02, 0x00, 0x00, 0xff, 0xff, 0xff]),
        ('just past the low range', ZERO, 0x1000000, None),
        ('2**32 does not wrap', ZERO, 2 ** 32, None),
        ('2**32 plus a small index', ZERO, 2 ** 32 + 5, None),
        ('far past 32 bits', ZERO, 2 ** 64 + 1, None),
        ('negative index down to zero', [0x02, 0, 0, 0, 0, 5], -5, [0x02, 0, 0, 0, 0, 0]),
        ('negative result', [0x02, 0, 0, 0, 0, 5], -6, None),
        ('elements past the sixth ignored', BASE + [0x99], 1, [0x00, 0x11, 0x22, 0x33, 0x44, 0xff]),
    ]

    def test_table(self):
        c = self.make(dummy=True)
        for name, base, index, expected in self.CASES:
            self.out.truncate(0)
            given = list(base)
            result = c.makemacaddr(given, index)
            self.assertEqual(result, expected, name)
            self.assertEqual(self.out.getvalue(), CARRY if expected is None else '', name)
            self.assertEqual(given, base, name + ': base unchanged')
            self.assertIsNot(result, given, name)

    def test_no_base(self):
        c = self.make(dummy=True)
        self.assertIsNone(c.makemacaddr(None, 3))
        self.assertEqual(self.out.getvalue(), '')


class SetMacTest(InterfaceTestCase):
    def test_down_then_address_in_hex_without_leading_zeros(self):
        c = self.make()
        self.assertIsNone(c.setmac('swp1', 2))
        self.assertEqual(self.log, [down('swp1'), address('swp1', '0:11:22:33:45:0')])

    def test_l3_only_takes_the_base_address(self):
        c = self.make()
        c.set_macmode('l3-only')
        c.setmac('swp7', 40)
        c.setmac('swp8', 2 ** 40)
        self.assertEqual(self.log, [down('swp7'), address('swp7', '0:11:22:33:44:fe'),
                                    down('swp8'), address('swp8', '0:11:22:33:44:fe')])

    def test_no_address_runs_nothing(self):
        c = self.make(base='00:11:22:ff:ff:fe')
        c.setmac('swp1', 2)
        self.assertEqual(self.log, [])
        self.assertEqual(self.out.getvalue(), CARRY)

    def test_name_with_white_space_stays_one_word(self):
        c = self.make()
        c.setmac('swp 1', 0)
        self.assertEqual(self.log, [down('swp 1'), address('swp 1', '0:11:22:33:44:fe')])

    def test_address_from_the_objects_own_makemacaddr(self):
        class Fixed(lanquist.Config):
            def makemacaddr(self, inmac, index):
                return [0xa, 0xbc, 0, 0x0d, 0xef, 0x10]

        with environ(FAKE_IDWARDEN_A='00:11:22:33:44:55'):
            c = Fixed(Platform('bcm'))
        del self.log[:]
        c.setmac('swp1', 0)
        self.assertEqual(self.log[1], address('swp1', 'a:bc:0:d:ef:10'))

    def test_failing_command_ends_it(self):
        c = self.make()
        with environ(FAKE_IP_FAIL='2'):
            self.assertRaises(lanquist.subprocess.CalledProcessError, c.setmac, 'swp1', 0)
        self.assertEqual(self.log, [down('swp1')])


class MakeTapTest(InterfaceTestCase):
    def test_each_entry_created_then_addressed(self):
        c = self.make()
        netdevs = [{'portname': 'swp1', 'index': 0}, entry('swp2', 2, unit=1)]
        self.assertIsNone(c.maketap(netdevs))
        self.assertEqual(self.log, [tuntap('swp1'), down('swp1'), address('swp1', '0:11:22:33:44:fe'),
                                    tuntap('swp2'), down('swp2'), address('swp2', '0:11:22:33:45:0')])

    def test_entry_without_address_skipped(self):
        c = self.make(base='00:11:22:ff:ff:fe')
        c.maketap([entry('swp1', 1), entry('swp2', 5), entry('swp 3', 0)])
        self.assertEqual(self.log, [tuntap('swp1'), down('swp1'), address('swp1', '0:11:22:ff:ff:ff'),
                                    tuntap('swp 3'), down('swp 3'), address('swp 3', '0:11:22:ff:ff:fe')])
        self.assertEqual(self.out.getvalue(), CARRY)

    def test_l3_only(self):
        c = self.make(base='00:11:22:ff:ff:fe')
        c.set_macmode('l3-only')
        c.maketap([entry('swp1', 7), entry('swp2', 2 ** 33)])
        self.assertEqual(self.log, [tuntap('swp1'), down('swp1'), address('swp1', '0:11:22:ff:ff:fe'),
                                    tuntap('swp2'), down('swp2'), address('swp2', '0:11:22:ff:ff:fe')])

    def test_dummy_mode_runs_nothing_but_reports_carries(self):
        c = self.make(dummy=True)
        c.maketap([entry('swp1', 0), entry('swp2', 256), entry('swp3', 255)])
        self.assertEqual(self.log, [])
        self.assertEqual(self.out.getvalue(), CARRY)

    def test_missing_keys(self):
        c = self.make()
        for netdev, key in (({'index': 0}, 'portname'), ({'portname': 'swp1'}, 'index'), ({}, 'portname')):
            with self.assertRaises(KeyError) as cm:
                c.maketap([netdev, entry('swp2', 0)])
            self.assertEqual(cm.exception.args, (key,), netdev)
        self.assertEqual(self.log, [])

    def test_failing_command_stops_the_loop(self):
        c = self.make()
        self.use_subprocess(FailingSubprocess('address'))
        with self.assertRaises(lanquist.subprocess.CalledProcessError):
            c.maketap([entry('swp1', 0), entry('swp2', 1)])
        self.assertEqual(self.log, [tuntap('swp1'), down('swp1'), address('swp1', '0:11:22:33:44:fe')])

    def test_empty_list(self):
        c = self.make()
        c.maketap([])
        self.assertEqual(self.log, [])


class MakeKernNetTest(InterfaceTestCase):
    def test_broadcom(self):
        c = self.make()
        self.assertIsNone(c.makekernnet([entry('swp1', 0), entry('swp2', 2, unit=1)]))
        self.assertEqual(self.log, [
            [DROVIK, 'add', 'name', 'swp1', 'type', 'bcm_knet', 'unit', '0'],
            down('swp1'), address('swp1', '0:11:22:33:44:fe')] + knet('swp1') + [
            [DROVIK, 'add', 'name', 'swp2', 'type', 'bcm_knet', 'unit', '1'],
            down('swp2'), address('swp2', '0:11:22:33:45:0')] + knet('swp2'))

    def test_mellanox_writes_no_knet_line(self):
        c = self.make(sw_base='mlx')
        c.makekernnet([entry('swp1', 1, unit='2'), entry('swp 2', 0)])
        self.assertEqual(self.log, [
            [DROVIK, 'add', 'name', 'swp1', 'type', 'mlx_sx_netdev', 'unit', '2'],
            down('swp1'), address('swp1', '0:11:22:33:44:ff'),
            [DROVIK, 'add', 'name', 'swp 2', 'type', 'mlx_sx_netdev', 'unit', '0'],
            down('swp 2'), address('swp 2', '0:11:22:33:44:fe')])

    def test_broadcom_entry_without_address_only_writes_knet(self):
        c = self.make(base='00:11:22:ff:ff:fe')
        c.makekernnet([entry('swp1', 5), entry('swp2', 1)])
        self.assertEqual(self.log, knet('swp1') + [
            [DROVIK, 'add', 'name', 'swp2', 'type', 'bcm_knet', 'unit', '0'],
            down('swp2'), address('swp2', '0:11:22:ff:ff:ff')] + knet('swp2'))
        self.assertEqual(self.out.getvalue(), CARRY)

    def test_l3_only(self):
        c = self.make(sw_base='mlx', base='00:11:22:ff:ff:fe')
        c.set_macmode('l3-only')
        c.makekernnet([entry('swp1', 9)])
        self.assertEqual(self.log, [[DROVIK, 'add', 'name', 'swp1', 'type', 'mlx_sx_netdev', 'unit', '0'],
                                    down('swp1'), address('swp1', '0:11:22:ff:ff:fe')])

    def test_other_driver_raises_at_the_first_entry_with_an_address(self):
        for sw_base in ('vx', 'BCM', None):
            c = self.make(base='00:11:22:ff:ff:fe', sw_base=sw_base)
            with self.assertRaises(zarnith.errors.UnsupportedPlatformError) as cm:
                c.makekernnet([entry('swp1', 5), entry('swp2', 0), entry('swp3', 1)])
            self.assertEqual(str(cm.exception), 'Kernel netdevs are not supported' + ' ' * 27 +
                             'on %s, only on Broadcom and Mellanox' % sw_base)
            self.assertEqual(self.log, [], sw_base)
            # Without any address there is nothing to refuse.
            c.makekernnet([entry('swp1', 5)])
            self.assertEqual(self.log, [], sw_base)
        self.assertIs(lanquist.UnsupportedPlatformError, zarnith.errors.UnsupportedPlatformError)

    def test_dummy_mode_does_nothing(self):
        c = self.make(dummy=True)
        c.makekernnet([entry('swp1', 0), entry('swp2', 256)])
        self.assertEqual(self.log, [])
        self.assertEqual(self.out.getvalue(), '')

    def test_missing_keys(self):
        c = self.make()
        cases = (({'index': 0, 'unit': 0}, 'portname'), ({'portname': 'swp1', 'unit': 0}, 'index'),
                 ({'portname': 'swp1', 'index': 0}, 'unit'))
        for netdev, key in cases:
            with self.assertRaises(KeyError) as cm:
                c.makekernnet([netdev])
            self.assertEqual(cm.exception.args, (key,), netdev)
        self.assertEqual(self.log, [])

    def test_failures_stop_the_loop(self):
        c = self.make()
        with environ(FAKE_DROVIK_FAIL='1'):
            self.assertRaises(lanquist.subprocess.CalledProcessError, c.makekernnet,
                              [entry('swp1', 0), entry('swp2', 1)])
        self.assertEqual(self.log, [[DROVIK, 'add', 'name', 'swp1', 'type', 'bcm_knet', 'unit', '0']])

        del self.log[:]

        def unwritable(path, mode='r'):
            self.log.append(('open', path, mode))
            raise IOError(13, 'Permission denied', path)

        self.use(lanquist, 'open', unwritable)
        self.assertRaises(IOError, c.makekernnet, [entry('swp1', 0), entry('swp2', 1)])
        self.assertEqual(self.log, [[DROVIK, 'add', 'name', 'swp1', 'type', 'bcm_knet', 'unit', '0'],
                                    down('swp1'), address('swp1', '0:11:22:33:44:fe'), ('open', KNET, 'w')])

    def test_empty_list(self):
        c = self.make()
        c.makekernnet([])
        self.assertEqual(self.log, [])


class DestroyIntsTest(InterfaceTestCase):
    def test_removes_all_but_the_switch_interfaces_and_empties_the_set(self):
        c = self.make()
        stale = set(['swp1', 'switch0', 'swp2', 'myswitch1', 'swp 3'])
        self.assertIsNone(c.destroyints(stale))
        self.assertEqual(sorted(self.log), [[IP, 'link', 'del', 'dev', name] for name in ('swp 3', 'swp1', 'swp2')])
        self.assertEqual(stale, set())

    def test_failing_removal_leaves_the_set(self):
        c = self.make()
        stale = set(['swp1', 'swp2'])
        with environ(FAKE_IP_FAIL='1'):
            self.assertRaises(lanquist.subprocess.CalledProcessError, c.destroyints, stale)
        self.assertEqual(len(self.log), 1)
        self.assertEqual(stale, set(['swp1', 'swp2']))

    def test_empty_set(self):
        c = self.make()
        stale = set()
        c.destroyints(stale)
        self.assertEqual(self.log, [])


if __name__ == '__main__':
    unittest.main()
