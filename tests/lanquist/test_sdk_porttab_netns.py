"""The port table in tap mode against the machine's real ip, inside a private
network namespace that the test makes and throws away: stale tap devices are
removed, new ones made with their addresses, kept ones left untouched, and a
second rendering changes nothing.

The test runs this file again as a child process under
`unshare --net --mount` (sysfs remounted for the new namespace); the child
renders the port table and records what ip shows in a JSON file that the test
then checks. Only idwarden is the stand-in; the KNET link-control file is
recorded through lanquist.open."""
import os
import subprocess

import support

KNET = '/proc/bcm/knet/link'
BEFORE = (('swp1s0', 'tap'), ('stale0', 'tap'), ('stale1', 'tun'), ('myswitch0', 'tap'))


def links():
    """`ip -o link show` -> {name: [ifindex, link-layer address, up]}."""
    found = {}
    for line in subprocess.check_output(['ip', '-o', 'link', 'show']).splitlines():
        head, _, rest = line.partition('link/')
        index, name = head.split(': ')[:2]
        flags = head[head.index('<') + 1:head.index('>')].split(',')
        words = rest.split()
        found[name.split('@')[0]] = [int(index), words[1] if len(words) > 1 else None, 'UP' in flags]
    return found


def child():
    import lanquist
    import tabkit

    support.PROGRAMS.pop('ip')
    fake = support.FakeSubprocess()
    lanquist.subprocess = fake
    knet = []

    class Knet(object):
        def write(self, text):
            knet.append(text)

        def close(self):
            pass

    def open_knet(path, mode='r'):
        if (path, mode) != (KNET, 'w'):
            raise AssertionError('unexpected open of %s (%s)' % (path, mode))
        return Knet()

    lanquist.open = open_knet
    os.environ['FAKE_IDWARDEN_A'] = '02:11:22:33:44:00\n'
    os.environ['FAKE_IDWARDEN_R'] = '64\n'
    os.environ['DROVIK_USE_TUNTAP'] = '1'
    for name, kind in BEFORE:
        subprocess.check_call(['ip', 'tuntap', 'add', 'dev', name, 'mode', kind])

    result = {'before': links()}
    c = lanquist.BCMConfig(tabkit.small_platform())
    c.config(tabkit.PORTS_CONF)
    del fake.calls[:]
    result['text'] = c.porttab
    result['first'] = links()
    result['first_calls'], result['first_knet'] = list(fake.calls), list(knet)
    del fake.calls[:], knet[:]
    c.porttab
    result['second'] = links()
    result['second_calls'], result['second_knet'] = fake.calls, knet
    return result


class RealTapsTest(support.TempDirTestCase):
    def setUp(self):
        super(RealTapsTest, self).setUp()
        support.skip_unless_namespaces(self, net=True, tun=True)

    def test_reconciliation_with_real_taps(self):
        result = support.run_child_in_namespace(self, __file__, net=True)

        self.assertEqual(len(result['text'].split('\n')), 7)
        before, first = result['before'], result['first']
        self.assertEqual(sorted(first), ['lo', 'myswitch0', 'swp1s0', 'swp1s1', 'swp1s2', 'swp1s3', 'swp2', 'swp5'])
        for kept in ('lo', 'swp1s0', 'myswitch0'):
            self.assertEqual(first[kept], before[kept], kept + ' is left untouched')
        for name, mac in (('swp1s1', '02:11:22:33:44:01'), ('swp1s2', '02:11:22:33:44:02'),
                          ('swp1s3', '02:11:22:33:44:03'), ('swp2', '02:11:22:33:44:04'),
                          ('swp5', '02:11:22:33:44:08')):
            self.assertEqual(first[name][1:], [mac, False], name)
        calls = result['first_calls']
        self.assertEqual(calls[0], ['ip', 'tuntap', 'show'])
        self.assertEqual(sorted(calls[1:3]), [['ip', 'link', 'del', 'dev', 'stale0'],
                                              ['ip', 'link', 'del', 'dev', 'stale1']])
        self.assertEqual(calls[3:6], [['ip', 'tuntap', 'add', 'dev', 'swp1s1', 'mode', 'tap', 'one_queue'],
                                      ['ip', 'link', 'set', 'swp1s1', 'down'],
                                      ['ip', 'link', 'set', 'dev', 'swp1s1', 'address', '2:11:22:33:44:1']])
        self.assertEqual(len(calls), 3 + 5 * 3)
        self.assertEqual(result['first_knet'], ['swp1s0=down'])

        self.assertEqual(result['second'], first)
        self.assertEqual(result['second_calls'], [['ip', 'tuntap', 'show']])
        self.assertEqual(result['second_knet'], ['swp1s0=down', 'swp1s1=down', 'swp1s2=down', 'swp1s3=down',
                                                 'swp2=down', 'swp5=down'])


if __name__ == '__main__':
    support.main(child)
