"""SDKConfig and BCMConfig: the classes, the constructor and output(name) with
every row: the chip texts, the PHY-microcode settings, the SDK configuration
sections and the rows whose texts come from their own members."""
import sys
import types
import unittest

import lanquist
import sdkkit
from support import FakeSubprocess, Syslog, environ, patch

IDWARDEN = '/usr/zarnith/bin/idwarden'
CHIP_FILES = ('uft.json', 'riot.json', 'hw_desc', 'rc.forwarding', 'datapath.conf', 'sdk.bcm')

PROPERTIES = ('led_chains', 'led_asm', 'led_hex', 'port_units', 'sdk_pbmp', 'portmap', 'dportmap',
              'portmap_uncapable_config', 'port_emphasis', 'port_init', 'fiber_pref', 'phys', 'phy_addrs',
              'phy_an', 'prim_offsets', 'phy_id1s', 'sys_interfaces', 'phytab', 'porttab', 'rcled', 'rcphy',
              'ethertab', 'linkdefaults', 'sfptab')
METHODS = ('__init__', 'config', '_calculate_configuration', '_calculate_leds', '_calculate_gangs',
           '_calculate_units', '_compress_portlist', 'rcports', '_linkdefaults_qsim', '_linkdefaults', 'output')


class ClassesTest(unittest.TestCase):
    def test_classes_bases_and_docstrings(self):
        for cls, base, doc in ((lanquist.SDKConfig, lanquist.Config, 'SDK configuration implementation'),
                               (lanquist.BCMConfig, lanquist.SDKConfig, 'Broadcom configuration implementation')):
            self.assertIs(type(cls), types.ClassType)
            self.assertEqual(cls.__bases__, (base,))
            self.assertEqual(cls.__doc__, doc)
            self.assertEqual(cls.__module__, 'lanquist')

    def test_members_and_their_kinds(self):
        own = vars(lanquist.SDKConfig)
        for name in PROPERTIES:
            self.assertIsInstance(own.get(name), property, name)
        for name in METHODS:
            self.assertIsInstance(getattr(lanquist.SDKConfig, name), types.MethodType, name)
            self.assertIn(name, own, name)
        self.assertEqual(set(vars(lanquist.BCMConfig)), set(['__init__', '__doc__', '__module__']))
        self.assertEqual(lanquist.SDKConfig._calculate_gangs.__doc__, 'Calculate port gang configurations')


class ConstructionTest(unittest.TestCase):
    def test_chip_texts_asked_in_order_after_both_eeprom_queries(self):
        fake = FakeSubprocess()
        queries_done = []
        chip = sdkkit.Chip({'hw_desc': 'HW', 'uft.json': '{"u": 1}\n', 'sdk.bcm': ''},
                           on_ask=lambda name: queries_done.append(len(fake.calls)))
        for cls in (lanquist.SDKConfig, lanquist.BCMConfig):
            del fake.calls[:], chip.asked[:], queries_done[:]
            with patch(lanquist, 'subprocess', fake), environ(FAKE_IDWARDEN_R='64\n'):
                c = cls(sdkkit.platform(chip=chip))
            self.assertEqual(fake.calls, [[IDWARDEN, '-r'], [IDWARDEN, '-a']])
            self.assertEqual(chip.asked, list(CHIP_FILES))
            self.assertEqual(queries_done, [2] * 6)
            self.assertEqual((c.uft, c.riot, c.hw_desc, c.rc_forwarding, c.datapath_conf, c.sdk_bcm),
                             ('{"u": 1}\n', None, 'HW', None, None, ''))
            self.assertEqual((c.macrange, c.macmode, c.ports), (64, 'standard', []))
            for later in ('config_map', 'mapped_portnums', 'units', '_led_programs'):
                self.assertFalse(hasattr(c, later), later)

    def test_flags_by_position_or_name(self):
        platform = sdkkit.platform()
        for cls in (lanquist.SDKConfig, lanquist.BCMConfig):
            c = cls(platform, 'v', 0, 'd')
            self.assertEqual((c.platform, c.verbose, c.exploded, c.dummy), (platform, 'v', 0, 'd'))
            c = cls(dummy=1, exploded=[1], platform=platform)
            self.assertEqual((c.verbose, c.exploded, c.dummy), (False, [1], 1))
            self.assertEqual(c.macrange, 255)
            self.assertRaises(TypeError, cls)
            self.assertRaises(TypeError, cls, platform, 1, 2, 3, 4)
            self.assertRaises(TypeError, cls, platform, colour=1)

    def test_texts_read_through_the_objects_own_read_config(self):
        class Recording(lanquist.BCMConfig):
            def read_config(self, configfile):
                self.__dict__.setdefault('read', []).append(configfile)

        c = Recording(sdkkit.platform(), dummy=True)
        self.assertEqual(c.read, list(CHIP_FILES))
        self.assertFalse(hasattr(c, 'uft'))

    def test_failures_propagate(self):
        def broken(name):
            if name == 'hw_desc':
                raise IOError('unreadable')

        chip = sdkkit.Chip(on_ask=broken)
        self.assertRaises(IOError, lanquist.BCMConfig, sdkkit.platform(chip=chip), dummy=True)
        self.assertEqual(chip.asked, ['uft.json', 'riot.json', 'hw_desc'])
        # The failing decoder logs and lowers the traceback limit: both kept to this block.
        with patch(lanquist, 'subprocess', FakeSubprocess()), patch(lanquist, 'syslog', Syslog()), \
                patch(sys, 'tracebacklimit', None), environ(FAKE_IDWARDEN_FAIL='1'):
            self.assertRaises(RuntimeError, lanquist.BCMConfig, sdkkit.platform())
        # The base classes are found in the module at each call.
        for name, cls in (('Config', lanquist.SDKConfig), ('SDKConfig', lanquist.BCMConfig)):
            base = getattr(lanquist, name)
            delattr(lanquist, name)
            try:
                self.assertRaises(NameError, cls, sdkkit.platform(), dummy=True)
            finally:
                setattr(lanquist, name, base)
        self.assertRaises(TypeError, lanquist.SDKConfig.__init__.im_func)
        self.assertRaises(TypeError, lanquist.SDKConfig.__init__, object(), sdkkit.platform())


def configured(texts=None, **switch_fields):
    return sdkkit.config(sdkkit.platform(chip=sdkkit.Chip(texts), **switch_fields))


class ChipTextsTest(unittest.TestCase):
    # output name, file, comment line (None: the text as packaged)
    ROWS = (
        ('hwdesc', 'hw_desc', ' # chip description file'),
        ('uft', 'uft.json', None),
        ('riot', 'riot.json', None),
        ('datapath', 'datapath.conf', ' # chip datapath configuration file'),
        ('sdk', 'sdk.bcm', None),
        ('rcforwarding', 'rc.forwarding', ' # chip forwarding configuration file'),
    )

    def test_present_texts(self):
        text = 'line one\n\tline two\n\n'
        c = configured(dict((f, text) for f in CHIP_FILES))
        for name, _, comment in self.ROWS:
            expected = text if comment is None else comment + '\n' + text
            self.assertEqual(c.output(name), expected, name)
        self.assertIs(c.output('uft'), c.uft)

    def test_absent_texts_give_none_and_empty_texts_stay(self):
        c = configured()
        for name, _, _ in self.ROWS:
            self.assertIsNone(c.output(name), name)
        c = configured(dict((f, '') for f in CHIP_FILES))
        for name, _, comment in self.ROWS:
            self.assertEqual(c.output(name), '' if comment is None else comment + '\n', name)

    def test_stored_text_read_at_each_call(self):
        c = configured({'hw_desc': 'old'})
        c.hw_desc = 'new'
        self.assertEqual(c.output('hwdesc'), ' # chip description file\nnew')
        c.hw_desc = None
        self.assertIsNone(c.output('hwdesc'))
        c.hw_desc = 5
        self.assertRaises(TypeError, c.output, 'hwdesc')


class UcodeTest(unittest.TestCase):
    SPI = '# use SPI-ROM method for ucode download\nphy_ext_rom_boot=3000'
    MDIO = '# use MDIO method for ucode download\nphy_ext_rom_boot=0'

    def test_method_from_the_flags(self):
        # exploded, has_phy_ucode_mdio, has_phy_ucode_spi_rom, expected
        cases = (
            (False, None, None, 'MDIO'),
            (False, True, None, 'MDIO'),
            (False, None, True, 'SPI'),
            (False, 1, 'yes', 'SPI'),
            (True, None, None, 'SPI'),
            (True, None, True, 'SPI'),
            (True, True, None, 'MDIO'),
            ('x', [1], True, 'MDIO'),
            (0, True, [], 'MDIO'),
        )
        for exploded, mdio, spi, expected in cases:
            expected = getattr(self, expected)
            c = configured(has_phy_ucode_mdio=mdio, has_phy_ucode_spi_rom=spi)
            c.exploded = exploded
            self.assertEqual(c.output('ucodebcm'), expected, (exploded, mdio, spi))


SECTIONS = ('sdk_pbmp', 'dportmap', 'portmap', 'portmap_uncapable_config', 'port_emphasis', 'port_init', 'phys',
            'phy_addrs', 'phy_an', 'prim_offsets', 'phy_id1s', 'sys_interfaces', 'fiber_pref')


def rendering_config(log, texts=None, chip=None, **fields):
    """A configuration object whose renderers are stand-ins that log each read
    and answer with their own name (or the text given for it)."""
    texts = texts or {}

    def renderer(name):
        def get(self):
            log.append(name)
            return texts.get(name, name)
        return property(get)

    members = dict((name, renderer(name)) for name in SECTIONS + ('porttab', 'phytab', 'sfptab', 'linkdefaults',
                                                                   'rcled', 'rcphy', 'ethertab'))

    def rcports(self, unit):
        log.append(('rcports', unit))
        return 'ports of %r' % (unit,)
    members['rcports'] = rcports
    cls = types.ClassType('Rendering', (lanquist.BCMConfig,), members)
    return sdkkit.config(sdkkit.platform(chip=chip), cls=cls, **fields)


def chip(dport, portmap):
    c = sdkkit.Chip()
    c.dport_capable = dport
    c.portmap_capable = portmap
    return c


class PortsBcmTest(unittest.TestCase):
    TAIL = ('\n\n# emphasis\nport_emphasis\n\n# port initializations\nport_init\n\n# phys\nphys\n\n# addrs\n'
            'phy_addrs\n\n# autoneg\nphy_an\n\n# prime_offsets\nprim_offsets\n\n# phy_id1s\nphy_id1s\n\n'
            '# sys_interfaces\nsys_interfaces')

    def test_sections_by_chip_capability(self):
        headers = {'dportmap': 'dport map', 'portmap': 'portmap',
                   'portmap_uncapable_config': 'non portmap capable config'}
        tail = ['port_emphasis', 'port_init', 'phys', 'phy_addrs', 'phy_an', 'prim_offsets', 'phy_id1s',
                'sys_interfaces']
        for dport, portmap, middle in ((True, True, ['dportmap', 'portmap']),
                                       (1, True, ['portmap']),
                                       (True, 1, ['dportmap', 'portmap_uncapable_config']),
                                       (None, False, ['portmap_uncapable_config'])):
            log = []
            c = rendering_config(log, chip=chip(dport, portmap))
            text = ('\n# pbmp\nsdk_pbmp' + ''.join('\n\n# %s\n%s' % (headers[s], s) for s in middle) + self.TAIL +
                    '\n\n# fiber pref\nfiber_pref')
            self.assertEqual(c.output('portsbcm'), text, (dport, portmap))
            self.assertEqual(log, ['sdk_pbmp'] + middle + tail + ['fiber_pref'], 'each section read once, in order')

    def test_empty_sections_and_fiber_preference(self):
        log = []
        empty = dict((s, '') for s in SECTIONS)
        c = rendering_config(log, texts=empty, chip=chip(None, None))
        text = c.output('portsbcm')
        self.assertEqual(text, '\n# pbmp\n\n\n# non portmap capable config\n\n\n# emphasis\n\n\n'
                               '# port initializations\n\n\n# phys\n\n\n# addrs\n\n\n# autoneg\n\n\n'
                               '# prime_offsets\n\n\n# phy_id1s\n\n\n# sys_interfaces\n')
        self.assertEqual(log.count('fiber_pref'), 1)
        # A true value that is not text still decides; join then fails as the host's does.
        for fiber, ok in ((None, True), (0, True), ([], True), ('x', True), (5, False)):
            c = rendering_config([], texts={'fiber_pref': fiber}, chip=chip(None, None))
            if ok:
                self.assertEqual(c.output('portsbcm').endswith('# fiber pref\nx'), fiber == 'x', repr(fiber))
            else:
                self.assertRaises(TypeError, c.output, 'portsbcm')

    def test_first_failing_section_propagates(self):
        log = []
        c = rendering_config(log, chip=chip(None, True))
        c.__class__.port_init = property(lambda self: 1 // 0)
        self.assertRaises(ZeroDivisionError, c.output, 'portsbcm')
        self.assertEqual(log, ['sdk_pbmp', 'portmap', 'port_emphasis'])


class DispatchTest(unittest.TestCase):
    def test_rows_with_a_header(self):
        for name, header in (
                ('porttab', '# linux_intf\tsdk_intf\tunit\tis_fabric\tlogical_port\tnum_ganged_ports\tis_loopback'),
                ('phytab', '# phy_addr\tlinux_intf\tsdk_intf'),
                ('sfptab', '# linux_intf\tmode\tsfp_addrtype\tsfp_addr')):
            log = []
            c = rendering_config(log)
            self.assertEqual(c.output(name), header + '\n' + name, name)
            self.assertEqual(log, [name])
            c = rendering_config([], texts={name: ''})
            self.assertEqual(c.output(name), header + '\n', name)

    def test_rows_of_one_item_unchanged(self):
        for name in ('linkdefaults', 'rcled', 'rcphy', 'ethertab'):
            value = [name]
            log = []
            c = rendering_config(log, texts={name: value})
            self.assertIs(c.output(name), value, name)
            self.assertEqual(log, [name])

    def test_rcports_unit_from_the_name(self):
        for name, unit in (('rcports_1', 1), ('rcports_12', 12), ('rcports_ -3 ', -3), ('rcports_+0', 0),
                           (u'rcports_7', 7), ('rcports_a_2', 2)):
            log = []
            self.assertEqual(rendering_config(log).output(name), 'ports of %r' % unit, name)
            self.assertEqual(log, [('rcports', unit)])
            self.assertIs(type(log[0][1]), int)

    def test_rcports_unit_not_a_number(self):
        for name in ('rcports_', 'rcports_x', 'rcports_1.5', 'rcports_2_', 'rcports_0x1'):
            log = []
            self.assertRaises(ValueError, rendering_config(log).output, name)
            self.assertEqual(log, [], name)

    def test_unknown_names(self):
        for name in ('', 'PORTSBCM', 'portsbcm ', 'rcport_1', 'Rcports_1', 'hw_desc', 'uft.json', None, 5, ('rcled',)):
            log = []
            c = rendering_config(log)
            try:
                c.output(name)
            except ValueError as e:
                self.assertIn(repr(name), str(e))
            else:
                self.fail('no error for %r' % (name,))
            self.assertEqual(log, [], repr(name))
        self.assertRaises(TypeError, c.output)
        self.assertRaises(TypeError, c.output, 'rcled', 'more')
        self.assertEqual(c.output(configfile='rcled'), 'rcled')

    def test_rows_dispatch_to_their_members(self):
        c = sdkkit.config(sdkkit.platform(), '')
        self.assertTrue(c.output('portsbcm').startswith('\n# pbmp\n'))
        self.assertEqual(c.output('rcled'), '')


class StandInsTest(unittest.TestCase):
    def test_maker_platform_module_hands_out_brontiles_chip_classes(self):
        import brontile
        import zarnith.platform
        for name in ('Qumran_88375_Chip', 'Qumran_88370_Chip', 'TridentThreeX5_56771_Chip',
                     'TridentThreeX7_56870_Chip', 'TridentThreeX7_56873_Chip', 'TomahawkTwo_56970_Chip',
                     'TomahawkThree_56980_Chip'):
            self.assertIs(getattr(zarnith.platform, name), getattr(brontile, name), name)
        self.assertIs(lanquist.zarnith.platform, zarnith.platform)


if __name__ == '__main__':
    unittest.main()
