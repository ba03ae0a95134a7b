"""The chip and port catalogue: every class, its base, the values its own
statement sets (exact types included), what it inherits and shares, the order
in which the classes are made, and the offered chips."""
import unittest

import brontile
from portkit import raised
from support import patch


def bits(*positions):
    """The integer with exactly these bits set, typed as Python types it (int
    while it fits in a machine word, long beyond)."""
    v = 0
    for p in positions:
        v |= 1 << p
    return v


def assert_typed(test, got, want, msg):
    """Equal, and of the same types all the way down (tuple vs list, int vs long,
    float vs int), mappings in the same iteration order."""
    test.assertIs(type(got), type(want), '%s: %r is not a %s' % (msg, got, type(want).__name__))
    test.assertEqual(got, want, msg)
    if isinstance(want, (tuple, list)):
        for g, w in zip(got, want):
            assert_typed(test, g, w, msg)
    elif isinstance(want, dict):
        test.assertEqual(list(got), list(want), msg + ': iteration order')
        for g, w in zip(list(got), list(want)):
            assert_typed(test, g, w, msg + ': key')
        for k in want:
            if isinstance(want[k], type):
                test.assertIs(got[k], want[k], msg)
            else:
                assert_typed(test, got[k], want[k], msg)


# --- port classes, in the order of definition ------------------------------------------
# name, base, docstring, the class data its own statement sets
SPEED = 'modes default_mode _speed_map'
GANG = 'gang_modes modes default_mode max_gang_size _speed_map'
FABRIC = 'is_fabric create_fabric'
PORT_CLASSES = [
    ('MaverickPort', 'BCMPort', None, 'pbmp_map'),
    ('QumranPort', 'BCMPort', None, 'pbmp_map _ifname_map'),
    ('TomahawkPort', 'BCMPort', None, 'pbmp_map'),
    ('TomahawkTwoPort', 'TomahawkPort', None, ''),
    ('TomahawkThreePort', 'TomahawkPort', None, ''),
    ('TridentThreePort', 'BCMPort', None, 'pbmp_map'),
    ('TridentTwoPort', 'BCMPort', None, 'pbmp_map'),
    ('TridentTwoPlusPort', 'TridentTwoPort', None, ''),
    ('TridentPort', 'BCMPort', None, 'pbmp_map'),
    ('Helix4Port', 'BCMPort', None, 'pbmp_map'),
    ('Hurricane2Port', 'BCMPort', None, ''),
    ('Helix41GPort', 'Helix4Port', None, 'modes default_mode'),
    ('Hurricane21GPort', 'Hurricane2Port', None, 'modes default_mode'),
    ('Helix410GPort', 'Helix4Port', None, SPEED),
    ('Hurricane210GPort', 'Hurricane2Port', None, SPEED + ' disable_prefix_xlate'),
    ('Hurricane213GPort', 'Hurricane2Port', None, SPEED + ' disable_prefix_xlate'),
    ('Hurricane213GFabricPort', 'Hurricane213GPort', None, 'is_fabric'),
    ('Trident10GPort', 'TridentPort', None, GANG),
    ('TridentTwo10GPort', 'TridentTwoPort', None, GANG),
    ('TridentTwo10GFabricPort', 'TridentTwo10GPort', 'Treat the microserver ports as fabric ports using KR.', FABRIC),
    ('TridentTwoPlus10GPort', 'TridentTwoPlusPort', None, GANG),
    ('Trident40GPort', 'TridentPort', None, SPEED),
    ('TridentTwo40GPort', 'TridentTwoPort', None, SPEED),
    ('TridentTwoPlus40GPort', 'TridentTwoPlusPort', None, SPEED),
    ('TridentThree100GPort', 'TridentThreePort', None, SPEED),
    ('TridentThree25GPort', 'TridentThreePort', None, GANG),
    ('TridentThree10GPort', 'TridentThreePort', None, SPEED),
    ('TridentThreeMGPort', 'TridentThreePort', None, SPEED),
    ('Tomahawk100GPort', 'TomahawkPort', None, SPEED),
    ('Tomahawk100GFabricPort', 'Tomahawk100GPort',
     'Fabric ports are 100G Tomahawk ports using KR4 serdes and\nno LEDs.', FABRIC),
    ('Tomahawk25GPort', 'TomahawkPort', None, GANG),
    ('TomahawkMgmt10GPort', 'TomahawkPort', None, SPEED),
    ('TomahawkTwo100GPort', 'TomahawkTwoPort', None, SPEED),
    ('TomahawkThree100GPort', 'TomahawkThreePort', None, SPEED),
    ('Minipack100GPort', 'TomahawkThree100GPort', None, ''),
    ('Maverick100GPort', 'MaverickPort', None, SPEED),
    ('Maverick40GPort', 'MaverickPort', None, SPEED),
    ('Maverick40GFabricPort', 'Maverick40GPort',
     'Fabric ports are 40G Maverick ports using KR4 serdes and\nno LEDs.', FABRIC),
    ('Maverick10GPort', 'MaverickPort', None, GANG),
    ('Maverick10GFabricPort', 'Maverick10GPort',
     'Fabric ports are 10G Maverick ports using KR serdes and\nno LEDs.', FABRIC),
    ('Qumran100GPort', 'QumranPort', None, SPEED),
    ('Qumran40GPort', 'QumranPort', None, SPEED),
    ('Qumran10GPort', 'QumranPort', None, GANG),
]



def filled(*pairs):
    """A dict made empty and filled key by key, as the class statements fill
    their speed tables (a dict display of six or more entries starts larger and
    iterates in another order)."""
    d = {}
    for k, v in pairs:
        d[k] = v
    return d


SPEEDS_100G = filled(('100G', 100), ('40G', 40), ('50G', 50), ('2x50G', 50), ('2x40G', 40), ('2x20G', 20),
                     ('4x25G', 25), ('4x10G', 10))
MODES_100G = ['40G', '2x50G', '100G', '50G', '2x20G', '4x25G', '4x10G', '2x40G']
TH2_SPEEDS = filled(('100G', 100), ('40G', 40), ('50G', 50), ('2x50G', 50), ('2x20G', 20), ('4x25G', 25),
                    ('4x10G', 10))
Q100_SPEEDS = filled(('100G', 100), ('40G', 40), ('50G', 50), ('2x50G', 50), ('2x40G', 40), ('4x25G', 25),
                     ('4x10G', 10))
GANG_25G = ('100G/4', '40G/4')

# Speed classes: modes, default mode, gang modes, gang size, speed per mode (after inheritance).
PORT_VALUES = {
    'Helix41GPort': (('1G',), '1G', (), 0, {}),
    'Hurricane21GPort': (('1G',), '1G', (), 0, {}),
    'Helix410GPort': (('10G',), '10G', (), 0, {'10G': 10}),
    'Hurricane210GPort': (('10G',), '10G', (), 0, {'10G': 10}),
    'Hurricane213GPort': (('13G',), '13G', (), 0, {'13G': 13}),
    'Trident10GPort': (('10G', '40G/4'), '10G', ('40G/4',), 4, {'10G': 10, '40G/4': 40}),
    'TridentTwo10GPort': (('10G', '40G/4'), '10G', ('40G/4',), 4, {'10G': 10, '40G/4': 40}),
    'TridentTwoPlus10GPort': (('10G', '40G/4', '1G'), '10G', ('40G/4',), 4, {'1G': 1, '10G': 10, '40G/4': 40}),
    'Trident40GPort': (('40G', '4x10G'), '40G', (), 0, {'4x10G': 10, '40G': 40}),
    'TridentTwo40GPort': (('40G', '4x10G'), '40G', (), 0, {'4x10G': 10, '40G': 40}),
    'TridentTwoPlus40GPort': (('40G', '4x10G', '4x1G'), '40G', (), 0, {'4x1G': 1, '4x10G': 10, '40G': 40}),
    'TridentThree100GPort': (MODES_100G, '100G', (), 0, SPEEDS_100G),
    'TridentThree25GPort': (('25G', '10G') + GANG_25G, '25G', GANG_25G, 4,
                            {'10G': 10, '25G': 25, '40G/4': 40, '100G/4': 100}),
    'TridentThree10GPort': (('10G', '1G'), '10G', (), 0, {'1G': 1, '10G': 10}),
    'TridentThreeMGPort': (('10G', '5G', '2.5G', '1G'), '10G', (), 0, {'1G': 1, '2.5G': 2.5, '5G': 5, '10G': 10}),
    'Tomahawk100GPort': (MODES_100G, '100G', (), 0, SPEEDS_100G),
    'Tomahawk25GPort': (('25G', '10G') + GANG_25G, '25G', GANG_25G, 4,
                        {'10G': 10, '25G': 25, '40G/4': 40, '100G/4': 100}),
    'TomahawkMgmt10GPort': (['10G'], '10G', (), 0, {'10G': 10}),
    'TomahawkTwo100GPort': (MODES_100G[:-1], '100G', (), 0, TH2_SPEEDS),
    'TomahawkThree100GPort': (['100G'], '100G', (), 0, {'100G': 100}),
    'Maverick100GPort': (MODES_100G, '100G', (), 0, SPEEDS_100G),
    'Maverick40GPort': (('40G', '4x10G', '4x1G'), '40G', (), 0, {'4x1G': 1, '4x10G': 10, '40G': 40}),
    'Maverick10GPort': (('10G', '40G/4', '1G'), '10G', ('40G/4',), 4, {'1G': 1, '10G': 10, '40G/4': 40}),
    'Qumran100GPort': (['40G', '2x50G', '100G', '50G', '4x25G', '4x10G', '2x40G'], '100G', (), 0, Q100_SPEEDS),
    'Qumran40GPort': (['40G', '4x10G'], '40G', (), 0, {'40G': 40, '4x10G': 10}),
    'Qumran10GPort': (('10G', '40G/4', '1G'), '10G', ('40G/4',), 4, {'1G': 1, '10G': 10, '40G/4': 40}),
}

# Bitmap-position tables: owner, size, (name, position) samples, names without an entry.
PBMP_TABLES = [
    ('TomahawkPort', 132, [('xe0', 1), ('xe1', 2), ('xe131', 132)], ['xe132', 'ce0', 'hg0']),
    ('TridentThreePort', 132, [('xe0', 1), ('xe131', 132)], ['xe132', 'ce0']),
    ('MaverickPort', 74, [('xe0', 1), ('xe73', 74)], ['xe74']),
    ('QumranPort', 72, [('xe0', 1), ('xe5', 6), ('xe71', 72)], ['xe72']),
    ('TridentTwoPort', 128, [('hg0', 1), ('hg127', 128)], ['hg128', 'xe0']),
    ('TridentPort', 72, [('hg0', 1), ('hg5', 6), ('hg71', 72)], ['hg72', 'xe0']),
    ('Helix4Port', 55, [('ge0', 1), ('ge47', 48), ('ge48', 49), ('hg0', 50), ('hg5', 55)], ['ge49', 'hg6', 'xe0']),
]

PORT_VOCABULARY = ('modes', 'default_mode', 'gang_modes', 'max_gang_size', '_speed_map', 'pbmp_map', 'is_fabric',
                   'create_fabric', 'disable_prefix_xlate', '_ifname_map', 'phy_init', '_autodetect_phys',
                   'set_fiber_pref', '_serdes_intf_map', 'autoneg_pref', 'autofec_pref', 'sdk_group',
                   'name_override', 'dnx')

# --- chip classes, in the order of definition ------------------------------------------
FILES4 = ('datapath.conf', 'rc.forwarding', 'hw_desc', 'sdk.bcm')
FILES5 = FILES4 + ('uft.json',)
FILES6 = FILES5 + ('riot.json',)
TH_PBMP = bits(0, 33, 67, 101, 135)
TH3_PBMP = bits(0, 19, 38, 39, 59, 79, 99, 119, 139, 159)


def types(*pairs):
    """A channel-type map of module classes, by name."""
    return dict((n, getattr(brontile, c)) for n, c in pairs)


def th_generation(pbmp):
    return dict(portmap_capable=True, dport_capable=True, mixed_oversub=True, ipv4_host_table_size=40960,
                base_pbmp=pbmp, file_list=FILES5,
                port_channel_type_map=types((1, 'Tomahawk25GPort'), (4, 'Tomahawk100GPort')))


def td3(**extra):
    values = dict(portmap_capable=True, dport_capable=True, mixed_oversub=True, ipv4_host_table_size=40960,
                  file_list=FILES6,
                  port_channel_type_map=types((1, 'TridentThree25GPort'), (4, 'TridentThree100GPort')))
    values.update(extra)
    return values


# name, base, what its own statement sets
CHIP_CLASSES = [
    ('TridentPlusChip', 'BCMChip',
     dict(portmap_capable=True, base_pbmp=bits(0, 65), file_list=FILES4,
          port_channel_type_map=types((1, 'Trident10GPort'), (4, 'Trident40GPort')))),
    ('TridentChip', 'TridentPlusChip', dict(ipv4_host_table_size=4096)),
    ('TridentTwoChip', 'BCMChip',
     dict(portmap_capable=True, mixed_oversub=True, ipv4_host_table_size=16384, base_pbmp=bits(0, 105),
          file_list=FILES5, port_channel_type_map=types((1, 'TridentTwo10GPort'), (4, 'TridentTwo40GPort')))),
    ('TridentTwo_56850_Chip', 'TridentTwoChip', dict(pci_device=0xB850, bcm_pn='56850', hsp_bw=100)),
    ('TridentTwo_56854_Chip', 'TridentTwoChip', dict(pci_device=0xB854, bcm_pn='56854', hsp_bw=40)),
    ('TridentTwoPlusChip', 'TridentTwoChip',
     dict(file_list=FILES6, port_channel_type_map=types((1, 'TridentTwoPlus10GPort'), (4, 'TridentTwoPlus40GPort')),
          dport_capable=True, mixed_oversub=True, ipv4_host_table_size=16384)),
    ('TridentTwoPlus_56860_Chip', 'TridentTwoPlusChip', {}),
    ('TridentTwoPlus_56864_Chip', 'TridentTwoPlusChip', dict(hsp_bw=40)),
    ('TridentThreeX5Chip', 'BCMChip', td3(needs_lane_config=True, base_pbmp=bits(0, 65))),
    ('TridentThreeX5_56771_Chip', 'TridentThreeX5Chip', dict(pci_device=0xB771, bcm_pn='56771')),
    ('TridentThreeX7Chip', 'BCMChip', td3(base_pbmp=bits(64, 65, 66, 67, 128, 129, 130, 131))),
    ('TridentThreeX7_56870_Chip', 'TridentThreeX7Chip', dict(pci_device=0xB870, bcm_pn='56870')),
    ('TridentThreeX7_56873_Chip', 'TridentThreeX7Chip', dict(pci_device=0xB873, bcm_pn='56873')),
    ('QumranChip', 'BCMChip',
     dict(needs_lane_config=False, portmap_capable=True, dport_capable=True, mixed_oversub=False,
          base_pbmp=bits(0, 73), ipv4_host_table_size=40960, file_list=FILES5, dnx=True,
          port_channel_type_map=types((1, 'Qumran10GPort'), (2, 'Qumran40GPort'), (4, 'Qumran100GPort')))),
    ('Qumran_88375_Chip', 'QumranChip', dict(pci_device=0x8375, bcm_pn='88375')),
    ('Qumran_88370_Chip', 'QumranChip', dict(pci_device=0x8370, bcm_pn='88370')),
    ('TomahawkChip', 'BCMChip', dict(th_generation(TH_PBMP), pci_device=0xB960, bcm_pn='56960')),
    ('TomahawkPlusChip', 'TomahawkChip', th_generation(TH_PBMP)),
    ('TomahawkPlus_56967_Chip', 'TomahawkPlusChip', dict(pci_device=0xB967, bcm_pn='56967')),
    ('TomahawkPlus_56965_Chip', 'TomahawkPlusChip', dict(pci_device=0xB965, bcm_pn='56965')),
    ('TomahawkTwoChip', 'TomahawkChip', th_generation(TH_PBMP)),
    ('TomahawkTwo_56970_Chip', 'TomahawkTwoChip', dict(pci_device=0xB970, bcm_pn='56970')),
    ('TomahawkThreeChip', 'TomahawkChip', th_generation(TH3_PBMP)),
    ('TomahawkThree_56980_Chip', 'TomahawkThreeChip', dict(pci_device=0xB980, bcm_pn='56980')),
    ('MaverickChip', 'BCMChip',
     dict(needs_lane_config=True, portmap_capable=True, dport_capable=True, mixed_oversub=False,
          base_pbmp=bits(0, 73, 74), ipv4_host_table_size=16384, file_list=FILES6,
          port_channel_type_map=types((1, 'Maverick10GPort'), (4, 'Maverick100GPort')))),
    ('Maverick_56762_Chip', 'MaverickChip', dict(pci_device=0xB762)),
    ('Maverick_56768_Chip', 'MaverickChip', dict(pci_device=0xB768)),
    ('Helix4Chip', 'BCMChip',
     dict(portmap_capable=False, base_pbmp=bits(0, 49, 58, 59, 60, 61), file_list=FILES4,
          ipv4_host_table_size=24576)),
    ('Hurricane2Chip', 'BCMChip',
     dict(portmap_capable=False, base_pbmp=1, file_list=('rc.forwarding', 'sdk.bcm'), ipv4_host_table_size=4096)),
]

CHIP_VOCABULARY = ('sw_base', 'pci_vendor', 'pci_device', 'bcm_pn', 'hsp_bw', 'portmap_capable', 'dport_capable',
                   'mixed_oversub', 'needs_lane_config', 'ipv4_host_table_size', 'base_pbmp', 'file_list',
                   'port_channel_type_map', 'dnx')

OFFERED = ['TridentChip', 'Helix4Chip', 'Hurricane2Chip', 'TridentTwo_56850_Chip', 'TridentTwo_56854_Chip',
           'TridentThreeX5_56771_Chip', 'TridentThreeX7_56870_Chip', 'TridentThreeX7_56873_Chip', 'TomahawkChip',
           'TomahawkPlus_56965_Chip', 'TomahawkPlus_56967_Chip', 'TomahawkTwoChip', 'TomahawkTwo_56970_Chip',
           'TomahawkThreeChip', 'TomahawkThree_56980_Chip', 'MaverickChip', 'Maverick_56762_Chip',
           'Maverick_56768_Chip', 'QumranChip', 'Qumran_88375_Chip']


def own_data(cls, vocabulary):
    """The catalogue values that the class's own statement holds (operations,
    such as a property that replaces a flag, are not data)."""
    return dict((k, v) for k, v in vars(cls).items() if k in vocabulary and not hasattr(v, '__get__'))


def owner(table, name, attr):
    """The nearest class up the catalogue chain whose own statement sets attr."""
    rows = dict((r[0], r) for r in table)
    while name in rows:
        row = rows[name]
        sets = row[-1].split() if isinstance(row[-1], str) else row[-1]
        if attr in sets:
            return name
        name = row[1]
    return None


def brontile_subclasses(cls):
    return [c.__name__ for c in cls.__subclasses__() if c.__module__ == 'brontile']


class PortClassesTest(unittest.TestCase):
    def test_count_base_doc_and_kind(self):
        self.assertEqual(len(PORT_CLASSES), 43)
        for name, base, doc, _ in PORT_CLASSES:
            cls = getattr(brontile, name)
            self.assertEqual(cls.__bases__, (getattr(brontile, base),), name)
            self.assertEqual(cls.__module__, 'brontile', name)
            self.assertEqual(cls.__doc__, doc, name)
            self.assertIs(type(cls), type, name)
            self.assertTrue(cls.__flags__ & (1 << 9), name + ' is a heap type')

    def test_each_statement_sets_exactly_its_own_data(self):
        for name, _, _, sets in PORT_CLASSES:
            cls = getattr(brontile, name)
            self.assertEqual(sorted(own_data(cls, PORT_VOCABULARY)), sorted(sets.split()), name)

    def test_speed_class_values(self):
        for name, (modes, default, gang, gang_size, speeds) in sorted(PORT_VALUES.items()):
            cls = getattr(brontile, name)
            assert_typed(self, cls.modes, modes, name + '.modes')
            assert_typed(self, cls.default_mode, default, name + '.default_mode')
            assert_typed(self, cls.gang_modes, gang, name + '.gang_modes')
            assert_typed(self, cls.max_gang_size, gang_size, name + '.max_gang_size')
            assert_typed(self, cls._speed_map, speeds, name + '._speed_map')
            if speeds:
                self.assertTrue(set(modes) <= set(speeds), name)
                for mode in modes:
                    assert_typed(self, cls.speed(mode), speeds[mode], '%s.speed(%r)' % (name, mode))

    def test_modes_from_a_speed_table_follow_its_iteration_order(self):
        # The list is written out; it must be what the host's dict order gives.
        lists = [n for n, v in PORT_VALUES.items() if type(v[0]) is list]
        self.assertEqual(len(lists), 8)
        for name in lists:
            cls = getattr(brontile, name)
            self.assertEqual(cls.modes, list(cls._speed_map), name)

    def test_inherited_values_are_the_holders_objects(self):
        defaults = (brontile.SDKPort, brontile.Port)
        for name, _, _, _ in PORT_CLASSES:
            cls = getattr(brontile, name)
            for attr in PORT_VOCABULARY:
                held_by = owner(PORT_CLASSES, name, attr)
                if held_by:
                    self.assertIs(getattr(cls, attr), vars(getattr(brontile, held_by))[attr], (name, attr))
                elif attr == '_ifname_map':
                    self.assertFalse(hasattr(cls, attr), name)
                elif attr != 'set_fiber_pref':  # five types replace it by a property of their own
                    holder = [c for c in defaults if attr in vars(c)][0]
                    self.assertIs(getattr(cls, attr), vars(holder)[attr], (name, attr))

    def test_bitmap_position_tables(self):
        owners = set()
        for name, size, samples, missing in PBMP_TABLES:
            table = getattr(brontile, name).pbmp_map
            owners.add(name)
            self.assertEqual(len(table), size, name)
            self.assertEqual(sorted(table.values()), range(1, size + 1), name)
            self.assertTrue(all(type(v) is int for v in table.values()), name)
            for key, position in samples:
                assert_typed(self, table[key], position, '%s[%r]' % (name, key))
            for key in missing:
                self.assertNotIn(key, table, name)
        pbmp_owners = set(n for n, _, _, sets in PORT_CLASSES if 'pbmp_map' in sets.split())
        self.assertEqual(owners, pbmp_owners)
        self.assertIs(brontile.Hurricane213GFabricPort.pbmp_map, brontile.SDKPort.pbmp_map)
        self.assertEqual(brontile.Hurricane2Port.pbmp_map, {})

    def test_flags(self):
        fabric = {'Tomahawk100GFabricPort': True, 'TridentTwo10GFabricPort': True, 'Maverick40GFabricPort': True,
                  'Maverick10GFabricPort': True, 'Hurricane213GFabricPort': False}
        for name, _, _, _ in PORT_CLASSES:
            cls = getattr(brontile, name)
            self.assertIs(cls.is_fabric, name in fabric, name)
            self.assertIs(cls.create_fabric, fabric.get(name, False), name)
            xlate = True if name.startswith(('Hurricane210G', 'Hurricane213G')) else None
            self.assertIs(cls.disable_prefix_xlate, xlate, name)
            self.assertIs(cls.dnx, False, name)

    def test_qumran_interface_names(self):
        ifnames = brontile.QumranPort._ifname_map
        assert_typed(self, ifnames, {100: 'CGE', 40: 'XLGE', 10: '10GBase-R', 1: 'SGMII'}, '_ifname_map')
        for cls in (brontile.Qumran100GPort, brontile.Qumran40GPort, brontile.Qumran10GPort):
            self.assertIs(cls._ifname_map, ifnames)
        self.assertNotIn('40G', ifnames)

    def test_mode_checks(self):
        ok = [('Tomahawk100GPort', '2x40G', 40), ('TomahawkMgmt10GPort', '10G', 10), ('Tomahawk25GPort', '100G/4', 100),
              ('Tomahawk100GFabricPort', '4x25G', 25), ('Maverick40GFabricPort', '4x1G', 1),
              ('Hurricane213GFabricPort', '13G', 13), ('TridentThreeMGPort', '2.5G', 2.5)]
        for name, mode, speed in ok:
            assert_typed(self, getattr(brontile, name).speed(mode), speed, (name, mode))
        refused = [('TomahawkTwo100GPort', '2x40G'), ('TomahawkMgmt10GPort', '25G'), ('Qumran100GPort', '2x20G'),
                   ('Qumran40GPort', '4x1G'), ('Trident40GPort', '40G/4'), ('TridentTwo40GPort', '4x1G'),
                   ('TomahawkPort', '100G'), ('MaverickPort', '10G'), ('TridentTwoPlusPort', '10G')]
        for name, mode in refused:
            self.assertIsInstance(raised(lambda: getattr(brontile, name)._check_mode(mode)), brontile.NoSuchMode,
                                  (name, mode))
        text = str(raised(lambda: brontile.Tomahawk100GPort._check_mode('1G')))
        self.assertTrue(text.endswith(repr(MODES_100G)[1:]), text)

    def test_order_of_definition(self):
        # Each class's subclasses are kept in the order they were made.
        for base in ['BCMPort'] + [n for n, _, _, _ in PORT_CLASSES]:
            want = [n for n, b, _, _ in PORT_CLASSES if b == base]
            self.assertEqual(brontile_subclasses(getattr(brontile, base)), want, base)


class ChipClassesTest(unittest.TestCase):
    def test_each_statement_sets_exactly_its_values(self):
        self.assertEqual(len(CHIP_CLASSES), 29)
        for name, base, values in CHIP_CLASSES:
            cls = getattr(brontile, name)
            self.assertEqual(cls.__bases__, (getattr(brontile, base),), name)
            own = own_data(cls, CHIP_VOCABULARY)
            self.assertEqual(sorted(own), sorted(values), name)
            for attr, want in values.items():
                assert_typed(self, own[attr], want, '%s.%s' % (name, attr))

    def test_inherited_values_are_the_holders_objects(self):
        for name, _, _ in CHIP_CLASSES:
            cls = getattr(brontile, name)
            for attr in CHIP_VOCABULARY:
                held_by = owner(CHIP_CLASSES, name, attr)
                holder = getattr(brontile, held_by) if held_by else \
                    [c for c in (brontile.BCMChip, brontile.SDKChip) if attr in vars(c)][0]
                self.assertIs(getattr(cls, attr), vars(holder)[attr], (name, attr))

    def test_restated_values_are_objects_of_their_own(self):
        for name, base, values in CHIP_CLASSES:
            for attr in ('file_list', 'port_channel_type_map'):
                above = owner(CHIP_CLASSES, base, attr)
                if attr in values and above:
                    self.assertIsNot(getattr(brontile, name).__dict__[attr], getattr(getattr(brontile, above), attr),
                                     (name, attr))
        self.assertIsNot(brontile.TridentThreeX5Chip.port_channel_type_map,
                         brontile.TridentThreeX7Chip.port_channel_type_map)

    def test_effective_values(self):
        b = brontile
        cases = [
            # generations answer with TomahawkChip's identity
            (b.TomahawkTwoChip, 'pci_device', 0xB960), (b.TomahawkThreeChip, 'bcm_pn', '56960'),
            (b.TomahawkPlusChip, 'pci_device', 0xB960),
            (b.TomahawkPlus_56967_Chip, 'pci_vendor', 5348), (b.TomahawkPlus_56967_Chip, 'sw_base', 'bcm'),
            (b.TomahawkThree_56980_Chip, 'base_pbmp', TH3_PBMP),
            (b.TridentTwoPlusChip, 'portmap_capable', True), (b.TridentTwoChip, 'dport_capable', None),
            (b.TridentTwoPlusChip, 'base_pbmp', bits(0, 105)),
            (b.TridentTwoPlus_56860_Chip, 'hsp_bw', None), (b.TridentTwoPlus_56864_Chip, 'pci_device', None),
            (b.TridentThreeX7_56873_Chip, 'needs_lane_config', False),
            (b.Maverick_56768_Chip, 'bcm_pn', None), (b.Maverick_56762_Chip, 'mixed_oversub', False),
            (b.Qumran_88370_Chip, 'dnx', True), (b.TridentChip, 'dport_capable', None),
            (b.TridentChip, 'mixed_oversub', None), (b.TridentPlusChip, 'ipv4_host_table_size', 8192),
            (b.Helix4Chip, 'mixed_oversub', None), (b.Hurricane2Chip, 'hsp_bw', None),
        ]
        for cls, attr, want in cases:
            assert_typed(self, getattr(cls, attr), want, '%s.%s' % (cls.__name__, attr))

    def test_flags_and_bitmaps(self):
        for name, _, _ in CHIP_CLASSES:
            cls = getattr(brontile, name)
            self.assertIn(cls.portmap_capable, (True, False), name)  # never None
            for flag in ('portmap_capable', 'dport_capable', 'mixed_oversub', 'needs_lane_config', 'dnx'):
                self.assertIn(type(getattr(cls, flag)), (bool, type(None)), (name, flag))
        counts = [('TomahawkThreeChip', 10), ('TomahawkChip', 5), ('TridentThreeX7Chip', 8), ('MaverickChip', 3),
                  ('Helix4Chip', 6), ('Hurricane2Chip', 1), ('QumranChip', 2)]
        for name, n in counts:
            self.assertEqual(bin(getattr(brontile, name).base_pbmp).count('1'), n, name)
        self.assertIs(type(brontile.Helix4Chip.base_pbmp), int)
        self.assertIs(type(brontile.TridentPlusChip.base_pbmp), long)

    def test_channel_type_maps(self):
        with_two = [n for n, _, _ in CHIP_CLASSES if 2 in getattr(brontile, n).port_channel_type_map]
        self.assertEqual(with_two, ['QumranChip', 'Qumran_88375_Chip', 'Qumran_88370_Chip'])
        self.assertEqual(brontile.Hurricane2Chip.port_channel_type_map, {})
        self.assertIs(brontile.TomahawkThreeChip.port_channel_type_map[1], brontile.Tomahawk25GPort)

    def test_names_outside_the_file_list_are_not_looked_up(self):
        class NoFileSystem(object):
            class path(object):
                @staticmethod
                def exists(p):
                    raise AssertionError('file system consulted for %s' % p)

        cases = [('TomahawkChip', 'riot.json'), ('TridentTwo_56850_Chip', 'riot.json'), ('TridentChip', 'uft.json'),
                 ('Hurricane2Chip', 'hw_desc'), ('Helix4Chip', 'uft.json'), ('Qumran_88370_Chip', 'riot.json')]
        with patch(brontile, 'os', NoFileSystem):
            for name, file_name in cases:
                self.assertIsNone(getattr(brontile, name)().get_config(file_name), name)

    def test_order_of_definition(self):
        for base in ['BCMChip'] + [n for n, _, _ in CHIP_CLASSES]:
            want = [n for n, b, _ in CHIP_CLASSES if b == base]
            self.assertEqual(brontile_subclasses(getattr(brontile, base)), want, base)


class OfferedChipsTest(unittest.TestCase):
    def test_chips(self):
        chips = brontile.chips
        self.assertIs(type(chips), tuple)
        self.assertEqual([c.__name__ for c in chips], OFFERED)
        for i, name in enumerate(OFFERED):
            self.assertIs(chips[i], getattr(brontile, name), name)
            self.assertTrue(issubclass(chips[i], brontile.BCMChip), name)
        self.assertEqual(len(set(chips)), 20)
        self.assertNotIn(brontile.BCMChip, chips)
        self.assertNotIn(brontile.TridentPlusChip, chips)
        self.assertEqual(chips[0]().chip_dir_list, ['/bcm/Trident', '/bcm'])


class PythonSideTest(unittest.TestCase):
    def test_subclasses_and_class_attributes_from_python(self):
        class Board100G(brontile.Tomahawk100GPort):
            modes = ('100G',)

        self.assertEqual(Board100G.modes, ('100G',))
        self.assertIs(Board100G.pbmp_map, brontile.TomahawkPort.pbmp_map)
        with patch(brontile.Tomahawk25GPort, 'default_mode', '10G'):
            self.assertEqual(brontile.Tomahawk25GPort.default_mode, '10G')
        self.assertEqual(brontile.Tomahawk25GPort.default_mode, '25G')
        with patch(brontile.TomahawkChip, 'base_pbmp', 1):
            self.assertEqual(brontile.TomahawkTwoChip.base_pbmp, TH_PBMP)  # restated, not inherited
            self.assertEqual(brontile.TomahawkPlus_56967_Chip.pci_vendor, 0x14E4)


if __name__ == '__main__':
    unittest.main()
