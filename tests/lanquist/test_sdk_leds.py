"""The LED programs of a configuration: the controllers and the objects made
for them, the ports each is configured with, the properties that hand out the
programs, and the LED script."""
import gc
import os
import stat
import tempfile
import unittest

import lanquist
import sdkkit
from sdkkit import Port
import support
from support import Syslog, TempDirTestCase, patch

BLOCK = 'led %d stop\nled %d auto on\nled %d load /etc/bcm.d/led%d.hex\nled %d start\n'


def block(n):
    return BLOCK % ((n,) * 5)


def leds_config(ports, ports_conf='', portleds=None, **switch_fields):
    platform = sdkkit.platform(ports, **switch_fields)
    platform.portleds = portleds
    return sdkkit.config(platform, ports_conf)


# Ports of the smaller platform whose LED calculation's instructions are counted.
COST_PORTS = 1000


def many_controllers(count):
    """A configuration of `count` ports, two on each controller."""
    with patch(lanquist, 'syslog', Syslog()):  # too few addresses for so many ports
        return leds_config([Port(str(i), ['xe%d' % i], leds=(i // 2, i % 2)) for i in range(count)],
                           glimra=sdkkit.recording_controller([]))


def news(log):
    return [entry for entry in log if entry[0] == 'new']


def configures(log):
    return [entry for entry in log if entry[0] == 'configure']


class ControllersTest(unittest.TestCase):
    def test_no_programs(self):
        wired = [Port('1', ['xe0'], leds=(0, 1))]
        # (ports, led_controllers, portleds); no glimra: it must not be read
        for ports, controllers, portleds in ((wired, [0], True), (wired, None, 'yes'), ([Port('1', ['xe0'])], None, None),
                                             ([], [], None), ([], (), None)):
            c = leds_config(ports, led_controllers=controllers, portleds=portleds)
            self.assertEqual(c._led_programs, {})
            self.assertEqual((c.led_chains, c.led_asm, c.led_hex, c.rcled), ([], {}, {}, ''))

    def test_controllers_from_the_ports_in_ascending_order(self):
        log = []
        ports = [Port('1', ['xe0'], leds=(1, 0)), Port('2', ['xe1']), Port('3', ['xe2'], leds=(0, 5)),
                 Port('4', ['xe3'], leds=[1.0, 2]), Port('5', ['xe4'], leds=(0, 1))]
        c = leds_config(ports, glimra=sdkkit.recording_controller(log))
        self.assertEqual(configures(log), [('configure', 0, ['3', '5']), ('configure', 1, ['1', '4'])])
        self.assertEqual([entry[1] for entry in news(log)], [c._led_programs[0], c._led_programs[1]])
        self.assertEqual(c.led_chains, [0, 1])
        self.assertIs(c._led_programs[0].ports[0], c.ports[2])

    def test_listed_controllers(self):
        ports = [Port('1', ['xe0'], leds=(2, 0)), Port('2', ['xe1'], leds=(0, 0))]
        cases = (
            ([1, 0], [('configure', 0, ['2']), ('configure', 1, [])]),
            ({3: 'x', 0: 'y'}, [('configure', 0, ['2']), ('configure', 3, [])]),
            (set([2]), [('configure', 2, ['1'])]),
            ([], [('configure', 0, ['2']), ('configure', 2, ['1'])]),
        )
        for controllers, expected in cases:
            log = []
            c = leds_config(ports, led_controllers=controllers, glimra=sdkkit.recording_controller(log))
            self.assertEqual(configures(log), expected, controllers)
            self.assertEqual(c.led_chains, sorted(n for _, n, _ in expected))

    def test_controller_listed_twice_is_built_twice(self):
        log = []
        c = leds_config([Port('1', ['xe0'], leds=(0, 0))], led_controllers=[0, 0],
                        glimra=sdkkit.recording_controller(log))
        self.assertEqual(len(news(log)), 2)
        self.assertEqual(configures(log), [('configure', 0, ['1'])] * 2)
        self.assertIs(c._led_programs[0], news(log)[1][1])

    def test_ports_grouped_by_number_in_one_pass(self):
        # int and long numbers of one value meet; each controller gets a list
        # of its own, even one listed twice whose first object empties its list.
        log = []
        base = sdkkit.recording_controller(log)

        class Emptying(base):
            def configure(self, controller_idx, ports):
                base.configure(self, controller_idx, ports)
                del ports[:]

        ports = [Port('1', ['xe0'], leds=(1L, 0)), Port('2', ['xe1'], leds=(0, 0)), Port('3', ['xe2'], leds=(1, 1))]
        leds_config(ports, led_controllers=[1, 0, 1L], glimra=Emptying)
        self.assertEqual(configures(log), [('configure', 0, ['2']), ('configure', 1, ['1', '3']),
                                           ('configure', 1L, ['1', '3'])])

        count = 8000
        c = many_controllers(count)
        self.assertEqual([p.label for p in c._led_programs[count // 2 - 1].ports], [str(count - 2), str(count - 1)])

        # Many controllers cost a pass over the ports, not a walk per controller:
        # four times the ports on four times the controllers cost about four
        # times the instructions (a walk per controller made it sixteen).
        n = COST_PORTS
        small = support.instructions_per_call(self, __file__, n)
        large = support.instructions_per_call(self, __file__, 4 * n)
        self.assertLess(large, 8 * small, 'one LED calculation: %d instructions at %d ports, %d at %d (%.1f times)'
                        % (small, n, large, 4 * n, float(large) / small))

    def test_ports_out_of_reach_of_configure(self):
        # Numbers that only their own equality can match make every controller
        # walk the ports; a configure that fills every (number, port) pair list
        # it can reach through gc with something else changes nothing.
        base = sdkkit.recording_controller([])

        class Meddling(base):
            def configure(self, controller_idx, ports):
                base.configure(self, controller_idx, ports)
                for o in gc.get_objects():
                    if type(o) is list and o and type(o[0]) is tuple and len(o[0]) == 2 \
                            and isinstance(o[0][1], sdkkit.ConfiguredPort):
                        o[:] = [5] * len(o)

        ports = [Port('1', ['xe0'], leds=(0.0, 0)), Port('2', ['xe1'], leds=(1.0, 0))]
        c = leds_config(ports, glimra=Meddling)
        self.assertEqual([(n, [p.label for p in c._led_programs[n].ports]) for n in sorted(c._led_programs)],
                         [(0.0, ['1']), (1.0, ['2'])])

    def test_one_class_or_one_per_controller(self):
        log = []
        one = sdkkit.recording_controller(log)
        c = leds_config([], led_controllers=[0, 1], glimra=one)
        self.assertIsNot(c._led_programs[0], c._led_programs[1])
        self.assertEqual([type(c._led_programs[n]) for n in (0, 1)], [one, one])

        other = sdkkit.recording_controller(log)
        for glimra in ({0: one, 1: other}, [one, other]):
            c = leds_config([], led_controllers=[0, 1], glimra=glimra)
            self.assertEqual([type(c._led_programs[n]) for n in (0, 1)], [one, other])
            self.assertEqual([p.index for p in c._led_programs.values()], [0, 1])

    def test_glimra_failures(self):
        log = []
        good = sdkkit.recording_controller(log)

        class NeedsArgs(good):
            def __init__(self, arg):
                good.__init__(self)

        class Raises(good):
            def configure(self, controller_idx, ports):
                raise KeyError('configure')

        ports = [Port('1', ['xe0'], leds=(0, 0)), Port('2', ['xe1'], leds=(1, 0))]
        cases = (
            ({0: good}, KeyError, [0]),
            ([good], IndexError, [0]),
            (NeedsArgs, TypeError, []),
            ({0: good, 1: NeedsArgs}, TypeError, [0]),
            ({0: good, 1: 5}, TypeError, [0]),
            ({0: Raises}, KeyError, []),
        )
        for glimra, error, kept in cases:
            c = sdkkit.config(sdkkit.platform(ports, glimra=glimra))
            with sdkkit.configured_ports():
                self.assertRaises(error, c.config, '')
            self.assertEqual(sorted(c._led_programs), kept, glimra)
        c = sdkkit.config(sdkkit.platform(ports))
        with sdkkit.configured_ports():
            self.assertRaises(AttributeError, c.config, '')
        # The object stays usable.
        c.platform.switch.glimra = good
        with sdkkit.configured_ports():
            c.config('')
        self.assertEqual(c.led_chains, [0, 1])

    def test_bad_port_leds(self):
        for leds, error in (((), IndexError), (5, TypeError), (([0], 1), TypeError)):
            c = sdkkit.config(sdkkit.platform([Port('1', ['xe0'], leds=leds)], glimra=sdkkit.recording_controller([])))
            with sdkkit.configured_ports():
                self.assertRaises(error, c.config, '')

    def test_properties_read_afresh(self):
        log = []
        c = leds_config([Port('1', ['xe0'], leds=(0, 0)), Port('2', ['xe1'], leds=(1, 0))],
                        glimra=sdkkit.recording_controller(log))
        del log[:]
        self.assertEqual(c.led_asm, {0: 'asm of 0', 1: 'asm of 1'})
        self.assertEqual(c.led_hex, {0: 'hex of 0', 1: 'hex of 1'})
        self.assertEqual(c.led_hex, {0: 'hex of 0', 1: 'hex of 1'})
        self.assertEqual(log, [('hex', 0), ('hex', 1)] * 2)
        self.assertIsNot(c.led_asm, c.led_asm)
        self.assertIsNot(c.led_chains, c.led_chains)

        class Failing(object):
            @property
            def hex(self):
                raise OSError('assembler')
        c._led_programs[1] = Failing()
        self.assertRaises(OSError, getattr, c, 'led_hex')

    def test_before_config(self):
        c = sdkkit.config(sdkkit.platform())
        for name in ('led_chains', 'led_asm', 'led_hex', 'rcled'):
            self.assertRaises(AttributeError, getattr, c, name)
        self.assertRaises(AttributeError, c.output, 'rcled')


class LedScriptTest(unittest.TestCase):
    def script(self, commands=None, controllers=(0, 1)):
        c = leds_config([], led_controllers=list(controllers),
                        glimra=sdkkit.recording_controller([], commands))
        self.assertEqual(c.output('rcled'), c.rcled)
        return c.rcled

    def test_blocks_without_commands(self):
        self.assertEqual(self.script(), 'led 0 stop\nled 0 auto on\nled 0 load /etc/bcm.d/led0.hex\nled 0 start\n\n'
                                        'led 1 stop\nled 1 auto on\nled 1 load /etc/bcm.d/led1.hex\nled 1 start\n')

    def test_commands_after_their_block(self):
        cmds = ['setreg CMIC_GLIMRA1_DATA_RAM[0xc0] 5', 'setreg CMIC_GLIMRA1_DATA_RAM[0xf2] 3']
        self.assertEqual(self.script({1: cmds}), block(0) + '\n' + block(1) + '\n' + '\n'.join(cmds))
        self.assertEqual(self.script({0: ('a', 'b')}), block(0) + '\na\nb\n' + block(1))
        self.assertEqual(self.script(controllers=[12, 9, 3]), block(3) + '\n' + block(9) + '\n' + block(12))

    def test_controller_numbers_formatted_as_numbers(self):
        self.assertEqual(self.script(controllers=[2.5]), block(2))
        self.assertRaises(TypeError, self.script, controllers=['a'])
        self.assertRaises(TypeError, self.script, {0: [1]})


def pulsic_stand_in(directory):
    """An assembler that 'assembles' base.asm into base.hex by copying it."""
    path = os.path.join(directory, 'pulsic')
    with open(path, 'w') as f:
        f.write('#!/bin/sh\nexec cp "$1.asm" "$1.hex"\n')
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


class RealControllersTest(TempDirTestCase):
    """The programs made by glimra's own controller classes."""

    def setUp(self):
        super(RealControllersTest, self).setUp()
        try:
            import glimra
        except ImportError:
            self.skipTest('glimra is not built here')
        assembler = pulsic_stand_in(self.tmp)
        # The assembly's own temporary directories go into the test's.
        workdir = os.path.join(self.tmp, 'work')
        os.mkdir(workdir)
        tempdir = patch(tempfile, 'tempdir', workdir)
        tempdir.__enter__()
        self.addCleanup(tempdir.__exit__, None, None, None)
        self.addCleanup(lambda: self.assertEqual(os.listdir(workdir), []))

        class Controller(glimra.TomahawkLEDController):
            num_leds = 8
            _pulsic = assembler

        class IdController(Controller):
            has_phys_id = True

        self.glimra = {0: Controller, 1: IdController}

    def test_programs_and_script(self):
        class Claiming(Port):
            def set_leds(self, mode, led_port, sub, led_index_list):
                return {self.leds[1] + sub: ('p%d' % led_port, 'set_led:\n        ret\n', led_port)}

        ports = [Claiming('1', ['xe0'], leds=(0, 0)), Claiming('2', ['xe1'], leds=(1, 0)),
                 Claiming('3', ['xe2'], leds=(1, 1), default_mode='2x50G')]
        c = leds_config(ports, glimra=self.glimra)
        self.assertEqual(c.led_chains, [0, 1])
        self.assertIn('set_led_p1', c.led_asm[0])
        self.assertIn('set_led_p3', c.led_asm[1])
        self.assertEqual(c.led_hex, c.led_asm)
        prefix = block(0) + '\n' + block(1) + '\n'
        self.assertTrue(c.rcled.startswith(prefix), c.rcled)
        commands = c.rcled[len(prefix):].split('\n')
        self.assertEqual(commands[:3], ['setreg CMIC_GLIMRA1_DATA_RAM[0xc0] 1', 'setreg CMIC_GLIMRA1_DATA_RAM[0xc1] 2',
                                        'setreg CMIC_GLIMRA1_DATA_RAM[0xc2] 3'])
        self.assertEqual(sorted(commands[3:]), ['setreg CMIC_GLIMRA1_DATA_RAM[0xf2] 3',
                                                'setreg CMIC_GLIMRA1_DATA_RAM[0xf5] 19',
                                                'setreg CMIC_GLIMRA1_DATA_RAM[0xf8] 119'])


def grouping_child(count, calls):
    """The configuration of many_controllers(count), its LEDs calculated
    `calls` more times."""
    c = many_controllers(int(count))
    # The collector runs where allocations add up, not in any one call: left out.
    gc.collect()
    gc.disable()
    for _ in range(int(calls)):
        c._calculate_leds()
    return {}


if __name__ == '__main__':
    support.main(grouping_child)
