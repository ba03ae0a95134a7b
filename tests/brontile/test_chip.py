"""Chip classes, their default-file directories and the default-file lookup."""
import json
import os
import unittest

import brontile
from portkit import raised
from support import TempDirTestCase, patch

TRIDENT_DOC = 'Trident chip common attributes\n\nBasically the same as Trident+, but with a smaller host table size.'

# name, base, directory list of a new object (most specific first), docstring
CHIPS = [
    ('TridentPlusChip', 'BCMChip', ['/bcm/Trident', '/bcm'], 'Trident+ chip common attributes'),
    ('TridentChip', 'TridentPlusChip', ['/bcm/Trident', '/bcm'], TRIDENT_DOC),
    ('TridentTwoChip', 'BCMChip', ['/bcm/TridentTwo', '/bcm'], 'Trident2 chip common attributes'),
    ('TridentTwo_56850_Chip', 'TridentTwoChip', ['/bcm/TridentTwo/56850', '/bcm/TridentTwo', '/bcm'], None),
    ('TridentTwo_56854_Chip', 'TridentTwoChip', ['/bcm/TridentTwo/56854', '/bcm/TridentTwo', '/bcm'], None),
    ('TridentTwoPlusChip', 'TridentTwoChip', ['/bcm/TridentTwoPlus', '/bcm/TridentTwo', '/bcm'],
     'Trident2 Plus chip common attributes'),
    ('TridentTwoPlus_56860_Chip', 'TridentTwoPlusChip',
     ['/bcm/TridentTwoPlus/56860', '/bcm/TridentTwoPlus', '/bcm/TridentTwo', '/bcm'], None),
    ('TridentTwoPlus_56864_Chip', 'TridentTwoPlusChip',
     ['/bcm/TridentTwoPlus/56864', '/bcm/TridentTwoPlus', '/bcm/TridentTwo', '/bcm'], None),
    ('TridentThreeX5Chip', 'BCMChip', ['/bcm/TridentThreeX5', '/bcm'], 'Trident3 X5 chip common attributes'),
    ('TridentThreeX5_56771_Chip', 'TridentThreeX5Chip', ['/bcm/TridentThreeX5/56771', '/bcm/TridentThreeX5', '/bcm'],
     None),
    ('TridentThreeX7Chip', 'BCMChip', ['/bcm/TridentThreeX7', '/bcm'], 'Trident3 X7 chip common attributes'),
    ('TridentThreeX7_56870_Chip', 'TridentThreeX7Chip', ['/bcm/TridentThreeX7/56870', '/bcm/TridentThreeX7', '/bcm'],
     None),
    ('TridentThreeX7_56873_Chip', 'TridentThreeX7Chip', ['/bcm/TridentThreeX7/56873', '/bcm/TridentThreeX7', '/bcm'],
     None),
    ('QumranChip', 'BCMChip', ['/bcm/Qumran', '/bcm'], None),
    ('Qumran_88375_Chip', 'QumranChip', ['/bcm/Qumran/88375', '/bcm/Qumran', '/bcm'], None),
    ('Qumran_88370_Chip', 'QumranChip', ['/bcm/Qumran88370', '/bcm/Qumran', '/bcm'], None),
    ('TomahawkChip', 'BCMChip', ['/bcm/Tomahawk', '/bcm'], 'Tomahawk chip common attributes'),
    ('TomahawkPlusChip', 'TomahawkChip', ['/bcm/TomahawkPlus', '/bcm/Tomahawk', '/bcm'],
     'Tomahawk Plus chip common attributes'),
    ('TomahawkPlus_56967_Chip', 'TomahawkPlusChip',
     ['/bcm/TomahawkPlus/56967', '/bcm/TomahawkPlus', '/bcm/Tomahawk', '/bcm'], None),
    ('TomahawkPlus_56965_Chip', 'TomahawkPlusChip',
     ['/bcm/TomahawkPlus/56965', '/bcm/TomahawkPlus', '/bcm/Tomahawk', '/bcm'], None),
    ('TomahawkTwoChip', 'TomahawkChip', ['/bcm/TomahawkTwo', '/bcm/Tomahawk', '/bcm'],
     'Tomahawk Two chip common attributes'),
    ('TomahawkTwo_56970_Chip', 'TomahawkTwoChip',
     ['/bcm/TomahawkTwo/56970', '/bcm/TomahawkTwo', '/bcm/Tomahawk', '/bcm'], None),
    ('TomahawkThreeChip', 'TomahawkChip', ['/bcm/TomahawkThree', '/bcm/Tomahawk', '/bcm'],
     'Tomahawk Three chip common attributes'),
    ('TomahawkThree_56980_Chip', 'TomahawkThreeChip',
     ['/bcm/TomahawkThree/56980', '/bcm/TomahawkThree', '/bcm/Tomahawk', '/bcm'], None),
    ('MaverickChip', 'BCMChip', ['/bcm/Maverick', '/bcm'], None),
    ('Maverick_56762_Chip', 'MaverickChip', ['/bcm/Maverick/56762', '/bcm/Maverick', '/bcm'], None),
    ('Maverick_56768_Chip', 'MaverickChip', ['/bcm/Maverick/56768', '/bcm/Maverick', '/bcm'], None),
    ('Helix4Chip', 'BCMChip', ['/bcm/Helix4', '/bcm'], None),
    ('Hurricane2Chip', 'BCMChip', ['/bcm/Hurricane2', '/bcm'], None),
]

# The packaged files each family directory holds.
FOUR = ('datapath.conf', 'rc.forwarding', 'hw_desc', 'sdk.bcm')
PACKAGED = {
    'Trident': FOUR, 'Helix4': FOUR,
    'TridentTwo': FOUR + ('uft.json',), 'Qumran': FOUR + ('uft.json',), 'Tomahawk': FOUR + ('uft.json',),
    'TomahawkPlus': FOUR + ('uft.json',), 'TomahawkTwo': FOUR + ('uft.json',),
    'TomahawkThree': FOUR + ('uft.json',),
    'TridentTwoPlus': FOUR + ('uft.json', 'riot.json'), 'TridentThreeX5': FOUR + ('uft.json', 'riot.json'),
    'TridentThreeX7': FOUR + ('uft.json', 'riot.json'), 'Maverick': FOUR + ('uft.json', 'riot.json'),
    'Hurricane2': ('rc.forwarding', 'sdk.bcm'),
}


class ChipClassesTest(unittest.TestCase):
    def test_every_chip_class(self):
        for name, base, dirs, doc in CHIPS:
            cls = getattr(brontile, name)
            self.assertEqual(cls.__bases__, (getattr(brontile, base),), name)
            self.assertEqual(cls.__module__, 'brontile', name)
            self.assertEqual(cls.__doc__, doc, name)
            chip = cls()
            self.assertIs(type(chip.chip_dir_list), list, name)
            self.assertEqual(chip.chip_dir_list, dirs, name)
            self.assertIsNot(chip.chip_dir_list, cls().chip_dir_list, name)
            self.assertIs(cls.is_acpi(), False, name)
            self.assertIs(chip.is_acpi(), False, name)
            self.assertEqual(chip.sw_base, 'bcm', name)
            self.assertIs(type(chip.file_list), tuple, name)
            self.assertIsInstance(raised(lambda: cls(1)), TypeError, name)
            has_own = '__init__' in cls.__dict__
            self.assertEqual(has_own, name != 'TridentChip', name)

    def test_base_chips(self):
        self.assertEqual(brontile.SDKChip.__bases__, (object,))
        self.assertEqual(brontile.SDKChip.__doc__, 'SDK chip common attributes')
        self.assertEqual(brontile.BCMChip.__doc__, 'BCM chip common attributes')
        self.assertEqual(brontile.SDKChip('/root').chip_dir_list, ['/root'])
        self.assertEqual(brontile.SDKChip(initial_path='/x').chip_dir_list, ['/x'])
        self.assertEqual(brontile.BCMChip().chip_dir_list, ['/bcm'])
        self.assertRaises(TypeError, brontile.SDKChip)
        self.assertRaises(TypeError, brontile.BCMChip, '/bcm')
        for name in ('sw_base', 'pci_vendor', 'pci_device', 'file_list', 'portmap_capable', 'dport_capable',
                     'bcm_pn', 'hsp_bw', 'base_pbmp'):
            self.assertIsNone(getattr(brontile.SDKChip, name), name)
        self.assertEqual(brontile.SDKChip.port_channel_type_map, {})
        self.assertIs(brontile.Helix4Chip.port_channel_type_map, brontile.SDKChip.port_channel_type_map)
        bcm = brontile.BCMChip
        self.assertEqual((bcm.sw_base, bcm.ipv4_host_table_size, bcm.pci_vendor), ('bcm', 8192, 0x14E4))
        self.assertIs(type(bcm.pci_vendor), int)
        for name, value in (('mixed_oversub', None), ('needs_lane_config', False), ('dnx', False),
                            ('pci_device', None)):
            self.assertIs(getattr(bcm, name), value, name)

    def test_constructors_find_their_base_at_call_time(self):
        class StandIn(object):
            __init__ = staticmethod(lambda chip: setattr(chip, 'chip_dir_list', ['/x']))

        with patch(brontile, 'TomahawkChip', StandIn):
            self.assertEqual(brontile.TomahawkTwoChip().chip_dir_list, ['/xTwo', '/x'])

    def test_python_subclasses_extend_the_list(self):
        class Board(brontile.TomahawkChip):
            def __init__(self):
                brontile.TomahawkChip.__init__(self)
                self.chip_dir_list.insert(0, self.chip_dir_list[0] + '/board')

        self.assertEqual(Board().chip_dir_list, ['/bcm/Tomahawk/board', '/bcm/Tomahawk', '/bcm'])


class ConfigPathTest(unittest.TestCase):
    def test_paths_follow_the_module_file(self):
        chip = brontile.BCMChip()
        here = os.path.dirname(brontile.__file__)
        self.assertEqual(chip.chip_config_path, here + '/__chip_config/')
        self.assertEqual(chip.bcm_config_path, here + '/__bcm_config/')
        cases = [('/opt/lib/brontile.so', '/opt/lib'), ('brontile.so', ''), ('/brontile.so', '/')]
        for file_name, directory in cases:
            with patch(brontile, '__file__', file_name):
                self.assertEqual(chip.chip_config_path, directory + '/__chip_config/', file_name)
                self.assertEqual(chip.bcm_config_path, directory + '/__bcm_config/', file_name)
        self.assertRaises(AttributeError, setattr, chip, 'chip_config_path', '/x')


class GetConfigTest(TempDirTestCase):
    def setUp(self):
        super(GetConfigTest, self).setUp()
        moved = patch(brontile, '__file__', self.path('lib', 'brontile.so'))
        moved.__enter__()
        self.addCleanup(moved.__exit__, None, None, None)

    def put(self, directory, name, text):
        return self.write(os.path.join('lib', '__chip_config' + directory, name), text)

    def chip(self, cls, file_list=('hw_desc',)):
        chip = cls()
        chip.file_list = file_list
        return chip

    def test_most_specific_directory_wins(self):
        chip = self.chip(brontile.TomahawkTwo_56970_Chip)
        paths = [self.put(d, 'hw_desc', 'text of %s\n' % d) for d in chip.chip_dir_list]
        for d, path in zip(chip.chip_dir_list, paths):
            self.assertEqual(chip.get_config('hw_desc'), 'text of %s\n' % d, d)
            os.remove(path)
        self.assertIsNone(chip.get_config('hw_desc'))

    def test_sibling_directory_of_the_88370(self):
        chip = self.chip(brontile.Qumran_88370_Chip)
        self.put('/bcm/Qumran/88370', 'hw_desc', 'not searched')
        self.assertIsNone(chip.get_config('hw_desc'))
        self.put('/bcm/Qumran', 'hw_desc', 'family')
        self.assertEqual(chip.get_config('hw_desc'), 'family')
        self.put('/bcm/Qumran88370', 'hw_desc', 'part')
        self.assertEqual(chip.get_config('hw_desc'), 'part')

    def test_only_listed_names_are_served(self):
        for d in ('/bcm/Hurricane2', '/bcm'):
            self.put(d, 'hw_desc', 'present')
            self.put(d, 'sdk.bcm', 'sdk')

        class Listed(brontile.Hurricane2Chip):
            file_list = ('rc.forwarding', 'sdk.bcm')

        class Unlisted(brontile.SDKChip):
            pass

        cases = [
            ('name not listed', Listed(), 'hw_desc'),
            ('no list on SDKChip', Unlisted('/bcm'), 'sdk.bcm'),
            ('no list on BCMChip', brontile.BCMChip(), 'sdk.bcm'),
            ('name outside a family chip\'s list', brontile.Hurricane2Chip(), 'hw_desc'),
        ]

        class NoFileSystem(object):
            class path(object):
                @staticmethod
                def exists(p):
                    raise AssertionError('file system consulted for %s' % p)

        with patch(brontile, 'os', NoFileSystem):
            for what, chip, name in cases:
                self.assertIsNone(chip.get_config(name), what)
        self.assertEqual(Listed().get_config('sdk.bcm'), 'sdk')

    def test_unreadable_entry_raises_instead_of_falling_back(self):
        chip = self.chip(brontile.TomahawkChip)
        self.put('/bcm', 'hw_desc', 'fallback')
        os.makedirs(self.path('lib', '__chip_config', 'bcm', 'Tomahawk', 'hw_desc'))
        self.assertIs(type(raised(lambda: chip.get_config('hw_desc'))), IOError)

    def test_file_is_closed_when_reading_fails(self):
        chip = self.chip(brontile.TomahawkChip)
        self.put('/bcm/Tomahawk', 'hw_desc', 'x')
        path = chip.chip_config_path + '/bcm/Tomahawk/hw_desc'
        events = []

        class FakeFile(object):
            def __init__(self, fail):
                self.fail = fail

            def read(self):
                events.append('read')
                if self.fail:
                    raise IOError('cannot read')
                return 'content'

            def close(self):
                events.append('close')

        for fail, result in ((False, 'content'), (True, IOError)):
            del events[:]
            opened = []
            fake_open = lambda p, m: opened.append((p, m)) or FakeFile(fail)
            with patch(brontile, 'open', fake_open):
                if fail:
                    self.assertIs(type(raised(lambda: chip.get_config('hw_desc'))), IOError)
                else:
                    self.assertEqual(chip.get_config('hw_desc'), result)
            self.assertEqual(events, ['read', 'close'], fail)
            self.assertEqual(opened, [(path, 'r')], fail)

    def test_lookup_asks_the_chip_for_its_paths(self):
        other = self.path('elsewhere') + '/'
        self.write(os.path.join('elsewhere', 'only', 'sdk.bcm'), 'moved')

        class Moved(brontile.BCMChip):
            file_list = ('sdk.bcm',)

            @property
            def chip_config_path(self):
                return other

        chip = Moved()
        chip.chip_dir_list = ['missing', 'only']
        self.assertEqual(chip.get_config('sdk.bcm'), 'moved')

    def test_whole_text_is_returned(self):
        chip = self.chip(brontile.MaverickChip, ('riot.json',))
        text = '{\n  "a": 1\n}\n\nlast line without end'
        self.put('/bcm/Maverick/56762', 'riot.json', 'wrong chip')
        self.put('/bcm/Maverick', 'riot.json', text)
        self.assertEqual(chip.get_config('riot.json'), text)


class PackagedDefaultsTest(unittest.TestCase):
    """The files that ship beside the module serve every chip of each family."""

    def test_every_family_serves_its_files(self):
        for name, base, dirs, doc in CHIPS:
            # The most specific directory that ships files ('/bcm' is last and ships none).
            family = [d.split('/')[2] for d in dirs[:-1] if d.split('/')[2] in PACKAGED][0]
            chip = getattr(brontile, name)()
            self.assertEqual(chip.file_list, PACKAGED[family], name)
            for file_name in PACKAGED[family]:
                text = chip.get_config(file_name)
                self.assertTrue(text and text.strip(), (name, file_name))
                if file_name.endswith('.json'):
                    self.assertIsInstance(json.loads(text), dict, (name, file_name))

    def test_rc_soc(self):
        with open(os.path.join(brontile.BCMChip().bcm_config_path, 'rc.soc')) as f:
            lines = [l for l in f.read().splitlines() if l.strip() and not l.startswith('#')]
        self.assertTrue(lines)


if __name__ == '__main__':
    unittest.main()
