"""Assembly through the stand-in assembler, and the data-RAM commands."""
import os
import shutil
import subprocess
import tempfile

import glimra
import support
from ledkit import PULSIC, FakePort, GlimraCase, controller, hexdump, port_call


class Tempfile(object):
    """Stands in for the tempfile module: new directories go into the test's
    own directory, and each is noted."""

    def __init__(self, where, fail=None):
        self.where = where
        self.made = []
        self.fail = fail

    def mkdtemp(self, *args, **kwargs):
        assert not args and not kwargs, (args, kwargs)
        if self.fail:
            raise self.fail
        d = tempfile.mkdtemp(dir=self.where)
        self.made.append(d)
        return d


class Shutil(object):
    def __init__(self, error=None):
        self.removed = []
        self.error = error

    def rmtree(self, path):
        self.removed.append(path)
        shutil.rmtree(path)
        if self.error:
            raise self.error


class AssemblyTest(support.TempDirTestCase, GlimraCase):
    def setUp(self):
        super(AssemblyTest, self).setUp()
        self.dirs = os.path.join(self.tmp, 'dirs')
        os.mkdir(self.dirs)
        self.tempfile = Tempfile(self.dirs)
        self.shutil = Shutil()
        self.log = self.path('pulsic.log')
        for name, value in (('tempfile', self.tempfile), ('shutil', self.shutil)):
            patcher = support.patch(glimra, name, value)
            patcher.__enter__()
            self.addCleanup(patcher.__exit__, None, None, None)
        env = support.environ(FAKE_LOG=self.log, PULSIC_FAIL=None, PULSIC_NO_HEX=None)
        env.__enter__()
        self.addCleanup(env.__exit__, None, None, None)

    def ctrl(self, **attrs):
        attrs.setdefault('_pulsic', PULSIC)
        ctrl = controller(**attrs)()
        ctrl.configure(0, [FakePort(1, claims={0: {0: port_call('x', 9)}})])
        return ctrl

    def runs(self):
        with open(self.log) as f:
            return [line.split() for line in f]

    def assertNoDirectoryLeft(self):
        self.assertEqual(os.listdir(self.dirs), [])
        self.assertEqual(self.shutil.removed, self.tempfile.made)

    def test_tempfile_is_imported_on_first_use(self):
        import sys
        del glimra.tempfile  # setUp's stand-in; its patch puts back what was there
        saved = sys.modules.get('tempfile')
        sys.modules['tempfile'] = self.tempfile
        try:
            self.ctrl().hex
        finally:
            sys.modules['tempfile'] = saved
        self.assertIs(glimra.tempfile, self.tempfile)
        self.assertEqual(len(self.tempfile.made), 1)
        self.assertNoDirectoryLeft()

    def test_hex(self):
        ctrl = self.ctrl()
        image = ctrl.hex
        self.assertEqual(image, hexdump(ctrl.asm))
        self.assertEqual(len(self.tempfile.made), 1)
        base = os.path.join(self.tempfile.made[0], 'code')
        self.assertEqual(self.runs(), [['pulsic', base], ['streams', os.devnull, os.devnull, os.devnull]])
        self.assertNoDirectoryLeft()
        self.assertEqual(ctrl._compile('abc'), '61 62 63\n')
        self.assertEqual(ctrl._compile(asm=''), '')
        self.assertEqual(ctrl.hex, image)
        self.assertEqual(len(self.tempfile.made), 4)
        self.assertNoDirectoryLeft()

    def test_assembler_failures(self):
        for attrs, env, exc in (
                ({}, {'PULSIC_FAIL': '1'}, subprocess.CalledProcessError),
                ({}, {'PULSIC_FAIL': '3'}, subprocess.CalledProcessError),
                ({}, {'PULSIC_NO_HEX': '1'}, IOError),
                ({'_pulsic': self.path('no-such-assembler')}, {}, OSError),
                ({'led_functions': (u'\n; caf\xe9\n',)}, {}, UnicodeEncodeError)):
            with support.environ(**env):
                with self.assertRaises(exc) as cm:
                    self.ctrl(**attrs).hex
            self.assertNoDirectoryLeft()
            if exc is subprocess.CalledProcessError:
                self.assertEqual(cm.exception.returncode, int(env['PULSIC_FAIL']))
                self.assertEqual(cm.exception.cmd, [PULSIC, os.path.join(self.tempfile.made[-1], 'code')])

    def test_program_failure_makes_no_directory(self):
        with self.assertRaises(TypeError):
            self.ctrl(num_leds=None).hex
        self.assertEqual(self.tempfile.made, [])

    def test_directory_not_made(self):
        self.tempfile.fail = OSError(13, 'Permission denied')
        self.assertRaises(OSError, getattr, self.ctrl(), 'hex')
        self.assertEqual(self.shutil.removed, [])

    def test_removal_error_replaces_the_other(self):
        self.shutil.error = KeyError('removal')
        with support.environ(PULSIC_FAIL='1'):
            with self.assertRaises(KeyError):
                self.ctrl().hex
        with self.assertRaises(KeyError):
            self.ctrl().hex
        self.assertNoDirectoryLeft()

    def test_rebound_modules(self):
        """The module's bindings are looked up at each call."""
        with support.patch(glimra, 'subprocess', None):
            self.assertRaises(AttributeError, getattr, self.ctrl(), 'hex')
        self.assertNoDirectoryLeft()
        with support.patch(glimra, 'tempfile', 'not a module'):
            self.assertRaises(AttributeError, getattr, self.ctrl(), 'hex')


class LedMapTest(GlimraCase):
    def store(self, runs, idx=1):
        glimra.BCMLEDController.call_list[idx] = runs

    def test_port_map(self):
        a, b, none = port_call('a', 5), port_call('b', 6), port_call('n', None)
        self.store([(1, 3), (a, 3), (0, 1), (None, 2), (none, 1), (True, 2), (1.0, 1), (b, 1), (a, 1)])
        self.assertEqual(controller()().led_map(1), [5, None, 6, 5])
        self.assertEqual(glimra.TomahawkLEDController().led_map(controller_idx=1), [5, None, 6, 5])

    def test_ports_unconverted(self):
        ctrl = controller(glimra.TridentLEDController, num_leds=0)()
        ctrl.configure(2, [FakePort(1, claims={0: {0: port_call('a', 40), 1: port_call('b', 37)}})])
        self.assertEqual(ctrl.led_map(2), [40, 37])
        self.assertEqual(ctrl.set_calls[0], '\n        ld      a,4')

    def test_failures(self):
        self.assertRaises(KeyError, controller()().led_map, 3)
        for runs, exc in (([(('a', 'b'), 1)], ValueError), ([(5, 1)], TypeError), ([(1, 2, 3)], ValueError)):
            self.store(runs)
            self.assertRaises(exc, controller()().led_map, 1)


class CommandsTest(GlimraCase):
    def commands(self, ports, idx=1, **attrs):
        glimra.BCMLEDController.call_list[idx] = [(port_call('p', p), 1) for p in ports]
        attrs.setdefault('has_phys_id', True)
        return controller(**attrs)().led_memory_init_commands(idx)

    def constants(self, name='CMIC_GLIMRA1_DATA_RAM'):
        return ['setreg %s[0x%x] %s' % (name, c['addr'], c['val'])
                for c in glimra.BCMLEDController.in_ram_constants.values()]

    def test_example(self):
        self.assertEqual(self.commands([5, 6]),
                         ['setreg CMIC_GLIMRA1_DATA_RAM[0xc0] 5', 'setreg CMIC_GLIMRA1_DATA_RAM[0xc1] 6']
                         + self.constants())
        self.assertEqual(sorted(self.constants()), ['setreg CMIC_GLIMRA1_DATA_RAM[0xf2] 3',
                                                    'setreg CMIC_GLIMRA1_DATA_RAM[0xf5] 19',
                                                    'setreg CMIC_GLIMRA1_DATA_RAM[0xf8] 119'])

    def test_identity_with_false(self):
        self.assertEqual(controller()().led_memory_init_commands(99), [])
        for value in (None, 0, '', True, 'x'):
            self.assertEqual(self.commands([7], has_phys_id=value)[0], 'setreg CMIC_GLIMRA1_DATA_RAM[0xc0] 7')
        self.assertRaises(KeyError, controller(has_phys_id=None)().led_memory_init_commands, 99)

    def test_addresses_and_names(self):
        twelve = self.commands(range(12), idx=0)
        self.assertEqual([c.split()[1] for c in twelve[:12]],
                         ['CMIC_GLIMRA0_DATA_RAM[0x%x]' % a for a in range(0xc0, 0xcc)])
        self.assertEqual(twelve[12:], self.constants('CMIC_GLIMRA0_DATA_RAM'))
        moved = self.commands([None, 3], data_array_name='LED{idx}_RAM', data_array_base_addr=0xa0,
                              in_ram_constants={'one': {'addr': 0x1f, 'val': 'v'}})
        self.assertEqual(moved, ['setreg LED1_RAM[0xa0] None', 'setreg LED1_RAM[0xa1] 3', 'setreg LED1_RAM[0x1f] v'])

    def test_run_of_three_is_one_entry(self):
        ctrl = controller(has_phys_id=True, num_leds=0)()
        ctrl.configure(1, [FakePort(1, claims={0: dict.fromkeys([0, 1, 2], port_call('p', 4))})])
        self.assertEqual(ctrl.led_memory_init_commands(1), ['setreg CMIC_GLIMRA1_DATA_RAM[0xc0] 4'] + self.constants())

    def test_port_map_room(self):
        """The map fills the room below the ID/Locator flags at 0xe0 and no
        more: beyond it, an error instead of commands that overwrite the
        flags and the blinker records."""
        full = self.commands(range(32))
        self.assertEqual(full[31], 'setreg CMIC_GLIMRA1_DATA_RAM[0xdf] 31')
        self.assertEqual(len(self.commands(range(64), data_array_base_addr=0x80)), 64 + 3)
        for count, attrs in ((33, {}), (1, {'data_array_base_addr': 0xe0}), (3, {'data_array_base_addr': 0xde})):
            with self.assertRaises(RuntimeError) as cm:
                self.commands(range(count), idx=2, **attrs)
            self.assertEqual(str(cm.exception),
                             'LED controller 2: %d port-map entries overrun the data RAM at 0xe0' % count)
        self.assertEqual(self.commands([], data_array_base_addr=0xe0), self.constants())


if __name__ == '__main__':
    import unittest
    unittest.main()
