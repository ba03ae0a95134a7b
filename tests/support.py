"""Helpers shared by the suites: patching, temporary directories, the fake
outside programs, platform ports and private namespaces."""
import contextlib
import decimal
import json
import os
import shutil
import subprocess as real_subprocess
import sys
import syslog as real_syslog
import tempfile
import types
import unittest
from distutils.spawn import find_executable

# Under AddressSanitizer the runtimes are preloaded into the interpreter.
SANITIZED = 'asan' in os.environ.get('LD_PRELOAD', '')

STUB_BIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'stubs', 'bin')
PYTHON2 = '/root/.pyenv/versions/2.7.18/bin/python2.7'

# Where the modules look for the outside programs, and the stand-in for each.
PROGRAMS = {
    '/usr/zarnith/bin/idwarden': os.path.join(STUB_BIN, 'idwarden'),
    '/usr/lib/zarnith/drovik': os.path.join(STUB_BIN, 'drovik'),
    'ip': os.path.join(STUB_BIN, 'ip'),
}

_missing = object()


@contextlib.contextmanager
def patch(obj, name, value):
    """Replace obj.name for the duration of the block."""
    old = getattr(obj, name, _missing)
    setattr(obj, name, value)
    try:
        yield value
    finally:
        if old is _missing:
            delattr(obj, name)
        else:
            setattr(obj, name, old)


@contextlib.contextmanager
def environ(**values):
    """Set (or, with None, remove) environment variables for the block."""
    old = dict((k, os.environ.get(k)) for k in values)
    for k, v in values.items():
        if v is None:
            os.environ.pop(k, None)
        else:
            os.environ[k] = v
    try:
        yield
    finally:
        for k, v in old.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v


class NotingList(list):
    """A list subclass whose own append notes each item in `noted` and keeps
    nothing itself: a caller that skipped it leaves the list non-empty."""
    def __init__(self, *items):
        list.__init__(self, items)
        self.noted = []

    def append(self, item):
        self.noted.append(item)


class FakeSubprocess(object):
    """Stands in for the subprocess module: records every argument vector and
    runs the stand-in program in place of the real one (unless real=True, or
    the program has no stand-in)."""

    CalledProcessError = real_subprocess.CalledProcessError

    def __init__(self, real=False):
        self.calls = []
        self.real = real

    def check_output(self, argv, *args, **kwargs):
        self.calls.append(list(argv))
        if args or kwargs:
            raise AssertionError('unexpected options: %r %r' % (args, kwargs))
        if not self.real and argv and argv[0] in PROGRAMS:
            argv = [PROGRAMS[argv[0]]] + list(argv[1:])
        return real_subprocess.check_output(argv)

    def __getattr__(self, name):
        return getattr(real_subprocess, name)


class Syslog(object):
    """Stands in for the syslog module: notes each message in `messages`
    instead of sending it to this machine's log."""

    def __init__(self):
        self.messages = []

    def syslog(self, *args):
        self.messages.append(args)

    def __getattr__(self, name):
        if name.startswith('LOG_'):
            return getattr(real_syslog, name)
        raise AttributeError(name)


class FailingOs(object):
    """The os module, with one of its functions replaced by one that raises
    (with `when`, only for the calls whose arguments it accepts)."""

    def __init__(self, name, exc, when=None):
        self._name = name
        self._exc = exc
        self._when = when

    def __getattr__(self, name):
        real = getattr(os, name)
        if name == self._name:
            def fail(*args):
                if self._when is None or self._when(*args):
                    raise self._exc
                return real(*args)
            return fail
        return real


def making_a_file(path, flags, *mode):
    """For FailingOs('open', ...): the call makes a new file."""
    return bool(flags & os.O_CREAT)


def raised(call, *args, **kwargs):
    """The exception that call(*args, **kwargs) raises, or None."""
    try:
        call(*args, **kwargs)
    except Exception as e:  # the caller checks the kind
        return e
    return None


def bare(cls):
    """An object of `cls` (a new-style or a classic class) made without __init__."""
    if isinstance(cls, types.ClassType):
        return types.InstanceType(cls)
    return cls.__new__(cls)


class TempDirTestCase(unittest.TestCase):
    """A test case with its own temporary directory, removed afterwards; what
    the code under test makes through tempfile (the LED assembler's working
    folders) goes in it too."""

    def setUp(self):
        super(TempDirTestCase, self).setUp()
        self.tmp = tempfile.mkdtemp(prefix='portconf-test-')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        cm = patch(tempfile, 'tempdir', self.tmp)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def write(self, name, text):
        p = self.path(name)
        d = os.path.dirname(p)
        if not os.path.isdir(d):
            os.makedirs(d)
        with open(p, 'w') as f:
            f.write(text)
        return p


class TmpfsTestCase(TempDirTestCase):
    """A test case whose child mounts tmpfs in a private mount namespace;
    skipped where that cannot be done here."""

    def setUp(self):
        super(TmpfsTestCase, self).setUp()
        skip_unless_namespaces(self, net=False, tmpfs=True)


# SDKPort's constructor parameters, in order.
WIRING = ('label', 'hw_ports', 'phy_types', 'phy_addrs', 'phy_layer', 'prim_offset', 'leds', 'unit',
          'rx_polarity_flip', 'tx_polarity_flip', 'rx_lane_map', 'tx_lane_map', 'mdi_pair_map',
          'pre_emphasis', 'drv_current', 'pre_drv_current', 'oversub', 'phy_id1', 'sys_interface')


def make_port(cls=None, **fields):
    """A platform port of `cls` (brontile.SDKPort by default) with every
    wiring field None but those given."""
    if cls is None:
        import brontile
        cls = brontile.SDKPort
    args = dict.fromkeys(WIRING)
    args.update(fields)
    return cls(**args)


class Platform(object):
    """What the maker's platform probe answers: a platform whose switch holds
    `ports`."""

    def __init__(self, ports):
        self.switch = type('Switch', (object,), {})()
        self.switch.ports = ports


# --- private namespaces ----------------------------------------------------------
# A suite that needs real devices or mounts runs its own file again as a child
# under `unshare`: the child does the work in namespaces of its own and writes
# what it saw as JSON, which the test reads back and checks.

def _unshare(net):
    return ['unshare'] + (['--net'] if net else []) + ['--mount']


def skip_unless_namespaces(test, net=True, tun=False, tmpfs=False):
    """Skip `test` (a TempDirTestCase) unless a child may be given a private
    mount namespace (and, with net, a private network namespace); with tun,
    unless tap devices can be made; with tmpfs, unless a tmpfs may be mounted
    in it."""
    programs = ('unshare', 'ip', 'mount') if net else ('unshare', 'mount')
    for program in programs:
        if not find_executable(program, os.environ.get('PATH', '') + ':/sbin:/usr/sbin:/bin'):
            test.skipTest('%s is not installed' % program)
    if tun and not os.path.exists('/dev/net/tun'):
        test.skipTest('no /dev/net/tun: tap devices cannot be made here')
    if tmpfs:
        probe = ['sh', '-c', 'mount -t tmpfs -o size=4k tmpfs "$0"', test.tmp]
    else:
        probe = ['true']
    proc = real_subprocess.Popen(_unshare(net) + probe, stdout=real_subprocess.PIPE,
                                 stderr=real_subprocess.STDOUT)
    output = proc.communicate()[0]
    if proc.returncode != 0:
        test.skipTest('private %s namespaces%s are not allowed here: %s'
                      % ('network' if net else 'mount', ' with a tmpfs' if tmpfs else '', output.strip()))


def run_child_in_namespace(test, script, args=(), net=True, under=()):
    """Run `script --child ARGS... RESULT` in private namespaces (with net,
    sysfs remounted so /sys shows the new network namespace), the
    interpreter started by the command `under` where one is given, and return
    the result the child wrote (see main); fail `test` with the child's output
    if it failed."""
    result_path = os.path.join(test.tmp, 'child-result.json')
    setup = 'mount -t sysfs sysfs /sys && ' if net else ''
    argv = _unshare(net) + ['sh', '-c', setup + 'exec "$@"', 'sh'] + list(under) + [sys.executable, '-B',
                            os.path.abspath(script), '--child'] + list(args) + [result_path]
    proc = real_subprocess.Popen(argv, stdout=real_subprocess.PIPE, stderr=real_subprocess.PIPE)
    out, err = proc.communicate()
    if proc.returncode != 0:
        test.fail('child failed:\n%s%s' % (out, err))
    with open(result_path) as f:
        return json.load(f)


def main(child=None):
    """A suite file's entry point: the tests, or, run as `--child ARGS...
    RESULT` by run_child_in_namespace, child(*ARGS) with the result it returns
    written to RESULT as JSON."""
    if child is not None and len(sys.argv) >= 3 and sys.argv[1] == '--child':
        result = child(*sys.argv[2:-1])
        with open(sys.argv[-1], 'w') as f:
            json.dump(result, f)
    else:
        unittest.main()


# --- cost in instructions ------------------------------------------------------------
# A bound on cost counts work, which the load of the machine does not move:
# callgrind counts the instructions a child interpreter executes.

def _instructions(test, argv):
    """Instructions that the process `argv` executes, counted by callgrind;
    fails `test` if valgrind is missing or the process fails."""
    program = find_executable('valgrind')
    if program is None:
        test.fail('valgrind is not installed (scripts/deps installs it): the cost cannot be counted')
    folder = tempfile.mkdtemp(prefix='portconf-callgrind-')
    try:
        counts = os.path.join(folder, 'callgrind.out')
        proc = real_subprocess.Popen([program, '--tool=callgrind', '--callgrind-out-file=' + counts] + argv,
                                     stdout=real_subprocess.PIPE, stderr=real_subprocess.PIPE)
        out, err = proc.communicate()
        if proc.returncode != 0:
            test.fail('counted child failed:\n%s%s' % (out, err))
        with open(counts) as f:
            for line in f:
                if line.startswith(('summary:', 'totals:')):
                    return int(line.split()[1])
        test.fail('no instruction total in the callgrind output')
    finally:
        shutil.rmtree(folder, True)


def instructions_per_call(test, script, *args):
    """Instructions of one call of the work that `script`'s child does: the
    child, run as `script --child ARGS... CALLS RESULT` (see main), sets up and
    then makes the call CALLS times; the count with two calls less the count
    with one leaves one call's cost, the interpreter's start and the setup
    cancelling out. Skips `test` under the sanitizers, which valgrind cannot
    run the modules with: call it after the test's other assertions."""
    if SANITIZED:
        test.skipTest('instructions are not counted under the sanitizers: valgrind cannot run the modules '
                      'with their runtimes preloaded')
    result = os.path.join(tempfile.mkdtemp(prefix='portconf-counted-'), 'result.json')
    try:
        counts = [_instructions(test, [sys.executable, '-B', os.path.abspath(script), '--child']
                                + [str(a) for a in args] + [str(calls), result]) for calls in (1, 2)]
    finally:
        shutil.rmtree(os.path.dirname(result), True)
    test.assertGreater(counts[1], counts[0], 'a second call cost nothing: %r' % counts)
    return counts[1] - counts[0]


class _IntCount(object):
    def __int__(self):
        return 2


class _IndexCount(object):
    def __index__(self):
        return 2


def range_counts():
    """Counts that range() takes, or refuses with its own error, for members
    that count as it does."""
    return (2, 2L, True, 0, -1, _IntCount(), decimal.Decimal(2), 2.0, _IndexCount(), '2', None, 2 ** 70)
