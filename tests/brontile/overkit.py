"""Fixtures for the suites of the per-family port rules.

Ports are made through the generic constructor, with the wiring fields the
family constructors would store, so the rules are tried on their own.
"""
import brontile
from portkit import WIRING, raised

# Every class of the chip families, by family.
FAMILIES = {
    'trident': ('TridentPort', 'Trident10GPort', 'Trident40GPort'),
    'tridenttwo': ('TridentTwoPort', 'TridentTwoPlusPort', 'TridentTwo10GPort', 'TridentTwo10GFabricPort',
                   'TridentTwo40GPort', 'TridentTwoPlus10GPort', 'TridentTwoPlus40GPort'),
    'tridentthree': ('TridentThreePort', 'TridentThree100GPort', 'TridentThree25GPort', 'TridentThree10GPort',
                     'TridentThreeMGPort'),
    'tomahawk': ('TomahawkPort', 'TomahawkTwoPort', 'TomahawkThreePort', 'Tomahawk100GPort',
                 'Tomahawk100GFabricPort', 'Tomahawk25GPort', 'TomahawkMgmt10GPort', 'TomahawkTwo100GPort',
                 'TomahawkThree100GPort', 'Minipack100GPort'),
    'maverick': ('MaverickPort', 'Maverick100GPort', 'Maverick40GPort', 'Maverick40GFabricPort',
                 'Maverick10GPort', 'Maverick10GFabricPort'),
    'qumran': ('QumranPort', 'Qumran100GPort', 'Qumran40GPort', 'Qumran10GPort'),
    'helix4': ('Helix4Port', 'Helix41GPort', 'Helix410GPort'),
    'hurricane2': ('Hurricane2Port', 'Hurricane21GPort', 'Hurricane210GPort', 'Hurricane213GPort',
                   'Hurricane213GFabricPort'),
}
ALL_CLASSES = tuple(name for names in FAMILIES.values() for name in names)
ROOTS = ('TridentPort', 'TridentTwoPort', 'TridentTwoPlusPort', 'TridentThreePort', 'TomahawkPort',
         'TomahawkTwoPort', 'TomahawkThreePort', 'MaverickPort', 'QumranPort', 'Helix4Port', 'Hurricane2Port')

EIGHT = ('100G', '40G', '50G', '2x50G', '2x40G', '2x20G', '4x25G', '4x10G')


def port(cls, hw_ports=(), **fields):
    """A port of `cls` (a class or its name in brontile) made by the generic
    constructor; fields outside its parameters (adj_label, dnx ...) are set
    on the object afterwards."""
    if isinstance(cls, str):
        cls = getattr(brontile, cls)
    args = dict.fromkeys(WIRING)
    args['hw_ports'] = hw_ports if hw_ports is None else tuple(hw_ports)
    extra = {}
    for key, value in fields.items():
        (args if key in WIRING else extra)[key] = value
    obj = cls.__new__(cls)
    brontile.SDKPort.__init__(obj, **args)
    for key, value in extra.items():
        setattr(obj, key, value)
    return obj


def lanes(prefix, first, count=4):
    return tuple('%s%d' % (prefix, first + i) for i in range(count))


class Checker(object):
    """Mixin: compare a table of calls with expected answers (a value, or an
    exception type, or an (exception type, message) pair)."""

    def check_answer(self, call, expected, msg):
        e = raised(call)
        if isinstance(expected, type) and issubclass(expected, BaseException):
            self.assertIs(type(e), expected, (msg, e))
            return
        if isinstance(expected, tuple) and len(expected) == 2 and isinstance(expected[0], type) and \
                issubclass(expected[0], BaseException):
            self.assertIs(type(e), expected[0], (msg, e))
            self.assertEqual(str(e), expected[1], msg)
            return
        self.assertIsNone(e, (msg, e))
        got = call()
        self.assertEqual(got, expected, msg)
        self.assertIs(type(got), type(expected), msg)
