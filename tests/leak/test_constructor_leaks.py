"""Leak check of the port constructors: by position and by keyword, with the
fabric port's own tables, and a refused call."""
import unittest

import brontile
import test_leaks
from leakkit import expect


def expect_type_error(fn, *args):
    expect(TypeError, fn, *args)


class ConstructorLeakTest(test_leaks.LeakTest):
    def cases(self):
        serdes = [68, 69, 70, 71]
        label = 'x2y10'
        self.args = [serdes, label]
        return [
            ('family base', lambda: brontile.QumranPort(label, serdes, None, None, None, None, None)),
            ('fabric port', lambda: brontile.Tomahawk100GFabricPort(label, serdes, 1, 2, 3, 4)),
            ('by keyword', lambda: brontile.Minipack100GPort(label=label, serdes=serdes, phy_types=None,
                                                             phy_addrs=None, phy_layer=None, leds=None, unit=0)),
            ('one interface', lambda: brontile.Hurricane213GFabricPort(label, 'hg1', 0)),
            ('refused', lambda: expect_type_error(brontile.TridentThree25GPort, label, serdes)),
            ('serdes not named', lambda: expect_type_error(brontile.TomahawkPort, label, [None], 1, 2, 3, 4, 5)),
        ]


if __name__ == '__main__':
    unittest.main()
