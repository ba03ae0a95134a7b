"""write_config replaces the operator's ports.conf whole or not at all: the new
text goes to a file beside the target, renamed over it only once every line is
written; the permission bits stay, a symbolic link stays a link, and a failure
leaves the old file as it was with no stray file beside it.

The full-disk case runs this file again as a child process under
`unshare --mount`, with a tiny tmpfs mounted in the private mount namespace."""
import errno
import os
import stat
import subprocess
import threading

import lanquist
import sdkkit
import support
from support import FailingOs, TempDirTestCase, patch

COMMENT = '# XXX - default config file (needs documentation comments)\n'
OLD = '# the operator\'s own\n1=100G\n2=4x25G\n'


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
            with open(self.target, 'w') as f:
                f.write(OLD)
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
            with open(real, 'w') as f:
                f.write(OLD)
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
            reader.join(10)
        finally:
            if reader.is_alive():  # let the reader go
                os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
        self.assertEqual(got, [COMMENT + '1=10G\n'])
        self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
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
            with open(self.target, 'w') as f:
                f.write(OLD)
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
            with open(self.target, 'w') as f:
                f.write(OLD)
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
            ('no file can be made beside it', FailingOs('open', refused(errno.EACCES))),
            ('the owner cannot be given', FailingOs('fchown', refused(errno.EPERM))),
            ('a mount point', FailingOs('rename', refused(errno.EBUSY))),
            ('another file system', FailingOs('rename', refused(errno.EXDEV))),
        )
        for what, fake_os in cases:
            with open(self.target, 'w') as f:
                f.write(OLD)
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
        with open(self.target, 'w') as f:
            f.write(OLD)
        for what, path, number in cases:
            with self.assertRaises(IOError) as cm:
                config_with({'1': '10G'}).write_config(path)
            self.assertEqual((cm.exception.errno, cm.exception.filename), (number, path), what)
        self.assertEqual(os.listdir(self.dir), ['ports.conf'])
        self.assertEqual(sorted(os.listdir(self.tmp)), ['etc'])
        self.assertEqual(open(self.target).read(), OLD)


FULL_DISK_SIZE = '16k'


def full_disk_child(disk):
    """In the private mount namespace: a tmpfs too small for the new text."""
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=' + FULL_DISK_SIZE, 'tmpfs', disk])
    target = os.path.join(disk, 'ports.conf')
    with open(target, 'w') as f:
        f.write(OLD)
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


class FullDiskTest(TempDirTestCase):
    def setUp(self):
        super(FullDiskTest, self).setUp()
        support.skip_unless_namespaces(self, net=False, tmpfs=True)

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


def child(case, *args):
    return {'bind': bind_mount_child, 'full': full_disk_child}[case](*args)


if __name__ == '__main__':
    support.main(child)
