"""The examples' driver end to end: every sample platform renders every output
into its folder, one file per output name, with the interface reconciliation
recorded instead of run; failures name the platform and the output and leave
the folder as it was."""
import errno
import os
import shutil
import sys
import tempfile
import unittest
from StringIO import StringIO

import e2ekit
from e2ekit import lines, render, table
from support import TempDirTestCase, patch

# Output names of the chip's packaged texts and the file each one serves.
CHIP_TEXTS = (('hwdesc', 'hw_desc'), ('uft', 'uft.json'), ('riot', 'riot.json'), ('datapath', 'datapath.conf'),
              ('sdk', 'sdk.bcm'), ('rcforwarding', 'rc.forwarding'))
PORT_TEXTS = ('portsbcm', 'porttab', 'linkdefaults', 'phytab', 'rcled', 'rcphy', 'ethertab', 'ucodebcm', 'sfptab')


def setUpModule():
    global RENDERED, BEFORE
    import glimra
    BEFORE = (os.environ.get('DROVIK_USE_TUNTAP'), glimra.BCMLEDController._pulsic)
    RENDERED = e2ekit.Rendered()


def tearDownModule():
    RENDERED.close()


class EveryOutputTest(unittest.TestCase):
    def test_one_file_per_output_and_none_for_what_the_chip_does_not_serve(self):
        for name in e2ekit.SAMPLES:
            result = RENDERED.results[name]
            config = result.config
            chip = config.platform.switch.chip
            served = [out for out, f in CHIP_TEXTS if chip.get_config(f) is not None]
            absent = [out for out, f in CHIP_TEXTS if chip.get_config(f) is None]
            expected = (list(PORT_TEXTS) + ['rcports_%d' % u for u in config.port_units] + served +
                        ['led%d.hex' % n for n in config.led_chains])
            self.assertEqual(sorted(result.written), sorted(expected), name)
            self.assertEqual(sorted(os.listdir(result.folder)), sorted(expected), name)
            self.assertEqual(result.absent, absent, name)
            summary = result.summary()
            self.assertTrue(summary.startswith('%s: %d ports (%d configured), %d logical interfaces; %d outputs '
                                               'written to ' % (name, len(config.platform.switch.ports),
                                                                len(config.ports), len(table(
                                                                    RENDERED.read(name, 'porttab'))),
                                                                len(expected))), summary)
            if absent:
                self.assertIn('; no file for %s (the chip serves none)' % ', '.join(absent), summary)
            else:
                self.assertNotIn('no file', summary)

    def test_files_hold_the_texts_the_configuration_object_gives(self):
        for name in e2ekit.SAMPLES:
            config = RENDERED.results[name].config
            # LED run lists are shared by every controller object of the
            # process, per controller number: configure this platform's again.
            config.read_config(e2ekit.platforms.load(name).PORTS_CONF)
            names = [n for n in RENDERED.results[name].written if n != 'porttab' and not n.startswith('led')]
            for output in names:
                self.assertEqual(RENDERED.read(name, output), config.output(output), '%s %s' % (name, output))
            with render.assembler(e2ekit.PULSIC), patch(tempfile, 'tempdir', RENDERED.out):
                images = config.led_hex
            for n, image in images.items():
                self.assertEqual(RENDERED.read(name, 'led%d.hex' % n), image, '%s led%d.hex' % (name, n))
                self.assertIn('led %d load /etc/bcm.d/led%d.hex\n' % (n, n), RENDERED.read(name, 'rcled'), name)

    def test_led_images_are_the_programs_assembled(self):
        # The stand-in assembler writes the program's bytes in hexadecimal.
        for name in e2ekit.SAMPLES:
            config = RENDERED.results[name].config
            for n, asm in config.led_asm.items():
                image = ''.join(RENDERED.read(name, 'led%d.hex' % n).split()).decode('hex')
                self.assertEqual(image, asm, '%s led%d' % (name, n))

    def test_samples_cover_what_the_issue_asks(self):
        # Breakouts and gangs where the port types offer them, a disabled
        # port, a fabric port where the family has one, LED images, one LED
        # program with its data-RAM port map.
        wants = {
            'tomahawk32': ('breakout', 'disabled', 'fabric', 'led'),
            'trident2': ('breakout', 'gang', 'disabled', 'fabric', 'led'),
            'trident3x7': ('breakout', 'gang', 'disabled', 'led', 'locator'),
            'maverick': ('breakout', 'gang', 'disabled', 'fabric', 'led'),
            'qumran': ('breakout', 'gang', 'disabled'),
            'helix4': ('disabled', 'led'),
        }
        for name, want in sorted(wants.items()):
            config = RENDERED.results[name].config
            have = set()
            for port in config.ports:
                if 'x' in port.mode:
                    have.add('breakout')
                if port.ganged_ports:
                    have.add('gang')
                if port.is_fabric:
                    have.add('fabric')
            if len(config.ports) < len(config.platform.switch.ports):
                have.add('disabled')
            if config.led_chains:
                have.add('led')
            if any(program.has_phys_id for program in config._led_programs.values()):
                have.add('locator')
            self.assertEqual(sorted(have), sorted(want), name)


class ReconciliationTest(unittest.TestCase):
    def test_tap_mode_commands_are_recorded_for_every_interface_and_none_run(self):
        for name in e2ekit.SAMPLES:
            result = RENDERED.results[name]
            rows = table(RENDERED.read(name, 'porttab'))
            config = result.config
            made = [port.linux_port_name(sub) for port in config.ports if port.is_fabric is False or
                    port.create_fabric for sub in range(port.num_logical_ports)]
            self.assertTrue(set(made) <= set(row[0] for row in rows), name)
            commands = result.commands
            self.assertEqual(commands[0], ['ip', 'tuntap', 'show'], name)
            expected, macs = [], set()
            for cmd in commands[1:]:
                self.assertEqual(cmd[0], 'ip', name)
            for i, intf in enumerate(made):
                add, down, address = commands[1 + 3 * i:4 + 3 * i]
                self.assertEqual(add, ['ip', 'tuntap', 'add', 'dev', intf, 'mode', 'tap', 'one_queue'], name)
                self.assertEqual(down, ['ip', 'link', 'set', intf, 'down'], name)
                self.assertEqual(address[:5], ['ip', 'link', 'set', 'dev', intf], name)
                self.assertEqual(address[5], 'address', name)
                macs.add(address[6])
            self.assertEqual(len(commands), 1 + 3 * len(made), name)
            self.assertEqual(len(macs), len(made), '%s: every interface its own address' % name)

    def test_environment_and_assembler_are_put_back(self):
        import glimra
        self.assertEqual((os.environ.get('DROVIK_USE_TUNTAP'), glimra.BCMLEDController._pulsic), BEFORE)
        self.assertEqual(BEFORE[1], '/usr/lib/zarnith/pulsic')


class DriverTest(TempDirTestCase):
    def setUp(self):
        super(DriverTest, self).setUp()
        self.out = self.path('out')

    def conf(self, text):
        path = os.path.join(self.tmp, 'ports.conf')
        with open(path, 'w') as f:
            f.write(text)
        return path

    def main(self, *argv):
        out, err = StringIO(), StringIO()
        old = sys.stdout, sys.stderr
        sys.stdout, sys.stderr = out, err
        try:
            status = render.main(['-o', self.out, '--pulsic', e2ekit.PULSIC] + list(argv))
        finally:
            sys.stdout, sys.stderr = old
        return status, out.getvalue(), err.getvalue()

    def test_failed_output_is_named_and_the_folder_kept(self):
        os.makedirs(os.path.join(self.out, 'qumran'))
        with open(os.path.join(self.out, 'qumran', 'portsbcm'), 'w') as f:
            f.write('from an earlier run')
        # The Qumran ports have no interface type for 25G.
        status, out, err = self.main('--ports-conf', self.conf('49=4x25G\n'), 'qumran')
        self.assertEqual(status, 1)
        self.assertEqual(out, '')
        self.assertEqual(err, 'render: error: qumran: output "portsbcm" failed: KeyError: 25\n')
        self.assertEqual(os.listdir(self.out), ['qumran'])
        self.assertEqual(os.listdir(os.path.join(self.out, 'qumran')), ['portsbcm'])

    def test_a_full_disk_is_reported_and_the_next_platform_rendered(self):
        os.makedirs(os.path.join(self.out, 'helix4'))
        with open(os.path.join(self.out, 'helix4', 'portsbcm'), 'w') as f:
            f.write('from an earlier run')

        def full_disk_open(path, mode='r'):
            f = open(path, mode)
            if '.helix4.new-' in path and os.path.basename(path) == 'rcled':
                return FullFile(f)
            return f

        with patch(render, 'open', full_disk_open):
            status, out, err = self.main('helix4', 'qumran')
        self.assertEqual(status, 1)
        self.assertEqual(err, 'render: error: helix4: writing output "rcled" to %s failed: IOError: [Errno %d] %s\n'
                         % (os.path.join(self.out, 'helix4', 'rcled'), errno.ENOSPC, os.strerror(errno.ENOSPC)))
        self.assertEqual([line.split(':')[0] for line in lines(out.rstrip('\n'))], ['qumran'])
        self.assertEqual(sorted(os.listdir(self.out)), ['helix4', 'qumran'])
        self.assertEqual(os.listdir(os.path.join(self.out, 'helix4')), ['portsbcm'])

    def test_failed_configuration_is_named(self):
        conf = self.conf('49=4x\n')
        try:
            render.render('helix4', self.out, conf, e2ekit.PULSIC)
        except render.RenderError as e:
            self.assertEqual(str(e), "helix4: configuration with %s failed: KeyError: '10GBaseT'" % conf)
        else:
            self.fail('no error')
        self.assertEqual(os.listdir(self.out), [])

    def test_other_platforms_render_after_a_failure(self):
        status, out, err = self.main('--ports-conf', self.conf('49=4x25G\n'), 'qumran')
        self.assertEqual(status, 1)
        status, out, err = self.main('helix4', 'qumran')
        self.assertEqual((status, err), (0, ''))
        self.assertEqual([line.split(':')[0] for line in lines(out.rstrip('\n'))], ['helix4', 'qumran'])
        self.assertIn('outputs written to %s;' % os.path.join(self.out, 'qumran'), out)

    def test_folder_is_replaced_whole(self):
        first = render.render('helix4', self.out, pulsic=e2ekit.PULSIC)
        with open(os.path.join(first.folder, 'stale'), 'w') as f:
            f.write('left by another run')
        second = render.render('helix4', self.out, pulsic=e2ekit.PULSIC)
        self.assertEqual(sorted(os.listdir(second.folder)), sorted(second.written))
        self.assertEqual(os.listdir(self.out), ['helix4'])
        self.assertEqual(oct(os.stat(second.folder).st_mode & 0o777), oct(0o777 & ~current_umask()))

    def test_folder_kept_when_the_new_one_cannot_be_put_in_place(self):
        first = render.render('helix4', self.out, pulsic=e2ekit.PULSIC)
        before = sorted(os.listdir(first.folder))
        real_rename = os.rename

        def rename(source, target):
            if os.path.basename(source).startswith('.helix4.new-'):
                raise OSError(errno.EBUSY, os.strerror(errno.EBUSY))
            real_rename(source, target)

        with patch(os, 'rename', rename):
            with self.assertRaises(render.RenderError) as cm:
                render.render('helix4', self.out, pulsic=e2ekit.PULSIC)
        self.assertEqual(str(cm.exception), 'helix4: putting its folder in place at %s failed: OSError: [Errno %d] %s'
                         % (first.folder, errno.EBUSY, os.strerror(errno.EBUSY)))
        self.assertEqual(sorted(os.listdir(first.folder)), before)
        self.assertEqual(os.listdir(self.out), ['helix4'])

    def earlier_run(self):
        """helix4's folder as an earlier run left it, with one file."""
        folder = os.path.join(self.out, 'helix4')
        os.makedirs(folder)
        with open(os.path.join(folder, 'portsbcm'), 'w') as f:
            f.write('from an earlier run')
        return folder

    def assert_earlier_run(self, folder):
        self.assertEqual(os.listdir(folder), ['portsbcm'])
        with open(os.path.join(folder, 'portsbcm')) as f:
            self.assertEqual(f.read(), 'from an earlier run')

    def assert_only_qumran_rendered(self, out):
        self.assertEqual([line.split(':')[0] for line in lines(out.rstrip('\n'))], ['qumran'])
        self.assertEqual(sorted(os.listdir(os.path.join(self.out, 'qumran'))),
                         sorted(render.render('qumran', self.path('again'), pulsic=e2ekit.PULSIC).written))

    def test_a_file_or_link_where_the_folder_goes_is_left_as_it_is(self):
        elsewhere = self.write('elsewhere/kept', 'not the render\'s')
        cases = (
            ('a file', lambda dest: write(dest, 'not the render\'s')),
            ('a symbolic link', lambda dest: os.symlink(self.path('nowhere'), dest)),
            ('a symbolic link', lambda dest: os.symlink(elsewhere, dest)),
            ('a symbolic link', lambda dest: os.symlink(os.path.dirname(elsewhere), dest)),
        )
        for i, (kind, make) in enumerate(cases):
            self.out = self.path('out%d' % i)
            os.makedirs(self.out)
            dest = os.path.join(self.out, 'helix4')
            make(dest)
            before = snapshot(dest)
            loaded = []
            with patch(render.platforms, 'load', noting(render.platforms.load, loaded)):
                status, out, err = self.main('helix4', 'qumran')
            self.assertEqual(status, 1, kind)
            self.assertEqual(err, 'render: error: helix4: %s is %s, not its folder; left as it is\n' % (dest, kind))
            self.assertEqual(snapshot(dest), before, kind)
            # Failed before anything of helix4 was rendered.
            self.assertEqual(loaded, ['qumran'], kind)
            self.assert_only_qumran_rendered(out)
            self.assertEqual(sorted(os.listdir(self.out)), ['helix4', 'qumran'], kind)
            self.assertEqual(os.listdir(os.path.dirname(elsewhere)), ['kept'], kind)
            self.assertEqual(snapshot(elsewhere)[-1], 'not the render\'s', kind)

    def test_a_file_or_link_that_takes_the_folder_s_place_meanwhile_is_left_as_it_is(self):
        real_load, real_rename = render.platforms.load, os.rename

        def while_rendering(dest, make):
            def load(name):
                if name == 'helix4':
                    if os.path.isdir(dest):
                        shutil.rmtree(dest)
                    make(dest)
                return real_load(name)
            return patch(render.platforms, 'load', load)

        def as_it_is_moved_aside(dest, make):
            # Between the last look and the move.
            def rename(source, target):
                if source == dest and os.path.basename(target) == 'old' and os.path.isdir(dest):
                    shutil.rmtree(dest)
                    make(dest)
                real_rename(source, target)
            return patch(os, 'rename', rename)

        cases = (
            (while_rendering, False, 'a file', lambda dest: write(dest, 'not the render\'s')),
            (while_rendering, True, 'a file', lambda dest: write(dest, 'not the render\'s')),
            (while_rendering, True, 'a symbolic link', lambda dest: os.symlink(self.path('nowhere'), dest)),
            (as_it_is_moved_aside, True, 'a file', lambda dest: write(dest, 'not the render\'s')),
            (as_it_is_moved_aside, True, 'a symbolic link', lambda dest: os.symlink(self.path('nowhere'), dest)),
        )
        for i, (when, earlier, kind, make) in enumerate(cases):
            self.out = self.path('out%d' % i)
            os.makedirs(self.out)
            dest = os.path.join(self.out, 'helix4')
            if earlier:
                self.earlier_run()
            with when(dest, make):
                status, out, err = self.main('helix4', 'qumran')
            what = '%s %s, %s' % (when.__name__, kind, 'over an earlier run' if earlier else 'where none was')
            self.assertEqual(status, 1, what)
            self.assertEqual(err, 'render: error: helix4: %s is %s, not its folder; left as it is\n' % (dest, kind),
                             what)
            self.assertEqual(snapshot(dest)[-1], self.path('nowhere') if kind == 'a symbolic link'
                             else 'not the render\'s', what)
            self.assert_only_qumran_rendered(out)
            self.assertEqual(sorted(os.listdir(self.out)), ['helix4', 'qumran'], what)

    def test_an_old_folder_that_cannot_be_put_back_is_kept_and_its_place_named(self):
        real_rename = os.rename
        busy = 'OSError: [Errno %d] %s' % (errno.EBUSY, os.strerror(errno.EBUSY))
        cross = 'OSError: [Errno %d] %s' % (errno.EXDEV, os.strerror(errno.EXDEV))
        # (restore error, file put in the folder's place as it is moved aside,
        # the swap error, what is left where, as it reads in the report)
        cases = (
            (OSError(errno.EXDEV, os.strerror(errno.EXDEV)), False, busy, 'the old folder', cross),
            (TypeError('not a path'), False, busy, 'the old folder', 'TypeError: not a path'),
            (OSError(errno.EXDEV, os.strerror(errno.EXDEV)), True, 'a file took its place', 'the file', cross),
        )
        for i, (restore, race, swap, what, shown) in enumerate(cases):
            self.out = self.path('out%d' % i)
            dest = self.earlier_run()

            def rename(source, target):
                if os.path.basename(source).startswith('.helix4.new-'):
                    raise OSError(errno.EBUSY, os.strerror(errno.EBUSY))
                if os.path.basename(os.path.dirname(source)).startswith('.helix4.old-'):
                    raise restore
                if race and source == dest:
                    shutil.rmtree(dest)
                    write(dest, 'not the render\'s')
                real_rename(source, target)

            with patch(os, 'rename', rename):
                status, out, err = self.main('helix4', 'qumran')
            self.assertEqual(status, 1, shown)
            stranded = [n for n in os.listdir(self.out) if n.startswith('.helix4.old-')]
            self.assertEqual(len(stranded), 1, shown)
            where = os.path.join(self.out, stranded[0], 'old')
            self.assertEqual(err, 'render: error: helix4: putting its folder in place at %s failed: %s; putting %s '
                             'back failed too: %s; %s is now at %s\n' % (dest, swap, what, shown, what, where))
            if race:
                self.assertEqual(snapshot(where)[-1], 'not the render\'s')
            else:
                self.assert_earlier_run(where)
            self.assert_only_qumran_rendered(out)
            self.assertEqual(sorted(os.listdir(self.out)), sorted(['qumran'] + stranded), shown)

    def test_any_error_of_a_platform_is_reported_and_the_next_platform_rendered(self):
        helix4 = render.platforms.load('helix4')
        real_load, real_platform = render.platforms.load, helix4.platform

        def ports_whose_length_divides_by_zero():
            platform = real_platform()
            platform.switch.ports = DividingList(platform.switch.ports)
            return platform

        def without_ports_conf(name):
            module = real_load(name)
            return Bare(platform=module.platform) if name == 'helix4' else module

        def for_helix4s_new_folder(real, exc):
            """`real` raising `exc` when it is called for helix4's new folder."""
            def call(*args, **kwargs):
                if '.helix4.new-' in (os.path.basename(args[0]) if args else kwargs.get('prefix', '')):
                    raise exc
                return real(*args, **kwargs)
            return call

        cases = (
            (patch(helix4, 'platform', ports_whose_length_divides_by_zero),
             'counting its ports failed: ZeroDivisionError: integer division or modulo by zero'),
            (patch(render.platforms, 'load', without_ports_conf),
             'platform definition failed: AttributeError: \'Bare\' object has no attribute \'PORTS_CONF\''),
            (output_of_helix4('portsbcm', Classic()), 'output "portsbcm" failed: Classic: from a classic class'),
            (output_of_helix4('portsbcm', ValueError(u'caf\xe9')), 'output "portsbcm" failed: ValueError: caf\\xe9'),
            (output_of_helix4('rcled', 25), 'writing output "rcled" to %(out)s/helix4/rcled failed: TypeError: '
                                            'expected a string or other character buffer object'),
            (output_of_helix4('rcled', u'caf\xe9'), 'writing output "rcled" to %(out)s/helix4/rcled failed: '
                                                    'UnicodeEncodeError: \'ascii\' codec can\'t encode character '
                                                    'u\'\\xe9\' in position 3: ordinal not in range(128)'),
            (patch(tempfile, 'mkdtemp', for_helix4s_new_folder(tempfile.mkdtemp, RuntimeError('no names left'))),
             'making its folder in %(out)s failed: RuntimeError: no names left'),
            (patch(os, 'rename', for_helix4s_new_folder(os.rename, TypeError('not a path'))),
             'putting its folder in place at %(out)s/helix4 failed: TypeError: not a path'),
        )
        for i, (fault, shown) in enumerate(cases):
            self.out = self.path('out%d' % i)
            self.earlier_run()
            with fault:
                status, out, err = self.main('helix4', 'qumran')
            shown %= {'out': self.out}
            self.assertEqual(status, 1, shown)
            self.assertEqual(err, 'render: error: helix4: %s\n' % shown)
            self.assert_earlier_run(os.path.join(self.out, 'helix4'))
            self.assert_only_qumran_rendered(out)
            self.assertEqual(sorted(os.listdir(self.out)), ['helix4', 'qumran'], shown)
        # An interrupt or an exit still ends the run, the earlier folder kept.
        for i, stop in enumerate((KeyboardInterrupt, SystemExit)):
            self.out = self.path('stopped%d' % i)
            self.earlier_run()
            with output_of_helix4('portsbcm', stop()):
                self.assertRaises(stop, self.main, 'helix4', 'qumran')
            self.assert_earlier_run(os.path.join(self.out, 'helix4'))
            self.assertEqual(os.listdir(self.out), ['helix4'], stop.__name__)

    def test_usage_errors(self):
        for argv in (['nosuch'], ['--ports-conf', 'x', 'helix4', 'qumran']):
            old = sys.stderr
            sys.stderr = StringIO()
            try:
                self.assertRaises(SystemExit, render.main, argv)
            finally:
                sys.stderr = old


class FullFile(object):
    """A file on a full disk: nothing can be written to it."""

    def __init__(self, f):
        self.f = f

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.f.close()

    def write(self, text):
        raise IOError(errno.ENOSPC, os.strerror(errno.ENOSPC))


class DividingList(list):
    """A platform's port list whose length divides by zero."""

    def __len__(self):
        return 1 // 0


class Classic:
    """An error of a classic class, as older platform code raises them."""

    def __str__(self):
        return 'from a classic class'


class Bare(object):
    """A platform module with only the attributes given."""

    def __init__(self, **attrs):
        self.__dict__.update(attrs)


def output_of_helix4(name, effect):
    """helix4's configuration object raises `effect` for output `name`, or
    gives it as the text when it is no exception; every other output is
    the object's own."""
    import lanquist
    real = lanquist.BCMConfig

    class Config(real):
        def output(self, output):
            if self.platform.name == 'helix4' and output == name:
                if isinstance(effect, (BaseException, Classic)):
                    raise effect
                return effect
            return real.output(self, output)

    return patch(lanquist, 'BCMConfig', Config)


def noting(call, names):
    """`call` that notes the name it is called with in `names`."""
    def noted(name):
        names.append(name)
        return call(name)
    return noted


def write(path, text):
    with open(path, 'w') as f:
        f.write(text)


def snapshot(path):
    """What stands at `path`, to tell whether it was touched: its inode, kind
    and times (a rename changes the change time too), and its text or target."""
    st = os.lstat(path)
    if os.path.islink(path):
        content = os.readlink(path)
    elif os.path.isdir(path):
        content = sorted(os.listdir(path))
    else:
        with open(path) as f:
            content = f.read()
    return st.st_ino, st.st_mode, st.st_mtime, st.st_ctime, content


def current_umask():
    umask = os.umask(0)
    os.umask(umask)
    return umask


if __name__ == '__main__':
    unittest.main()
