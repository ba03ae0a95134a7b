"""Helpers shared by the suites: patching, temporary directories and the fake
outside programs."""
import contextlib
import os
import shutil
import subprocess as real_subprocess
import tempfile
import unittest

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


class TempDirTestCase(unittest.TestCase):
    """A test case with its own temporary directory, removed afterwards."""

    def setUp(self):
        super(TempDirTestCase, self).setUp()
        self.tmp = tempfile.mkdtemp(prefix='portconf-test-')
        self.addCleanup(shutil.rmtree, self.tmp, True)

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
