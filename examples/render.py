"""Render every start-up text of sample platforms into folders, as a switch's
start-up tool would produce them, without changing anything on this machine.

    render.py [-o OUT] [--ports-conf PATH] [--pulsic PATH] [PLATFORM ...]

For each platform (all samples when none is named) the configuration object
runs in dummy mode, reads the platform's ports.conf and writes each output
into OUT/<platform>/, one file per output name: the SDK texts, one rcports_<N>
per unit, and led<N>.hex per LED controller, assembled by pulsic (the
stand-in assembler of tests/stubs/bin when the switch's own is not installed).
An output that the chip does not serve gives no file. The port table is
rendered with the interface reconciliation in tap mode against runners that
record the ip and drovik commands instead of running them. A platform's folder
is replaced whole, and only when every output of it rendered and was written.
A file or symbolic link (whatever it points to) standing where a platform's
folder goes is left as it is and the platform fails, before anything of it is
rendered. A platform that fails (in rendering or in writing, whatever the
error) is reported, naming the platform and what failed, and the next one is
rendered; the exit status is then 1. An interrupt stops the run. Should the new
folder fail to take the old one's place and the old one fail to go back, both
errors are reported with the place the old folder was left in, where it stays.

Needs brontile, lanquist and glimra on the module path, and the maker's
package (tests/stubs stands in for it here).
"""
import contextlib
import errno
import optparse
import os
import shutil
import stat
import sys
import tempfile
import traceback
import types

import glimra
import lanquist
# On a switch the maker's platform package is loaded before start-up; the
# port map looks its chip classes up there.
import zarnith.platform  # noqa: F401

import platforms

HERE = os.path.dirname(os.path.abspath(__file__))
INSTALLED_PULSIC = '/usr/lib/zarnith/pulsic'
STAND_IN_PULSIC = os.path.join(os.path.dirname(HERE), 'tests', 'stubs', 'bin', 'pulsic')

# The output names of the configuration object, in the order they are
# rendered; "rcports_<unit>" stands for one name per unit.
OUTPUT_NAMES = ('portsbcm', 'porttab', 'linkdefaults', 'phytab', 'rcports_<unit>', 'rcled', 'rcphy',
                'ethertab', 'ucodebcm', 'sfptab', 'hwdesc', 'uft', 'riot', 'datapath', 'sdk',
                'rcforwarding')


class RenderError(Exception):
    """A render that failed, with the platform and the step or output named."""


class NotAFolder(Exception):
    """A file or symbolic link stands where a platform's folder goes."""

    def __init__(self, kind):
        Exception.__init__(self, kind)
        self.kind = kind


class OldFolderStranded(Exception):
    """The new folder could not take the old one's place and the old one could
    not be put back either: it is at `where`."""

    def __init__(self, swap, restore, where):
        Exception.__init__(self, swap, restore, where)
        self.swap, self.restore, self.where = swap, restore, where


class RecordingRunner(object):
    """Takes the place of the ip or drovik runner: records every command and
    answers as a runner in dummy mode does, with no output."""

    def __init__(self, program):
        self.program = program
        self.commands = []

    def run(self, args):
        self.commands.append([self.program] + list(args))
        return ''


class Result(object):
    def __init__(self, name, folder, shown):
        self.name = name
        self.folder = folder
        self.shown = shown
        self.ports = 0
        self.configured = 0
        self.interfaces = 0
        self.written = []
        self.absent = []
        self.commands = []
        self.config = None

    def summary(self):
        text = '%s: %d ports (%d configured), %d logical interfaces; %d outputs written to %s' % (
            self.name, self.ports, self.configured, self.interfaces, len(self.written), self.shown)
        if self.absent:
            text += '; no file for %s (the chip serves none)' % ', '.join(self.absent)
        return text + '; %d interface commands recorded, none run' % len(self.commands)


@contextlib.contextmanager
def environment(name, value):
    old = os.environ.get(name)
    os.environ[name] = value
    try:
        yield
    finally:
        if old is None:
            del os.environ[name]
        else:
            os.environ[name] = old


@contextlib.contextmanager
def assembler(path):
    """LED programs are assembled by `path` for the duration of the block."""
    cls = glimra.BCMLEDController
    old = cls._pulsic
    cls._pulsic = path
    try:
        yield
    finally:
        cls._pulsic = old


def default_pulsic():
    if os.access(INSTALLED_PULSIC, os.X_OK):
        return INSTALLED_PULSIC
    return STAND_IN_PULSIC


def _describe(exc):
    # An instance of a classic class is of type "instance"; its class names it.
    name = (exc.__class__ if isinstance(exc, types.InstanceType) else type(exc)).__name__
    try:
        text = str(exc)
    except (KeyboardInterrupt, SystemExit):
        raise
    except:  # noqa: E722 (a message that cannot be shown must not end the run)
        try:
            text = unicode(exc).encode('ascii', 'backslashreplace')
        except (KeyboardInterrupt, SystemExit):
            raise
        except:  # noqa: E722
            text = '(a message that cannot be shown)'
    return '%s: %s' % (name, text) if text else name


def _outputs(config):
    """(file name, output name, how to render) for every output, in order."""
    for name in OUTPUT_NAMES:
        if name == 'rcports_<unit>':
            for unit in sorted(config.port_units):
                yield 'rcports_%s' % unit, 'rcports_%s' % unit, None
        elif name == 'porttab':
            yield name, name, 'tap'
        else:
            yield name, name, None
    for controller, text in sorted(config.led_hex.items()):
        yield 'led%d.hex' % controller, 'led_hex[%d]' % controller, text


def _failed(name, what, exc):
    """Raise the RenderError for `exc`, with the stack trace of the original
    failure."""
    raise RenderError('%s: %s failed: %s' % (name, what, _describe(exc))), None, sys.exc_info()[2]


@contextlib.contextmanager
def _step(name, what):
    """Any failure of the block fails the platform, naming `what`: platform
    code may raise anything, an instance of a classic class included. An
    interrupt or an exit ends the run."""
    try:
        yield
    except (KeyboardInterrupt, SystemExit, RenderError):
        raise
    except:  # noqa: E722
        _failed(name, what, sys.exc_info()[1])


def _render_into(name, folder, ports_conf, result):
    # Every output of a platform is rendered before the next platform is
    # configured: the LED run lists live in one table per process, by
    # controller number, and the last configuration fills it.
    with _step(name, 'platform definition'):
        module = platforms.load(name)
        platform = module.platform()
        ports_conf = ports_conf or module.PORTS_CONF
    with _step(name, 'configuration with %s' % ports_conf):
        config = lanquist.BCMConfig(platform, dummy=True)
        ip, drovik = RecordingRunner('ip'), RecordingRunner('drovik')
        config.iproute2, config.drovik = ip, drovik
        config.read_config(ports_conf)

    with _step(name, 'counting its ports'):
        result.ports = len(platform.switch.ports)
        result.configured = len(config.ports)
        result.interfaces = sum(port.num_logical_ports for port in config.ports)
    with _step(name, 'output "led_hex"'):
        outputs = list(_outputs(config))
    for file_name, output, how in outputs:
        with _step(name, 'output "%s"' % output):
            if how == 'tap':
                with environment('DROVIK_USE_TUNTAP', '1'):
                    text = config.output(output)
            elif how is None:
                text = config.output(output)
            else:
                text = how
        if text is None:
            result.absent.append(output)
            continue
        with _step(name, 'writing output "%s" to %s' % (output, os.path.join(result.shown, file_name))):
            with open(os.path.join(folder, file_name), 'w') as f:
                f.write(text)
        result.written.append(file_name)
    result.commands = ip.commands + drovik.commands
    result.config = config


def _not_a_folder(path):
    """What stands at `path` when it is there and not a folder ("a file" or "a
    symbolic link", whatever the link points to); None otherwise."""
    try:
        mode = os.lstat(path).st_mode
    except OSError as exc:
        if exc.errno in (errno.ENOENT, errno.ENOTDIR):
            return None
        raise
    if stat.S_ISDIR(mode):
        return None
    return 'a symbolic link' if stat.S_ISLNK(mode) else 'a file'


def _replace_folder(new, dest):
    """Put folder `new` in the place of folder `dest`: the old folder is
    dropped only once the new one is in place, and put back when the new one
    cannot be. Raises NotAFolder, having changed nothing, when a file or link
    stands at `dest`, and OldFolderStranded when the old folder cannot be put
    back."""
    # Rendering took a while: look again right before the swap.
    kind = _not_a_folder(dest)
    if kind:
        raise NotAFolder(kind)
    if not os.path.lexists(dest):
        # A file or link put there meanwhile makes this fail (ENOTDIR), untouched.
        os.rename(new, dest)
        return
    trash = tempfile.mkdtemp(prefix='.%s.old-' % os.path.basename(dest), dir=os.path.dirname(dest))
    old = os.path.join(trash, 'old')
    try:
        os.rename(dest, old)
    except Exception:
        shutil.rmtree(trash, ignore_errors=True)
        raise
    # What was moved aside is removed below: it must be the folder looked at,
    # not a file or link that took its place in between.
    kind = _not_a_folder(old)
    if kind:
        _put_back(old, dest, NotAFolder(kind))
        shutil.rmtree(trash, ignore_errors=True)
        raise NotAFolder(kind)
    try:
        os.rename(new, dest)
    except Exception:
        swap = sys.exc_info()
        _put_back(old, dest, swap[1])
        shutil.rmtree(trash, ignore_errors=True)
        raise swap[0], swap[1], swap[2]
    shutil.rmtree(trash, ignore_errors=True)


def _put_back(old, dest, swap):
    """Move `old` back to `dest` after `swap` failed the replacement; should
    that fail too, `old` stays where it is, never removed, and the caller is
    told where."""
    try:
        os.rename(old, dest)
    except Exception as exc:
        raise OldFolderStranded(swap, exc, old)


def _not_its_folder(name, shown, kind):
    raise RenderError('%s: %s is %s, not its folder; left as it is' % (name, shown, kind))


def _stranded(name, shown, exc, where):
    """Raise the RenderError for an old folder (or the file or link that took
    its place) that neither the new folder nor itself could replace: both
    errors, and where it is now, for the operator to put it back."""
    if isinstance(exc.swap, NotAFolder):
        swap, what = '%s took its place' % exc.swap.kind, 'the' + exc.swap.kind[1:]
    else:
        swap, what = _describe(exc.swap), 'the old folder'
    raise RenderError('%s: putting its folder in place at %s failed: %s; putting %s back failed too: %s; '
                      '%s is now at %s' % (name, shown, swap, what, _describe(exc.restore), what, where))


def render(name, out, ports_conf=None, pulsic=None):
    """Render sample platform `name` into `out`/`name`; returns its Result.
    Raises RenderError naming the platform and what failed; the folder is then
    left as it was."""
    shown = os.path.join(out, name)
    out = os.path.abspath(out)
    dest = os.path.join(out, name)
    result = Result(name, dest, shown)
    work = None
    try:
        # Before anything of the platform is rendered or made.
        with _step(name, 'looking at %s' % shown):
            kind = _not_a_folder(dest)
        if kind:
            _not_its_folder(name, shown, kind)
        with _step(name, 'making its folder in %s' % (os.path.dirname(shown) or '.')):
            if not os.path.isdir(out):
                os.makedirs(out)
            work = tempfile.mkdtemp(prefix='.%s.new-' % name, dir=out)
            # mkdtemp makes the folder private; the finished one is an ordinary folder.
            umask = os.umask(0)
            os.umask(umask)
            os.chmod(work, 0o777 & ~umask)
        with assembler(pulsic or default_pulsic()):
            _render_into(name, work, ports_conf, result)
        with _step(name, 'putting its folder in place at %s' % shown):
            try:
                _replace_folder(work, dest)
            except NotAFolder as exc:
                _not_its_folder(name, shown, exc.kind)
            except OldFolderStranded as exc:
                _stranded(name, shown, exc, os.path.join(os.path.dirname(shown), os.path.relpath(exc.where, out)))
    finally:
        if work is not None and os.path.isdir(work):
            shutil.rmtree(work, ignore_errors=True)
    return result


def main(argv=None):
    parser = optparse.OptionParser(usage='%prog [-o OUT] [--ports-conf PATH] [--pulsic PATH] [PLATFORM ...]',
                                   description='Render every output of the sample platforms (all of them '
                                               'when none is named: %s).' % ', '.join(platforms.SAMPLES))
    parser.add_option('-o', '--out', default='out', help='folder for the platforms\' folders [%default]')
    parser.add_option('--ports-conf', help='ports.conf to read in place of the platform\'s own '
                                           '(one platform only)')
    parser.add_option('--pulsic', help='LED assembler [%s when installed, else the stand-in]' % INSTALLED_PULSIC)
    parser.add_option('--traceback', action='store_true', help='print the stack trace of a failure')
    opts, names = parser.parse_args(argv)
    names = names or list(platforms.SAMPLES)
    unknown = [n for n in names if n not in platforms.SAMPLES]
    if unknown:
        parser.error('no sample platform %s (there are: %s)' % (', '.join(unknown), ', '.join(platforms.SAMPLES)))
    if opts.ports_conf and len(names) != 1:
        parser.error('--ports-conf goes with exactly one platform')
    failed = 0
    for name in names:
        try:
            result = render(name, opts.out, opts.ports_conf, opts.pulsic)
        except RenderError as exc:
            failed += 1
            if opts.traceback:
                traceback.print_exc()
            sys.stderr.write('render: error: %s\n' % exc)
            continue
        print result.summary()
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
