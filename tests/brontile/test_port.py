"""Port, SDKPort and BCMPort: construction, class data and the hooks."""
import unittest

import brontile
from portkit import WIRING, QuadPort, make_port, raised
from support import patch


class ConstructionTest(unittest.TestCase):
    def test_port_keeps_its_label(self):
        for port in (brontile.Port('1'), brontile.Port(label='1')):
            self.assertEqual(port.label, '1')
            self.assertIsNone(port.sfp)
            self.assertIs(port.is_fabric, False)
            self.assertIs(port.create_fabric, False)
        self.assertRaises(TypeError, brontile.Port)
        self.assertRaises(TypeError, brontile.Port, '1', '2')

    def test_sdk_port_stores_every_argument_unchanged(self):
        values = dict((name, object()) for name in WIRING)
        by_position = brontile.SDKPort(*[values[name] for name in WIRING])
        by_keyword = brontile.BCMPort(**values)
        for port in (by_position, by_keyword):
            for name in WIRING:
                self.assertIs(getattr(port, name), values[name], name)
            self.assertIsNone(port.sfp)

    def test_sdk_port_refuses_wrong_arguments(self):
        nineteen = [None] * 19
        cases = [
            ('18 positional', nineteen[:18], {}),
            ('20 positional', nineteen + [None], {}),
            ('missing keyword', [], dict.fromkeys(WIRING[:-1])),
            ('unknown keyword', nineteen, {'speed': 10}),
            ('given twice', nineteen, {'label': '1'}),
        ]
        for what, args, kwargs in cases:
            for cls in (brontile.SDKPort, brontile.BCMPort):
                e = raised(lambda: cls(*args, **kwargs))
                self.assertIsInstance(e, TypeError, '%s: %s' % (cls.__name__, what))

    def test_fields_not_in_the_argument_list_survive_construction(self):
        # Port types set some fields before running the base constructor.
        class Early(brontile.BCMPort):
            def __init__(self, **fields):
                self.default_mode = '100G'
                self.dnx = True
                brontile.BCMPort.__init__(self, **fields)

        port = make_port(Early, label='7')
        self.assertEqual(port.default_mode, '100G')
        self.assertIs(port.dnx, True)
        self.assertEqual(port.label, '7')

    def test_label_stored_by_port_constructor_found_at_call_time(self):
        calls = []

        class StandIn(object):
            __init__ = staticmethod(lambda obj, label: calls.append(label))

        with patch(brontile, 'Port', StandIn):
            port = make_port(label='9')
        self.assertEqual(calls, ['9'])
        self.assertFalse('label' in port.__dict__)


class ClassDataTest(unittest.TestCase):
    def test_hierarchy(self):
        self.assertEqual(brontile.Port.__bases__, (object,))
        self.assertEqual(brontile.SDKPort.__bases__, (brontile.Port,))
        self.assertEqual(brontile.BCMPort.__bases__, (brontile.SDKPort,))
        self.assertEqual(brontile.BCMPort.__doc__, 'Broadcom-specific port data.')
        self.assertIs(brontile.BCMPort.__init__, brontile.SDKPort.__init__)

    def test_sdk_port_defaults(self):
        port = make_port(hw_ports=('xe0', 'xe1', 'xe2', 'xe3'))
        self.assertEqual(port.hw_ports, ('xe0', 'xe1', 'xe2', 'xe3'))
        identical = [('default_mode', None), ('disable_prefix_xlate', None), ('set_fiber_pref', False),
                     ('autoneg_pref', None), ('autofec_pref', None), ('sdk_group', None),
                     ('name_override', None), ('dnx', False)]
        for name, value in identical:
            self.assertIs(getattr(port, name), value, name)
        equal = [('modes', ()), ('gang_modes', ()), ('max_gang_size', 0), ('pbmp_map', {}),
                 ('phy_init', {}), ('_speed_map', {}), ('_serdes_intf_map', {}),
                 ('_autodetect_phys', ('8727', '8747', '8754', '54282', '54680', '54280', '84328',
                                       '84758', '84848', '84858'))]
        for name, value in equal:
            self.assertEqual(getattr(port, name), value, name)
            self.assertIs(type(getattr(port, name)), type(value), name)

    def test_empty_mappings_are_shared_objects(self):
        class A(brontile.SDKPort):
            pass

        class B(brontile.BCMPort):
            pass

        for name in ('pbmp_map', 'phy_init', '_speed_map', '_serdes_intf_map'):
            shared = getattr(brontile.SDKPort, name)
            self.assertIs(getattr(A, name), shared, name)
            self.assertIs(getattr(B, name), shared, name)
            self.assertIs(getattr(make_port(B), name), shared, name)

    def test_class_data_can_be_changed_from_python(self):
        port = make_port(label='3')
        with patch(brontile.SDKPort, 'default_mode', '10G'):
            self.assertEqual(port.default_mode, '10G')
            self.assertTrue(port.configurable({}))
        self.assertIsNone(port.default_mode)
        port.extra = 'kept'
        self.assertEqual(port.extra, 'kept')


class HooksTest(unittest.TestCase):
    def test_generic_hooks_raise_bare_not_implemented(self):
        port = make_port(label='1', hw_ports=('xe0',), rx_polarity_flip=True, tx_polarity_flip=True)
        port.default_mode = '10G'
        cases = [
            ('num_logical_ports', lambda: port.num_logical_ports('10G')),
            ('num_physical_ports', lambda: port.num_physical_ports('10G')),
            ('max_logical_ports', lambda: port.max_logical_ports),
            ('logical_port_num/2', lambda: port.logical_port_num('10G', 0)),
            ('logical_port_num/3', lambda: port.logical_port_num('10G', 0, 1)),
            ('logical_port_num/kw', lambda: port.logical_port_num(mode='10G', sub=0, port_base=1)),
            ('polarity_flip_val', lambda: port.polarity_flip_val('10G', 0, True)),
            ('rx_logical_polarity_flip', lambda: port.rx_logical_polarity_flip('10G', 0)),
            ('tx_logical_polarity_flip', lambda: port.tx_logical_polarity_flip('10G', 0)),
            ('hw_intf_num', lambda: port.hw_intf_num('10G', 0)),
            ('mac_addrs_contrib_total', lambda: port.mac_addrs_contrib_total({})),
        ]
        for what, call in cases:
            e = raised(call)
            self.assertIs(type(e), NotImplementedError, what)
            self.assertEqual(e.args, (), what)
            self.assertEqual(str(e), '', what)

    def test_hooks_check_their_argument_counts(self):
        port = make_port()
        cases = [
            ('num_logical_ports()', lambda: port.num_logical_ports()),
            ('logical_port_num/1', lambda: port.logical_port_num('10G')),
            ('logical_port_num/4', lambda: port.logical_port_num('10G', 0, 1, 2)),
            ('polarity_flip_val/2', lambda: port.polarity_flip_val('10G', 0)),
            ('num_physical_ports/2', lambda: port.num_physical_ports('10G', 0)),
        ]
        for what, call in cases:
            self.assertIsInstance(raised(call), TypeError, what)

    def test_num_physical_ports_is_the_port_types_count(self):
        answer = object()

        class Counted(brontile.BCMPort):
            def num_logical_ports(self, mode):
                return answer if mode == 'x' else None

        self.assertIs(make_port(Counted).num_physical_ports('x'), answer)

    def test_max_logical_ports_is_read_only(self):
        port = make_port()
        self.assertRaises(AttributeError, setattr, port, 'max_logical_ports', 4)
        self.assertEqual(make_port(QuadPort).max_logical_ports, 4)


if __name__ == '__main__':
    unittest.main()
