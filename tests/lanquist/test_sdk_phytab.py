"""The PHY table: its text, and how the port-table rendering reads the file of
the previous run back (which interfaces it keeps shows what it read)."""
import errno
import unittest

import lanquist
from support import environ
from tabkit import PHYTAB, CPort, Machine, configured, small_platform, with_ports

HEADER = '# phy_addr\tlinux_intf\tsdk_intf'


class RenderTest(unittest.TestCase):
    def test_small_platform(self):
        c = configured(small_platform())
        self.assertEqual(c.output('phytab'), '\n'.join([
            HEADER,
            '0x1f\tswp1s0\txe1\t4x10G',
            '0x0\tswp1s1\txe2\t4x10G',
            '0x4\tswp2\txe1\t100G',
            '0x5\tswp2\txe1\t100G',
            '0x6\tswp2\txe1\t100G',
            '0x7\tswp2\txe1\t100G']))
        self.assertEqual(c.phytab, c.phytab)

    def test_names_carried_over(self):
        cases = (
            ('no PHYs', [CPort(['swp1'])], ''),
            ('more PHYs than logical ports', [CPort(['swp1'], phy_addrs=[1, 2, 3, 4])],
             '0x1\tswp1\txe0\t40G\n0x2\tswp1\txe0\t40G\n0x3\tswp1\txe0\t40G\n0x4\tswp1\txe0\t40G'),
            ('breakout with two PHYs', [CPort(['a', 'b', 'c', 'd'], phy_addrs=[10, 11], mode='4x10G')],
             '0xa\ta\txe0\t4x10G\n0xb\tb\txe1\t4x10G'),
            ('first PHYs without a logical port', [CPort([], phy_addrs=[31], mode='40G/4'), CPort(['swp2'])],
             '0x1f\tNone\tNone\t40G/4'),
            ('names of an earlier port', [CPort(['swp1'], phy_addrs=[1]), CPort([], phy_addrs=[2], mode='X')],
             '0x1\tswp1\txe0\t40G\n0x2\tswp1\txe0\tX'),
            ('trailing None addresses', [CPort(['swp1'], phy_addrs=[0, None, None])], '0x0\tswp1\txe0\t40G'),
        )
        for what, ports, expected in cases:
            self.assertEqual(with_ports(ports).phytab, expected, what)

    def test_an_address_that_is_no_integer(self):
        for addrs in ([None, 5], ['0x1']):
            self.assertRaises(TypeError, getattr, with_ports([CPort(['swp1'], phy_addrs=addrs)]), 'phytab')


class ReadBackTest(unittest.TestCase):
    """Kernel-netdev mode: an existing interface is kept when the file gives
    no mode for it or its port's own mode, and made again otherwise."""

    def setUp(self):
        cm = environ(DROVIK_USE_TUNTAP=None)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)

    def render(self, phytab, existing=('swp1s0', 'swp1s1', 'swp1s2', 'swp1s3', 'swp2', 'swp5')):
        machine = Machine(phytab)
        for name in existing:
            machine.add(name, 'bcm_knet')
        before = machine.state()
        c = configured(small_platform())
        cm = machine.install(c)
        try:
            c.porttab
        finally:
            cm.__exit__(None, None, None)
        after = machine.state()
        return sorted(n for n in existing if after.get(n) != before[n]), machine

    def test_what_the_reader_takes(self):
        phytab = '\n'.join([
            HEADER,
            '   # indented comment\tswp1s3\txe4\t100G',
            '',
            '0x1\tswp1s0\txe1\t40G\r',         # replaced by the next line
            '0x1\tswp1s0\txe1\t4x10G',
            '0x2\tswp1s1\txe2\t4x10G\r',       # the carriage return is stripped
            '0x3\tswp1s2\txe3\t4x10G \tmore',  # a blank belongs to its field
            '0x4\tswp2\txe1\t4x25G\tmore',     # fields after the mode are ignored
            '0x5\tswp5\txe5\t40G/4',
            '\t\t'])
        remade, machine = self.render(phytab)
        self.assertEqual(remade, ['swp1s2', 'swp2'])
        self.assertEqual([e for e in machine.log if e[0] != 'run'][:2], [('open', PHYTAB, 'r'), ('close', PHYTAB)])

    def test_a_missing_file_is_an_empty_table(self):
        remade, machine = self.render(None, existing=('swp1s0', 'swp2'))
        self.assertEqual(remade, [])
        self.assertEqual(sorted(machine.links), ['swp1s0', 'swp1s1', 'swp1s2', 'swp1s3', 'swp2', 'swp5'])

    def test_errors_stop_before_any_interface_changes(self):
        cases = (
            ('short line', '0x1f\tswp1\n', IndexError, None),
            ('two fields after good lines', '0x1\tswp1s0\txe1\t4x10G\n0x1f\tswp1', IndexError, None),
            ('unreadable', '', IOError, IOError(errno.EACCES, 'Permission denied', PHYTAB)),
            ('no errno', '', IOError, IOError('broken')),
            ('not an I/O error', '', ValueError, ValueError(errno.ENOENT)),
        )
        for what, phytab, error, open_error in cases:
            machine = Machine(phytab)
            machine.add('swp1s0', 'bcm_knet')
            machine.add('stale', 'bcm_knet')
            if open_error is not None:
                machine.file_errors[PHYTAB] = open_error
            c = configured(small_platform())
            cm = machine.install(c)
            try:
                self.assertRaises(error, getattr, c, 'porttab')
            finally:
                cm.__exit__(None, None, None)
            self.assertEqual(machine.commands(), [('drovik', 'show', 'type', 'bcm_knet')], what)
            self.assertEqual(sorted(machine.links), ['stale', 'swp1s0'], what)
            if open_error is None:
                self.assertEqual(machine.log[-1], ('close', PHYTAB), what)

    def test_a_short_line_is_named_by_its_number(self):
        # (what, file, number of the short line)
        cases = (
            ('first line', '0x1f\tswp1\n', 1),
            ('after the header, a comment, a blank line and a good line',
             HEADER + '\n# old\n\n0x1\tswp1s0\txe1\t4x10G\n0x2\tswp1s1\txe2\n', 5),
            ('three fields, no line end', '0x1\tswp1s0\txe1\t4x10G\n0x1f\tswp1\txe0', 2),
        )
        for what, phytab, number in cases:
            error, machine = self.porttab_error(phytab)
            self.assertIsInstance(error, IndexError, what)
            self.assertIn('%s, line %d:' % (PHYTAB, number), str(error), what)
            self.assertEqual(machine.commands(), [('drovik', 'show', 'type', 'bcm_knet')], what)

    def porttab_error(self, phytab):
        """The PhyTableError that rendering the port table raises on a
        machine whose PHY table is `phytab`, and the machine."""
        machine = Machine(phytab)
        c = configured(small_platform())
        cm = machine.install(c)
        try:
            with self.assertRaises(lanquist.PhyTableError) as raised:
                c.porttab
        finally:
            cm.__exit__(None, None, None)
        return raised.exception, machine

    def test_a_long_short_line_is_quoted_by_its_beginning(self):
        head = '%s, line 1: 2 tab-separated fields, not the four of a PHY table line: ' % PHYTAB
        # 63 and 64 characters whose quoted forms are longer, and one more
        line63 = '0x1f\t' + '\\\x00\xff' * 19 + 'z'
        line64, line65 = line63 + "'", line63 + "'z"
        # (the line, the whole message, or None where a long line is cut)
        cases = (
            ('0x1f\tswp1', head + "'0x1f\\tswp1'"),
            ('0x1f\t' + 's' * 50, head + repr('0x1f\t' + 's' * 50)),
            ('0x1f\t' + 's' * (1 << 20), None),
            (line63, head + repr(line63)), (line64, head + repr(line64)),
            (line65, head + repr(line64) + '... (65 characters)'),
            ('0x1f\t' + '\x00' * 70, head + repr('0x1f\t' + '\x00' * 59) + '... (75 characters)'),
        )
        for line, message in cases:
            got = str(self.porttab_error(line + '\n')[0])
            if message is not None:
                self.assertEqual(got, message, repr(line))
            else:
                self.assertLess(len(got), len(head) + 100, repr(line[:20]))
                self.assertTrue(got.startswith(head + repr(line)[:40]), got)


if __name__ == '__main__':
    unittest.main()
