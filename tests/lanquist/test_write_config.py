"""write_config replaces the operator's ports.conf whole or not at all: the new
text goes to a file beside the target, renamed over it only once every line is
written; the permission bits stay, a symbolic link stays a link, and a failure
leaves the old file as it was with no stray file beside it.

The full-disk cases run this file again as a child process under
`unshare --mount`, with a tiny tmpfs mounted in the private mount namespace."""
import errno
import os
import stat
import subprocess
import sys
import threading
import time

import lanquist
import sdkkit
import support
from support import FailingOs, TempDirTestCase, patch

COMMENT = '# XXX - default config file (needs documentation comments)\n'
OLD = '# the operator\'s own\n1=100G\n2=4x25G\n'


def ports_conf(config_map):
    return COMMENT + ''.join('%s=%s\n' % (k, config_map[k]) for k in sorted(config_map, key=int))


def put(path, text=OLD):
    with open(path, 'w') as f:
        f.write(text)


def config_with(config_map):
    c = lanquist.Config(sdkkit.platform(), dummy=True)
    c.config_map = config_map
    return c


def skip_unless_root(test):
    if os.getuid() != 0:
        test.skipTest('giving a file another owner needs root')


class BadStr(object):
    def __str__(self):
        raise ZeroDivisionError('no text for this mode')


class WriteConfigTest(TempDirTestCase):
    def setUp(self):
        super(WriteConfigTest, self).setUp()
        self.old_umask = os.umask(0o022)
        self.addCleanup(os.umask, self.old_umask)
        self.dir = self.path('etc')
        os.mkdir(self.dir)
        self.target = os.path.join(self.dir, 'ports.conf')

    def test_replaces_the_file_keeping_its_permission_bits(self):
        for bits in (0o644, 0o600, 0o640, 0o4755):
            put(self.target)
            os.chmod(self.target, bits)
            before = os.stat(self.target).st_ino
            config_with({'2': '40G', '1': '100G'}).write_config(self.target)
            self.assertEqual(open(self.target).read(), COMMENT + '1=100G\n2=40G\n', oct(bits))
            self.assertEqual(stat.S_IMODE(os.stat(self.target).st_mode), bits, oct(bits))
            self.assertNotEqual(os.stat(self.target).st_ino, before, 'a new file renamed over the old one')
            self.assertEqual(os.listdir(self.dir), ['ports.conf'])

    def test_new_file_gets_the_default_permission_bits(self):
        for umask, bits in ((0o022, 0o644), (0o077, 0o600), (0o002, 0o664)):
            os.umask(umask)
            config_with({'1': '10G'}).write_config(self.target)
            self.assertEqual(stat.S_IMODE(os.stat(self.target).st_mode), bits, oct(umask))
            self.assertEqual(open(self.target).read(), COMMENT + '1=10G\n')
            os.remove(self.target)

    def test_writes_through_a_symbolic_link(self):
        real = os.path.join(self.dir, 'real.conf')
        other = self.path('other')
        os.mkdir(other)
        # (link path, what it holds, the file it names)
        cases = (
            (self.target, real, real),
            (self.target, 'real.conf', real),
            (os.path.join(other, 'ports.conf'), '../etc/real.conf', real),
            (os.path.join(other, 'chained'), os.path.join(other, 'ports.conf'), real),
        )
        for link, points_to, named in cases:
            put(real)
            os.chmod(real, 0o640)
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(points_to, link)
            config_with({'3': '25G'}).write_config(link)
            self.assertTrue(os.path.islink(link), link)
            self.assertEqual(os.readlink(link), points_to, link)
            self.assertEqual(open(named).read(), COMMENT + '3=25G\n', link)
            self.assertEqual(stat.S_IMODE(os.stat(named).st_mode), 0o640, link)
        self.assertEqual(sorted(os.listdir(self.dir)), ['ports.conf', 'real.conf'])
        self.assertEqual(sorted(os.listdir(other)), ['chained', 'ports.conf'])

    def test_dangling_link_makes_the_file_it_names(self):
        os.symlink('made.conf', self.target)
        config_with({'1': '10G'}).write_config(self.target)
        self.assertTrue(os.path.islink(self.target))
        self.assertEqual(open(os.path.join(self.dir, 'made.conf')).read(), COMMENT + '1=10G\n')

    def test_a_pipe_is_written_to_not_replaced(self):
        fifo = os.path.join(self.dir, 'pipe')
        os.mkfifo(fifo)
        got = []
        reader = threading.Thread(target=lambda: got.append(open(fifo).read()))
        reader.daemon = True
        reader.start()
        try:
            config_with({'1': '10G'}).write_config(fifo)
            # A pipe put in place of this one would keep the reader waiting for good.
            self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
            # The writer has closed the pipe: the reader has all of the text and its end.
            reader.join()
        finally:
            if reader.is_alive():  # let the reader go
                os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
        self.assertEqual(got, [COMMENT + '1=10G\n'])
        self.assertEqual(os.listdir(self.dir), ['pipe'])

    def test_failures_leave_the_file_untouched(self):
        enospc = OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))
        # (what, config map, os stand-in or None, error, errno of an IOError)
        cases = (
            ('unicode mode that cannot be encoded', {'1': u'100G\xe9'}, None, UnicodeEncodeError, None),
            ('unicode mode after good lines', {'1': '100G', '2': '40G', '3': u'\u2603'}, None,
             UnicodeEncodeError, None),
            ('mode whose str() raises', {'1': '10G', '2': BadStr()}, None, ZeroDivisionError, None),
            ('disk full when synced', {'1': '10G'}, FailingOs('fsync', enospc), IOError, errno.ENOSPC),
            ('rename refused', {'1': '10G'}, FailingOs('rename', OSError(errno.EPERM, 'refused')), IOError,
             errno.EPERM),
            ('bad key', {'1': '10G', 'swp2': '10G'}, None, ValueError, None),
        )
        for what, config_map, fake_os, error, number in cases:
            put(self.target)
            os.chmod(self.target, 0o640)
            c = config_with(config_map)
            with patch(lanquist, 'os', fake_os or os):
                with self.assertRaises(error) as cm:
                    c.write_config(self.target)
            if number is not None:
                self.assertEqual(cm.exception.errno, number, what)
                self.assertEqual(cm.exception.filename, self.target, what)
            self.assertEqual(open(self.target).read(), OLD, what)
            self.assertEqual(stat.S_IMODE(os.stat(self.target).st_mode), 0o640, what)
            self.assertEqual(os.listdir(self.dir), ['ports.conf'], what)

    def test_keeps_owner_group_and_hard_links(self):
        skip_unless_root(self)
        other = os.path.join(self.dir, 'other-name')
        # (what, prepare the file)
        cases = (
            ('another owner and group', lambda: os.chown(self.target, 4321, 8765)),
            ('another group only', lambda: os.chown(self.target, os.getuid(), 8765)),
            ('a second hard link', lambda: os.link(self.target, other)),
        )
        for what, prepare in cases:
            put(self.target)
            os.chmod(self.target, 0o640)
            prepare()
            before = os.stat(self.target)
            config_with({'1': '100G'}).write_config(self.target)
            after = os.stat(self.target)
            self.assertEqual(open(self.target).read(), COMMENT + '1=100G\n', what)
            self.assertEqual((after.st_uid, after.st_gid, stat.S_IMODE(after.st_mode), after.st_nlink),
                             (before.st_uid, before.st_gid, 0o640, before.st_nlink), what)
            if before.st_nlink > 1:
                self.assertEqual(after.st_ino, before.st_ino, what)
                self.assertEqual(open(other).read(), COMMENT + '1=100G\n', what)
                os.remove(other)
            self.assertEqual(os.listdir(self.dir), ['ports.conf'], what)

    def test_written_in_place_where_a_replacement_cannot_serve(self):
        skip_unless_root(self)
        def refused(no):
            return OSError(no, os.strerror(no))
        # (what, os stand-in)
        cases = (
            ('no file can be made beside it', FailingOs('open', refused(errno.EACCES), support.making_a_file)),
            ('no file may be made beside it', FailingOs('open', refused(errno.EPERM), support.making_a_file)),
            ('the owner cannot be given', FailingOs('fchown', refused(errno.EPERM))),
            ('a mount point', FailingOs('rename', refused(errno.EBUSY))),
            ('another file system', FailingOs('rename', refused(errno.EXDEV))),
        )
        for what, fake_os in cases:
            put(self.target)
            os.chmod(self.target, 0o640)
            os.chown(self.target, 4321, 8765)
            before = os.stat(self.target)
            with patch(lanquist, 'os', fake_os):
                config_with({'1': '100G', '2': '4x25G'}).write_config(self.target)
            after = os.stat(self.target)
            self.assertEqual(open(self.target).read(), COMMENT + '1=100G\n2=4x25G\n', what)
            self.assertEqual((after.st_ino, after.st_uid, after.st_gid, stat.S_IMODE(after.st_mode)),
                             (before.st_ino, 4321, 8765, 0o640), what)
            self.assertEqual(os.listdir(self.dir), ['ports.conf'], what)

    def test_targets_that_cannot_be_written(self):
        # (what, path, errno): IOError as opening the file for writing gives it
        cases = (
            ('a directory', self.dir, errno.EISDIR),
            ('no such directory', self.path('nowhere', 'ports.conf'), errno.ENOENT),
            ('a file as directory', os.path.join(self.target, 'ports.conf'), errno.ENOTDIR),
        )
        put(self.target)
        for what, path, number in cases:
            with self.assertRaises(IOError) as cm:
                config_with({'1': '10G'}).write_config(path)
            self.assertEqual((cm.exception.errno, cm.exception.filename), (number, path), what)
        self.assertEqual(os.listdir(self.dir), ['ports.conf'])
        self.assertEqual(sorted(os.listdir(self.tmp)), ['etc'])
        self.assertEqual(open(self.target).read(), OLD)


def nth_call(*numbers):
    """For FailingOs: fail the calls of these numbers only (counting from 1)."""
    calls = []

    def when(*args):
        calls.append(args)
        return len(calls) in numbers
    return when


class RecordingOs(object):
    """The os module, noting the name and first argument of every call."""

    def __init__(self):
        self.calls = []

    def __getattr__(self, name):
        real = getattr(os, name)
        if not callable(real) or name == 'path':
            return real

        def call(*args):
            result = real(*args)
            self.calls.append((name, args[0] if args else None, result))
            return result
        return call


LONGER = dict((str(i), '4x25G') for i in range(1, 40))


class InPlaceTest(TempDirTestCase):
    """A file of several hard links is rewritten through its own inode."""

    def setUp(self):
        super(InPlaceTest, self).setUp()
        self.target = self.path('ports.conf')
        self.other = self.path('other-name')

    def linked(self, text):
        put(self.target, text)
        os.chmod(self.target, 0o640)
        os.link(self.target, self.other)
        return os.stat(self.target)

    def check_both(self, text, before, what):
        for name in (self.target, self.other):
            with open(name) as f:
                self.assertEqual(f.read(), text, '%s: %s' % (what, name))
        after = os.stat(self.target)
        self.assertEqual((after.st_ino, after.st_nlink, stat.S_IMODE(after.st_mode)),
                         (before.st_ino, 2, 0o640), what)
        self.assertEqual(sorted(os.listdir(self.tmp)), ['other-name', 'ports.conf'], what)

    def test_shorter_and_longer_texts_exactly(self):
        longer = COMMENT + ''.join('%d=4x25G\n' % i for i in range(1, 40))
        # (what, old text, new map, new text)
        cases = (
            ('longer', OLD, LONGER, longer),
            ('shorter', longer, {'1': '10G'}, COMMENT + '1=10G\n'),
            ('same length', COMMENT + '1=40G\n', {'1': '25G'}, COMMENT + '1=25G\n'),
            ('from empty', '', {'1': '10G'}, COMMENT + '1=10G\n'),
        )
        for what, old, config_map, new in cases:
            before = self.linked(old)
            config_with(config_map).write_config(self.target)
            self.check_both(new, before, what)
            os.remove(self.other)

    def test_a_failed_write_leaves_the_old_text(self):
        def failing(name, *n):
            return FailingOs(name, OSError(errno.ENOSPC, os.strerror(errno.ENOSPC)), nth_call(*n))
        # (what, os stand-in, new map, errno)
        cases = (
            ('no room for a longer text', failing('write', 1), LONGER, errno.ENOSPC),
            ('the overwrite of a longer text', failing('write', 2), LONGER, errno.ENOSPC),
            ('the old text cannot be written back', failing('write', 2, 3), LONGER, errno.ENOSPC),
            ('the overwrite of a shorter text', failing('write', 1), {'1': '10G'}, errno.EIO),
            ('the cut to the new length', failing('ftruncate', 1), {'1': '10G'}, errno.EIO),
            ('disk full when synced', failing('fsync', 1), LONGER, errno.ENOSPC),
            ('a write that takes nothing', FailingWrite(), LONGER, errno.ENOSPC),
        )
        for what, fake_os, config_map, number in cases:
            if hasattr(fake_os, '_exc'):
                fake_os._exc = OSError(number, os.strerror(number))
            before = self.linked(OLD)
            with patch(lanquist, 'os', fake_os):
                with self.assertRaises(IOError) as cm:
                    config_with(config_map).write_config(self.target)
            self.assertEqual((cm.exception.errno, cm.exception.filename), (number, self.target), what)
            self.check_both(OLD, before, what)
            os.remove(self.other)

    def test_a_file_that_cannot_be_read_back_is_not_written(self):
        # Without its old text the file could not be put back after a failed write.
        before = self.linked(OLD)
        with patch(lanquist, 'os', FailingOs('read', OSError(errno.EIO, 'unreadable'))):
            with self.assertRaises(IOError) as cm:
                config_with({'1': '10G'}).write_config(self.target)
        self.assertEqual((cm.exception.errno, cm.exception.filename), (errno.EIO, self.target))
        self.check_both(OLD, before, 'unreadable')


# How often a wait for another process polls, and how long it sleeps between
# polls. The count only keeps a fault from hanging the suite: the wait ends as
# soon as its condition holds, however slow the machine.
POLLS = 6000
POLL_SECONDS = 0.05


def poll_until(condition, what, polls=POLLS):
    """Return once `condition()` holds; fail, naming `what`, if it still does
    not after `polls` polls."""
    for _ in xrange(polls):
        if condition():
            return
        time.sleep(POLL_SECONDS)
    if not condition():
        raise AssertionError('gave up waiting for %s after %d polls' % (what, polls))


def waiting_for_flock(pid):
    """Whether process `pid` waits for a FLOCK lock: the kernel lists its
    blocked request in /proc/locks, marked "->"."""
    with open('/proc/locks') as f:
        for line in f:
            fields = line.split()
            if '->' in fields:
                at = fields.index('->')
                if fields[at + 1:at + 2] == ['FLOCK'] and fields[at + 4:at + 5] == [str(pid)]:
                    return True
    return False


class HoldingOs(object):
    """The os module, with a first write that stops halfway until the file
    `release` appears in `folder` (it makes `held` there meanwhile)."""

    def __init__(self, folder):
        self.folder = folder
        self.writes = 0

    def write(self, fd, data):
        self.writes += 1
        if self.writes > 1:
            return os.write(fd, data)
        done = os.write(fd, data[:len(data) // 2])
        open(os.path.join(self.folder, 'held'), 'w').close()
        # Twice the test's bound, so that the test's own wait is the one to give up.
        poll_until(lambda: os.path.exists(os.path.join(self.folder, 'release')), 'the release', 2 * POLLS)
        return done

    def __getattr__(self, name):
        return getattr(os, name)


WRITERS = {'first': dict((str(i), '4x25G') for i in range(1, 3000)),
           'second': dict((str(i), '100G') for i in range(1, 2000))}


def writer_child(target, which, hold_folder=None):
    """One writer of `target`, in a process of its own; with `hold_folder`,
    held halfway through its first write."""
    with patch(lanquist, 'os', HoldingOs(hold_folder) if hold_folder else os):
        config_with(WRITERS[which]).write_config(target)
    return {}


class TwoWritersTest(TempDirTestCase):
    def writer(self, *args):
        return subprocess.Popen([sys.executable, '-B', __file__, '--child', 'writer', self.target] + list(args)
                                + [self.path('result-%s.json' % args[0])])

    def test_the_later_writer_waits_and_its_text_stands_whole(self):
        self.target = self.path('ports.conf')
        self.write('ports.conf', OLD)
        os.link(self.target, self.path('other-name'))
        first = self.writer('first', self.tmp)
        try:
            poll_until(lambda: os.path.exists(self.path('held')) or first.poll() is not None,
                       'the first writer to be held or end')
            self.assertIsNone(first.poll(), 'the first writer was not held')
            second = self.writer('second')
            poll_until(lambda: waiting_for_flock(second.pid) or second.poll() is not None,
                       'the second writer to wait for the lock or end')
            waited = waiting_for_flock(second.pid)
        finally:
            open(self.path('release'), 'w').close()
        self.assertEqual((first.wait(), second.wait()), (0, 0))
        self.assertTrue(waited, 'the second writer did not wait for the first')
        expected = ports_conf(WRITERS['second'])
        for name in ('ports.conf', 'other-name'):
            with open(self.path(name)) as f:
                self.assertTrue(f.read() == expected, name)


class FailingWrite(object):
    """The os module, with a write that reports nothing written."""

    def __getattr__(self, name):
        if name == 'write':
            return lambda fd, data: 0
        return getattr(os, name)


class PathTest(TempDirTestCase):
    def test_a_symbolic_link_loop_fails_as_open_does(self):
        loop = self.path('ports.conf')
        os.symlink('loop-b', loop)
        os.symlink('ports.conf', self.path('loop-b'))
        with self.assertRaises(IOError) as cm:
            config_with({'1': '10G'}).write_config(loop)
        self.assertEqual((cm.exception.errno, cm.exception.filename), (errno.ELOOP, loop))
        self.assertEqual([os.readlink(self.path(n)) for n in ('ports.conf', 'loop-b')], ['loop-b', 'ports.conf'])
        self.assertEqual(sorted(os.listdir(self.tmp)), ['loop-b', 'ports.conf'])

    def test_a_path_that_is_not_text_fails_as_open_does(self):
        for path in (None, 3, ['ports.conf'], bytearray(self.path('ports.conf'))):
            expected = support.raised(open, path, 'w')
            got = support.raised(config_with({'1': '10G'}).write_config, path)
            self.assertEqual((type(got), str(got)), (type(expected), str(expected)), repr(path))
        self.assertEqual(os.listdir(self.tmp), [])

    def test_a_path_ending_in_a_slash_fails_as_open_does(self):
        os.mkdir(self.path('etc'))
        self.write('etc/ports.conf', OLD)
        os.symlink('made.conf', self.path('etc', 'dangling'))

        class Denying(str):
            def endswith(self, *args):
                return False

        for name in ('etc/newname/', 'etc/ports.conf/', 'etc/', 'etc/dangling/', 'etc/newdir/x/', u'etc/unicode/',
                     Denying('etc/new/')):
            path = type(name)(self.path(name))
            expected = support.raised(open, path, 'w')
            got = support.raised(config_with({'1': '10G'}).write_config, path)
            self.assertEqual((type(got), got.errno, got.filename), (IOError, expected.errno, path), name)
            self.assertEqual(sorted(os.listdir(self.path('etc'))), ['dangling', 'ports.conf'], name)
        self.assertEqual(open(self.path('etc', 'ports.conf')).read(), OLD)

    def test_an_empty_path_fails_as_open_does(self):
        # Taken as it stands, '' would lead to the working folder and its parent.
        inner = self.path('cwd')
        os.mkdir(inner)
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(inner)
        for path in ('', u''):
            expected = support.raised(open, path, 'w')
            got = support.raised(config_with({'1': '10G'}).write_config, path)
            self.assertEqual((type(got), str(got)), (type(expected), str(expected)), repr(path))
        self.assertEqual((os.listdir(self.tmp), os.listdir(inner)), (['cwd'], []))

    def test_a_path_through_a_missing_folder_fails_as_open_does(self):
        # Taken as text, "missing/.." would vanish and the path would name the
        # existing file, which a new one would then replace.
        os.mkdir(self.path('d'))
        target = self.write('d/ports.conf', OLD)
        os.chmod(target, 0o600)
        if os.getuid() == 0:
            os.chown(target, 4242, 4343)
        os.link(target, self.path('d', 'other-link'))
        os.mkdir(self.path('d', 'x'))
        os.symlink('missing/../ports.conf', self.path('d', 'through-missing'))
        os.symlink('newdir/.', self.path('d', 'to-a-new-folder'))
        listing = sorted(os.listdir(self.path('d')))
        before = os.stat(target)
        for name in ('d/missing/../ports.conf', 'd/through-missing', 'd/missing/../new.conf', 'd/newname/.',
                     'd/missing/./../x/../ports.conf', 'd/to-a-new-folder', 'd/ports.conf/../ports.conf',
                     u'd/missing/../ports.conf'):
            path = type(name)(self.path(name))
            expected = support.raised(open, path, 'w')
            got = support.raised(config_with({'1': '10G'}).write_config, path)
            self.assertEqual((type(got), got.errno, got.filename), (IOError, expected.errno, path), name)
            after = os.stat(target)
            self.assertEqual([(s.st_ino, s.st_nlink, s.st_mode, s.st_uid, s.st_gid) for s in (before, after)],
                             [(before.st_ino, 2, before.st_mode, before.st_uid, before.st_gid)] * 2, name)
            self.assertEqual(open(target).read(), OLD, name)
            self.assertEqual(sorted(os.listdir(self.path('d'))), listing, name)

        # Where every folder on the way exists, ".." and links lead where open() goes.
        os.mkdir(self.path('d', 'x', 'y'))
        os.symlink('x/y', self.path('d', 'to-y'))
        for name, made in (('d/x/../new.conf', 'd/new.conf'), ('d/to-y/../made.conf', 'd/x/made.conf')):
            config_with({'1': '10G'}).write_config(self.path(name))
            self.assertEqual(open(self.path(made)).read(), COMMENT + '1=10G\n', name)

    def test_only_a_folder_name_is_probed(self):
        # The probe for a folder's name may create; an os.path that takes a
        # file's name for "." must not make it do so.
        class Lying(object):
            def __getattr__(self, name):
                return getattr(os.path, name)

            def split(self, p):
                return os.path.dirname(p), '.'

        class LyingOs(object):
            path = Lying()

            def __getattr__(self, name):
                return getattr(os, name)

        with patch(lanquist, 'os', LyingOs()):
            got = support.raised(config_with({'1': '10G'}).write_config, self.path('new.conf'))
        self.assertEqual((type(got), got.errno), (IOError, errno.EISDIR))
        self.assertEqual(os.listdir(self.tmp), [])

    def test_a_path_is_read_once_as_plain_text(self):
        # os.path would call a subclass's own methods; none of them may steer the writer.
        def hostile(base):
            class Hostile(base):
                __len__ = lambda self: 0
                __eq__ = lambda self, other: False
                __ne__ = lambda self, other: True
                __nonzero__ = lambda self: False
                __hash__ = base.__hash__
                startswith = lambda self, *a: False
                endswith = lambda self, *a: False
                partition = lambda self, *a: ('', '', '')
                rfind = lambda self, *a: -1
                split = lambda self, *a: []
                __getitem__ = lambda self, i: ''
                __getslice__ = lambda self, i, j: ''
                __add__ = lambda self, other: base('elsewhere')
            return Hostile
        os.mkdir(self.path('etc'))
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(self.path('etc'))
        for base in (str, unicode):
            Hostile = hostile(base)
            for i, what in enumerate(('made', 'replaced')):
                path = Hostile(self.path('ports.conf'))
                config_with({'1': '10G' if i == 0 else '40G'}).write_config(path)
                self.assertEqual(open(self.path('ports.conf')).read(), COMMENT + ('1=10G\n', '1=40G\n')[i], what)
                self.assertEqual(sorted(os.listdir(self.tmp)), ['etc', 'ports.conf'], what)
                self.assertEqual(os.listdir(self.path('etc')), [], what)
            os.remove(self.path('ports.conf'))

    def test_the_longest_names_are_written(self):
        # The longest a name may be, in single- and in two-byte characters.
        for name in ('p' * 255, '\xc3\xa9' * 127, 'p' * 30):
            target = os.path.join(self.tmp, name)
            for what in ('made', 'replaced'):
                config_with({'1': '10G' if what == 'made' else '40G'}).write_config(target)
                with open(target) as f:
                    self.assertEqual(f.read(), COMMENT + ('1=10G\n' if what == 'made' else '1=40G\n'), what)
            self.assertEqual(os.listdir(self.tmp), [name])
            os.remove(target)

    def test_the_directory_is_synced_after_the_rename(self):
        target = self.path('ports.conf')
        for what in ('new file', 'replaced file'):
            recording = RecordingOs()
            with patch(lanquist, 'os', recording):
                config_with({'1': '10G'}).write_config(target)
            names = [name for name, _, _ in recording.calls]
            renamed = names.index('rename')
            opened = [(i, result) for i, (name, first, result) in enumerate(recording.calls)
                      if name == 'open' and first == self.tmp and i > renamed]
            self.assertTrue(opened, '%s: the directory was not opened after the rename' % what)
            synced = [i for i, (name, first, _) in enumerate(recording.calls)
                      if name == 'fsync' and first == opened[0][1] and i > opened[0][0]]
            self.assertTrue(synced, '%s: the directory was not synced' % what)


FULL_DISK_SIZE = '16k'


def full_disk_child(disk):
    """In the private mount namespace: a tmpfs too small for the new text."""
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=' + FULL_DISK_SIZE, 'tmpfs', disk])
    target = os.path.join(disk, 'ports.conf')
    put(target)
    result = {}
    c = config_with(dict((str(i), '4x25G') for i in range(1, 20001)))
    try:
        c.write_config(target)
    except IOError as e:
        result['error'] = e.errno
    with open(target) as f:
        result['content'] = f.read()
    result['listing'] = sorted(os.listdir(disk))
    # A text that fits is still written whole on the same disk.
    c = config_with({'1': '100G'})
    c.write_config(target)
    with open(target) as f:
        result['small'] = f.read()
    return result


def bind_mount_child(source, target):
    """In the private mount namespace: `source` bind-mounted over `target`, as
    a container is given its ports.conf."""
    subprocess.check_call(['mount', '--bind', source, target])
    config_with({'1': '100G'}).write_config(target)
    with open(target) as f:
        seen = f.read()
    return {'seen': seen, 'listing': sorted(os.listdir(os.path.dirname(target)))}


class BindMountTest(TempDirTestCase):
    def setUp(self):
        super(BindMountTest, self).setUp()
        support.skip_unless_namespaces(self, net=False)

    def test_a_bind_mounted_file_is_written(self):
        source, target = self.write('host/ports.conf', OLD), self.write('container/ports.conf', 'placeholder\n')
        result = support.run_child_in_namespace(self, __file__, ['bind', source, target], net=False)
        self.assertEqual(result['seen'], COMMENT + '1=100G\n')
        self.assertEqual(result['listing'], ['ports.conf'])
        self.assertEqual(open(source).read(), COMMENT + '1=100G\n', 'written through the mount')
        self.assertEqual(open(target).read(), 'placeholder\n', 'the mount was private to the child')


class FullDiskTest(support.TmpfsTestCase):
    def test_full_disk_leaves_the_file_untouched(self):
        disk = self.path('disk')
        os.mkdir(disk)
        result = support.run_child_in_namespace(self, __file__, ['full', disk], net=False)
        self.assertEqual(result['error'], errno.ENOSPC)
        content = result['content']
        self.assertTrue(content == OLD, 'ports.conf changed: now %d bytes, %r...' % (len(content), content[:80]))
        self.assertEqual(result['listing'], ['ports.conf'])
        self.assertEqual(result['small'], COMMENT + '1=100G\n')
        self.assertEqual(os.listdir(disk), [], 'the tmpfs was private to the child')


def filling_disk_child(disk, elsewhere):
    """In the private mount namespace: ports.conf written in place on a tmpfs
    that fills up (a second hard link; a bind mount from a folder on another
    file system, so the replacement is refused at the rename), and a plain
    ports.conf on a tmpfs with no free inode."""
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=' + FULL_DISK_SIZE, 'tmpfs', disk])
    big = config_with(dict((str(i), '4x25G') for i in range(1, 20001)))
    results = {}

    def attempt(what, target, names):
        result = results[what] = {}
        try:
            big.write_config(target)
        except IOError as e:
            result['error'] = [e.errno, e.filename]
        result['content'] = dict((n, open(n).read()) for n in names)
        result['links'] = os.stat(target).st_nlink
        result['listing'] = sorted(os.listdir(disk))
        # A text that fits is written whole on the same disk.
        config_with({'1': '100G'}).write_config(target)
        result['small'] = dict((n, open(n).read()) for n in names)

    target = os.path.join(disk, 'ports.conf')
    put(target)
    os.link(target, os.path.join(disk, 'other-name'))
    attempt('hard link', target, [target, os.path.join(disk, 'other-name')])
    os.remove(os.path.join(disk, 'other-name'))

    put(target)
    mounted = os.path.join(elsewhere, 'ports.conf')
    put(mounted, 'placeholder\n')
    subprocess.check_call(['mount', '--bind', target, mounted])
    attempt('bind mount', mounted, [mounted, target])
    results['bind mount']['elsewhere'] = sorted(os.listdir(elsewhere))
    subprocess.check_call(['umount', mounted])
    subprocess.check_call(['umount', disk])

    # Room for bytes, but no inode for a second file.
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=1m,nr_inodes=2', 'tmpfs', disk])
    put(target)
    result = results['no inode'] = {}
    try:
        config_with({'1': '100G'}).write_config(target)
    except IOError as e:
        result['error'] = [e.errno, e.filename]
    result['content'] = {target: open(target).read()}
    result['listing'] = sorted(os.listdir(disk))
    return results


class FillingDiskTest(support.TmpfsTestCase):
    def test_a_file_written_in_place_keeps_its_old_text(self):
        disk, elsewhere = self.path('disk'), self.path('elsewhere')
        os.mkdir(disk)
        os.mkdir(elsewhere)
        results = support.run_child_in_namespace(self, __file__, ['filling', disk, elsewhere], net=False)
        target, mounted = os.path.join(disk, 'ports.conf'), os.path.join(elsewhere, 'ports.conf')
        # (what, path named in the error, links, listing of the disk)
        cases = (('hard link', target, 2, ['other-name', 'ports.conf']),
                 ('bind mount', mounted, 1, ['ports.conf']))
        for what, shown, links, listing in cases:
            result = results[what]
            self.assertEqual(result['error'], [errno.ENOSPC, shown], what)
            for name, content in sorted(result['content'].items()):
                self.assertTrue(content == OLD, '%s: %s changed: now %d bytes, %r...'
                                % (what, name, len(content), content[:80]))
            self.assertEqual((result['links'], result['listing']), (links, listing), what)
            self.assertEqual(set(result['small'].values()), set([COMMENT + '1=100G\n']), what)
        self.assertEqual(results['bind mount']['elsewhere'], ['ports.conf'])
        no_inode = results['no inode']
        self.assertEqual(no_inode['error'], [errno.ENOSPC, target])
        self.assertEqual((no_inode['content'], no_inode['listing']), ({target: OLD}, ['ports.conf']))
        self.assertEqual(open(os.path.join(elsewhere, 'ports.conf')).read(), 'placeholder\n')


def fill(disk):
    """Take every byte a tmpfs has left."""
    with open(os.path.join(disk, 'filler'), 'w') as f:
        try:
            while True:
                f.write('x' * 4096)
                f.flush()
        except IOError as e:
            if e.errno != errno.ENOSPC:
                raise


def own_mount_child(base):
    """In the private mount namespace: a ports.conf bind-mounted into a folder
    that is read-only, full or has no free inode, from another file system or
    the same one, and a ports.conf bind-mounted read-only."""
    results = {}

    def case(what, options, host_file, prepare=None, read_only=False):
        folder = os.path.join(base, what.replace(' ', '-'))
        os.mkdir(folder)
        subprocess.check_call(['mount', '-t', 'tmpfs', '-o', options, 'tmpfs', folder])
        if host_file is None:  # on the folder's own file system
            host_file = os.path.join(folder, 'host.conf')
            put(host_file)
        target = os.path.join(folder, 'ports.conf')
        put(target, 'placeholder\n')
        subprocess.check_call(['mount', '--bind', host_file, target])
        if read_only:
            subprocess.check_call(['mount', '-o', 'remount,bind,ro', target])
        if prepare:
            prepare(folder)
        listing = sorted(os.listdir(folder))
        result = results[what] = {}
        try:
            config_with({'1': '100G'}).write_config(target)
        except IOError as e:
            result['error'] = [e.errno, e.filename == target]
        with open(host_file) as f:
            result['content'] = f.read()
        result['listing kept'] = sorted(os.listdir(folder)) == listing

    def elsewhere(name):
        path = os.path.join(base, name)
        put(path)
        return path

    case('read-only folder', 'size=1m', elsewhere('a.conf'),
         lambda folder: subprocess.check_call(['mount', '-o', 'remount,ro', folder]))
    case('full folder', 'size=16k', elsewhere('b.conf'), fill)
    case('full folder of the same file system', 'size=16k', None, fill)
    # The root, the placeholder and host.conf: no inode is left.
    case('no free inode on the same file system', 'size=1m,nr_inodes=3', None)
    case('read-only file', 'size=1m', elsewhere('c.conf'), read_only=True)
    return results


def sparse_child(disk):
    """In the private mount namespace: a hard-linked ports.conf with a hole,
    on a tmpfs with room for what a longer text adds past its end but not
    for the hole."""
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=64k', 'tmpfs', disk])
    target = os.path.join(disk, 'ports.conf')
    with open(target, 'w') as f:
        f.write(OLD)
        f.truncate(11 * 4096)
    os.link(target, os.path.join(disk, 'other-name'))
    with open(target) as f:
        old = f.read()
    fill(disk)
    bigger = dict((str(i), '4x25G') for i in range(1, 5000))
    with open(os.path.join(disk, 'filler'), 'r+') as f:  # room for what lies past the old end
        f.truncate(os.fstat(f.fileno()).st_size - (len(ports_conf(bigger)) - len(old) + 2 * 4096))
    result = {}
    try:
        config_with(bigger).write_config(target)
    except IOError as e:
        result['error'] = e.errno
    result['unchanged'] = [open(os.path.join(disk, n)).read() == old for n in ('ports.conf', 'other-name')]
    return result


class OwnMountTest(support.TmpfsTestCase):
    def test_a_bind_mounted_file_is_written_in_place_whatever_its_folder(self):
        results = support.run_child_in_namespace(self, __file__, ['own mount', self.tmp], net=False)
        new = COMMENT + '1=100G\n'
        # (what, error, text of the file)
        cases = (('read-only folder', None, new),
                 ('full folder', None, new),
                 ('full folder of the same file system', None, new),
                 ('no free inode on the same file system', None, new),
                 ('read-only file', [errno.EROFS, True], OLD))
        for what, error, text in cases:
            result = results[what]
            self.assertEqual((result.get('error'), result['content'], result['listing kept']), (error, text, True),
                             what)

    def test_a_sparse_file_on_a_full_disk_is_left_untouched(self):
        disk = self.path('disk')
        os.mkdir(disk)
        result = support.run_child_in_namespace(self, __file__, ['sparse', disk], net=False)
        self.assertEqual(result, {'error': errno.ENOSPC, 'unchanged': [True, True]})


def overlay_child(base):
    """In the private mount namespace: a root that is an overlay of a
    read-only image under a writable layer on another file system, with a
    ports.conf from the image and one written since. A file there reports
    its layer's device and its folder the overlay's, yet both are one mount."""
    image, layer, root = [os.path.join(base, n) for n in ('image', 'layer', 'root')]
    for folder in (image, layer, root):
        os.mkdir(folder)
        if folder != root:
            subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=1m', 'tmpfs', folder])
    os.mkdir(os.path.join(image, 'etc'))
    put(os.path.join(image, 'etc', 'image.conf'))
    subprocess.check_call(['mount', '-o', 'remount,ro', image])
    for name in ('upper', 'work'):
        os.mkdir(os.path.join(layer, name))
    subprocess.check_call(['mount', '-t', 'overlay', 'overlay', '-o', 'lowerdir=%s,upperdir=%s,workdir=%s'
                           % (image, os.path.join(layer, 'upper'), os.path.join(layer, 'work')), root])
    etc = os.path.join(root, 'etc')
    put(os.path.join(etc, 'written.conf'))
    results = {}
    for name in ('image.conf', 'written.conf'):
        target = os.path.join(etc, name)
        result = results[name] = {'devices differ': os.stat(target).st_dev != os.stat(etc).st_dev}
        with open(target) as before:
            config_with({'1': '100G'}).write_config(target)
            # A reader that had the file open reads the old text whole: the
            # new one came as a new file.
            result['old reader'] = before.read()
        result['content'] = open(target).read()
    results['listing'] = sorted(os.listdir(etc))
    return results


def no_fowner_child(target):
    """As root that may give a file its owner but not set the bits of
    another's file (or, in a user namespace, that does not map its owner): a
    ports.conf of another user."""
    result = {}
    try:
        os.chmod(target, os.stat(target).st_mode & 0o7777)
    except OSError as e:
        result['chmod'] = e.errno
    before = os.stat(target)
    try:
        config_with({'1': '100G'}).write_config(target)
    except IOError as e:
        result['error'] = e.errno
    after = os.stat(target)
    result.update(content=open(target).read(), owner=[after.st_uid, after.st_gid], bits=after.st_mode & 0o7777,
                  same_file=after.st_ino == before.st_ino, listing=sorted(os.listdir(os.path.dirname(target))))
    return result


class OverlayTest(support.TmpfsTestCase):
    def test_a_file_on_an_overlay_is_replaced_not_written_in_place(self):
        results = support.run_child_in_namespace(self, __file__, ['overlay', self.tmp], net=False)
        new = COMMENT + '1=100G\n'
        for name in ('image.conf', 'written.conf'):
            self.assertEqual(results[name], {'devices differ': True, 'old reader': OLD, 'content': new}, name)
        self.assertEqual(results['listing'], ['image.conf', 'written.conf'])


class NoFownerTest(TempDirTestCase):
    def another_users_file(self, folder, bits):
        skip_unless_root(self)
        support.skip_unless_namespaces(self, net=False)
        os.mkdir(self.path(folder))
        target = self.write(folder + '/ports.conf', OLD)
        os.chown(target, 4242, 4343)
        os.chmod(target, bits)
        return target

    def test_a_file_of_another_owner_is_written_in_place(self):
        # Also in a sticky folder of a third owner, where the new file, once
        # given the file's owner, may be neither chmodded nor removed.
        for folder, folder_owner in (('etc', 0), ('sticky', 5555)):
            target = self.another_users_file(folder, 0o640)
            os.chown(self.path(folder), folder_owner, folder_owner)
            os.chmod(self.path(folder), 0o1777 if folder_owner else 0o755)
            drop = ['setpriv', '--inh-caps=-fowner', '--bounding-set=-fowner']
            result = support.run_child_in_namespace(self, __file__, ['no fowner', target], net=False, under=drop)
            self.assertEqual(result, {'chmod': errno.EPERM, 'content': COMMENT + '1=100G\n', 'owner': [4242, 4343],
                                      'bits': 0o640, 'same_file': True, 'listing': ['ports.conf']}, folder)

    def test_an_owner_the_user_namespace_does_not_map_is_written_in_place(self):
        # Inside, the file's owner shows as the overflow id, which no file may
        # be given (EINVAL); the file itself may be written.
        target = self.another_users_file('etc', 0o646)
        userns = ['unshare', '--user', '--map-root-user']
        if support.real_subprocess.call(userns + ['true']) != 0:
            self.skipTest('user namespaces are not allowed here')
        result = support.run_child_in_namespace(self, __file__, ['no fowner', target], net=False, under=userns)
        overflow = [int(open('/proc/sys/kernel/overflow%sid' % k).read()) for k in 'ug']
        self.assertEqual(result, {'chmod': errno.EPERM, 'content': COMMENT + '1=100G\n', 'owner': overflow,
                                  'bits': 0o646, 'same_file': True, 'listing': ['ports.conf']})
        after = os.stat(target)
        self.assertEqual((after.st_uid, after.st_gid, after.st_mode & 0o7777), (4242, 4343, 0o646))


def child(case, *args):
    return {'bind': bind_mount_child, 'full': full_disk_child, 'filling': filling_disk_child,
            'writer': writer_child, 'own mount': own_mount_child, 'sparse': sparse_child,
            'overlay': overlay_child, 'no fowner': no_fowner_child}[case](*args)


if __name__ == '__main__':
    support.main(child)
