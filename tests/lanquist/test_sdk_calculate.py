"""config(): the run order, the configured ports with their port bases, MAC
indexes and interface bases, the class chosen per chip, the units, the MAC
shortage; and the gangs."""
import unittest

import brontile
import lanquist
import sdkkit
from sdkkit import Port
from support import patch


class FakeStdout(object):
    def __init__(self, log):
        self.log = log

    def write(self, text):
        self.log.append(('stdout', text))


class FakeSys(object):
    def __init__(self, log):
        self.stdout = FakeStdout(log)


class FakeSyslog(object):
    def __init__(self, log):
        self.log = log

    def syslog(self, *args):
        self.log.append(('syslog', args))


def quad(label, first, unit=0, **fields):
    """A four-lane cage whose interfaces are xe<first> to xe<first + 3>."""
    return Port(label, ['xe%d' % n for n in range(first, first + 4)], unit=unit, **fields)


def run(platform, ports_conf, log=None, cls=None, **flags):
    """Configure a new object; return it. Standard output and syslog go to log."""
    log = [] if log is None else log
    c = sdkkit.config(platform, cls=cls, **flags)
    with patch(lanquist, 'sys', FakeSys(log)), patch(lanquist, 'syslog', FakeSyslog(log)), \
            sdkkit.configured_ports():
        c.config(ports_conf)
    return c


def summary(c):
    return [(cp.kind, cp.label, cp.mode, cp.port_base, cp.mac_index, cp.loopback) for cp in c.ports]


class RunOrderTest(unittest.TestCase):
    def logged_class(self, log):
        base = lanquist.BCMConfig

        class Logged(base):
            def _complete_modes(self, config_map):
                log.append('parse')
                return base._complete_modes(self, config_map)

            def _calculate_configuration(self):
                log.append('configuration')
                return base._calculate_configuration(self)

            def _calculate_leds(self):
                log.append('leds')
                return base._calculate_leds(self)

            def _calculate_units(self):
                log.append('units')
                return base._calculate_units(self)

            def _calculate_gangs(self, ports):
                log.append(('gangs', ports is self.ports))
                return base._calculate_gangs(self, ports)

            def set_macmode(self, mode):
                log.append(('macmode', mode))
                return base.set_macmode(self, mode)
        return Logged

    def test_order_with_verbose_line_and_shortage(self):
        log = []
        platform = sdkkit.platform([quad('1', 0), quad('2', 4)])
        c = sdkkit.config(platform, cls=self.logged_class(log), verbose=True)
        c.macrange = 7
        with patch(lanquist, 'sys', FakeSys(log)), patch(lanquist, 'syslog', FakeSyslog(log)), \
                sdkkit.configured_ports():
            self.assertIsNone(c.config('1=4x10G\n'))
        self.assertEqual(log, ['parse', 'configuration', ('stdout', 'max_mac_index 8 macrange 7\n'), 'leds', 'units',
                               ('gangs', True), ('syslog', ('Not enough macs in platform, falling to l3-only',)),
                               ('macmode', 'l3-only')])
        self.assertEqual(c.macmode, 'l3-only')
        self.assertEqual(c.config_map, {'1': '4x10G'})

    def test_verbose_line_only_when_verbose(self):
        platform = sdkkit.platform([quad('1', 0)])
        for verbose, expected in ((False, []), (0, []), ('', []), (1, [('stdout', 'max_mac_index 4 macrange 255\n')])):
            log = []
            run(platform, '', log, verbose=verbose)
            self.assertEqual(log, expected, repr(verbose))

    def test_shortage_exactly_at_and_above_the_range(self):
        platform = sdkkit.platform([quad('1', 0), quad('2', 4), quad('3', 8, max_logical_ports=1)])
        for macrange, short in ((9, False), (10, False), (8, True), (0, True)):
            log = []
            c = sdkkit.config(platform)
            c.macrange = macrange
            with patch(lanquist, 'sys', FakeSys(log)), patch(lanquist, 'syslog', FakeSyslog(log)), \
                    sdkkit.configured_ports():
                c.config('')
            self.assertEqual(c.macmode, 'l3-only' if short else 'standard', macrange)
            self.assertEqual(log, [('syslog', ('Not enough macs in platform, falling to l3-only',))] if short else [])
            # A later, smaller configuration never switches back.
            with patch(lanquist, 'syslog', FakeSyslog(log)), sdkkit.configured_ports():
                c.config('1=disable\n2=disable\n3=disable\n')
            self.assertEqual(c.macmode, 'l3-only' if short else 'standard', macrange)

    def test_failure_ends_the_run(self):
        class Broken(Port):
            def port_mangler(self, mode):
                return [(self, mode), (self,)]

        platform = sdkkit.platform([quad('1', 0), Broken('2', ['xe4'])])
        c = sdkkit.config(platform, cls=self.logged_class([]))
        with sdkkit.configured_ports():
            self.assertRaises(ValueError, c.config, '1=4x10G\n')
        self.assertEqual(c.config_map, {'1': '4x10G'})
        self.assertEqual((c.ports, c.mapped_portnums), ([], {}))
        self.assertFalse(hasattr(c, '_led_programs'))
        # The object stays usable.
        platform.switch.ports.pop()
        with sdkkit.configured_ports():
            c.config('1=40G\n')
        self.assertEqual(summary(c), [('plain', '1', '40G', 1, 0, False)])


class CalculationTest(unittest.TestCase):
    def test_port_bases_per_unit_and_running_mac_indexes(self):
        platform = sdkkit.platform([quad('1', 0), quad('2', 4), quad('3', 8), quad('4', 12, unit=1)])
        c = run(platform, '1=4x10G\n2=40G\n3=4x10G\n4=2x50G\n')
        self.assertEqual([(cp.label, cp.port_base, cp.mac_index) for cp in c.ports],
                         [('1', 1, 0), ('2', 5, 4), ('3', 6, 8), ('4', 1, 12)])
        self.assertEqual(c.mapped_portnums, {0: 10, 1: 3})
        self.assertEqual(sorted(c.port_units), [0, 1])
        self.assertIsNot(c.port_units, c.port_units)
        self.assertEqual(c.units, set([0, 1]))
        with sdkkit.configured_ports():
            self.assertEqual(c._calculate_configuration(), 16)

    def test_modes_loopback_defaults_fabric_and_disabled(self):
        platform = sdkkit.platform([
            quad('1', 0),
            quad('2', 4, default_mode='4x10G'),
            quad('3', 8),
            quad('3', 12, is_fabric=True, default_mode='10G', max_logical_ports=1),
            quad('5', 16),
        ])
        c = run(platform, '1=loopback\n2=loopback\n3=4x10G\nFabric-3=2x50G\n5=disabled\n')
        self.assertEqual(summary(c), [
            ('plain', '1', '40G', 1, 0, True),
            ('plain', '2', '4x10G', 2, 4, True),
            ('plain', '3', '4x10G', 6, 8, False),
            ('plain', '3', '2x50G', 10, 12, False),
        ])
        self.assertIs(c.ports[0].physical_port, platform.switch.ports[0])
        c = run(platform, '3=LOOPBACK\n')
        self.assertEqual([(cp.mode, cp.loopback) for cp in c.ports],
                         [('40G', False), ('4x10G', False), ('LOOPBACK', False), ('10G', False), ('40G', False)])

    def test_gang_members_take_no_numbers(self):
        ports = [Port(str(n + 1), ['xe%d' % n]) for n in range(4)] + [quad('5', 16)]
        c = run(sdkkit.platform(ports), '1=40G/4\n2=40G/4\n3=40G/4\n4=40G/4\n')
        self.assertEqual([cp.port_base for cp in c.ports], [1, 2, 2, 2, 2])
        leader = c.ports[0]
        self.assertEqual(leader.ganged_ports, frozenset(c.ports[:4]))
        self.assertEqual([cp.ganged_ports for cp in c.ports[1:]], [None] * 4)
        self.assertEqual(c.mapped_portnums, {0: 3})

    def test_expansion_of_a_port(self):
        class Split(Port):
            def port_mangler(self, mode):
                return ((self.peer, '10G'), [self, mode])

        peer = Port('peer', ['xe9'], unit=1)
        split = Split('1', ['xe8'], peer=peer, max_logical_ports=2)
        c = run(sdkkit.platform([split]), '')
        self.assertEqual([(cp.physical_port, cp.mode, cp.port_base, cp.mac_index) for cp in c.ports],
                         [(peer, '10G', 1, 0), (split, '40G', 1, 4)])
        with sdkkit.configured_ports():
            self.assertEqual(c._calculate_configuration(), 4 + 2)

    def test_class_chosen_by_identity_with_true(self):
        cases = ((True, True, 'dport'), (True, None, 'dport'), (1, True, 'mapped'), (1, False, 'plain'),
                 (None, True, 'mapped'), (None, 1, 'plain'), (False, None, 'plain'), ('yes', 'yes', 'plain'))
        for dport, portmap, kind in cases:
            chip = sdkkit.Chip()
            chip.dport_capable, chip.portmap_capable = dport, portmap
            c = run(sdkkit.platform([quad('1', 0)], chip=chip), '')
            self.assertEqual([cp.kind for cp in c.ports], [kind], (dport, portmap))

    def test_port_whose_count_fails_is_already_in_ports(self):
        def failing(mode):
            raise KeyError(mode)

        for portmap, kind in ((True, 'mapped'), (False, 'plain')):
            chip = sdkkit.Chip()
            chip.portmap_capable = portmap
            c = sdkkit.config(sdkkit.platform([quad('1', 0), Port('2', ['xe4'], num_logical_ports=failing)], chip=chip))
            with sdkkit.configured_ports():
                self.assertRaises(KeyError, c.config, '')
            self.assertEqual([(cp.kind, cp.label) for cp in c.ports], [(kind, '1'), (kind, '2')])
            self.assertEqual(c.mapped_portnums, {0: 2})

    def test_interface_bases_on_direct_port_chips(self):
        chip = sdkkit.Chip()
        chip.dport_capable = True
        platform = sdkkit.platform([
            quad('1', 0), quad('2', 4), Port('3', ['ce8']), quad('4', 12), quad('5', 16, unit=1),
            Port('6', ['ce20'], unit=1)], chip=chip)
        c = run(platform, '1=4x10G\n2=40G\n4=2x50G\n')
        self.assertEqual([(cp.label, cp.port_base, cp.if_port_base) for cp in c.ports],
                         [('1', 1, 1), ('2', 5, 5), ('3', 6, 1), ('4', 7, 6), ('5', 1, 1), ('6', 2, 1)])

    def test_unit_none_is_numbered_but_not_a_unit(self):
        c = run(sdkkit.platform([quad('1', 0, unit=None), quad('2', 4, unit=None), quad('3', 8, unit=2)]), '')
        self.assertEqual([cp.port_base for cp in c.ports], [1, 2, 1])
        self.assertEqual(c.mapped_portnums, {None: 3, 2: 2})
        self.assertEqual(sorted(c.port_units), [None, 2])
        self.assertEqual(c.units, set([2]))

    def test_each_run_replaces_the_state(self):
        platform = sdkkit.platform([quad('1', 0), quad('2', 4, unit=1)])
        c = run(platform, '')
        ports, mapped, units = c.ports, c.mapped_portnums, c.units
        c2 = run(platform, '2=disable\n')
        c.config_map = None
        with sdkkit.configured_ports():
            c.config('2=disable\n')
        for new, old in ((c.ports, ports), (c.mapped_portnums, mapped), (c.units, units)):
            self.assertIsNot(new, old)
        self.assertEqual((summary(c), c.mapped_portnums, c.units), (summary(c2), {0: 2}, set([0])))
        self.assertEqual(len(ports), 2)

    def test_platform_that_lacks_what_is_read(self):
        class NoUnit(Port):
            unit = property(lambda self: 1 // 0, lambda self, value: None)

        cases = (
            (sdkkit.platform([object()]), AttributeError),
            (sdkkit.platform([NoUnit('1', ['xe0'])]), ZeroDivisionError),
            (sdkkit.platform([Port('1', ['xe0'], unit=[0])]), TypeError),
            (sdkkit.platform([Port('1', ['xe0'], port_mangler=lambda mode: 5)]), TypeError),
            (sdkkit.platform([Port('1', ['xe0'], port_mangler=lambda mode: [(1, 2, 3)])]), ValueError),
            (sdkkit.platform([Port('1', ['xe0'], port_mangler=lambda mode: [()])]), ValueError),
            (sdkkit.platform([Port(1, ['xe0'], is_fabric=True)]), TypeError),
        )
        for platform, error in cases:
            c = sdkkit.config(platform)
            with sdkkit.configured_ports():
                self.assertRaises(error, c.config, '')
        c = sdkkit.config(sdkkit.platform([Port('1', ['xe0'])]))
        c.platform.switch.ports = 5
        with sdkkit.configured_ports():
            self.assertRaises(TypeError, c.config, '')

    def test_configured_port_classes_found_in_the_module_at_each_call(self):
        made = []

        class Plain(sdkkit.ConfiguredPort):
            def __init__(self, *args):
                made.append(args)
                sdkkit.ConfiguredPort.__init__(self, *args)

        platform = sdkkit.platform([quad('1', 0)])
        c = sdkkit.config(platform)
        with sdkkit.configured_ports(), patch(lanquist, 'SDKConfiguredPort', Plain):
            c.config('1=loopback\n')
        self.assertEqual(made, [('40G', platform.switch.ports[0], 1, 0, True)])
        self.assertIs(type(made[0][4]), bool)
        with sdkkit.configured_ports(), patch(lanquist, 'SDKConfiguredPort', None):
            self.assertRaises(TypeError, c.config, '')

    def test_with_brontiles_ports(self):
        class Quad(brontile.BCMPort):
            modes = ('40G', '4x10G')
            default_mode = '40G'
            _speed_map = {'40G': 40, '4x10G': 10}
            max_logical_ports = 4

            def num_logical_ports(self, mode):
                self._check_mode(mode)
                return 4 if mode == '4x10G' else 1

        def port(label, first, unit=0):
            wiring = dict.fromkeys(('phy_types', 'phy_addrs', 'phy_layer', 'prim_offset', 'leds', 'rx_polarity_flip',
                                    'tx_polarity_flip', 'rx_lane_map', 'tx_lane_map', 'mdi_pair_map',
                                    'pre_emphasis', 'drv_current', 'pre_drv_current', 'oversub', 'phy_id1',
                                    'sys_interface'))
            return Quad(label=label, hw_ports=['xe%d' % n for n in range(first, first + 4)], unit=unit, **wiring)

        switch = brontile.BCMSwitch(brontile.BCMChip())
        switch.ports = [port('1', 0), port('2', 4), port('3', 8), port('4', 12, 1)]
        platform = brontile.Platform()
        platform.switch = switch
        c = lanquist.BCMConfig(platform, dummy=True)
        with sdkkit.configured_ports():
            c.config('1=4x10G\n2=disabled\n4=loopback\n')
        self.assertEqual(summary(c), [('plain', '1', '4x10G', 1, 0, False), ('plain', '3', '40G', 5, 4, False),
                                      ('plain', '4', '40G', 1, 8, True)])
        with sdkkit.configured_ports():
            self.assertEqual(c._calculate_configuration(), 12)
            # A mode the port does not offer: the model's own error; the object stays usable.
            self.assertRaises(brontile.NoSuchMode, c.config, '1=8x1G\n')
            c.config('1=40G\n')
        self.assertEqual([cp.port_base for cp in c.ports], [1, 2, 3, 1])

    def test_real_configured_ports(self):
        if '__init__' not in vars(lanquist.SDKConfiguredPort):
            self.skipTest('the configured ports have no constructor of their own yet')
        c = sdkkit.config(sdkkit.platform([quad('1', 0), quad('2', 4)]))
        c.config('1=4x10G\n')
        self.assertEqual([(cp.__class__, cp.port_base, cp.mac_index) for cp in c.ports],
                         [(lanquist.SDKConfiguredPort, 1, 0), (lanquist.SDKConfiguredPort, 5, 4)])


class Cage(object):
    """What the gang calculation reads of a configured port."""

    def __init__(self, hw, leader=False, ganged=True, size=4, label=None):
        self.physical_port = Port(label or hw, [hw])
        self.ganged = ganged
        self.gang_leader = leader
        self.max_gang_size = size
        self.label = label or hw
        self.ganged_ports = None

    def __repr__(self):
        return self.label


def cages(layout):
    """'xe4 *xe1 xe3 -xe9': * marks a leader, - a port that is not ganged."""
    out = []
    for word in layout.split():
        out.append(Cage(word.lstrip('*-'), leader=word.startswith('*'), ganged=not word.startswith('-')))
    return out


class GangsTest(unittest.TestCase):
    def gangs(self, ports):
        c = sdkkit.config(sdkkit.platform(name='box'))
        self.assertIsNone(c._calculate_gangs(ports))
        return [p.ganged_ports for p in ports]

    def test_gangs_in_hardware_order(self):
        def named(ports, result):
            return [None if g is None else sorted(p.label for p in g) for g in result]

        cases = (
            ('xe4 *xe1 xe3 xe2', [None, ['xe1', 'xe2', 'xe3', 'xe4'], None, None]),
            ('*xe0 xe1 xe2 xe3 xe4 xe5 *xe6 xe7',
             [['xe0', 'xe1', 'xe2', 'xe3'], None, None, None, None, None, ['xe4', 'xe5', 'xe6', 'xe7'], None]),
            ('*xe0 xe1 xe2', [None, None, None]),
            ('*xe0 *xe1 xe2 xe3', [None, ['xe0', 'xe1', 'xe2', 'xe3'], None, None]),
            ('*xe0 xe1 -xe2 xe3 xe5', [['xe0', 'xe1', 'xe3', 'xe5'], None, None, None, None]),
            ('-xe0 -xe1', [None, None]),
            ('', []),
            # no leader: the gang is dropped and the next one starts afresh
            ('xe0 xe1 xe2 xe3 *xe4 xe5 xe6 xe7', [None] * 4 + [['xe4', 'xe5', 'xe6', 'xe7']] + [None] * 3),
            # equal keys keep their order in the list: the later leader wins
            ('*xe8 *ce8 xe9 xe10', [None, ['ce8', 'xe10', 'xe8', 'xe9'], None, None]),
        )
        for layout, expected in cases:
            ports = cages(layout)
            self.assertEqual(named(ports, self.gangs(ports)), expected, layout)

    def test_leader_set_is_frozen_and_holds_the_ports_themselves(self):
        ports = cages('*xe0 xe1 xe2 xe3')
        self.gangs(ports)
        gang = ports[0].ganged_ports
        self.assertIs(type(gang), frozenset)
        self.assertEqual(set(map(id, gang)), set(map(id, ports)))

    def test_identity_with_true(self):
        ports = cages('*xe0 xe1 xe2 xe3 xe4')
        ports[1].ganged = 1
        ports[0].gang_leader = 1
        ports[4].gang_leader = True
        self.gangs(ports)
        self.assertEqual(sorted(p.label for p in ports[4].ganged_ports), ['xe0', 'xe2', 'xe3', 'xe4'])
        self.assertIsNone(ports[0].ganged_ports)

    def test_size_of_the_port_just_added_by_equality(self):
        ports = cages('*xe0 xe1 xe2 *xe3 xe4')
        ports[1].max_gang_size = 2.0
        ports[3].max_gang_size = 2L
        self.gangs(ports)
        self.assertEqual(sorted(p.label for p in ports[0].ganged_ports), ['xe0', 'xe1'])
        self.assertEqual(sorted(p.label for p in ports[3].ganged_ports), ['xe2', 'xe3'])
        ports = cages('*xe0 xe1')
        for p in ports:
            p.max_gang_size = '2'
        self.assertEqual(self.gangs(ports), [None, None])

    def test_duplicate_port(self):
        ports = cages('*xe0 xe1 xe2 xe3 *xe4 xe5')
        ports.append(ports[5])
        try:
            self.gangs(ports)
        except RuntimeError as e:
            self.assertEqual(str(e), 'platform: box: Duplicate port xe5 already in ganged set')
        else:
            self.fail('no error')
        self.assertIsNotNone(ports[0].ganged_ports)
        self.assertIsNone(ports[4].ganged_ports)
        # With a completed gang between them the second occurrence joins the next gang.
        ports = cages('*xe0 xe1 xe2 xe3 *xe4 xe5 xe6')
        ports.append(ports[3])
        self.gangs(ports)
        self.assertEqual(sorted(p.label for p in ports[0].ganged_ports), ['xe0', 'xe1', 'xe2', 'xe3'])
        self.assertEqual(sorted(p.label for p in ports[4].ganged_ports), ['xe3', 'xe4', 'xe5', 'xe6'])

    def test_keys_that_cannot_be_read_fail_before_any_gang(self):
        for bad, error in (('xeX', ValueError), ('x', ValueError), (None, TypeError)):
            ports = cages('*xe0 xe1 xe2 xe3')
            ports.append(Cage('ok', ganged=False))
            ports[4].physical_port.hw_ports = [bad]
            self.assertRaises(error, self.gangs, ports)
            self.assertIsNone(ports[0].ganged_ports)
        ports = cages('*xe0')
        ports[0].physical_port.hw_ports = []
        self.assertRaises(IndexError, self.gangs, ports)
        self.assertRaises(TypeError, self.gangs, 5)
        self.assertRaises(TypeError, lanquist.BCMConfig._calculate_gangs, sdkkit.config(sdkkit.platform()))

    def test_any_iterable_of_ports(self):
        ports = cages('*xe0 xe1 xe2 xe3')
        c = sdkkit.config(sdkkit.platform())
        c._calculate_gangs(iter(ports))
        self.assertEqual(len(ports[0].ganged_ports), 4)


if __name__ == '__main__':
    unittest.main()
