"""ConfiguredPort: the fields every configured port carries, its hooks, the
Linux interface prefix and the gang label."""
import types
import unittest

import lanquist

ConfiguredPort = lanquist.ConfiguredPort

PROPERTIES = ('label', 'speed', 'num_logical_ports', 'max_logical_ports', 'leds', 'linux_prefix',
              'gang_label', 'serdes_if_type', 'an_c37', 'an_c73')
HOOKS = ('label', 'speed', 'num_logical_ports', 'max_logical_ports', 'leds', 'serdes_if_type')


class LabelledPort(ConfiguredPort):
    """A port type that supplies its label, as the concrete ones do."""

    def __init__(self, mode, label):
        ConfiguredPort.__init__(self, mode, 0, False)
        self._label = label

    @property
    def label(self):
        return self._label


class Physical(object):
    def __init__(self, is_fabric):
        self.is_fabric = is_fabric


class ConstructionTest(unittest.TestCase):
    def test_stores_arguments_unchanged(self):
        mode, index = object(), object()
        p = ConfiguredPort(mode, index, 'yes')
        self.assertIs(p.mode, mode)
        self.assertIs(p.mac_index, index)
        self.assertEqual(p.loopback, 'yes')
        p = ConfiguredPort(loopback=False, mac_index=3, mode='bogus mode')
        self.assertEqual((p.mode, p.mac_index, p.loopback), ('bogus mode', 3, False))
        self.assertEqual(sorted(vars(p)), ['loopback', 'mac_index', 'mode'])

    def test_wrong_arguments(self):
        for args, kwargs in (((), {}), (('40G', 0), {}), (('40G', 0, False, 1), {}),
                             (('40G', 0), {'loop': False}), (('40G', 0, False), {'mode': '40G'})):
            self.assertRaises(TypeError, ConfiguredPort, *args, **kwargs)

    def test_classic_class_with_read_only_properties(self):
        self.assertIs(type(ConfiguredPort), types.ClassType)
        self.assertEqual(ConfiguredPort.__bases__, ())
        for name in PROPERTIES:
            prop = ConfiguredPort.__dict__[name]
            self.assertIsInstance(prop, property, name)
            self.assertIsNone(prop.fset, name)
            self.assertIsNone(prop.fdel, name)


class PropertiesTest(unittest.TestCase):
    def test_hooks_raise_bare_not_implemented(self):
        p = ConfiguredPort('100G', 0, False)
        for name in HOOKS:
            with self.assertRaises(NotImplementedError) as cm:
                getattr(p, name)
            self.assertIs(type(cm.exception), NotImplementedError, name)
            self.assertEqual(cm.exception.args, (), name)

    def test_autonegotiation_is_none(self):
        p = ConfiguredPort('100G', 0, False)
        self.assertIsNone(p.an_c37)
        self.assertIsNone(p.an_c73)

    def test_linux_prefix_tests_is_fabric_for_truth(self):
        for is_fabric, expected in ((True, 'fp'), (1, 'fp'), ('yes', 'fp'),
                                    (False, 'swp'), (None, 'swp'), (0, 'swp'), ('', 'swp')):
            p = ConfiguredPort('100G', 0, False)
            p.physical_port = Physical(is_fabric)
            self.assertEqual(p.linux_prefix, expected, repr(is_fabric))
        self.assertRaises(AttributeError, getattr, ConfiguredPort('100G', 0, False), 'linux_prefix')


class GangLabelTest(unittest.TestCase):
    def test_forty_gig_gangs_name_the_first_cage_of_four(self):
        cases = (
            ('1', '1'), ('4', '1'), ('5', '5'), ('8', '5'), ('12', '9'), ('48', '45'),
            ('05', '5'), (' 7\n', '5'), ('+6', '5'), ('0', '-3'), ('-5', '-7'),
            (10, '9'),
            ('100000000000000000000', '99999999999999999997'),
        )
        for label, expected in cases:
            value = LabelledPort('40G/4', label).gang_label
            self.assertEqual(value, expected, repr(label))
            self.assertIs(type(value), str, repr(label))

    def test_other_modes_give_the_label_object_itself(self):
        for mode in ('100G/4', '40G', '4x10G', '40g/4', '40G/4 ', 'loopback'):
            for label in ('05', 'x', 7):
                p = LabelledPort(mode, label)
                self.assertIs(p.gang_label, label, (mode, label))

    def test_failures(self):
        self.assertRaises(ValueError, getattr, LabelledPort('40G/4', 'swp1'), 'gang_label')
        for mode in ('40G/4', '100G'):
            self.assertRaises(NotImplementedError, getattr, ConfiguredPort(mode, 0, False), 'gang_label')

    def test_reads_mode_and_label_through_the_object(self):
        p = LabelledPort('100G', '6')
        p.mode = '40G/4'
        self.assertEqual(p.gang_label, '5')


if __name__ == '__main__':
    unittest.main()
