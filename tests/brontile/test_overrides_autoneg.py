"""Clause-37 and clause-73 autonegotiation words and the fiber preference."""
import unittest

import brontile
from overkit import ALL_CLASSES, Checker, port

RULE_A_TWO = ('TridentTwoPort', 'TridentTwo10GPort', 'TridentTwo40GPort')
RULE_A_PLUS = ('TridentTwoPlusPort', 'TridentTwoPlus10GPort', 'TridentTwoPlus40GPort', 'Maverick10GPort')
RULE_B = ('TridentThree10GPort', 'TridentThreeMGPort')
FIBER = ('TridentTwoPlusPort', 'TridentTwoPlus10GPort', 'TridentTwoPlus40GPort', 'Maverick10GPort',
         'TridentThree10GPort', 'TridentThreeMGPort')
CONSTANT = {'TridentTwo10GFabricPort': ('off', 'off'), 'Maverick10GFabricPort': ('off', 'auto')}

# (phy_layer, mode) -> whether rule A gives its word; rule B gives it for "10G" alone.
RULE_CASES = [
    ('QSFP+', '10G', True), ('QSFP+', '4x10G', True), ('QSFP+', '40G', False), ('QSFP+', '40G/4', False),
    ('QSFP+', '4x1G', False), ('SFP+', '1G', False), (None, '10G', True), ('10gbaset', '10G', True),
    ('10GBaseT', '10G', False), ('1GBaseT', '10G', False), ('1GBaseT', '4x10G', False), ('SFP+', '', False),
    ('SFP+', None, False),
]


class AutonegTest(unittest.TestCase, Checker):
    def answers(self, name, layer, mode):
        p = port(name, ('xe0',), phy_layer=layer)
        return (p.an_c37(mode), p.an_c73(mode))

    def test_rules(self):
        groups = [(RULE_A_TWO, ('auto', 'off'), False), (RULE_A_PLUS, ('on', 'off'), False),
                  (RULE_B, ('on', 'off'), True)]
        for classes, words, ten_alone in groups:
            for name in classes:
                for layer, mode, gives in RULE_CASES:
                    if ten_alone and mode == '4x10G':
                        gives = False
                    expected = words if gives else (None, None)
                    self.assertEqual(self.answers(name, layer, mode), expected, (name, layer, mode))

    def test_constant_words(self):
        for name, words in sorted(CONSTANT.items()):
            for layer, mode, _ in RULE_CASES:
                self.assertEqual(self.answers(name, layer, mode), words, (name, layer, mode))

    def test_no_opinion_elsewhere(self):
        ruled = set(RULE_A_TWO + RULE_A_PLUS + RULE_B) | set(CONSTANT)
        for name in ALL_CLASSES:
            if name in ruled:
                continue
            for mode in ('10G', '4x10G', 'junk'):
                self.assertEqual(self.answers(name, 'SFP+', mode), (None, None), (name, mode))

    def test_arguments(self):
        p = port('Maverick10GPort', phy_layer='SFP+')
        self.assertEqual((p.an_c37(mode='10G'), p.an_c73(mode='10G')), ('on', 'off'))
        for method in (p.an_c37, p.an_c73):
            self.assertRaises(TypeError, method)
            self.assertRaises(TypeError, method, '10G', 0)
            self.assertRaises(TypeError, method, speed='10G')
        p = port('TridentTwo10GFabricPort')
        self.assertRaises(TypeError, p.an_c73)


class FiberPreferenceTest(unittest.TestCase, Checker):
    def test_fiber_rule(self):
        for name in FIBER:
            for layer, expected in (('SFP+', True), ('SFP28', True), ('QSFP+', True), ('QSFP28', True),
                                    ('10GBaseT', False), ('1GBaseT', False), ('sfp+', False), ('', False),
                                    (None, TypeError)):
                p = port(name, phy_layer=layer)
                self.check_answer(lambda: p.set_fiber_pref, expected, (name, layer))

    def test_other_classes(self):
        self.assertIsNone(port('Maverick10GFabricPort', phy_layer=None).set_fiber_pref)
        for name in ALL_CLASSES:
            if name in FIBER or name == 'Maverick10GFabricPort':
                continue
            self.assertIs(port(name, phy_layer='SFP+').set_fiber_pref, False, name)
            self.assertIs(getattr(brontile, name).set_fiber_pref, False, name)

    def test_read_on_every_access(self):
        p = port('TridentThree10GPort', phy_layer='10GBaseT')
        self.assertIs(p.set_fiber_pref, False)
        p.phy_layer = 'SFP28'
        self.assertIs(p.set_fiber_pref, True)
        self.assertRaises(AttributeError, setattr, p, 'set_fiber_pref', False)


if __name__ == '__main__':
    unittest.main()
