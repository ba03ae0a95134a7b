"""Leak check: representative entry points of brontile, lanquist and glimra, on their
normal and their error paths, called many times in one process. Reference
counts of the arguments, extra references held on results, and the process's
resident memory must not grow."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import brontile
import glimra
import lanquist
import support
from leakkit import check_no_growth, expect
from support import WIRING


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


class Cage(brontile.BCMPort):
    """A gangable one-lane cage: the cage on a lane divisible by 4 leads."""
    modes = ('10G', '40G/4')
    gang_modes = ('40G/4',)

    def num_logical_ports(self, mode):
        return 0 if mode == '40G/4' and int(self.hw_ports[0][2:]) % 4 else 1

    def polarity_flip_val(self, mode, sub, polarity_flip):
        return 1 if polarity_flip is True else 0


def make_gang():
    cages = []
    for n in range(4):
        args = dict.fromkeys(WIRING)
        args.update(label=str(n + 1), hw_ports=('xe%d' % n,), unit=0, rx_polarity_flip=n != 1)
        cages.append(lanquist.SDKConfiguredPort('40G/4', Cage(**args), 1, n, False))
    cages[0].ganged_ports = frozenset(cages)
    return cages[0]


class Switch(object):
    def __init__(self, chip, ports):
        self.chip = chip
        self.ports = ports


class Platform(object):
    def __init__(self, switch):
        self.switch = switch


class FakeCPort(lanquist.ConfiguredPort):
    label = '6'


class LedPort(object):
    """A configured port as the LED chain sees it."""
    gang_label = '1'
    leds = (0, 3)
    num_logical_ports = 2

    def hw_port_num(self, sub):
        return 5

    def set_leds(self, led_port, sub, led_index_list):
        return {sub: ('link', '\nset_led:\n        ret\n', led_port), 2 + sub: None}


class LedController(glimra.TridentLEDController):
    num_leds = 12
    has_phys_id = True


class BadBlink(LedController):
    blink_period = 45


class Overrun(LedController):
    data_array_base_addr = 0xe0


class Failing(LedController):
    _pulsic = 'fail'


class InProcessAssembler(object):
    """Stands in for subprocess: assembles by copying, or fails when the
    program is called 'fail'."""
    CalledProcessError = subprocess.CalledProcessError

    def check_call(self, argv, stdin=None, stdout=None, stderr=None):
        if argv[0] == 'fail':
            raise subprocess.CalledProcessError(1, argv)
        with open(argv[1] + '.asm') as src:
            with open(argv[1] + '.hex', 'w') as dst:
                dst.write(src.read(64))
        return 0


class LocalTempfile(object):
    def __init__(self, where):
        self.where = where

    def mkdtemp(self):
        return tempfile.mkdtemp(dir=self.where)


@contextlib.contextmanager
def quiet(_rounds):
    """The carry case prints its message: thousands of times, to nowhere."""
    old_stdout, sys.stdout = sys.stdout, open(os.devnull, 'w')
    try:
        yield
    finally:
        sys.stdout.close()
        sys.stdout = old_stdout


class LeakTest(unittest.TestCase):
    def cases(self):
        port = make_port()
        chip = brontile.TomahawkTwo_56970_Chip()
        config = lanquist.Config(Platform(Switch(chip, [port])), dummy=True)
        config.config('1=4x\n')
        cport = FakeCPort('40G/4', 0, False)
        sdk_port = lanquist.SDKConfiguredPort('4x25G', port, 1, 0, False)
        mapped = lanquist.SDKConfiguredMappedPort('4x25G', port, 159, 0, False)
        generic = brontile.SDKPort(*([None] * len(WIRING)))
        dport = lanquist.BCMConfiguredDportPort('100G', generic, 1, 1, 0, False)
        leader = make_gang()
        lonely = lanquist.SDKConfiguredPort('40G/4', leader.physical_port, 1, 0, False)
        mode, bad_mode, sub, base = '2x50G', '8x1G', 1, [0, 0x11, 0x22, 0x33, 0x44, 0xfe]
        portsconf = '1=4x\n2=100G\n# note\n'
        led = LedController()
        led_ports = [LedPort(), LedPort()]
        led.configure(0, led_ports)
        bad_claims = [LedPort()]
        bad_claims[0].set_leds = lambda led_port, sub, lst: {0: ('only', 'two')}
        # Written thousands of times: on a memory file system when there is one, where syncing costs nothing.
        shm = '/dev/shm' if os.access('/dev/shm', os.W_OK) else None
        tmp = tempfile.mkdtemp(prefix='portconf-leak-', dir=shm)
        self.addCleanup(shutil.rmtree, tmp, True)
        target = os.path.join(tmp, 'ports.conf')
        writer = lanquist.Config(config.platform, dummy=True)
        writer.config_map = {'2': '100G', '1': '4x25G', 'Fabric-1': '40G'}
        unwritable = lanquist.Config(config.platform, dummy=True)
        unwritable.config_map = {'1': '100G', '2': u'\xe9'}
        # Written in place: a second hard link.
        linked = os.path.join(tmp, 'linked.conf')
        open(linked, 'w').close()
        os.link(linked, linked + '.link')
        loop = os.path.join(tmp, 'loop.conf')
        os.symlink('loop.conf', loop)
        dangling = os.path.join(tmp, 'dangling.conf')
        os.symlink('made.conf', dangling)

        class Path(str):
            pass
        modes = {'1': '4x', '2': '100G'}
        self.args = [port, chip, config, mode, bad_mode, sub, base, portsconf, sdk_port, mapped, generic, dport,
                     leader, led, led_ports, bad_claims, target, modes]
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
            ('_complete_modes', lambda: config._complete_modes(modes)),
            ('_complete_modes by keyword', lambda: config._complete_modes(**{'config_map': modes})),
            ('write_config', lambda: writer.write_config(target)),
            ('write_config failing', lambda: expect(UnicodeEncodeError, unwritable.write_config, target)),
            ('write_config to no directory', lambda: expect(IOError, writer.write_config, target + '/x')),
            ('write_config in place', lambda: writer.write_config(linked)),
            ('write_config to a link loop', lambda: expect(IOError, writer.write_config, loop)),
            ('write_config to a path ending in "/"', lambda: expect(IOError, writer.write_config, target + '/')),
            ('write_config to an empty path', lambda: expect(IOError, writer.write_config, '')),
            ('write_config through a missing folder',
             lambda: expect(IOError, writer.write_config, os.path.join(tmp, 'missing', '..', 'ports.conf'))),
            ('write_config to a dangling link', lambda: writer.write_config(dangling)),
            ('write_config to a str subclass', lambda: writer.write_config(Path(target))),
            ('makemacaddr', lambda: config.makemacaddr(base, 300)),
            ('makemacaddr carry', lambda: config.makemacaddr(base, 1 << 40)),
            ('gang_label', lambda: cport.gang_label),
            ('abstract property', lambda: expect(NotImplementedError, getattr, cport, 'speed')),
            ('configured port construction', lambda: lanquist.BCMConfiguredDportPort(mode, port, 1, 1, 0, False)),
            ('serdes_if_type', lambda: sdk_port.serdes_if_type),
            ('sdk_config_intf', lambda: sdk_port.sdk_config_intf(sub)),
            ('linux_port_name', lambda: sdk_port.linux_port_name(3)),
            ('mapped sdk_pbmp wide', lambda: mapped.sdk_pbmp(sub)),
            ('gang polarity', lambda: leader.rx_logical_polarity_flip(0)),
            ('td3 polarity lines', lambda: leader.td3_rx_logical_polarity_flip(leader, [], 0)),
            ('polarity lines outside the table', lambda: expect(KeyError, leader.qmx_tx_logical_polarity_flip,
                                                                leader, [], 0)),
            ('leader without its gang', lambda: expect(TypeError, lonely.rx_logical_polarity_flip, 0)),
            ('dport without a rule', lambda: expect(NotImplementedError, dport.sdk_pbmp, 0)),
            ('configured port wrong arguments', lambda: expect(TypeError, sdk_port.set_leds, 1, 0)),
            ('led configure', lambda: LedController().configure(0, led_ports)),
            ('led bad claim', lambda: expect(ValueError, LedController().configure, 1, bad_claims)),
            ('led asm', lambda: led.asm),
            ('led defines error', lambda: expect(RuntimeError, getattr, BadBlink(), 'defines')),
            ('led eval_looping', lambda: led._eval_looping([(1, 9), (0, 2), (None, 1)])),
            ('led chain port', lambda: led._chain_port(1 << 70)),
            ('led_map', lambda: led.led_map(0)),
            ('led_map unknown', lambda: expect(KeyError, led.led_map, 'nothing')),
            ('led commands', lambda: led.led_memory_init_commands(0)),
            ('led commands overrun', lambda: expect(RuntimeError, Overrun().led_memory_init_commands, 0)),
            ('led hex', lambda: led.hex),
            ('led assembler fails', lambda: expect(subprocess.CalledProcessError, getattr, Failing(), 'hex')),
        ]

    def test_no_growth(self):
        where = tempfile.mkdtemp(prefix='portconf-leak-')
        self.addCleanup(shutil.rmtree, where, True)
        for name, value in (('subprocess', InProcessAssembler()), ('tempfile', LocalTempfile(where))):
            patcher = support.patch(glimra, name, value)
            patcher.__enter__()
            self.addCleanup(patcher.__exit__, None, None, None)
        cases = self.cases()  # sets self.args
        check_no_growth(self, cases, self.args, 300, 5000, around=quiet, check_results=True)
        self.assertEqual(os.listdir(where), [])


if __name__ == '__main__':
    unittest.main()
