"""Gang roles, the logical polarity of configured ports (a gang leader's
combined over its cages) and the per-chip polarity lines."""
import random
import unittest

import brontile
import lanquist
from sdkportkit import QuadPort, Recorder, cport, gang_cage, make_port, raised
from support import NotingList

SDKConfiguredPort = lanquist.SDKConfiguredPort


def gang(flags, mode='40G/4', first=0, tx=None):
    """The four configured cages of one gang, formed, in cage order."""
    ports = [cport(gang_cage(first + i, rx=flag, tx=(tx or flags)[i]), mode) for i, flag in enumerate(flags)]
    ports[0].ganged_ports = frozenset(ports)
    return ports


def quad(mask, hw_ports=('xe4', 'xe5', 'xe6', 'xe7'), tx=None):
    return make_port(QuadPort, label='5', hw_ports=hw_ports, unit=0, rx_polarity_flip=mask,
                     tx_polarity_flip=mask if tx is None else tx)


def answering(hw_port, value):
    """A generic platform port that answers `value` to both polarity queries
    and notes each call."""
    port = make_port(hw_ports=(hw_port,))
    port.calls = []

    def query(mode, sub):
        port.calls.append((mode, sub))
        return value
    port.rx_logical_polarity_flip = port.tx_logical_polarity_flip = query
    return port


class GangRoleTest(unittest.TestCase):
    def test_roles(self):
        # (cage, mode, ganged, leader, num_ganged_ports)
        for n, mode, ganged, leader, count in ((0, '40G/4', True, True, 4), (4, '40G/4', True, True, 4),
                                               (1, '40G/4', True, False, 1), (3, '40G/4', True, False, 1),
                                               (0, '10G', False, False, 1), (1, '10G', False, False, 1)):
            c = cport(gang_cage(n), mode)
            self.assertIs(c.ganged, ganged, (n, mode))
            self.assertIs(c.gang_leader, leader, (n, mode))
            self.assertEqual(c.num_ganged_ports, count, (n, mode))

    def test_no_gang_modes(self):
        for mode in ('100G', '4x25G', '40G/4', 'bogus'):
            c = cport(quad(0), mode)
            self.assertIs(c.ganged, False, mode)
            self.assertIs(c.gang_leader, False, mode)
            self.assertEqual(c.num_ganged_ports, 1, mode)

    def test_any_logical_port_count_but_zero_leads(self):
        class Counted(SDKConfiguredPort):
            num_logical_ports = 2
            num_physical_ports = 7

        c = cport(gang_cage(1), '40G/4', cls=Counted)
        self.assertIs(c.gang_leader, True)
        self.assertEqual(c.num_ganged_ports, 7)
        c.num_logical_ports = 0
        self.assertIs(c.gang_leader, False)

    def test_ungrouped_answer_is_returned_as_is(self):
        class Zero(SDKConfiguredPort):
            ganged = 0

        self.assertIs(cport(gang_cage(0), '40G/4', cls=Zero).gang_leader, 0)

    def test_platform_errors(self):
        c = cport(gang_cage(0), '80G/4')
        self.assertIs(c.ganged, False)
        c.physical_port.gang_modes = ('40G/4', '80G/4')
        self.assertIs(c.ganged, True)
        for name in ('gang_leader', 'num_ganged_ports'):
            self.assertRaises(brontile.NoSuchMode, getattr, c, name)
        self.assertRaises(AttributeError, getattr, cport(object(), '40G/4'), 'ganged')


class LogicalPolarityTest(unittest.TestCase):
    def test_leader_combines_its_cages_in_hardware_order(self):
        ports = gang([True, False, True, True])
        leader = ports[0]
        self.assertEqual(leader.rx_logical_polarity_flip(0), 13)
        self.assertEqual(leader.tx_logical_polarity_flip(0), 13)
        rng = random.Random(7)
        for _ in range(10):
            shuffled = list(ports)
            rng.shuffle(shuffled)
            leader.ganged_ports = frozenset(shuffled)
            self.assertEqual(leader.rx_logical_polarity_flip(0), 13)
        self.assertEqual(gang([True, 1, 'yes', False])[0].rx_logical_polarity_flip(0), 1)

    def test_receive_and_transmit_apart(self):
        leader = gang([True, False, False, False], tx=[False, True, True, False])[0]
        self.assertEqual((leader.rx_logical_polarity_flip(0), leader.tx_logical_polarity_flip(0)), (1, 6))

    def test_hardware_order_is_numeric(self):
        values = ((12, 1), (100, 0), (9, 1), (20, 0))
        ports = [cport(answering('xe%d' % n, v), '40G/4') for n, v in values]
        ports[0].gang_leader = True
        ports[0].ganged_ports = frozenset(ports)
        # 9, 12, 20, 100; in text order (100, 12, 20, 9) it would be 0b1010
        self.assertEqual(ports[0].rx_logical_polarity_flip(0), 0b0011)

    def test_members_are_asked_in_the_leaders_mode_with_the_callers_sub(self):
        ports = [cport(answering('xe%d' % n, 1), mode) for n, mode in ((0, 'L'), (1, 'm1'), (2, 'm2'))]
        ports[0].gang_leader = True
        ports[0].ganged_ports = ports  # any iterable of configured ports
        self.assertEqual(ports[0].rx_logical_polarity_flip(3), 7)
        for p in ports:
            self.assertEqual(p.physical_port.calls, [('L', 3)])

    def test_bits_are_ored_not_added(self):
        ports = [cport(answering('xe%d' % n, v), 'M') for n, v in enumerate((3, 1, 0))]
        ports[0].gang_leader = True
        ports[0].ganged_ports = ports
        self.assertEqual(ports[0].tx_logical_polarity_flip(0), 3)

    def test_others_answer_their_platform_ports_value(self):
        ports = gang([True, False, True, True])
        for c in ports[1:]:
            self.assertEqual(c.rx_logical_polarity_flip(0), c.physical_port.rx_logical_polarity_flip('40G/4', 0))
        port = Recorder()
        c = cport(port, 'M')
        answer = c.tx_logical_polarity_flip(2)
        self.assertEqual(port.last()[:2], ('tx_logical_polarity_flip', ('M', 2)))
        self.assertIs(answer, port.last()[2])
        self.assertEqual(cport(quad(0b0110), '2x50G').rx_logical_polarity_flip(1), 1)

    def test_leader_is_an_identity_test(self):
        class Truthy(SDKConfiguredPort):
            gang_leader = 1

        c = cport(quad(9), '100G', cls=Truthy)
        self.assertEqual(c.rx_logical_polarity_flip(0), 9)

    def test_leader_without_its_gang_names_the_port(self):
        ports = gang([True] * 4, first=44)
        leader = ports[0]
        leader.ganged_ports = None
        for query in (leader.rx_logical_polarity_flip, leader.tx_logical_polarity_flip):
            e = raised(query, 0)
            self.assertIs(type(e), TypeError)
            self.assertIn('45', str(e))
        leader.ganged_ports = 4
        self.assertRaises(TypeError, leader.rx_logical_polarity_flip, 0)

    def test_member_errors(self):
        ports = gang([True] * 4)
        bad = cport(make_port(QuadPort, hw_ports=('xe9',)), '40G/4')
        ports[0].ganged_ports = frozenset(ports[:3] + [bad])
        self.assertRaises(brontile.NoSuchMode, ports[0].rx_logical_polarity_flip, 0)
        odd = cport(gang_cage(3), '40G/4')
        odd.physical_port.hw_ports = ('xeX',)
        ports[0].ganged_ports = frozenset(ports[:3] + [odd])
        self.assertRaises(ValueError, ports[0].rx_logical_polarity_flip, 0)
        generic = cport(make_port(hw_ports=('xe0',)), '10G')
        self.assertIs(type(raised(generic.rx_logical_polarity_flip, 0)), NotImplementedError)


TD3_RX = 'phy_chain_rx_polarity_flip_physical{%d.0}=%s'
TD3_TX = 'phy_chain_tx_polarity_flip_physical{%d.0}=%s'
TH3_RX = 'serdes_core_rx_polarity_flip_physical{%d}=%s'
TH3_TX = 'serdes_core_tx_polarity_flip_physical{%d}=%s'
QMX_RX = 'phy_rx_polarity_flip_phy%d.BCM88375=%s'
QMX_TX = 'phy_tx_polarity_flip_phy%d.BCM88375=%s'


class LinesTest(unittest.TestCase):
    def lines(self, c, name, sub=0, before=()):
        portmap = list(before)
        result = getattr(c, name)(c, portmap, sub)
        self.assertIs(result, portmap)
        self.assertEqual(result[:len(before)], list(before))
        return result[len(before):]

    def test_lines(self):
        four = ('xe4', 'xe5', 'xe6', 'xe7')
        eight = ('xe8', 'xe9', 'xe10', 'xe11')
        cases = (
            # (hw_ports, mode, sub, rx mask, tx mask, generator group, rx lines, tx lines)
            (four, '100G', 0, 5, 10, 'td3', [(5, '0x1'), (6, '0x0'), (7, '0x1'), (8, '0x0')],
             [(5, '0x0'), (6, '0x1'), (7, '0x0'), (8, '0x1')]),
            (('xe0', 'xe1', 'xe2', 'xe3'), '2x50G', 1, 8, 4, 'td3', [(3, '0x0'), (4, '0x1')],
             [(3, '0x1'), (4, '0x0')]),
            (four, '4x10G', 2, 4, 0, 'td3', [(7, '0x1')], [(7, '0x0')]),
            (four, '40G', 0, 0x15, 0, 'td3', [(5, '0x1'), (6, '0x0'), (7, '0x1'), (8, '0x0')],
             [(5, '0x0'), (6, '0x0'), (7, '0x0'), (8, '0x0')]),
            (('xe16',), '100G', 0, 3, 0, 'th3', [(17, '0x3'), (18, '0x3')], [(17, '0x0'), (18, '0x0')]),
            (('xe16',), '40G', 0, 10, 255, 'th3', [(17, '0xa'), (18, '0xa')], [(17, '0xff'), (18, '0xff')]),
            (('xe0', 'xe1', 'xe2', 'xe3'), '2x50G', 1, 0, 0, 'qmx', [(3, '0'), (4, '0')], [(3, '0'), (4, '0')]),
            (eight, '40G', 0, 6, 9, 'qmx', [(9, '0'), (10, '1'), (11, '1'), (12, '0')],
             [(9, '1'), (10, '0'), (11, '0'), (12, '1')]),
            (four, '4x25G', 3, 8, 0, 'qmx', [(8, '1')], [(8, '0')]),
        )
        formats = {'td3': (TD3_RX, TD3_TX), 'th3': (TH3_RX, TH3_TX), 'qmx': (QMX_RX, QMX_TX)}
        for hw_ports, mode, sub, rx, tx, group, rx_lines, tx_lines in cases:
            c = cport(quad(rx, hw_ports, tx=tx), mode)
            rx_fmt, tx_fmt = formats[group]
            why = (group, mode, sub)
            self.assertEqual(self.lines(c, group + '_rx_logical_polarity_flip', sub, before=['a', 'b']),
                             [rx_fmt % line for line in rx_lines], why)
            self.assertEqual(self.lines(c, group + '_tx_logical_polarity_flip', sub),
                             [tx_fmt % line for line in tx_lines], why)

    def test_a_gang_leader_writes_each_cage_on_its_lane(self):
        leader = gang([True, False, True, True], first=8)[0]
        self.assertEqual(self.lines(leader, 'td3_rx_logical_polarity_flip'),
                         [TD3_RX % (9, '0x1'), TD3_RX % (10, '0x0'), TD3_RX % (11, '0x1'), TD3_RX % (12, '0x1')])

    def test_everything_is_read_from_port(self):
        c = cport(quad(5), '100G')
        other = cport(quad(0, hw_ports=('xe40',)), '4x10G')
        portmap = []
        self.assertIs(other.td3_rx_logical_polarity_flip(c, portmap, 0), portmap)
        self.assertEqual(len(portmap), 4)
        self.assertEqual(portmap[0], TD3_RX % (5, '0x1'))
        self.assertEqual(SDKConfiguredPort.qmx_tx_logical_polarity_flip(other, c, [], 0)[0], QMX_TX % (5, '1'))

    def test_port_overrides_are_used(self):
        class Mine(SDKConfiguredPort):
            def hw_intf_num(self, sub):
                return 30

            def tx_logical_polarity_flip(self, sub):
                return 2

        c = cport(quad(None), '50G', cls=Mine)
        self.assertEqual(self.lines(c, 'th3_tx_logical_polarity_flip'), [TH3_TX % (31, '0x2'), TH3_TX % (32, '0x2')])
        self.assertEqual(self.lines(c, 'td3_tx_logical_polarity_flip'), [TD3_TX % (31, '0x0'), TD3_TX % (32, '0x1')])

    def test_values_are_written_in_the_hosts_forms(self):
        class Valued(SDKConfiguredPort):
            def rx_logical_polarity_flip(self, sub):
                return self.value

        c = cport(quad(None), '100G', cls=Valued)
        for value, td3, th3, qmx in ((5L, '0x1', '0x5', '1'), (True, '0x1', '0x1', '1'), (1 << 70, '0x0', '0x400000000000000000', '0'),
                                     (-1, '0x1', '-0x1', '1')):
            c.value = value
            self.assertEqual(self.lines(c, 'td3_rx_logical_polarity_flip')[0], TD3_RX % (5, td3), repr(value))
            self.assertEqual(self.lines(c, 'th3_rx_logical_polarity_flip')[0], TH3_RX % (5, th3), repr(value))
            self.assertEqual(self.lines(c, 'qmx_rx_logical_polarity_flip')[0], QMX_RX % (5, qmx), repr(value))

    def test_modes_outside_the_table(self):
        outside = {
            'td3': ('1G', '2.5G', '5G', '2x20G', '2x40G', '100g', '8x1G'),
            'th3': ('10G', '25G', '4x10G', '4x25G', '2x50G', '40G/4', '100G/4'),
            'qmx': ('40G/4', '100G/4', '1G'),
        }
        def port_in(mode):
            # only the table sees the mode: lane number and mask are fixed
            c = cport(quad(0), mode)
            c.hw_intf_num = lambda sub: 0
            c.rx_logical_polarity_flip = c.tx_logical_polarity_flip = lambda sub: 1
            return c

        for group, modes in outside.items():
            for mode in modes:
                for name in (group + '_rx_logical_polarity_flip', group + '_tx_logical_polarity_flip'):
                    c = port_in(mode)
                    portmap = ['x']
                    e = raised(getattr(c, name), c, portmap, 0)
                    self.assertIs(type(e), KeyError, (name, mode))
                    self.assertEqual(e.args, (mode,), (name, mode))
                    self.assertEqual(portmap, ['x'], (name, mode))
        c = port_in(['40G'])
        self.assertRaises(TypeError, c.td3_rx_logical_polarity_flip, c, [], 0)

    def test_gang_modes_in_the_td3_table(self):
        for mode in ('40G/4', '100G/4'):
            c = cport(quad(0), mode)
            c.hw_intf_num = lambda sub: 0
            c.rx_logical_polarity_flip = lambda sub: 0b1010
            self.assertEqual(self.lines(c, 'td3_rx_logical_polarity_flip'),
                             [TD3_RX % (1, '0x0'), TD3_RX % (2, '0x1'), TD3_RX % (3, '0x0'), TD3_RX % (4, '0x1')])

    def test_failures_append_nothing(self):
        incomplete = gang([True] * 4)[0]
        incomplete.ganged_ports = None
        cases = ((cport(quad(None), '100G'), TypeError),      # a mask that is no integer
                 (cport(quad(0), '8x1G'), brontile.NoSuchMode),
                 (incomplete, TypeError),
                 (cport(quad(0, hw_ports=()), '100G'), IndexError))
        for c, exc in cases:
            for group in ('td3', 'th3', 'qmx'):
                for way in ('rx', 'tx'):
                    portmap = ['x']
                    name = '%s_%s_logical_polarity_flip' % (group, way)
                    self.assertRaises(exc, getattr(c, name), c, portmap, 0)
                    self.assertEqual(portmap, ['x'], name)

    def test_line_list_is_appended_to_through_its_own_append(self):
        class Lines(object):
            def __init__(self):
                self.noted = []

            def append(self, line):
                self.noted.append(line)

        c = cport(quad(1), '50G')
        for group, expected in (('td3', [TD3_RX % (5, '0x1'), TD3_RX % (6, '0x0')]),
                                ('th3', [TH3_RX % (5, '0x1'), TH3_RX % (6, '0x1')]),
                                ('qmx', [QMX_RX % (5, '1'), QMX_RX % (6, '0')])):
            for lines in (Lines(), NotingList('a')):
                generator = getattr(c, group + '_rx_logical_polarity_flip')
                self.assertIs(generator(c, lines, 0), lines)
                self.assertEqual(lines.noted, expected, (group, type(lines)))
            self.assertEqual(list(lines), ['a'], group)
        self.assertRaises(AttributeError, c.th3_rx_logical_polarity_flip, c, (), 0)


if __name__ == '__main__':
    unittest.main()
