"""SDKConfiguredPort: its class, its construction and the members that answer
by forwarding to the platform port."""
import types
import unittest

import brontile
import lanquist
from sdkportkit import QuadPort, Recorder, Failing, cport, make_port, quad, raised

SDKConfiguredPort = lanquist.SDKConfiguredPort

# Every member of SDKConfiguredPort, in runs of one kind.
PROPERTIES = (
    'label', 'oversub', 'speed', 'num_lanes', 'num_logical_ports', 'max_logical_ports', 'num_physical_ports',
    'num_phys', 'enable_auto_neg', 'enable_auto_fec', 'prim_offset', 'phy_id1', 'sys_interface', 'leds', 'unit',
    'rx_polarity_flip', 'tx_polarity_flip', 'is_fabric', 'create_fabric', 'rx_lane_map', 'tx_lane_map',
    'mdi_pair_map', 'pre_emphasis', 'drv_current', 'pre_drv_current', 'phy_init', 'serdes_if_type', 'ganged',
    'max_gang_size', 'gang_leader', 'num_ganged_ports', 'an_c37', 'an_c73', 'set_fiber_pref', 'sdk_group')
METHODS = {
    'hw_intf_num': 'sub', 'hw_intf_num_portmap': 'sub', 'base_hw_intf_num': 'sub', 'sdk_intf_prefix': 'sub',
    'sdk_intf_num': 'sub', 'sdk_unit_intf_num': 'sub', 'sdk_intf': 'sub', 'linux_port_name': 'sub',
    'sdk_pbmp': 'sub', 'phy_addr': 'sub', 'sdk_logical_port_num': 'sub', 'phy_type': 'sub',
    'phy_autodetect': 'sub', 'set_leds': 'led_port, sub, led_index_list', 'hw_port_num': 'sub',
    'port_mac_index': 'sub', 'rx_logical_polarity_flip': 'sub', 'tx_logical_polarity_flip': 'sub',
    'td3_rx_logical_polarity_flip': 'port, portmap, sub', 'td3_tx_logical_polarity_flip': 'port, portmap, sub',
    'th3_rx_logical_polarity_flip': 'port, portmap, sub', 'th3_tx_logical_polarity_flip': 'port, portmap, sub',
    'qmx_rx_logical_polarity_flip': 'port, portmap, sub', 'qmx_tx_logical_polarity_flip': 'port, portmap, sub',
    'sdk_config_intf': 'sub, num_units',
}
# Properties that answer the platform port's attribute of the same name.
FIELDS = ('label', 'oversub', 'max_logical_ports', 'num_phys', 'prim_offset', 'phy_id1', 'sys_interface', 'leds',
          'unit', 'rx_polarity_flip', 'tx_polarity_flip', 'is_fabric', 'create_fabric', 'rx_lane_map',
          'tx_lane_map', 'mdi_pair_map', 'pre_emphasis', 'drv_current', 'pre_drv_current', 'phy_init',
          'max_gang_size', 'set_fiber_pref', 'sdk_group')
# Properties that call the platform port's method of the same name with the mode.
BY_MODE = ('speed', 'num_lanes', 'num_logical_ports', 'num_physical_ports', 'an_c37', 'an_c73')


class ClassTest(unittest.TestCase):
    def test_members_and_their_kinds(self):
        own = vars(SDKConfiguredPort)
        props = sorted(n for n, v in own.items() if isinstance(v, property))
        self.assertEqual(props, sorted(PROPERTIES))
        self.assertEqual(len(props), 35)
        for name in PROPERTIES:
            self.assertIsNone(own[name].fset, name)
            self.assertIsNone(own[name].fdel, name)
        methods = sorted(n for n, v in own.items() if isinstance(v, types.MethodType))
        self.assertEqual(methods, sorted(list(METHODS) + ['__init__']))
        self.assertEqual(set(own) - set(props) - set(methods), set(['__module__', '__doc__', 'portmap_capable']))
        # linux_prefix and gang_label come from ConfiguredPort
        for name in ('linux_prefix', 'gang_label'):
            self.assertIs(getattr(SDKConfiguredPort, name), vars(lanquist.ConfiguredPort)[name], name)

    def test_variants_hold_only_their_own_members(self):
        for name, members in (('BCMConfiguredPort', []),
                              ('SDKConfiguredMappedPort', ['portmap_capable', 'sdk_intf_num', 'sdk_pbmp']),
                              ('BCMConfiguredMappedPort', ['__init__']),
                              ('BCMConfiguredDportPort', ['__init__', 'portmap_capable', 'sdk_intf_num',
                                                          'sdk_logical_port_num', 'sdk_pbmp',
                                                          'sdk_unit_intf_num'])):
            cls = getattr(lanquist, name)
            self.assertIs(type(cls), types.ClassType, name)
            self.assertEqual(sorted(set(vars(cls)) - set(['__module__', '__doc__'])), members, name)
        self.assertEqual(lanquist.SDKConfiguredMappedPort.sdk_pbmp.__doc__,
                         'Mapped ports are sequential based on the port_base')

    def test_methods_take_their_arguments_by_name(self):
        c = cport(quad(), '4x25G', mac_index=12)
        self.assertEqual(c.hw_intf_num(sub=2), 6)
        self.assertEqual(c.port_mac_index(sub=2), 14)
        self.assertEqual(c.set_leds(led_index_list=[], sub=0, led_port=1), {})
        self.assertEqual(c.sdk_config_intf(num_units=1, sub=0), 'xe4')
        for call in (lambda: c.hw_intf_num(), lambda: c.hw_intf_num(0, 1), lambda: c.hw_intf_num(lane=0),
                     lambda: c.set_leds(1, 0), lambda: c.sdk_config_intf(), lambda: c.sdk_config_intf(0, 1, 2),
                     lambda: c.td3_rx_logical_polarity_flip(c, []),
                     lambda: SDKConfiguredPort.hw_intf_num(object(), 0)):
            self.assertRaises(TypeError, call)


class ConstructionTest(unittest.TestCase):
    def test_stores_the_very_objects(self):
        port, mode, base, index, loop = object(), object(), object(), object(), object()
        for c in (SDKConfiguredPort(mode, port, base, index, loop),
                  SDKConfiguredPort(loopback=loop, mac_index=index, physical_port=port, port_base=base, mode=mode)):
            self.assertIs(c.mode, mode)
            self.assertIs(c.physical_port, port)
            self.assertIs(c.port_base, base)
            self.assertIs(c.mac_index, index)
            self.assertIs(c.loopback, loop)
            self.assertIsNone(c.ganged_ports)
            self.assertEqual(sorted(vars(c)),
                             ['ganged_ports', 'loopback', 'mac_index', 'mode', 'physical_port', 'port_base'])

    def test_wrong_arguments(self):
        port = quad()
        for args, kwargs in (((), {}), (('100G', port, 1, 0), {}), (('100G', port, 1, 0, False, 9), {}),
                             (('100G', port, 1, 0), {'loop': False}),
                             (('100G', port, 1, 0, False), {'mode': '100G'})):
            self.assertRaises(TypeError, SDKConfiguredPort, *args, **kwargs)

    def test_a_mode_the_port_lacks_fails_at_the_first_query(self):
        c = cport(quad(), '8x1G')
        self.assertEqual(c.label, '5')
        for name in ('speed', 'serdes_if_type', 'num_logical_ports'):
            self.assertRaises(brontile.NoSuchMode, getattr, c, name)

    def test_bcm_configured_port_answers_as_its_base(self):
        names = ('speed', 'num_lanes', 'num_logical_ports', 'serdes_if_type', 'enable_auto_neg', 'ganged')
        a, b = cport(quad()), cport(quad(), cls=lanquist.BCMConfiguredPort)
        for name in names:
            self.assertEqual(getattr(a, name), getattr(b, name), name)
        for name in ('hw_intf_num', 'sdk_intf', 'sdk_config_intf', 'linux_port_name', 'port_mac_index'):
            self.assertEqual(getattr(a, name)(0), getattr(b, name)(0), name)


class FieldTest(unittest.TestCase):
    def test_fields_are_the_platform_ports_own_objects(self):
        class Plain(object):
            pass

        port = Plain()
        c = cport(port)
        for name in FIELDS:
            value = object()
            setattr(port, name, value)
            self.assertIs(getattr(c, name), value, name)

    def test_computed_fields_are_read_afresh(self):
        class Counting(QuadPort):
            reads = 0

            @property
            def max_logical_ports(self):
                Counting.reads += 1
                return Counting.reads

        c = cport(make_port(Counting, hw_ports=('xe0',)))
        self.assertEqual((c.max_logical_ports, c.max_logical_ports), (1, 2))

    def test_generic_port(self):
        port = make_port(label='9', unit=1, phy_addrs=(4, None, 0))
        c = cport(port)
        self.assertEqual((c.label, c.unit, c.num_phys, c.is_fabric, c.max_gang_size, c.phy_init, c.sdk_group),
                         ('9', 1, 2, False, 0, {}, None))
        self.assertIs(c.phy_init, brontile.SDKPort.phy_init)
        for name in ('num_logical_ports', 'max_logical_ports'):
            e = raised(getattr, c, name)
            self.assertIs(type(e), NotImplementedError, name)

    def test_a_later_change_shows(self):
        port = quad()
        c = cport(port)
        self.assertEqual((c.unit, c.speed, c.num_logical_ports), (0, 100, 1))
        port.unit = 3
        c.mode = '4x25G'
        self.assertEqual((c.unit, c.speed, c.num_logical_ports, c.hw_intf_num(3)), (3, 25, 4, 7))

    def test_missing_field_and_platform_errors(self):
        c = cport(object())
        for name in FIELDS + BY_MODE + ('serdes_if_type',):
            self.assertRaises(AttributeError, getattr, c, name)
        error = KeyError('boom')
        c = cport(Failing(error))
        for name in FIELDS + BY_MODE:
                self.assertIs(raised(getattr, c, name), error, name)


class ModeQueryTest(unittest.TestCase):
    def test_mode_properties_call_with_the_mode(self):
        port = Recorder()
        mode = object()
        c = cport(port, mode)
        for name in BY_MODE:
            answer = getattr(c, name)
            self.assertEqual(port.last()[:2], (name, (mode,)), name)
            self.assertIs(answer, port.last()[2], name)

    def test_serdes_if_type_passes_the_ports_own_speed(self):
        port = Recorder()
        c = cport(port)
        answer = c.serdes_if_type
        (n1, a1, speed), (n2, a2, kind) = port.calls
        self.assertEqual((n1, a1, n2, a2), ('speed', ('100G',), 'serdes_if_type', (speed,)))
        self.assertIs(answer, kind)

        class Faster(SDKConfiguredPort):
            speed = 100
        self.assertEqual(cport(quad(), '4x25G', cls=Faster).serdes_if_type, 'KR4')
        self.assertIsNone(cport(quad(), '4x25G').serdes_if_type)
        self.assertEqual(cport(quad(), '100G').serdes_if_type, 'KR4')

    def test_generic_answers(self):
        c = cport(quad(), '2x50G')
        self.assertEqual((c.speed, c.num_lanes, c.num_logical_ports, c.num_physical_ports), (50, 2, 2, 2))
        self.assertEqual((c.an_c37, c.an_c73), (None, None))


class InterfaceNumberTest(unittest.TestCase):
    def test_answers_go_through_int(self):
        class Answering(QuadPort):
            def hw_intf_num(self, mode, sub):
                return self.answer

            hw_intf_num_portmap = base_hw_intf_num = hw_intf_num

        port = make_port(Answering)
        c = cport(port)
        for answer, expected in ((7, 7), ('7', 7), (7L, 7), (' 7\n', 7), (7.9, 7), (True, 1), (1 << 70, 1 << 70)):
            port.answer = answer
            for name in ('hw_intf_num', 'hw_intf_num_portmap', 'base_hw_intf_num'):
                value = getattr(c, name)(0)
                self.assertEqual(value, expected, (name, answer))
                self.assertIs(type(value), type(expected), (name, answer))
        for answer, exc in (('x7', ValueError), ('', ValueError), (None, TypeError), ([7], TypeError)):
            port.answer = answer
            self.assertRaises(exc, c.hw_intf_num, 0)

    def test_generic_numbers(self):
        c = cport(quad(hw_ports=('xe8', 'xe9', 'xe10', 'xe11')), '2x50G')
        self.assertEqual([c.hw_intf_num(s) for s in (0, 1)], [8, 10])
        self.assertEqual([c.hw_intf_num_portmap(s) for s in (0, 1)], [8, 10])
        self.assertEqual([c.base_hw_intf_num(s) for s in (0, 1)], [8, 8])
        self.assertRaises(IndexError, c.hw_intf_num, 2)


class SubPortTest(unittest.TestCase):
    def test_forwarded_arguments(self):
        port = Recorder()
        mode, index = object(), object()
        c = cport(port, mode, mac_index=index)
        for call, expected in ((lambda: c.phy_autodetect(2), ('phy_autodetect', (mode, 2))),
                               (lambda: c.hw_port_num(3), ('hw_port_num', (mode, 3))),
                               (lambda: c.set_leds(1, 0, [5]), ('set_leds', (mode, 1, 0, [5]))),
                               (lambda: c.port_mac_index(2), ('port_mac_index', (mode, index, 2)))):
            answer = call()
            self.assertEqual(port.last()[:2], expected)
            self.assertIs(answer, port.last()[2])

    def test_phy_addr(self):
        c = cport(quad(phy_addrs=[4, None]))
        self.assertEqual((c.phy_addr(0), c.phy_addr(1), c.phy_addr(-1)), (4, None, None))
        self.assertRaises(IndexError, c.phy_addr, 2)
        self.assertRaises(TypeError, c.phy_addr, 'x')
        self.assertRaises(TypeError, cport(quad()).phy_addr, 0)
        self.assertEqual(cport(quad(phy_addrs={'a': 1})).phy_addr('a'), 1)

    def test_phy_type(self):
        c = cport(quad())
        for sub in (0, 99, 'x', None):
            self.assertIsNone(c.phy_type(sub), repr(sub))
        c = cport(quad(phy_types=('84328', None)))
        self.assertEqual((c.phy_type(0), c.phy_type(1)), ('84328', None))
        self.assertRaises(IndexError, c.phy_type, 2)

    def test_phy_type_reads_the_list_twice(self):
        class Flipping(object):
            reads = []

            @property
            def phy_types(self):
                Flipping.reads.append(1)
                return ['a'] if len(Flipping.reads) > 1 else ['b']

        self.assertEqual(cport(Flipping()).phy_type(0), 'a')
        self.assertEqual(len(Flipping.reads), 2)

    def test_generic_answers(self):
        c = cport(quad(phy_types=('84328', '1234')), '4x25G', mac_index=12)
        self.assertEqual(c.port_mac_index(2), 14)
        self.assertEqual((c.phy_autodetect(0), c.phy_autodetect(1)), (True, False))
        first, second = c.set_leds(1, 0, [5]), c.set_leds(1, 0, [5])
        self.assertEqual(first, {})
        self.assertIsNot(first, second)

    def test_platform_errors_reach_the_caller(self):
        error = ValueError('from the port')

        class Raising(QuadPort):
            def hw_port_num(self, mode, sub):
                raise error

            phy_autodetect = hw_port_num

        c = cport(make_port(Raising, hw_ports=('xe0',)))
        self.assertIs(raised(c.hw_port_num, 0), error)
        self.assertIs(raised(c.phy_autodetect, 0), error)
        self.assertRaises(AttributeError, cport(object()).set_leds, 1, 0, [])


class DispatchTest(unittest.TestCase):
    """A Python override, on either side, is what the members use."""

    def test_platform_port_overrides_win(self):
        class Shifted(QuadPort):
            def hw_intf_num(self, mode, sub):
                return 40 + sub

            def hw_intf_prefix(self, mode, sub):
                return 'hg'

            @classmethod
            def speed(cls, mode):
                return 10

        c = cport(make_port(Shifted, label='1', hw_ports=('xe0',), unit=0))
        self.assertEqual((c.hw_intf_num(1), c.sdk_intf(1), c.sdk_intf_num(2), c.speed), (41, 'xe41', 42, 10))

    def test_configured_port_overrides_win(self):
        class Mine(SDKConfiguredPort):
            def hw_intf_num(self, sub):
                return 20 + sub

            def sdk_intf_prefix(self, sub):
                return 'ge'

            @property
            def num_logical_ports(self):
                return 2

            @property
            def gang_label(self):
                return '7'

        c = cport(quad(rx_polarity_flip=1), '100G', cls=Mine)
        self.assertEqual((c.sdk_intf_num(1), c.sdk_unit_intf_num(1), c.sdk_intf(1)), (21, 21, 'ge21'))
        self.assertEqual(c.sdk_config_intf(0), 'ge20.0')
        self.assertEqual(c.linux_port_name(1), 'swp7s1')
        self.assertEqual(c.td3_rx_logical_polarity_flip(c, [], 0)[0], 'phy_chain_rx_polarity_flip_physical{21.0}=0x1')


if __name__ == '__main__':
    unittest.main()
