"""The port table and the reconciliation of the Linux interfaces: what runs, in
which order, what is kept, in tap mode, kernel-netdev mode and on the virtual
switch; failures, and a second rendering after them."""
import errno
import subprocess
import unittest

import lanquist
import zarnith.errors
from support import FakeSubprocess, environ, patch
from tabkit import (DROVIK, IP, KNET, PHYTAB, ClassicUnprintable, CPort, Machine, NeverEqual, NeverEqualUnicode,
                    Unprintable, configured, knet, phytab_read, small_platform, turning, with_ports)

UnsupportedPlatformError = zarnith.errors.UnsupportedPlatformError
HEADER = '# linux_intf\tsdk_intf\tunit\tis_fabric\tlogical_port\tnum_ganged_ports\tis_loopback'
NAMES = ['swp1s0', 'swp1s1', 'swp1s2', 'swp1s3', 'swp2', 'swp5']
# The MAC index of each interface of the small platform.
INDEX = {'swp1s0': 0, 'swp1s1': 1, 'swp1s2': 2, 'swp1s3': 3, 'swp2': 4, 'swp5': 8}


def mac(name):
    return '0:11:22:33:44:%x' % INDEX[name]


def addressing(name):
    return [(IP, 'link', 'set', name, 'down'), (IP, 'link', 'set', 'dev', name, 'address', mac(name))]


def tap_made(name):
    return [(IP, 'tuntap', 'add', 'dev', name, 'mode', 'tap', 'one_queue')] + addressing(name)


def netdev_made(name, link_type='bcm_knet', unit=None):
    unit = unit if unit is not None else (1 if name == 'swp2' else 0)
    return [(DROVIK, 'add', 'name', name, 'type', link_type, 'unit', str(unit))] + addressing(name)


def runs(*commands):
    return [('run',) + c for c in commands]


def run_list(commands):
    return [('run',) + c for c in commands]


class PorttabCase(unittest.TestCase):
    def setUp(self):
        self.machine = Machine()
        self.env(DROVIK_USE_TUNTAP=None)

    def env(self, **values):
        cm = environ(**values)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)

    def install(self, c):
        cm = self.machine.install(c)
        self.addCleanup(cm.__exit__, None, None, None)
        return c

    def make(self, **platform_flags):
        return self.install(configured(small_platform(**platform_flags)))

    def render(self, c):
        del self.machine.log[:]
        return c.porttab

    def removals(self, start):
        """The log from `start` on, with a run of removals sorted (their order is free)."""
        log = self.machine.log[start:]
        dels = [e for e in log if e[1:4] == (IP, 'link', 'del')]
        rest = [e for e in log if e[1:4] != (IP, 'link', 'del')]
        return sorted(dels), rest


class TextTest(PorttabCase):
    def test_small_platform(self):
        c = self.make()
        self.assertEqual(c.output('porttab'), '\n'.join([
            HEADER,
            'swp1s0\txe1\t0\t0\t1\t1\t0',
            'swp1s1\txe2\t0\t0\t2\t1\t0',
            'swp1s2\txe3\t0\t0\t3\t1\t0',
            'swp1s3\txe4\t0\t0\t4\t1\t0',
            'swp2\txe1\t1\t0\t1\t1\t1',
            'swp5\txe5\t0\t0\t5\t4\t0',
            'fp9\txe2\t1\t1\t2\t1\t0']))

    def test_no_logical_port_numbers_without_direct_ports(self):
        for dport_capable in (None, False, 0):
            c = self.make(dport_capable=dport_capable)
            lines = c.porttab.split('\n')
            self.assertEqual([l.split('\t')[4] for l in lines], ['-1'] * 7, dport_capable)
            self.assertEqual(lines[0], 'swp1s0\txe0\t0\t0\t-1\t1\t0')

    def test_number_columns(self):
        cases = ((dict(unit=True, loopback=True, num_ganged_ports=2L), 'swp1\txe0\t1\t0\t-1\t2\t1'),
                 (dict(unit=2.7, is_fabric=1, create_fabric=True), 'swp1\txe0\t2\t1\t-1\t1\t0'),
                 (dict(unit=-1), 'swp1\txe0\t-1\t0\t-1\t1\t0'))
        for fields, line in cases:
            self.assertEqual(self.install(with_ports([CPort(['swp1'], **fields)])).porttab, line, fields)

    def test_a_column_that_is_no_number_stops_before_any_change(self):
        self.machine.add('stale', 'bcm_knet')
        self.machine.add('swp1', 'bcm_knet')
        for field in ('unit', 'is_fabric', 'num_ganged_ports', 'loopback'):
            c = self.install(with_ports([CPort(['swp1']), CPort(['swp2'], **{field: None})], dummy=False))
            self.assertRaises(TypeError, getattr, c, 'porttab')
            self.assertEqual(self.machine.log[-3:], knet('swp1'), field)
            self.assertEqual(sorted(self.machine.links), ['stale', 'swp1'], field)

    def test_no_configured_port(self):
        for name, kind in (('swp1', 'bcm_knet'), ('switch0', 'switch'), ('myswitch1', 'bcm_knet')):
            self.machine.add(name, kind)
        c = self.install(with_ports([], dummy=False))
        self.assertEqual(self.render(c), '')
        self.assertEqual(self.machine.log, runs((DROVIK, 'show', 'type', 'bcm_knet')) + [
            ('open', PHYTAB, 'r'),
            ('run', IP, 'link', 'del', 'dev', 'swp1'),
            ('run', IP, '-o', 'link', 'show'),
            ('run', IP, 'link', 'set', 'switch0', 'up'),
            ('run', IP, 'link', 'set', 'myswitch1', 'up')])


class WhichInterfacesTest(PorttabCase):
    def test_fabric_ports_get_an_interface_only_when_asked(self):
        # Only the False object itself makes a port a non-fabric one.
        cases = ((False, False, True), (False, True, True), (True, False, False), (True, True, True),
                 (0, False, False), (0, 1, True), (1, None, False))
        for is_fabric, create_fabric, made in cases:
            port = CPort(['p0', 'p1'], is_fabric=is_fabric, create_fabric=create_fabric, mac_index=4)
            c = self.install(with_ports([port], dummy=False, sw_base='mlx'))
            text = self.render(c)
            self.assertEqual(len(text.split('\n')), 2)
            expected = [[(DROVIK, 'add', 'name', 'p%d' % i, 'type', 'mlx_sx_netdev', 'unit', '0'),
                         (IP, 'link', 'set', 'p%d' % i, 'down'),
                         (IP, 'link', 'set', 'dev', 'p%d' % i, 'address', '0:11:22:33:44:%d' % (4 + i))]
                        for i in (0, 1)] if made else []
            self.assertEqual(self.machine.commands(), [(DROVIK, 'show', 'type', 'mlx_sx_netdev')] + sum(expected, []),
                             (is_fabric, create_fabric))
            for name in list(self.machine.links):
                self.machine.remove(name)


class Printed(object):
    """A name that is no text, though it prints as one."""

    def __str__(self):
        return 'swp7'

    def __repr__(self):
        return 'Printed()'


class NamesTest(PorttabCase):
    def test_names_the_kernel_would_refuse_change_nothing(self):
        # (what, configured ports, what the message says)
        cases = (
            ('two ports, one name', [CPort(['swp1'], label='1'), CPort(['swp2'], label='2'),
                                     CPort(['swp1'], label='3')],
             "'swp1' of port 1 sub-port 0 and port 3 sub-port 0 is given to more than one interface"),
            ('an override on a breakout', [CPort(['swp4'] * 3, label='4', mode='4x10G')],
             "'swp4' of port 4 sub-port 0, port 4 sub-port 1 and port 4 sub-port 2 is given to more"),
            ('empty', [CPort(['swp1', ''], label='1')], "'' of port 1 sub-port 1 is empty"),
            ('dot', [CPort(['.'], label='1')], "'.' of port 1 sub-port 0 is"),
            ('dot dot', [CPort(['..'], label='1')], "'..' of port 1 sub-port 0 is"),
            ('16 bytes', [CPort(['swp1234567890123'], label='1')], 'longer than 15 bytes'),
            ('slash', [CPort(['swp1/1'], label='1')], 'holds "/"'),
            ('colon', [CPort(['swp1:1'], label='1')], 'holds ":"'),
            ('blank', [CPort(['swp 1'], label='1')], 'holds white space'),
            ('tab', [CPort(['swp1\t'], label='1')], 'holds white space'),
            ('NUL', [CPort(['swp1\0'], label='1')], 'holds a NUL byte'),
            ('every fault named', [CPort(['a b'], label='1'), CPort(['swp2'], label='2'),
                                   CPort(['swp2'], label='5', is_fabric=True, create_fabric=True)],
             "'a b' of port 1 sub-port 0 holds white space; 'swp2' of port 2 sub-port 0 and port 5 sub-port 0"),
            # The listing gives back a str, which a name of another type never
            # equals, even where its text is a name's; each is refused alone.
            ('an int', [CPort(['swp1'], label='1'), CPort([5, 5], label='2')],
             '5 of port 2 sub-port 0 is not a str or unicode; 5 of port 2 sub-port 1 is not a str or unicode'),
            ('a float', [CPort([2.5], label='1')], '2.5 of port 1 sub-port 0 is not a str or unicode'),
            ('a tuple', [CPort([('swp', 1)], label='1')], "('swp', 1) of port 1 sub-port 0 is not a str or unicode"),
            ('text of a name', [CPort([Printed()], label='1')], 'Printed() of port 1 sub-port 0 is not a str or'),
            # However long a name, the message quotes only its beginning.
            ('a million characters', [CPort(['x' * 10 ** 6], label='1')],
             "'%s'... (1000000 characters) of port 1 sub-port 0 is longer than 15 bytes" % ('x' * 64)),
            ('a long tuple', [CPort([tuple(range(10 ** 5))], label='1')],
             "%s... (688890 characters) of port 1 sub-port 0 is not a str" % repr(tuple(range(10 ** 5)))[:64]),
            # A name that cannot be shown is still refused by its port.
            ('a name without repr', [CPort([Unprintable()], label='1')],
             '<unprintable Unprintable object> of port 1 sub-port 0 is not a str or unicode'),
            ('a classic name without repr', [CPort(['swp1', ClassicUnprintable()], label='1')],
             '<unprintable instance object> of port 1 sub-port 1 is not a str or unicode'),
            # A unicode name is quoted and counted by its characters; a str and
            # a unicode of the same bytes are one name, quoted as the first seen.
            ('33 characters of 2 bytes', [CPort([u'\xe9' * 33], label='1')],
             "%r of port 1 sub-port 0 is longer than 15 bytes" % (u'\xe9' * 33)),
            ('100 characters of 2 bytes', [CPort([u'\xe9' * 100], label='1')],
             "%r... (100 characters) of port 1 sub-port 0 is longer than 15 bytes" % (u'\xe9' * 64)),
            ('a unicode and a str', [CPort([u'swp1'], label='1'), CPort(['swp1'], label='2')],
             "u'swp1' of port 1 sub-port 0 and port 2 sub-port 0 is given to more than one interface"),
            ('a str and a unicode', [CPort(['sw\xc3\xa9'], label='1'), CPort([u'sw\xe9'], label='2')],
             "'sw\\xc3\\xa9' of port 1 sub-port 0 and port 2 sub-port 0 holds a character outside printable ASCII"),
            # The label is shortened as a name is, and read whole past a NUL.
            ('a label of 64 characters', [CPort(['a b'], label='L' * 64)],
             "'a b' of port %s sub-port 0 holds white space" % ('L' * 64)),
            ('a label of a million characters', [CPort(['a b'], label='L' * 10 ** 6)],
             "'a b' of port %s... (1000000 characters) sub-port 0 holds white space" % ('L' * 64)),
            ('a unicode label of 100 characters', [CPort(['a b'], label=u'\xe9' * 100)],
             "'a b' of port %s... (100 characters) sub-port 0 holds white space" % ('\\xe9' * 64)),
            ('a label holding NUL', [CPort(['a b'], label='1\x002')], "'a b' of port 1\x002 sub-port 0 holds white space"),
        )
        for tap in (None, '1'):
            self.env(DROVIK_USE_TUNTAP=tap)
            listing = (IP, 'tuntap', 'show') if tap else (DROVIK, 'show', 'type', 'bcm_knet')
            for what, ports, message in cases:
                self.machine = Machine()
                for name in ('swp1', 'stale'):
                    self.machine.add(name, 'tap' if tap else 'bcm_knet')
                before = self.machine.state()
                c = self.install(with_ports(ports, dummy=False))
                with self.assertRaises(ValueError) as cm:
                    self.render(c)
                self.assertIn(message, str(cm.exception), what)
                self.assertLess(len(str(cm.exception)), 400, what)
                self.assertEqual(self.machine.commands(), [listing], what)
                self.assertNotIn(('open', KNET, 'w'), self.machine.log, what)
                self.assertEqual(self.machine.state(), before, what)

    def test_names_the_kernel_takes(self):
        # 15 bytes; a name shared with a fabric port that gets no interface.
        ports = [CPort(['swp123456789012'], label='1'), CPort(['swp2'], label='2', mac_index=1),
                 CPort(['swp2'], label='3', is_fabric=True)]
        c = self.install(with_ports(ports, dummy=False))
        self.render(c)
        self.assertEqual(sorted(self.machine.links), ['swp123456789012', 'swp2'])

    def test_names_no_command_can_carry(self):
        """Names the kernel or ip would take for something else are refused
        before anything changes; their near misses are made as any other."""
        keyword = 'is read by "ip link set" as a keyword'
        outside = 'holds a character outside printable ASCII'
        switch = 'holds "switch", the mark of the switch\'s own interfaces'
        # (name, label, the reason given or None where the name is made)
        cases = (
            ('x%d', '2', 'holds "%"'), ('x%', '2', 'holds "%"'),
            ('all', '2', 'is "all" or "default"'), ('default', '2', 'is "all" or "default"'),
            ('swp\xa01', '2', outside), ('swp\x7f', '2', outside), ('swp\x01', '2', outside),
            ('sw\xc3\xa9', '2', outside), (u'swp\xa0', '2', outside), (u'swp\u2028', '2', outside),
            (u'swp\xe9', u'\xe9', outside),
            # whole keywords, and prefixes ip takes for one
            ('up', '2', keyword), ('down', '2', keyword), ('dev', '2', keyword), ('mtu', '2', keyword),
            ('name', '2', keyword), ('mode', '2', keyword), ('group', '2', keyword), ('brd', '2', keyword),
            ('allmulticast', '2', keyword), ('xdpoffload', '2', keyword),
            ('h', '2', keyword), ('help', '2', keyword), ('d', '2', keyword), ('t', '2', keyword),
            ('ty', '2', keyword), ('m', '2', keyword), ('mas', '2', keyword), ('a', '2', keyword),
            ('al', '2', keyword), ('addrg', '2', keyword), ('l', '2', keyword), ('link-', '2', keyword),
            ('nu', '2', keyword), ('numr', '2', keyword), ('txql', '2', keyword), ('b', '2', keyword),
            # near misses: prefixes ip does not take, longer words, other cases
            ('de', '2', None), ('do', '2', None), ('mo', '2', None), ('mt', '2', None), ('na', '2', None),
            ('allm', '2', None), ('ar', '2', None), ('te', '2', None), ('bri', '2', None), ('defaul', '2', None),
            ('upx', '2', None), ('dev0', '2', None), ('UP', '2', None), ('Down', '2', None), ('alls', '2', None),
            ('swp1.100', '2', None), (u'swp2', '2', None), ('~!#$&*+=?^_|', '2', None),
            # names the reconciliation reads as the switch's own or ip's listing cuts
            ('~!#$&*+=?@^_|', '2', 'holds "@"'), ('swp1@1', '2', 'holds "@"'), ('@', '2', 'holds "@"'),
            ('switch', '2', switch), ('myswitch0', '2', switch), ('switch@1', '2', 'holds "@"'),
            ('swid', '2', 'is "swid", which the listing passes over as the switch\'s own'),
            ('lo', '2', 'is "lo", the loopback device'),
            ('swi', '2', None), ('switc', '2', None), ('Switch1', '2', None), ('sw1tch', '2', None),
            ('sw1d', '2', None), ('swid0', '2', None), ('SWID', '2', None), ('lo0', '2', None),
            ('loop', '2', None), ('LO', '2', None), ('swp3', '2', None),
        )
        for tap in (None, '1'):
            self.env(DROVIK_USE_TUNTAP=tap)
            listing = (IP, 'tuntap', 'show') if tap else (DROVIK, 'show', 'type', 'bcm_knet')
            for name, label, why in cases:
                what = (name, tap)
                self.machine = Machine()
                for kept in ('swp1', 'stale'):
                    self.machine.add(kept, 'tap' if tap else 'bcm_knet')
                before = self.machine.state()
                ports = [CPort(['swp1'], label='1'), CPort([name], label=label, mac_index=1)]
                c = self.install(with_ports(ports, dummy=False))
                if why is None:
                    self.render(c)
                    self.assertEqual(sorted(self.machine.links), sorted(['swp1', name]), what)
                    self.assertEqual(self.machine.links[name]['mac'], '0:11:22:33:44:1', what)
                    continue
                with self.assertRaises(ValueError) as cm:
                    self.render(c)
                # shown by its characters, a unicode label escaped
                shown = (repr(name), label.encode('ascii', 'backslashreplace'))
                self.assertIn('%s of port %s sub-port 0 %s' % (shown + (why,)), str(cm.exception), what)
                self.assertEqual(self.machine.commands(), [listing], what)
                self.assertNotIn(('open', KNET, 'w'), self.machine.log, what)
                self.assertEqual(self.machine.state(), before, what)

    def test_a_name_is_read_once_as_its_own_text(self):
        """A str or unicode subclass is taken as its own characters: what its
        __str__ says is never asked, so a name checked is the name made, and
        a refused text stays refused whatever __str__ says."""
        # (the name, its text in the commands and the table, or None where refused)
        cases = []
        for base in (str, unicode):
            cases += [(turning(base, 'swp7', 'swp7', 'bad name'), 'swp7'),
                      (turning(base, 'bad name', 'swp7', 'swp7'), None)]
        for tap in (None, '1'):
            self.env(DROVIK_USE_TUNTAP=tap)
            for name, text in cases:
                what = (type(name).__base__, text, tap)
                self.machine = Machine()
                for kept in ('swp1', 'stale'):
                    self.machine.add(kept, 'tap' if tap else 'bcm_knet')
                before = self.machine.state()
                # The same name on a port that makes no interface is in the table only.
                ports = [CPort(['swp1'], label='1'), CPort([name], label='2', mac_index=1),
                         CPort([turning(type(name).__base__, 'fp9', 'x', 'y')], label='9', is_fabric=True)]
                c = self.install(with_ports(ports, dummy=False))
                if text is None:
                    with self.assertRaises(ValueError) as cm:
                        self.render(c)
                    self.assertIn(" of port 2 sub-port 0 holds white space", str(cm.exception), what)
                    self.assertEqual(self.machine.state(), before, what)
                    continue
                table = self.render(c)
                self.assertEqual([line.split('\t')[0] for line in table.split('\n')], ['swp1', text, 'fp9'], what)
                self.assertEqual(sorted(self.machine.links), ['swp1', text], what)
                words = [w for entry in self.machine.log for w in entry[1:]]
                self.assertEqual([w for w in words if type(w) not in (str, unicode)], [], what)
                self.assertNotIn('bad name', words, what)
                self.assertEqual(self.machine.links[text]['mac'], '0:11:22:33:44:1', what)

    def test_a_name_that_equals_nothing_is_kept(self):
        """The listing is compared with the name's own text, not through its __eq__."""
        for tap in (None, '1'):
            self.env(DROVIK_USE_TUNTAP=tap)
            listing = [(IP, 'tuntap', 'show')] if tap else [(DROVIK, 'show', 'type', 'bcm_knet'),
                                                          (IP, '-o', 'link', 'show')]
            for name in (NeverEqual('swp7'), NeverEqualUnicode(u'swp7')):
                what = (type(name), tap)
                self.machine = Machine()
                c = self.install(with_ports([CPort([name], label='7')], dummy=False))
                self.render(c)
                made = self.machine.state()
                self.assertEqual(sorted(made), ['swp7'], what)
                self.render(c)
                self.assertEqual(self.machine.commands(), listing, what)
                self.assertEqual(self.machine.state(), made, what)


class TapModeTest(PorttabCase):
    def test_only_the_exact_text_1_selects_tap_mode(self):
        for value, tap in ((None, False), ('', False), ('0', False), ('true', False), ('yes', False), (' 1', False),
                           ('1 ', False), ('01', False), ('1', True)):
            self.env(DROVIK_USE_TUNTAP=value)
            c = self.install(with_ports([], dummy=False))
            self.render(c)
            first = (IP, 'tuntap', 'show') if tap else (DROVIK, 'show', 'type', 'bcm_knet')
            self.assertEqual(self.machine.commands()[0], first, repr(value))

    def test_reconciliation(self):
        self.env(DROVIK_USE_TUNTAP='1')
        for name, kind in (('swp1s0', 'tap'), ('swp2', 'tap'), ('old', 'tap'), ('tun0', 'tun'), ('myswitch', 'tap')):
            self.machine.add(name, kind)
        self.machine.add('noise', 'ether')
        self.machine.extra[IP] = [': tap', 'noise', '']
        self.machine.phytab = '0x1\tswp2\txe1\t4x25G'  # never read in tap mode
        before = self.machine.state()
        c = self.make()
        self.render(c)
        dels, rest = self.removals(0)
        self.assertEqual(dels, runs((IP, 'link', 'del', 'dev', 'noise'), (IP, 'link', 'del', 'dev', 'old'),
                                    (IP, 'link', 'del', 'dev', 'tun0')))
        self.assertEqual(rest, runs((IP, 'tuntap', 'show')) + knet('swp1s0') + knet('swp2') + run_list(
            tap_made('swp1s1') + tap_made('swp1s2') + tap_made('swp1s3') + tap_made('swp5')))
        after = self.machine.state()
        for kept in ('swp1s0', 'swp2', 'myswitch'):
            self.assertEqual(after[kept], before[kept], kept)
        self.assertEqual(after['swp5'][:3], ('tap', mac('swp5'), False))

        # Nothing to do the second time.
        self.machine.extra[IP] = []
        self.render(c)
        self.assertEqual(self.machine.log, runs((IP, 'tuntap', 'show')) + knet('swp1s0') + knet('swp1s1') +
                         knet('swp1s2') + knet('swp1s3') + knet('swp2') + knet('swp5'))
        self.assertEqual(self.machine.state(), after)

    def test_other_bases(self):
        self.env(DROVIK_USE_TUNTAP='1')
        for base in ('mlx', 'qsim', None, 'other'):
            self.machine.add('swp1', 'tap')
            self.machine.add('stale', 'tap')
            c = self.install(with_ports([CPort(['swp1']), CPort(['swp2'], mac_index=1)], sw_base=base, dummy=False))
            self.render(c)
            self.assertEqual(self.machine.log, runs((IP, 'tuntap', 'show'), (IP, 'link', 'del', 'dev', 'stale'),
                                                    (IP, 'tuntap', 'add', 'dev', 'swp2', 'mode', 'tap', 'one_queue'),
                                                    (IP, 'link', 'set', 'swp2', 'down'),
                                                    (IP, 'link', 'set', 'dev', 'swp2', 'address', '0:11:22:33:44:1')),
                             base)
            for name in list(self.machine.links):
                self.machine.remove(name)


class KernelModeTest(PorttabCase):
    def test_reconciliation_on_bcm(self):
        for name in ('swp1s0', 'swp1s1', 'swp2', 'old', 'myswitch3'):
            self.machine.add(name, 'bcm_knet')
        self.machine.add('eth0', 'ether')
        self.machine.add('switch0', 'switch')
        self.machine.add('switch1', 'switch', parent='eth0')
        self.machine.add('vlan10', 'vlan', parent='switch0')
        self.machine.extra[DROVIK] = ['switch0 is not listed', 'switch type bcm_knet', 'swid 0', ' swp1s3 type']
        # swp1s0 keeps its mode, swp1s1 has no entry, swp2 had another mode.
        self.machine.phytab = '# phy_addr\tlinux_intf\tsdk_intf\n0x1\tswp1s0\txe1\t4x10G\n0x4\tswp2\txe1\t4x25G\n'
        before = self.machine.state()
        c = self.make()
        self.render(c)
        dels, rest = self.removals(0)
        self.assertEqual(dels, runs((IP, 'link', 'del', 'dev', 'old'), (IP, 'link', 'del', 'dev', 'swp2')))
        self.assertEqual(rest, runs((DROVIK, 'show', 'type', 'bcm_knet')) + [('open', PHYTAB, 'r'), ('close', PHYTAB)] +
                         knet('swp1s0') + knet('swp1s1') +
                         run_list(netdev_made('swp1s2')) + knet('swp1s2') +
                         run_list(netdev_made('swp1s3')) + knet('swp1s3') +
                         run_list(netdev_made('swp2')) + knet('swp2') +
                         run_list(netdev_made('swp5')) + knet('swp5') +
                         runs((IP, '-o', 'link', 'show'), (IP, 'link', 'set', 'myswitch3', 'up'),
                              (IP, 'link', 'set', 'switch0', 'up'), (IP, 'link', 'set', 'switch1', 'up')))
        after = self.machine.state()
        for kept in ('swp1s0', 'swp1s1', 'eth0', 'vlan10'):
            self.assertEqual(after[kept], before[kept], kept)
        self.assertNotEqual(after['swp2'][3], before['swp2'][3])
        self.assertEqual(after['swp2'][:2], ('bcm_knet', mac('swp2')))
        self.assertTrue(after['switch1'][2])

        # The PHY table still names the old mode of swp2: it is made again.
        self.render(c)
        dels, rest = self.removals(0)
        self.assertEqual(dels, runs((IP, 'link', 'del', 'dev', 'swp2')))
        self.machine.phytab = c.phytab
        self.render(c)
        self.assertEqual(self.machine.commands(), [(DROVIK, 'show', 'type', 'bcm_knet'), (IP, '-o', 'link', 'show'),
                                                   (IP, 'link', 'set', 'myswitch3', 'up'),
                                                   (IP, 'link', 'set', 'switch0', 'up'),
                                                   (IP, 'link', 'set', 'switch1', 'up')])
        self.assertEqual([e[2] for e in self.machine.log if e[0] == 'write'], ['%s=down' % n for n in NAMES])

    def test_mlx_writes_no_knet_and_brings_nothing_up(self):
        self.machine.add('swp1s0', 'mlx_sx_netdev')
        self.machine.add('old', 'mlx_sx_netdev')
        self.machine.add('switch0', 'switch')
        c = self.make(sw_base='mlx')
        self.render(c)
        dels, rest = self.removals(0)
        self.assertEqual(dels, runs((IP, 'link', 'del', 'dev', 'old')))
        made = sum((netdev_made(n, 'mlx_sx_netdev') for n in NAMES[1:]), [])
        self.assertEqual(rest, runs((DROVIK, 'show', 'type', 'mlx_sx_netdev')) + [('open', PHYTAB, 'r')] +
                         run_list(made))

    def test_dummy_mode_runs_nothing_but_reads_the_phy_table(self):
        class NoPrograms(FakeSubprocess):
            def check_output(self, argv, *args, **kwargs):
                raise AssertionError('ran %r' % (argv,))

        with patch(lanquist, 'subprocess', NoPrograms()):
            for tap, base, log in (('1', 'bcm', []), (None, 'bcm', [('open', PHYTAB, 'r')]),
                                   (None, 'mlx', [('open', PHYTAB, 'r')]), (None, 'qsim', [])):
                self.env(DROVIK_USE_TUNTAP=tap)
                c = lanquist.BCMConfig(small_platform(sw_base=base), dummy=True)
                c.config('')
                cm = patch(lanquist, 'open', self.machine.open)
                with cm:
                    self.assertEqual(len(self.render(c).split('\n')), 7, (tap, base))
                self.assertEqual(self.machine.log, log, (tap, base))


class VirtualSwitchTest(PorttabCase):
    def test_lists_nothing_and_cannot_make_netdevs(self):
        self.machine.add('swp1', 'bcm_knet')
        c = self.install(with_ports([CPort(['swp1']), CPort(['swp2'])], sw_base='qsim', dummy=False))
        with self.assertRaises(UnsupportedPlatformError) as cm:
            self.render(c)
        self.assertEqual(cm.exception.args, ('Kernel netdevs are not supported' + ' ' * 27 +
                                             'on qsim, only on Broadcom and Mellanox',))
        self.assertEqual(self.machine.log, [])
        c.dummy = True
        self.assertEqual(self.render(c), 'swp1\txe0\t0\t0\t-1\t1\t0\nswp2\txe0\t0\t0\t-1\t1\t0')
        self.assertEqual(self.machine.log, [])

    def test_other_bases_are_refused_before_anything_runs(self):
        for base in (None, 'other', 'BCM', 0):
            c = self.install(with_ports([CPort(['swp1'])], sw_base=base, dummy=False))
            with self.assertRaises(UnsupportedPlatformError) as cm:
                self.render(c)
            self.assertEqual(cm.exception.args, ('Kernel netdevs are not supported' + ' ' * 22 +
                                                 'on %s, only on Broadcom and Mellanox' % base,))
            self.assertEqual(self.machine.log, [], base)

    def test_error_class_looked_up_when_raised(self):
        class Other(Exception):
            pass

        c = self.install(with_ports([], sw_base='other'))
        with patch(lanquist, 'UnsupportedPlatformError', Other):
            self.assertRaises(Other, getattr, c, 'porttab')
        with patch(lanquist, 'UnsupportedPlatformError', 'not a class'):
            self.assertRaises(TypeError, getattr, c, 'porttab')


class Answering(object):
    """A runner that answers each listing with its text from `answers`, empty
    text otherwise, and notes every command in the machine's log."""
    def __init__(self, machine, program, answers):
        self.machine, self.program, self.answers = machine, program, answers

    def run(self, args):
        self.machine.log.append(('run', self.program) + tuple(args))
        return self.answers.get(tuple(args), u'')


class UnicodeOutputTest(PorttabCase):
    def test_split_at_text_line_ends_only(self):
        """Unicode's other line breaks stay inside their line: the names
        behind them (gone, switch9) are never seen."""
        def hiding(line, behind):
            return line + u''.join(brk + behind for brk in u'\x0b\x0c\x1c\x1d\x1e\x85\u2028\u2029')

        tap_show = hiding(u'tap0: tap', u'gone: tap') + u'\r\ntap1: tap\rtap2: tap\n'
        drovik_show = hiding(u'swp1 type bcm_knet', u'gone type') + u'\r\nswp2 type\rswp3 type\n'
        link_show = hiding(u'1: eth0: <UP>', u'9: switch9: <UP>') + u'\r\n2: switch0: <UP>\r3: switch1: <UP>'
        cases = (
            # (tap mode, ip answers, drovik answers, removed, the other commands)
            ('1', {('tuntap', 'show'): tap_show}, {}, ['tap0', 'tap1', 'tap2'], runs((IP, 'tuntap', 'show'))),
            (None, {('-o', 'link', 'show'): link_show}, {('show', 'type', 'bcm_knet'): drovik_show},
             ['swp1', 'swp2', 'swp3'],
             runs((DROVIK, 'show', 'type', 'bcm_knet')) + phytab_read() +
             runs((IP, '-o', 'link', 'show'), (IP, 'link', 'set', 'switch0', 'up'), (IP, 'link', 'set', 'switch1', 'up'))),
        )
        for tap, ip_answers, drovik_answers, removed, others in cases:
            self.env(DROVIK_USE_TUNTAP=tap)
            self.machine.phytab = ''
            c = self.install(with_ports([], dummy=False))
            c.iproute2 = Answering(self.machine, IP, ip_answers)
            c.drovik = Answering(self.machine, DROVIK, drovik_answers)
            self.render(c)
            dels, rest = self.removals(0)
            self.assertEqual(dels, runs(*[(IP, 'link', 'del', 'dev', name) for name in removed]), tap)
            self.assertEqual(rest, others, tap)


class FailureTest(PorttabCase):
    def converged(self, c):
        """After a failure is mended: one rendering puts everything right, and
        the next one changes nothing."""
        self.machine.fail = None
        self.render(c)
        state = self.machine.state()
        self.assertEqual(sorted(n for n in state if state[n][0] == 'bcm_knet'), NAMES)
        for name in NAMES:
            self.assertEqual(state[name][1], mac(name), name)
        self.render(c)
        self.assertEqual(self.machine.state(), state)
        self.assertEqual(self.machine.commands(), [(DROVIK, 'show', 'type', 'bcm_knet'), (IP, '-o', 'link', 'show')])

    def test_failed_commands(self):
        cases = (
            ('listing', (DROVIK, 'show'), ['swp1s0']),
            ('removal', (IP, 'link', 'del', 'dev', 'old'), ['swp1s0']),
            ('creation', (DROVIK, 'add', 'name', 'swp1s2'), ['swp1s0', 'swp1s1']),
            ('bringing up', (IP, '-o', 'link', 'show'), NAMES),
        )
        for what, fail, present in cases:
            self.machine = Machine()
            self.machine.add('swp1s0', 'bcm_knet', mac=mac('swp1s0'))
            self.machine.add('old', 'bcm_knet')
            self.machine.fail = fail
            c = self.make()
            self.assertRaises(subprocess.CalledProcessError, self.render, c)
            self.assertEqual(sorted(n for n in self.machine.links if n != 'old'), present, what)
            self.converged(c)

    def test_knet_file_that_cannot_be_opened(self):
        self.machine.add('swp1s0', 'bcm_knet', mac=mac('swp1s0'))
        self.machine.add('swp1s1', 'bcm_knet', mac=mac('swp1s1'))
        self.machine.add('old', 'bcm_knet')
        self.machine.file_errors[KNET] = IOError(errno.ENOENT, 'No such file or directory', KNET)
        c = self.make()
        self.assertRaises(IOError, self.render, c)
        self.assertEqual(self.machine.log[-1], ('open', KNET, 'w'))
        self.assertEqual(sorted(self.machine.links), ['old', 'swp1s0', 'swp1s1'])
        del self.machine.file_errors[KNET]
        self.converged(c)


if __name__ == '__main__':
    unittest.main()
