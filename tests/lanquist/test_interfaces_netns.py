"""maketap, setmac and destroyints against the machine's real ip, with real tap
devices, inside a private network namespace that the test makes and throws away.

The test runs this file again as a child process under
`unshare --net --mount` (sysfs remounted for the new namespace); the child
drives the interface operations and records what ip shows in a JSON file that
the test then checks. Only idwarden is the stand-in: ip is the real one."""
import os
import subprocess
import sys

import sdkkit
import support

BASE = '02:11:22:33:44:fe'


def child():
    import StringIO
    import lanquist

    support.PROGRAMS.pop('ip')
    fake = support.FakeSubprocess()
    lanquist.subprocess = fake
    os.environ['FAKE_IDWARDEN_A'] = BASE + '\n'
    os.environ['FAKE_IDWARDEN_R'] = '16\n'
    config = lanquist.Config(sdkkit.platform())

    def links():
        return subprocess.check_output(['ip', '-o', 'link', 'show'])

    result = {}
    captured = sys.stdout = StringIO.StringIO()
    try:
        config.maketap([
            {'portname': 'swp1', 'index': 0, 'unit': 0},
            {'portname': 'swp2', 'index': 2, 'unit': 0},
            {'portname': 'swp3', 'index': 2 ** 24, 'unit': 0},
            {'portname': 'myswitch0', 'index': 1, 'unit': 0},
        ])
        result['after_maketap'] = links()
        config.setmac('swp1', 5)
        result['after_setmac'] = links()
        stale = set(['swp1', 'swp2', 'myswitch0'])
        config.destroyints(stale)
        result['stale_after'] = sorted(stale)
        result['after_destroyints'] = links()
    finally:
        sys.stdout = sys.__stdout__
    result['stdout'] = captured.getvalue()
    result['calls'] = fake.calls
    return result


def parse_links(text):
    """`ip -o link show` lines -> {name: (flags, link-layer address)}."""
    found = {}
    for line in text.splitlines():
        head, _, rest = line.partition('link/')
        name = head.split(': ')[1].split('@')[0]
        flags = set(head[head.index('<') + 1:head.index('>')].split(','))
        found[name] = (flags, rest.split()[1] if ' ' in rest else None)
    return found


class RealInterfacesTest(support.TempDirTestCase):
    def setUp(self):
        super(RealInterfacesTest, self).setUp()
        support.skip_unless_namespaces(self, net=True, tun=True)

    def test_tap_devices_made_addressed_and_removed(self):
        result = support.run_child_in_namespace(self, __file__, net=True)

        idwarden = '/usr/zarnith/bin/idwarden'
        self.assertEqual(result['calls'][:2], [[idwarden, '-r'], [idwarden, '-a']])
        self.assertEqual(result['calls'][2:5], [
            ['ip', 'tuntap', 'add', 'dev', 'swp1', 'mode', 'tap', 'one_queue'],
            ['ip', 'link', 'set', 'swp1', 'down'],
            ['ip', 'link', 'set', 'dev', 'swp1', 'address', '2:11:22:33:44:fe']])
        self.assertEqual(result['stdout'], 'Tried to carry into OUI.\n')

        links = parse_links(result['after_maketap'])
        expected = {'swp1': '02:11:22:33:44:fe', 'swp2': '02:11:22:33:45:00', 'myswitch0': '02:11:22:33:44:ff'}
        for name, mac in sorted(expected.items()):
            self.assertIn(name, links, result['after_maketap'])
            self.assertEqual(links[name][1], mac, name)
            self.assertNotIn('UP', links[name][0], name + ' is left down')
        self.assertNotIn('swp3', links, 'an index that carries makes no device')

        links = parse_links(result['after_setmac'])
        self.assertEqual(links['swp1'][1], '02:11:22:33:45:03')

        links = parse_links(result['after_destroyints'])
        self.assertEqual(result['stale_after'], [])
        self.assertNotIn('swp1', links)
        self.assertNotIn('swp2', links)
        self.assertIn('myswitch0', links, 'switch interfaces are left alone')


if __name__ == '__main__':
    support.main(child)
