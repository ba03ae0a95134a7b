"""Config: construction and the EEPROM data, the ports.conf dialect and mode
completion, chip texts and validated reads, the default configuration and
ports.conf writing."""
import collections
import errno
import os
import shutil
import stat
import subprocess
import types
import unittest

import lanquist
from zarnith.vettaro import Vettaro

import support
from support import FailingOs, FakeSubprocess, TempDirTestCase, environ, patch

IDWARDEN = '/usr/zarnith/bin/idwarden'
COMMENT = '# XXX - default config file (needs documentation comments)\n'
SFF_SPEEDS = {'SFP+': 10, 'SFP28': 25, 'QSFP+': 40, 'QSFP28': 100, 'QSFP56': 400}
SHORTHAND = ('1x', '2x', '4x', '8x', '/1', '/2', '/4', '/8')


class Chip(object):
    def __init__(self, sw_base='bcm', texts=None, bcm_config_path=None):
        self.sw_base = sw_base
        self.texts = texts or {}
        self.bcm_config_path = bcm_config_path
        self.asked = []

    def get_config(self, name):
        self.asked.append(name)
        return self.texts.get(name)


class Port(object):
    """What Config reads of a platform port, with the platform's completion of
    shorthand modes from the cage type."""

    def __init__(self, label, phy_layer=None, default_mode='10G', is_fabric=False):
        self.label = label
        self.phy_layer = phy_layer
        self.default_mode = default_mode
        self.is_fabric = is_fabric

    # The platform's signature: called on a port, with the deciding port passed again.
    def complete_mode(config, self, mode):
        if config is not self:
            raise AssertionError('complete_mode called with another port')
        if mode not in SHORTHAND:
            return mode
        speed = SFF_SPEEDS[self.phy_layer]
        count = int(mode.strip('x/'))
        if count == 1:
            return '%dG' % speed
        if mode.endswith('x'):
            return '%dx%dG' % (count, speed // count)
        return '%dG/%d' % (speed * count, count)


class Switch(object):
    def __init__(self, chip, ports):
        self.chip = chip
        self.ports = ports


class Platform(object):
    def __init__(self, ports=(), chip=None):
        self.name = 'testplatform'
        self.switch = Switch(chip or Chip(), list(ports))


def ports_conf_platform():
    return Platform([
        Port('1', 'QSFP28'),
        Port('2', 'SFP+'),
        Port('3', 'QSFP28', is_fabric=True),
        Port('4', 'QSFP28', is_fabric=True),
        Port('4', 'QSFP+'),
        Port('Swp1', 'SFP28'),
        Port('5', '10GBaseT'),
    ])


def dummy_config(platform=None, cls=None):
    return (cls or lanquist.Config)(platform or Platform(), dummy=True)


class RecordingConfig(lanquist.Config):
    """Records what reaches its own config member (read_config must call it)."""

    def config(self, config):
        self.__dict__.setdefault('config_calls', []).append(config)


class ConstructionTest(unittest.TestCase):
    def test_dummy_mode_runs_nothing_and_uses_fixed_eeprom_values(self):
        fake = FakeSubprocess()
        platform = Platform(chip=Chip('mlx'))
        with patch(lanquist, 'subprocess', fake):
            c = lanquist.Config(platform, dummy=True)
        self.assertEqual(fake.calls, [])
        self.assertIs(c.platform, platform)
        self.assertIs(c.verbose, False)
        self.assertIs(c.exploded, False)
        self.assertIs(c.dummy, True)
        self.assertEqual(c.macrange, 255)
        self.assertEqual(c.macbase, [255, 255, 255, 255, 255, 0])
        self.assertEqual(c.macmode, 'standard')
        self.assertEqual(c.ports, [])
        self.assertIsNot(c.ports, c.macbase)
        self.assertFalse(hasattr(c, 'config_map'))
        for field, cls in (('eeprom', lanquist.Idwarden), ('iproute2', lanquist.IPRoute2),
                           ('drovik', lanquist.Drovik)):
            runner = getattr(c, field)
            self.assertIsInstance(runner, cls, field)
            self.assertIs(runner.dummy, True, field)
        self.assertEqual(c.eeprom.sw_base, 'mlx')

    def test_arguments_kept_unconverted(self):
        platform = Platform()
        c = lanquist.Config(platform, 'yes', 0, dummy='on')
        self.assertEqual((c.verbose, c.exploded, c.dummy), ('yes', 0, 'on'))
        self.assertEqual(c.macrange, 255, 'a true-valued dummy is dummy mode')
        flags = [1]
        c = lanquist.Config(dummy=1, exploded=flags, platform=platform)
        self.assertIs(c.exploded, flags)
        self.assertIs(c.verbose, False)
        self.assertRaises(TypeError, lanquist.Config)
        self.assertRaises(TypeError, lanquist.Config, platform, 1, 2, 3, 4)
        self.assertRaises(TypeError, lanquist.Config, platform, colour=1)

    def test_eeprom_asked_for_the_range_then_the_base(self):
        fake = FakeSubprocess()
        with patch(lanquist, 'subprocess', fake), \
                environ(FAKE_IDWARDEN_R='64\n', FAKE_IDWARDEN_A='00:11:22:33:44:55\n'):
            c = lanquist.Config(Platform())
        self.assertEqual(fake.calls, [[IDWARDEN, '-r'], [IDWARDEN, '-a']])
        self.assertEqual(c.macrange, 64)
        self.assertEqual(c.macbase, [0, 17, 34, 51, 68, 85])
        self.assertIs(c.eeprom.dummy, False)

    def test_base_address_fields_read_as_hexadecimal(self):
        cases = [
            ('0A:b:C:0:ff:1', [10, 11, 12, 0, 255, 1]),
            (' 00 : 11:22:33:44:55 \n', [0, 17, 34, 51, 68, 85]),
            ('0x1:+2:3:4:5:FF', [1, 2, 3, 4, 5, 255]),
        ]
        for answer, expected in cases:
            with patch(lanquist, 'subprocess', FakeSubprocess()), environ(FAKE_IDWARDEN_A=answer):
                self.assertEqual(lanquist.Config(Platform()).macbase, expected, repr(answer))

    def test_base_address_refused_before_the_next_step(self):
        class Recording(lanquist.Config):
            def __setattr__(self, name, value):
                FIELDS.append(name)
                self.__dict__[name] = value

        FIELDS = []
        refused = ('00:11:zz:33:44:55\n', '00:11::33:44:55', '00:11:22:33:44\n', '100:11:22:33:44:55',
                   '00:11:22:33:44:55:66', '-1:11:22:33:44:55', '00:11:22:33:44:123456789abcdef01', '', '\n')
        for answer in refused:
            del FIELDS[:]
            with patch(lanquist, 'subprocess', FakeSubprocess()), environ(FAKE_IDWARDEN_A=answer):
                with self.assertRaises(ValueError) as cm:
                    Recording(Platform())
            self.assertIn(repr(answer), str(cm.exception))
            self.assertNotIn('macmode', FIELDS, repr(answer))

    def test_a_refused_base_address_is_quoted_by_its_beginning(self):
        class Eeprom(object):
            macrange = 7

            def __init__(self, **kwargs):
                pass

        class Quoted(str):
            def __repr__(self):
                return '<quoted>'

        class Sealed(str):
            """Every override fails: a long answer is cut on its own data."""
            def fail(self, *args):
                raise AssertionError('str subclass code ran')
            __len__ = __getitem__ = __getslice__ = __str__ = __repr__ = fail

        class Other(object):
            """No text: quoted by its conversion, as it reads."""
            def split(self, separator):
                return []

            def __repr__(self):
                return 'r' * 70

        head, tail = 'idwarden gave the base MAC address ', ': not six hexadecimal fields of 0 to 255'
        # 63 and 64 characters whose quoted forms are longer, and one more
        a63 = '\\\n\x00' * 21
        a64, a65 = a63 + "'", a63 + "'z"
        wide = u'\xe9\u2028' * 40

        def cut(answer, n):
            return head + repr(answer[:64]) + '... (%d characters)' % n + tail

        # (answer, the whole message, or None where a long answer is cut)
        cases = [
            ('00:11:zz:33:44:55\n', head + "'00:11:zz:33:44:55\\n'" + tail),
            (u'00:11:22:33:44', head + "u'00:11:22:33:44'" + tail),
            ('00:11:22:33:44:55:' + 'f' * 40, head + repr('00:11:22:33:44:55:' + 'f' * 40) + tail),
            ('00:' * (1 << 18) + 'zz', None),
            (u'\xe9:' * (1 << 19), cut(u'\xe9:' * 32, 1 << 20)),
            (a63, head + repr(a63) + tail), (a64, head + repr(a64) + tail), (a65, cut(a65, 65)),
            (wide, cut(wide, 80)), (wide[:64], head + repr(wide[:64]) + tail),
            # a subclass: whole as its own %r reads, cut on its data
            (Quoted(a64), head + '<quoted>' + tail), (Quoted(a65), cut(a65, 65)),
            (Sealed('f' * 100), cut('f' * 64, 100)),
            (Other(), head + 'r' * 64 + '... (70 characters)' + tail),
        ]
        for number, (answer, message) in enumerate(cases):
            Eeprom.macaddr = answer
            with patch(lanquist, 'Idwarden', Eeprom):
                with self.assertRaises(ValueError) as cm:
                    lanquist.Config(Platform(), dummy=True)
            got = str(cm.exception)
            if message is not None:
                self.assertEqual(got, message, 'case %d' % number)
            else:
                self.assertLess(len(got), 200, repr(answer[:20]))
                self.assertTrue(got.startswith(head + repr(answer)[:40]), got)
                self.assertTrue(got.endswith(tail), got)

    def test_runners_found_in_the_module_and_given_keywords(self):
        log = []
        flag = object()

        def runner(name):
            class Runner(object):
                def __init__(self, **kwargs):
                    log.append((name, kwargs))
            return Runner

        class Eeprom(runner('Idwarden')):
            @property
            def macrange(self):
                log.append('macrange')
                return 7

            @property
            def macaddr(self):
                log.append('macaddr')
                return '1:2:3:4:5:6'

        with patch(lanquist, 'Idwarden', Eeprom), patch(lanquist, 'IPRoute2', runner('IPRoute2')), \
                patch(lanquist, 'Drovik', runner('Drovik')):
            c = lanquist.Config(Platform(chip=Chip('mlx')), dummy=flag)
        self.assertEqual(log, [('Idwarden', {'dummy': flag, 'sw_base': 'mlx'}), ('IPRoute2', {'dummy': flag}),
                               ('Drovik', {'dummy': flag}), 'macrange', 'macaddr'])
        self.assertIsInstance(c.eeprom, Eeprom)
        self.assertEqual((c.macrange, c.macbase), (7, [1, 2, 3, 4, 5, 6]))


class PortsConfTest(unittest.TestCase):
    CASES = [
        ('label=mode lines', '1=100G\n2=10G\n', {'1': '100G', '2': '10G'}),
        ('no final line feed', '1=100G', {'1': '100G'}),
        ('empty text', '', {}),
        ('blank lines and comments', '\n# front panel\n1=100G\n\n#2=4x\n\n2=10G\n', {'1': '100G', '2': '10G'}),
        ('white space around label and mode', '1 =\t100G  \n2\t= 25G\n', {'1': '100G', '2': '25G'}),
        ('case of labels kept', 'Swp1=10G\nswp1=25G\n', {'Swp1': '10G', 'swp1': '25G'}),
        ('shorthand completed from the cage', '1=4x\n2=/4\nSwp1=1x\n', {'1': '4x25G', '2': '40G/4', 'Swp1': '25G'}),
        ('full modes and other values unchanged', '1=40G\n2=disable\nSwp1=loopback\n',
         {'1': '40G', '2': 'disable', 'Swp1': 'loopback'}),
        ('upper-case shorthand is no shorthand', '1=4X\n', {'1': '4X'}),
        ('Fabric- keys untouched', 'Fabric-3=4x\nFabric-4=/4\n', {'Fabric-3': '4x', 'Fabric-4': '/4'}),
        ('label that only a fabric port carries', '3=4x\n', {'3': '4x'}),
        ('fabric port passed over for a shared label', '4=4x\n', {'4': '4x10G'}),
        ('unknown labels kept', '99=4x\n7=100G\n', {'99': '4x', '7': '100G'}),
    ]

    def test_dialect(self):
        for name, text, expected in self.CASES:
            c = dummy_config(ports_conf_platform())
            self.assertIsNone(c.config(text), name)
            self.assertIs(type(c.config_map), dict, name)
            self.assertEqual(c.config_map, expected, name)

    def test_second_call_replaces_the_map(self):
        c = dummy_config(ports_conf_platform())
        c.config('1=100G\n2=10G\n')
        first = c.config_map
        c.config('2=4x\n')
        self.assertEqual(c.config_map, {'2': '4x2G'})
        self.assertEqual(first, {'1': '100G', '2': '10G'}, 'the earlier map is not reused')

    def test_parse_error_keeps_the_earlier_map(self):
        c = dummy_config(ports_conf_platform())
        c.config('1=100G\n')
        before = c.config_map
        for text in ('1=100G\nnot a pair\n', '=100G\n'):
            self.assertRaises(lanquist.configparser.Error, c.config, text)
            self.assertIs(c.config_map, before, repr(text))
            self.assertEqual(before, {'1': '100G'}, repr(text))

    def test_repeated_label_is_an_error(self):
        if not hasattr(lanquist.configparser, 'DuplicateOptionError'):
            self.skipTest('the configparser bound in lanquist takes repeated options')
        c = dummy_config(ports_conf_platform())
        c.config('2=10G\n')
        before = c.config_map
        for text in ('1=100G\n1=40G\n', '1=100G\n2=10G\n1 = 100G\n'):
            self.assertRaises(lanquist.configparser.DuplicateOptionError, c.config, text)
            self.assertIs(c.config_map, before, repr(text))

    def test_completion_error_reaches_the_caller_after_the_map_is_replaced(self):
        c = dummy_config(ports_conf_platform())
        c.config('2=10G\n')
        before = c.config_map
        # Port 5 has a 10GBaseT cage: no shorthand completes there.
        self.assertRaises(KeyError, c.config, '1=100G\n5=4x\n')
        self.assertIsNot(c.config_map, before)
        self.assertEqual(c.config_map, {'1': '100G', '5': '4x'})

    def test_members_reached_through_the_object(self):
        platform = ports_conf_platform()
        seen = []
        replacement = {'from': 'override'}

        class FirstPortFinder(lanquist.Config):
            def find_hw_port(self, label):
                seen.append(label)
                return platform.switch.ports[0]

        c = dummy_config(platform, FirstPortFinder)
        c.config('99=4x\nFabric-3=/1\n')
        self.assertEqual(c.config_map, {'99': '4x25G', 'Fabric-3': '100G'})
        self.assertEqual(sorted(seen), ['99', 'Fabric-3'])

        class Replacing(lanquist.Config):
            def _complete_modes(self, config_map):
                seen.append(dict(config_map))
                return replacement

        c = dummy_config(platform, Replacing)
        c.config('1=4x\n')
        self.assertEqual(seen[-1], {'1': '4x'})
        self.assertIs(c.config_map, replacement)

    def test_complete_modes_and_find_hw_port(self):
        platform = ports_conf_platform()
        c = dummy_config(platform)
        ports = platform.switch.ports
        for label, expected in (('1', ports[0]), ('4', ports[4]), ('3', None), ('99', None), ('swp1', None)):
            self.assertIs(c.find_hw_port(label), expected, label)
        mapping = {'1': '/4', '3': '4x', '99': '2x'}
        self.assertIs(c._complete_modes(mapping), mapping)
        self.assertEqual(mapping, {'1': '400G/4', '3': '4x', '99': '2x'})


class Wildcard(object):
    """A label that the host's comparison finds equal to any text."""

    def __eq__(self, other):
        return True


def counted(name):
    """A property that counts its reads in Pointing.reads and raises the value
    when it is an exception."""
    def read(self):
        Pointing.reads[name] += 1
        value = getattr(self, '_' + name)
        if isinstance(value, Exception):
            raise value
        return value
    return property(read)


class Pointing(object):
    """A platform port that names itself in the modes it completes and counts
    how often Config reads its label and fabric flag."""
    reads = collections.Counter()
    label = counted('label')
    is_fabric = counted('is_fabric')

    def __init__(self, n, label, is_fabric=False):
        self.n = n
        self._label = label
        self._is_fabric = is_fabric

    def complete_mode(config, self, mode):
        return '%s@%d' % (mode, self.n)


def pointing_platform(*specs):
    """Ports numbered in order from (label, is_fabric) pairs or bare labels."""
    specs = [s if isinstance(s, tuple) else (s, False) for s in specs]
    return Platform([Pointing(n, label, fabric) for n, (label, fabric) in enumerate(specs)])


class PerKeyLookup(lanquist.Config):
    """The walk per key, as a subclass that overrides find_hw_port gets it."""

    def find_hw_port(self, label):
        self.asked.append(label)
        return lanquist.Config.find_hw_port(self, label)


class PortLookupTest(unittest.TestCase):
    # platform (port specs), then key -> the port that completes it (None: kept)
    PLATFORMS = [
        ('repeated label: the first port wins', ('1', '2', '1', '2'), {'1': 0, '2': 1, '3': None}),
        ('fabric ports passed over, also for a later repeat',
         (('1', True), '1', ('2', True), ('3', 1), ('3', 0), ('4', 'yes'), ('4', '')),
         {'1': 1, '2': None, '3': 4, '4': 6, 'Fabric-1': None, 'Fabric-2': None}),
        ('a port labelled Fabric- is a label like any other', ('Fabric-1', ('1', True)), {'Fabric-1': 0, '1': None}),
        ('int labels never equal a text', (1, 2, '2', 3L), {'1': None, '2': 2, '3': None}),
        ('unicode labels compared by the host, in port order', (u'1', '1', '2', u'2'), {'1': 0, '2': 2}),
        ('a label equal to anything', ('1', Wildcard(), '2', ('3', True)), {'1': 0, '2': 1, '3': 1, '99': 1}),
        ('case and white space kept', ('swp1', 'Swp1', ' 2'), {'Swp1': 1, 'swp1': 0, '2': None}),
        ('keys that are not str', ('1', '2'), {u'1': 0, 1: None, (): None, '2': 1}),
        ('no ports', (), {'1': None}),
    ]

    def complete(self, cls, specs, keys):
        c = dummy_config(pointing_platform(*specs), cls)
        c.asked = []
        mapping = dict((key, '4x') for key in keys)
        try:
            result = c._complete_modes(mapping)
        except Exception as exc:
            return mapping, type(exc), c.asked
        self.assertIs(result, mapping)
        return mapping, None, c.asked

    def test_answers_equal_those_of_a_walk_per_key(self):
        for name, specs, expected in self.PLATFORMS:
            mapping, error, asked = self.complete(PerKeyLookup, specs, expected)
            self.assertIsNone(error, name)
            self.assertEqual(sorted(asked), sorted(expected), name)
            self.assertEqual(mapping, dict((k, '4x' if n is None else '4x@%d' % n) for k, n in expected.items()), name)
            self.assertEqual(self.complete(lanquist.Config, specs, expected), (mapping, None, []), name)

    def test_failing_attributes_fail_at_the_same_key(self):
        # Keys are handled in the map's order; each case runs one key order.
        for specs in ((ValueError('label'), '1'), ('1', ValueError('label')), ('2', '1', ValueError('label')),
                      (('1', ValueError('fabric')), '2'), ('1', ('2', ValueError('fabric')), '2')):
            for keys in (['1', '2'], ['2', '1'], ['2'], ['1', '2', '3'], ['3']):
                self.assertEqual(self.complete(lanquist.Config, specs, keys)[:2],
                                 self.complete(PerKeyLookup, specs, keys)[:2], (specs, keys))

    def test_each_attribute_read_once_for_thousands_of_ports(self):
        ports = 8192
        platform = pointing_platform(*[str(n) for n in range(1, ports + 1)])
        text = ''.join('%d=4x\n' % n for n in range(ports, 0, -1))
        Pointing.reads.clear()
        c = dummy_config(platform)
        c.config(text + 'Fabric-1=4x\n99999=4x\n')
        self.assertEqual(c.config_map['1'], '4x@0')
        self.assertEqual(c.config_map[str(ports)], '4x@%d' % (ports - 1))
        self.assertEqual(Pointing.reads, {'label': ports, 'is_fabric': ports})

    def test_an_override_is_asked_once_per_key(self):
        specs, keys = ('1', '2', '2'), ['1', '2', '9']
        self.assertEqual(sorted(self.complete(PerKeyLookup, specs, keys)[2]), keys)
        c = dummy_config(pointing_platform(*specs))
        asked = []
        c.find_hw_port = lambda label: asked.append(label) or c.platform.switch.ports[2]
        mapping = dict((key, '4x') for key in keys)
        c._complete_modes(mapping)
        self.assertEqual(sorted(asked), keys)
        self.assertEqual(mapping, dict((key, '4x@2') for key in keys))


class ReadConfigTest(TempDirTestCase):
    CHIP_TEXTS = [('hw_desc', 'hw_desc'), ('rc.forwarding', 'rc_forwarding'), ('datapath.conf', 'datapath_conf'),
                  ('sdk.bcm', 'sdk_bcm'), ('uft.json', 'uft'), ('riot.json', 'riot')]

    def setUp(self):
        super(ReadConfigTest, self).setUp()
        Vettaro.reset()
        self.addCleanup(Vettaro.reset)

    def test_chip_texts_by_exact_name(self):
        for name, field in self.CHIP_TEXTS:
            chip = Chip(texts={name: 'text of %s' % name})
            c = dummy_config(Platform(chip=chip), RecordingConfig)
            self.assertIsNone(c.read_config(name), name)
            self.assertEqual(getattr(c, field), 'text of %s' % name, name)
            self.assertEqual(chip.asked, [name], name)
            self.assertFalse(hasattr(c, 'config_calls'), name)
            self.assertFalse(hasattr(c, 'config_map'), name)
            c.platform.switch.chip = Chip()
            c.read_config(name)
            self.assertIsNone(getattr(c, field), name + ': a file the chip lacks')
        self.assertEqual(Vettaro.calls, [])

    def test_other_names_are_ports_conf_paths(self):
        opened = []

        def missing(path, *mode):
            opened.append(path)
            raise IOError(2, 'No such file or directory', path)

        chip = Chip(texts=dict((n, 'x') for n, _ in self.CHIP_TEXTS))
        with patch(lanquist, 'open', missing):
            for name in ('HW_DESC', 'Hw_desc', './hw_desc', '/chip/sdk.bcm', 'uft.json ', 'riot'):
                Vettaro.reset()
                c = dummy_config(Platform(chip=chip))
                self.assertRaises(IOError, c.read_config, name)
                self.assertEqual(Vettaro.calls, [('init', name, False), ('vettaro', name)], name)
                self.assertEqual(opened[-1], name)
        self.assertEqual(chip.asked, [])

    def test_validator_errors_end_the_process(self):
        path = self.write('ports.conf', '1=100G\n')
        errors = ['line 1: no such port', 'line 2: bad mode']
        Vettaro.errors = errors
        opened = []
        c = dummy_config(ports_conf_platform(), RecordingConfig)
        with patch(lanquist, 'open', lambda *args: opened.append(args)):
            with self.assertRaises(SystemExit) as cm:
                c.read_config(path)
        self.assertEqual(cm.exception.code, -1, 'sys.exit(-1): status 255')
        self.assertEqual(Vettaro.calls, [('init', path, False), ('vettaro', path), ('portwriteerrors', path, errors)])
        self.assertIs(Vettaro.calls[2][2], errors)
        self.assertEqual(opened, [])
        self.assertFalse(hasattr(c, 'config_calls'))
        self.assertFalse(hasattr(c, 'config_map'))

    def test_accepted_file_handed_whole_to_config_once(self):
        text = '# front panel\n1=4x\n\n2 = 10G\n'
        path = self.write('ports.conf', text)

        def logged_open(name, *mode):
            Vettaro.calls.append(('open', name))
            return open(name, *mode)

        c = dummy_config(ports_conf_platform(), RecordingConfig)
        with patch(lanquist, 'open', logged_open):
            self.assertIsNone(c.read_config(path))
        self.assertEqual(c.config_calls, [text])
        self.assertEqual(Vettaro.calls, [('init', path, False), ('vettaro', path), ('open', path)],
                         'validated before the file is opened')

        c = dummy_config(ports_conf_platform())
        c.read_config(path)
        self.assertEqual(c.config_map, {'1': '4x25G', '2': '10G'})

    def test_missing_file(self):
        c = dummy_config(ports_conf_platform(), RecordingConfig)
        path = self.path('nowhere', 'ports.conf')
        self.assertRaises(IOError, c.read_config, path)
        self.assertEqual(Vettaro.calls, [('init', path, False), ('vettaro', path)])
        self.assertFalse(hasattr(c, 'config_calls'))


ETC = '/etc/bcm.d'


class Rooted(object):
    """Stands in for a module (os, os.path, shutil): text arguments under /etc/bcm.d
    are moved under `root`; any other path under /etc or /proc is refused."""

    def __init__(self, module, root):
        self._module = module
        self._root = root

    def _map(self, value):
        if isinstance(value, str):
            if value == ETC or value.startswith(ETC + '/'):
                return self._root + value
            if value.startswith(('/etc', '/proc')):
                raise AssertionError('test escaped its directory: %s' % value)
        return value

    def __getattr__(self, name):
        value = getattr(self._module, name)
        if isinstance(value, types.ModuleType):
            return Rooted(value, self._root)
        if not callable(value) or isinstance(value, type):
            return value

        def call(*args, **kwargs):
            args = [self._map(a) for a in args]
            kwargs = dict((k, self._map(v)) for k, v in kwargs.items())
            return value(*args, **kwargs)
        return call


class InitConfigTest(TempDirTestCase):
    def setUp(self):
        super(InitConfigTest, self).setUp()
        self.rc_soc = self.write('pkg/__bcm_config/rc.soc', 'init all\nrcload rc.forwarding\n')
        os.chmod(self.rc_soc, 0o751)
        self.root = self.path('root')
        os.makedirs(self.root + '/etc')
        self.etc = self.root + ETC
        for name in ('os', 'shutil'):
            cm = patch(lanquist, name, Rooted(getattr(lanquist, name), self.root))
            cm.__enter__()
            self.addCleanup(cm.__exit__, None, None, None)
        self.platform = Platform([
            Port('1', default_mode='100G'),
            Port('2', default_mode='40G', is_fabric=True),
            Port('3', default_mode='4x'),
            Port('7', default_mode='10G'),
            Port('7', default_mode='25G'),
        ], Chip(bcm_config_path=self.path('pkg', '__bcm_config') + '/'))

    def test_installs_rc_soc_and_fills_the_map_with_default_modes(self):
        c = dummy_config(self.platform)
        self.assertIsNone(c.init_config())
        copy = os.path.join(self.etc, 'rc.soc')
        self.assertTrue(os.path.isdir(self.etc))
        self.assertEqual(open(copy).read(), 'init all\nrcload rc.forwarding\n')
        self.assertEqual(stat.S_IMODE(os.stat(copy).st_mode), 0o751)
        self.assertEqual(c.config_map, {'1': '100G', 'Fabric-2': '40G', '3': '4x', '7': '25G'})

        path = self.path('ports.conf')
        c.write_config(path)
        self.assertEqual(open(path).read(), COMMENT + '1=100G\n3=4x\n7=25G\n')

    def test_existing_directory_and_copy(self):
        os.mkdir(self.etc)
        with open(os.path.join(self.etc, 'rc.soc'), 'w') as f:
            f.write('old\n')
        c = dummy_config(self.platform)
        c.config_map = {'9': '10G'}
        c.init_config()
        self.assertEqual(open(os.path.join(self.etc, 'rc.soc')).read(), 'init all\nrcload rc.forwarding\n')
        self.assertEqual(c.config_map, {'1': '100G', 'Fabric-2': '40G', '3': '4x', '7': '25G'})

    def test_failure_leaves_the_map(self):
        def no_parent():
            shutil.rmtree(self.root + '/etc')

        def no_rc_soc():
            os.remove(self.rc_soc)

        # Each case from an intact package and /etc.
        for name, breakage, error in (('no rc.soc', no_rc_soc, IOError), ('no /etc', no_parent, OSError)):
            os.chmod(self.write('pkg/__bcm_config/rc.soc', 'init all\n'), 0o751)
            if not os.path.isdir(self.root + '/etc'):
                os.makedirs(self.root + '/etc')
            breakage()
            c = dummy_config(self.platform)
            before = c.config_map = {'9': '10G'}
            self.assertRaises(error, c.init_config)
            self.assertIs(c.config_map, before, name)
            self.assertEqual(before, {'9': '10G'}, name)
            self.assertFalse(os.path.exists(self.etc), name)

    def test_an_object_that_cannot_name_its_rc_soc_makes_nothing(self):
        class NoPath(object):
            sw_base = 'bcm'

            @property
            def bcm_config_path(self):
                raise ZeroDivisionError('no packaged files')

        made_bare = types.InstanceType(lanquist.Config)
        no_path = dummy_config(self.platform)
        no_path.platform = Platform([Port('1')], NoPath())
        # (what, object, error)
        for what, c, error in (('made without __init__', made_bare, AttributeError),
                               ('a chip without its directory', no_path, ZeroDivisionError)):
            self.assertRaises(error, c.init_config)
            self.assertEqual(os.listdir(self.root + '/etc'), [], what)

    def test_failed_copy_keeps_the_installed_rc_soc(self):
        os.mkdir(self.etc)
        installed = os.path.join(self.etc, 'rc.soc')
        # (what, os function that fails, errno)
        cases = (('no file can be made', 'open', errno.ENOSPC), ('disk full when synced', 'fsync', errno.ENOSPC),
                 ('bits refused', 'chmod', errno.EPERM), ('rename refused', 'rename', errno.EPERM),
                 ('read-only file system', 'rename', errno.EROFS), ('I/O error', 'write', errno.EIO))
        for what, function, number in cases:
            with open(installed, 'w') as f:
                f.write('old\n')
            os.chmod(installed, 0o600)
            c = dummy_config(self.platform)
            before = c.config_map = {'9': '10G'}
            failing = Rooted(FailingOs(function, OSError(number, os.strerror(number))), self.root)
            with patch(lanquist, 'os', failing):
                with self.assertRaises(EnvironmentError) as cm:
                    c.init_config()
            self.assertEqual(cm.exception.errno, number, what)
            self.assertEqual(open(installed).read(), 'old\n', what)
            self.assertEqual(stat.S_IMODE(os.stat(installed).st_mode), 0o600, what)
            self.assertEqual(os.listdir(self.etc), ['rc.soc'], what)
            self.assertIs(c.config_map, before, what)

    def test_rc_soc_written_in_place_where_a_replacement_would_lose_it(self):
        os.mkdir(self.etc)
        installed = os.path.join(self.etc, 'rc.soc')
        other = self.path('root', 'rc.soc.link')
        # (what, os stand-in, a second hard link)
        cases = (('a second hard link', os, True),
                 ('a mount point', FailingOs('rename', OSError(errno.EBUSY, 'busy')), False),
                 ('another file system', FailingOs('rename', OSError(errno.EXDEV, 'cross-device')), False))
        for what, fake_os, link in cases:
            with open(installed, 'w') as f:
                f.write('old text, longer than the new one\n' * 3)
            os.chmod(installed, 0o600)
            if link:
                os.link(installed, other)
            before = os.stat(installed)
            with patch(lanquist, 'os', Rooted(fake_os, self.root)):
                dummy_config(self.platform).init_config()
            after = os.stat(installed)
            self.assertEqual(open(installed).read(), 'init all\nrcload rc.forwarding\n', what)
            self.assertEqual((after.st_ino, after.st_nlink, stat.S_IMODE(after.st_mode)),
                             (before.st_ino, before.st_nlink, 0o751), what)
            self.assertEqual(os.listdir(self.etc), ['rc.soc'], what)
            if link:
                self.assertEqual(open(other).read(), 'init all\nrcload rc.forwarding\n', what)
                os.remove(other)


    def test_rc_soc_in_place_gets_its_bits_before_its_text(self):
        # Setting the bits is refused, as to root without the owner capability
        # on a file of another user's: only a file that needs new bits fails,
        # and it keeps its old text.
        os.mkdir(self.etc)
        installed = os.path.join(self.etc, 'rc.soc')
        other = self.path('root', 'rc.soc.link')
        refused = Rooted(FailingOs('chmod', OSError(errno.EPERM, os.strerror(errno.EPERM))), self.root)
        # (bits it has, text it ends with, error)
        for bits, text, error in ((0o600, 'old\n', errno.EPERM), (0o751, 'init all\nrcload rc.forwarding\n', None)):
            with open(installed, 'w') as f:
                f.write('old\n')
            os.chmod(installed, bits)
            os.link(installed, other)
            c = dummy_config(self.platform)
            before = c.config_map = {'9': '10G'}
            with patch(lanquist, 'os', refused):
                got = support.raised(c.init_config)
            self.assertEqual(getattr(got, 'errno', None), error, oct(bits))
            for name in (installed, other):
                self.assertEqual(open(name).read(), text, '%o: %s' % (bits, name))
            self.assertEqual(stat.S_IMODE(os.stat(installed).st_mode), bits, oct(bits))
            self.assertIs(c.config_map is before, error is not None, oct(bits))
            os.remove(other)


FULL_DISK_SIZE = '16k'


def rc_soc_full_disk_child(disk, source_dir):
    """In the private mount namespace: /etc/bcm.d on a tmpfs too small for
    the new rc.soc."""
    subprocess.check_call(['mount', '-t', 'tmpfs', '-o', 'size=' + FULL_DISK_SIZE, 'tmpfs', disk])
    etc = disk + ETC
    os.makedirs(etc)
    installed = os.path.join(etc, 'rc.soc')
    with open(installed, 'w') as f:
        f.write('old\n')
    result = {}
    c = dummy_config(Platform([Port('1')], Chip(bcm_config_path=source_dir)))
    c.config_map = {'9': '10G'}
    with patch(lanquist, 'os', Rooted(os, disk)), patch(lanquist, 'shutil', Rooted(shutil, disk)):
        try:
            c.init_config()
        except EnvironmentError as e:
            result['error'] = e.errno
        with open(installed) as f:
            result['content'] = f.read()
        result['listing'] = sorted(os.listdir(etc))
        result['map'] = c.config_map
        # A file that fits is installed on the same disk.
        with open(os.path.join(source_dir, 'rc.soc'), 'w') as f:
            f.write('init all\n')
        c.init_config()
        with open(installed) as f:
            result['small'] = f.read()
    return result


class RcSocFullDiskTest(support.TmpfsTestCase):
    def test_full_disk_keeps_the_installed_rc_soc(self):
        disk = self.path('disk')
        os.mkdir(disk)
        source = self.write('pkg/rc.soc', 'rcload rc.forwarding\n' * 4000)
        result = support.run_child_in_namespace(self, __file__, ['full', disk, os.path.dirname(source)], net=False)
        self.assertEqual(result['error'], errno.ENOSPC)
        self.assertEqual(result['content'], 'old\n', 'rc.soc changed: now %d bytes' % len(result['content']))
        self.assertEqual(result['listing'], ['rc.soc'])
        self.assertEqual(result['map'], {'9': '10G'})
        self.assertEqual(result['small'], 'init all\n')
        self.assertEqual(os.listdir(disk), [], 'the tmpfs was private to the child')


def rc_soc_bind_mount_child(root, source_dir, host_file):
    """In the private mount namespace: /etc/bcm.d/rc.soc (under `root`) is
    `host_file` bind-mounted, as a container is given it."""
    installed = root + ETC + '/rc.soc'
    subprocess.check_call(['mount', '--bind', host_file, installed])
    c = dummy_config(Platform([Port('1')], Chip(bcm_config_path=source_dir)))
    with patch(lanquist, 'os', Rooted(os, root)):
        c.init_config()
    with open(installed) as f:
        seen = f.read()
    return {'seen': seen, 'listing': sorted(os.listdir(root + ETC))}


class RcSocBindMountTest(TempDirTestCase):
    def setUp(self):
        super(RcSocBindMountTest, self).setUp()
        support.skip_unless_namespaces(self, net=False)

    def test_a_bind_mounted_rc_soc_is_written_through_its_mount(self):
        source = self.write('pkg/rc.soc', 'init all\n')
        host_file = self.write('host/rc.soc', 'old\n')
        placeholder = self.write('root' + ETC + '/rc.soc', 'placeholder\n')
        result = support.run_child_in_namespace(
            self, __file__, ['bind', self.path('root'), os.path.dirname(source), host_file], net=False)
        self.assertEqual(result, {'seen': 'init all\n', 'listing': ['rc.soc']})
        self.assertEqual(open(host_file).read(), 'init all\n', 'written through the mount')
        self.assertEqual(open(placeholder).read(), 'placeholder\n', 'the mount was private to the child')


def child(case, *args):
    return {'full': rc_soc_full_disk_child, 'bind': rc_soc_bind_mount_child}[case](*args)


class WriteConfigTest(TempDirTestCase):
    def written(self, config_map):
        c = dummy_config()
        c.config_map = config_map
        path = self.path('ports.conf')
        self.assertIsNone(c.write_config(path))
        with open(path) as f:
            return f.read()

    def test_lines_in_numeric_order(self):
        cases = [
            ('numeric, not text order', {'10': '4x10G', '9': '10G', '1': '100G', 'Fabric-1': '40G'},
             '1=100G\n9=10G\n10=4x10G\n'),
            ('empty map', {}, ''),
            ('only fabric entries', {'Fabric-1': '40G', 'Fabric-2': '40G'}, ''),
            ('signs and white space', {' 2 ': '10G', '-1': '25G', '+3': '40G'}, '-1=25G\n 2 =10G\n+3=40G\n'),
            ('values written as they are', {'1': 'disable', '2': '4x'}, '1=disable\n2=4x\n'),
        ]
        for name, config_map, lines in cases:
            self.assertEqual(self.written(config_map), COMMENT + lines, name)

    def test_equal_numbers_keep_the_map_order(self):
        keys = ['01', '1', '001', ' 1']
        for order in (keys, keys[::-1]):
            config_map = collections.OrderedDict((k, 'mode%s' % k.strip()) for k in order)
            config_map['0'] = 'first'
            expected = '0=first\n' + ''.join('%s=mode%s\n' % (k, k.strip()) for k in order)
            self.assertEqual(self.written(config_map), COMMENT + expected, order)

    def test_reads_back_as_the_same_map_less_fabric(self):
        c = dummy_config(ports_conf_platform())
        c.config('10=4x10G\n2=/4\nFabric-3=40G\n99=disable\n')
        path = self.path('ports.conf')
        c.write_config(path)
        again = dummy_config(ports_conf_platform())
        again.config(open(path).read())
        self.assertEqual(again.config_map, {'10': '4x10G', '2': '40G/4', '99': 'disable'})

    def test_bad_key_leaves_an_existing_file_untouched(self):
        path = self.write('ports.conf', '1=100G\n')
        for key in ('swp2', '', '1.5'):
            c = dummy_config()
            c.config_map = {'1': '40G', key: '10G', 'Fabric-x': '40G'}
            self.assertRaises(ValueError, c.write_config, path)
            self.assertEqual(open(path).read(), '1=100G\n', repr(key))
            self.assertEqual(c.config_map, {'1': '40G', key: '10G', 'Fabric-x': '40G'})

    def test_unwritable_target(self):
        c = dummy_config()
        c.config_map = {'1': '100G'}
        self.assertRaises(IOError, c.write_config, self.tmp)


class MacModeTest(unittest.TestCase):
    def test_stored_unchanged(self):
        c = dummy_config()
        for mode in ('l3-only', 'standard', 'L3-ONLY', None, object()):
            self.assertIsNone(c.set_macmode(mode))
            self.assertIs(c.macmode, mode)


if __name__ == '__main__':
    support.main(child)
