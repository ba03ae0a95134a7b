"""The names that ip takes for its own keywords, against the machine's real ip:
the port table refuses exactly the names that `ip link set NAME down` cannot
bring down (or that the kernel will not make), over every word of
`ip link help`, every prefix of one and a few near misses.

The test runs this file again as a child process under
`unshare --net --mount`: the child makes a tap device of each name and, for
each in turn, brings it up, asks ip to bring it down by name and records
whether it went down. The test then renders the port table of one port of
each name and compares."""
import fcntl
import os
import re
import socket
import struct
import subprocess

import support
import tabkit

# Words ip's parser takes after "link set" that its help does not list.
PARSER_WORDS = ('brd', 'qlen', 'txqlen', 'mode')
# Near misses, each of them a name ip leaves alone; and one the kernel refuses.
OTHERS = ('swp1', 'swp1s0', 'upx', 'downx', 'dev0', 'helpx', 'typex', 'UP', 'Down', 'default')
KEYWORD = 'is read by "ip link set" as a keyword'

TUNSETIFF, TUNSETPERSIST = 0x400454ca, 0x400454cb
SIOCGIFFLAGS, SIOCSIFFLAGS = 0x8913, 0x8914
IFF_UP, IFF_TAP, IFF_NO_PI = 0x1, 0x2, 0x1000


def ifreq(name, flags=0):
    return struct.pack('16sH22x', name, flags)


def child():
    # ip is not ours: the sanitizer runtimes stay out of it.
    env = dict(os.environ)
    env.pop('LD_PRELOAD', None)
    proc = subprocess.Popen(['ip', 'link', 'help'], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    words = set(re.findall(r'[A-Za-z0-9_-]+', proc.communicate()[0])) | set(PARSER_WORDS)
    names = set(w[:n] for w in words for n in range(1, min(len(w), 15) + 1)) | set(OTHERS)
    names -= set(os.listdir('/sys/class/net'))

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)

    def flags(name):
        return struct.unpack('16sH22x', fcntl.ioctl(sock, SIOCGIFFLAGS, ifreq(name)))[1]

    def make(name):
        fd = os.open('/dev/net/tun', os.O_RDWR)
        try:
            fcntl.ioctl(fd, TUNSETIFF, ifreq(name, IFF_TAP | IFF_NO_PI))
            fcntl.ioctl(fd, TUNSETPERSIST, 1)
            return True
        except IOError:
            return False
        finally:
            os.close(fd)

    made = [name for name in sorted(names) if make(name)]
    unmade = sorted(names - set(made))
    # Each device is brought up just before its own command: a command that
    # acts on another device ("dev" on "down") leaves its own one up, and
    # whichever it brought down is up again when its turn comes.
    downed = {}
    with open(os.devnull, 'w') as devnull:
        for name in made:
            fcntl.ioctl(sock, SIOCSIFFLAGS, ifreq(name, flags(name) | IFF_UP))
            rc = subprocess.call(['ip', 'link', 'set', name, 'down'], stdout=devnull, stderr=devnull, env=env)
            downed[name] = rc == 0 and not flags(name) & IFF_UP
    return {'help_words': len(words), 'downed': downed, 'unmade': unmade}


class IpKeywordsTest(support.TempDirTestCase):
    def setUp(self):
        super(IpKeywordsTest, self).setUp()
        support.skip_unless_namespaces(self, net=True, tun=True)
        self.config = tabkit.with_ports([], dummy=False)

    def refusal(self, name):
        """Why the port table refuses a port of this name, or None."""
        machine = tabkit.Machine()
        self.config.ports = [tabkit.CPort([name.encode('ascii')], label='1')]
        cm = machine.install(self.config)
        try:
            self.config.porttab
        except ValueError as e:
            return str(e)
        finally:
            cm.__exit__(None, None, None)
        self.assertIn(name, machine.links)
        return None

    def test_refused_exactly_where_ip_takes_the_name_for_a_keyword(self):
        result = support.run_child_in_namespace(self, __file__, net=True)
        downed, unmade = result['downed'], result['unmade']
        # A help text that no longer reads as words would make this vacuous.
        self.assertGreater(result['help_words'], 100)
        for name in ('up', 'down', 'dev', 'h', 'help', 'mtu', 'name', 'type', 'mode', 'master', 'group', 'd'):
            self.assertIs(downed[name], False, name)
        for name in OTHERS[:-1] + ('de', 'mo', 'mt'):
            self.assertIs(downed[name], True, name)
        self.assertEqual(sorted(unmade), ['all', 'default'])

        wrong = []
        for name, down in sorted(downed.items()):
            why = self.refusal(name)
            if down and why is not None or not down and (why is None or KEYWORD not in why):
                wrong.append((name, down, why))
        for name in unmade:
            if self.refusal(name) is None:
                wrong.append((name, 'cannot be made', None))
        self.assertEqual(wrong, [])


if __name__ == '__main__':
    support.main(child)
