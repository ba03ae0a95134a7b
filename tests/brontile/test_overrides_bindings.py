"""Which class of each chip family carries which rule of its own: every other
class answers with its nearest base's."""
import unittest

import brontile
from overkit import ALL_CLASSES

RULE_MEMBERS = ('num_logical_ports', 'num_physical_ports', 'max_logical_ports', 'speed', 'polarity_flip_val',
                'hw_port_num', 'hw_pbmp', 'hw_intf_prefix', 'if_name_get', 'led_port_num', 'logical_port_num',
                'find_port', 'blocked_adj_split_num', 'an_c37', 'an_c73', 'set_fiber_pref')

COUNTS = {'num_logical_ports', 'max_logical_ports'}
GANG = {'num_logical_ports', 'num_physical_ports', 'max_logical_ports', 'polarity_flip_val'}
BREAKOUT = {'num_logical_ports', 'max_logical_ports', 'polarity_flip_val'}
SERDES_FAMILY = {'hw_port_num', 'hw_intf_prefix', 'led_port_num', 'logical_port_num'}
AUTONEG = {'an_c37', 'an_c73'}

OWN = {
    'TridentPort': set(),
    'Trident10GPort': GANG,
    'Trident40GPort': BREAKOUT,
    'TridentTwoPort': {'led_port_num'} | AUTONEG,
    'TridentTwoPlusPort': {'logical_port_num', 'an_c37', 'set_fiber_pref'},
    'TridentTwo10GPort': GANG,
    'TridentTwo10GFabricPort': AUTONEG,
    'TridentTwo40GPort': BREAKOUT,
    'TridentTwoPlus10GPort': GANG,
    'TridentTwoPlus40GPort': BREAKOUT,
    'TridentThreePort': SERDES_FAMILY,
    'TridentThree100GPort': BREAKOUT,
    'TridentThree25GPort': GANG,
    'TridentThree10GPort': GANG | AUTONEG | {'logical_port_num', 'set_fiber_pref'},
    'TridentThreeMGPort': GANG | AUTONEG | {'logical_port_num', 'set_fiber_pref'},
    'TomahawkPort': SERDES_FAMILY,
    'TomahawkTwoPort': {'led_port_num', 'logical_port_num', 'find_port'},
    'TomahawkThreePort': {'led_port_num', 'logical_port_num'},
    'Tomahawk100GPort': BREAKOUT,
    'Tomahawk100GFabricPort': {'max_logical_ports'},
    'Tomahawk25GPort': GANG,
    'TomahawkMgmt10GPort': COUNTS,
    'TomahawkTwo100GPort': BREAKOUT | {'blocked_adj_split_num'},
    'TomahawkThree100GPort': BREAKOUT,
    'Minipack100GPort': {'max_logical_ports'},
    'MaverickPort': SERDES_FAMILY,
    'Maverick100GPort': BREAKOUT,
    'Maverick40GPort': BREAKOUT,
    'Maverick40GFabricPort': {'max_logical_ports'},
    'Maverick10GPort': GANG | AUTONEG | {'set_fiber_pref'},
    'Maverick10GFabricPort': AUTONEG | {'set_fiber_pref'},
    'QumranPort': SERDES_FAMILY,
    'Qumran100GPort': BREAKOUT | {'if_name_get'},
    'Qumran40GPort': BREAKOUT | {'if_name_get'},
    'Qumran10GPort': GANG | {'if_name_get'},
    'Helix4Port': {'led_port_num'},
    'Helix41GPort': COUNTS | {'speed'},
    'Helix410GPort': COUNTS | {'polarity_flip_val'},
    'Hurricane2Port': {'hw_port_num', 'hw_pbmp', 'led_port_num'},
    'Hurricane21GPort': COUNTS | {'speed'},
    'Hurricane210GPort': COUNTS | {'polarity_flip_val'},
    'Hurricane213GPort': COUNTS,
    'Hurricane213GFabricPort': set(),
}


class BindingsTest(unittest.TestCase):
    def test_every_class_carries_exactly_its_rules(self):
        self.assertEqual(sorted(OWN), sorted(ALL_CLASSES))
        total = 0
        for name in ALL_CLASSES:
            cls = getattr(brontile, name)
            own = set(m for m in RULE_MEMBERS if m in cls.__dict__)
            self.assertEqual(own, OWN[name], name)
            total += len(own)
        self.assertEqual(total, 139)

    def test_kinds(self):
        for name in ALL_CLASSES:
            cls = getattr(brontile, name)
            for member in ('max_logical_ports', 'set_fiber_pref'):
                if member in cls.__dict__:
                    self.assertFalse(callable(cls.__dict__[member]), (name, member))
                    self.assertTrue(hasattr(cls.__dict__[member], '__get__'), (name, member))
        # The two 1G classes answer their speed on the class as on an object.
        for name in ('Helix41GPort', 'Hurricane21GPort'):
            cls = getattr(brontile, name)
            self.assertEqual(type(cls.__dict__['speed']).__name__, 'classmethod_descriptor', name)


if __name__ == '__main__':
    unittest.main()
