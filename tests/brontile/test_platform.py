import unittest

import brontile


class ErrorsTest(unittest.TestCase):
    def test_errors_are_runtime_errors(self):
        for name in ('NoSuchPlatform', 'NoSuchChip', 'NoSuchMode'):
            cls = getattr(brontile, name)
            self.assertTrue(issubclass(cls, RuntimeError), name)
            self.assertEqual(str(cls('msg')), 'msg')


class SwitchTest(unittest.TestCase):
    def test_switch_keeps_chip(self):
        chip = object()
        sw = brontile.BCMSwitch(chip)
        self.assertIs(sw.chip, chip)
        self.assertIsNone(sw.has_phy_ucode_spi_rom)
        self.assertIsNone(sw.has_phy_ucode_mdio)
        self.assertIsNone(sw.led_controllers)
        self.assertIs(brontile.SDKSwitch(chip=chip).chip, chip)
        self.assertRaises(TypeError, brontile.BCMSwitch)
        self.assertRaises(TypeError, brontile.BCMSwitch, 1, 2)

    def test_platform_defaults(self):
        p = brontile.Platform()
        self.assertIsNone(p.switch)
        self.assertIs(p.use_dynamic_sensors, False)
