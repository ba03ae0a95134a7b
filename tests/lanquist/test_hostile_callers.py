"""Callers that do what a member does not expect: overrides that clear the
caller's keyword dict, the underlying functions of classic methods called bare,
attributes and module globals rebound to the wrong kind of object, keyword names
given as unicode. Each gets a Python-level error or the right answer, never a
crash or a SystemError."""
import StringIO
import gc
import types
import unittest

import lanquist
from support import patch

cp = lanquist.configparser
OURS = cp.__name__ == 'lanquist.configparser'
skip_unless_ours = unittest.skipUnless(
    OURS, 'the host has the configparser package; lanquist uses it instead of its own layer')

CLASSIC = ('Idwarden', 'IPRoute2', 'Drovik', 'Config', 'ConfiguredPort', 'SDKConfiguredPort',
           'BCMConfiguredPort', 'SDKConfiguredMappedPort', 'BCMConfiguredMappedPort', 'BCMConfiguredDportPort',
           'SDKConfig', 'BCMConfig')


class Chip(object):
    sw_base = 'bcm'


class Port(object):
    def __init__(self, label):
        self.label = label
        self.is_fabric = False

    def complete_mode(self, port, mode):
        return {'4x': '4x25G', '2x': '2x50G'}.get(mode, mode)


class Switch(object):
    def __init__(self, labels):
        self.chip = Chip()
        self.ports = [Port(label) for label in labels]


class Platform(object):
    def __init__(self, labels=('1', '2', '3')):
        self.switch = Switch(labels)


class OwnedArgumentsTest(unittest.TestCase):
    """The interpreter hands a member the caller's own keyword dict; an override
    that empties it while the member runs must not take the arguments away."""

    def test_complete_modes_when_an_override_clears_the_keywords(self):
        class Clearing(lanquist.Config):
            where = 'find_hw_port'

            def find_hw_port(self, label):
                if self.where == 'find_hw_port':
                    self.kw.clear()
                port = lanquist.Config.find_hw_port(self, label)
                if port is not None and self.where == 'complete_mode':
                    kw = self.kw

                    class Clears(Port):
                        def complete_mode(self, port, mode):
                            kw.clear()
                            return Port.complete_mode(self, port, mode)
                    port = Clears(label)
                return port

        for where in ('find_hw_port', 'complete_mode'):
            for entries in ({'1': '4x'}, {'1': '4x', '2': '2x', '3': '100G', '99': '4x', 'x' * 40: '4x'}):
                c = Clearing(Platform(), dummy=True)
                c.where = where
                c.kw = {'config_map': dict(entries)}
                result = c._complete_modes(**c.kw)
                expected = dict((k, {'4x': '4x25G', '2x': '2x50G'}.get(v, v) if k in ('1', '2', '3') else v)
                                for k, v in entries.items())
                self.assertEqual(result, expected, (where, entries))
                self.assertEqual(c.kw, {}, where)


class ClassicEntryPointsTest(unittest.TestCase):
    def test_underlying_functions_called_without_their_object(self):
        self.assertRaises(TypeError, lanquist.Idwarden.__init__.im_func)
        self.assertRaises(TypeError, lanquist.Config.init_config.im_func)
        checked = 0
        for name in CLASSIC:
            cls = getattr(lanquist, name)
            for member, value in sorted(vars(cls).items()):
                what = '%s.%s' % (name, member)
                if isinstance(value, types.MethodType):
                    self.assertRaises(TypeError, value.im_func)
                    self.assertRaises(TypeError, value.im_func, **{'x': 1})
                elif isinstance(value, property):
                    self.assertRaises(TypeError, value.fget)
                else:
                    continue
                checked += 1
        self.assertEqual(checked, 3 + 2 + 2 + 13 + 11 + 61 + 2 + 1 + 5 + 35 + 1, 'members checked')

    @skip_unless_ours
    def test_parser_methods_called_on_other_objects(self):
        for name in ('readfp', 'items', 'get', 'sections', 'has_section', 'optionxform', '__init__'):
            method = vars(cp.RawConfigParser)[name]
            self.assertRaises(TypeError, method)
            self.assertRaises(TypeError, method, object())

    @skip_unless_ours
    def test_parser_made_without_init(self):
        p = cp.RawConfigParser.__new__(cp.RawConfigParser)
        for call in (lambda: p.readfp(StringIO.StringIO('[a]\nb=c\n')), lambda: p.items('a'),
                     lambda: p.get('a', 'b'), p.sections, lambda: p.has_section('a')):
            self.assertRaises(AttributeError, call)


@skip_unless_ours
class ListAttributesTest(unittest.TestCase):
    """Lists that a caller can reach and replace are appended to as whatever they are."""

    def test_parsing_error_append_on_errors_not_a_list(self):
        class Collector(object):
            def __init__(self):
                self.got = []

            def append(self, item):
                self.got.append(item)

        for errors, error in ((None, AttributeError), ((), AttributeError), ('text', AttributeError),
                              (Collector(), None)):
            e = cp.ParsingError('src')
            e.errors = errors
            if error:
                self.assertRaises(error, e.append, 3, "'bad'")
            else:
                e.append(3, "'bad'")
                self.assertEqual(errors.got, [(3, "'bad'")])
                self.assertEqual(str(e), "Source contains parsing errors: 'src'\n\t[line  3]: 'bad'")

    def test_readfp_with_lines_whose_strip_replaces_the_value(self):
        p = cp.RawConfigParser()

        class Sneaky(str):
            def strip(self):
                options = p._sections.get('ports')
                if options is not None and '1' in options:
                    options['1'] = 'no longer a list'
                return str.strip(self)

        # a continuation line, then a blank line inside a value
        for last in ('  more\n', '\n'):
            p = cp.RawConfigParser()
            lines = iter(['[ports]\n', '1=a\n', Sneaky(last), '  tail\n'])
            self.assertRaises(AttributeError, p.readfp, lines)


def emptied_lists(found):
    """Empty every list that the garbage collector tracks and `found` accepts;
    a member's own scratch lists are among them."""
    lists = [o for o in gc.get_objects() if type(o) is list and found(o)]
    for o in lists:
        del o[:]
    return len(lists)


class PrivateListsTest(unittest.TestCase):
    """A list that a member makes for itself can still be reached through gc; an
    override that empties or fills it must not take an item from under the member."""

    def test_complete_modes_when_the_key_snapshot_is_emptied_and_the_key_dropped(self):
        mapping = {}

        class Dropping(Port):
            def complete_mode(self, port, mode):
                emptied = emptied_lists(lambda o: o == [self.label])
                del mapping[self.label]  # the snapshot held the only other reference
                self.emptied = emptied
                return 'x' * 64

        n = 7654321
        c = lanquist.Config(Platform(), dummy=True)
        c.platform.switch.ports = [Dropping(str(n))]
        mapping[str(n)] = '4x'  # a key of its own, not the port's label
        self.assertIs(c._complete_modes(mapping), mapping)
        self.assertEqual(c.platform.switch.ports[0].emptied, 1)
        self.assertEqual(mapping, {'7654321': 'x' * 64})

    def test_gang_polarity_when_the_hardware_order_list_is_filled(self):
        class Cage(object):
            def __init__(self, name, bit, meddle=False):
                self.name, self.bit, self.meddle = name, bit, meddle

            @property
            def hw_ports(self):
                if self.meddle:  # the (key, position, port) entries read so far
                    for o in gc.get_objects():
                        if type(o) is list and o and type(o[0]) is tuple and len(o[0]) == 3 \
                                and isinstance(o[0][2], Member):
                            o.append(5)
                return [self.name]

            def rx_logical_polarity_flip(self, mode, sub):
                return self.bit

        class Member(object):
            def __init__(self, cage):
                self.physical_port = cage

        class Leader(lanquist.SDKConfiguredPort):
            gang_leader = True

        leader = Leader('40G/4', Cage('xe1', 1), 0, 0, False)
        leader.ganged_ports = [Member(Cage('xe2', 1)), Member(Cage('xe1', 0, meddle=True))]
        self.assertRaises(TypeError, leader.rx_logical_polarity_flip, 0)
        leader.ganged_ports[1].physical_port.meddle = False
        self.assertEqual(leader.rx_logical_polarity_flip(0), 0b10)


class RaisingRebindingsTest(unittest.TestCase):
    """Error classes are looked up at call time; one rebound to something that is
    not an exception class is the host's TypeError, as Python's own raise gives."""

    NOT_EXCEPTIONS = (str, 5, None, object(), lambda message: 'text', types)

    def test_unsupported_platform_error(self):
        class OtherChip(object):
            sw_base = 'other'
        c = lanquist.Config(Platform(), dummy=True)
        c.dummy = False
        c.platform.switch.chip = OtherChip()
        netdevs = [{'portname': 'swp1', 'index': 0, 'unit': 0}]
        for value in self.NOT_EXCEPTIONS:
            with patch(lanquist, 'UnsupportedPlatformError', value):
                with self.assertRaises(TypeError) as cm:
                    c.makekernnet(netdevs)
            self.assertIn('exceptions must be', str(cm.exception), repr(value))
        with patch(lanquist, 'UnsupportedPlatformError', KeyError):
            self.assertRaises(KeyError, c.makekernnet, netdevs)

    @skip_unless_ours
    def test_parser_errors(self):
        class NotAnError(object):
            def __init__(self, *args):
                self.errors = []
                self.message = ''

            def append(self, *args):
                pass

        texts = (
            ('DuplicateSectionError', '[a]\n[a]\n'),
            ('DuplicateOptionError', '[a]\nb=1\nb=2\n'),
            ('MissingSectionHeaderError', 'b=1\n'),
            ('ParsingError', '[a]\nbad\n'),
            ('NoSectionError', None),
            ('NoOptionError', None),
        )
        for name, text in texts:
            for value in (NotAnError, lambda *args: 'text'):
                with patch(cp, name, value):
                    p = cp.RawConfigParser()
                    if text is not None:
                        call = lambda: p.readfp(StringIO.StringIO(text))
                    elif name == 'NoSectionError':
                        call = lambda: p.items('nope')
                    else:
                        p.readfp(StringIO.StringIO('[a]\n'))
                        call = lambda: p.get('a', 'nope')
                    try:
                        call()
                    except TypeError:
                        pass
                    except AttributeError:
                        # a ParsingError stand-in without the attributes it is given
                        self.assertEqual((name, value.__name__), ('ParsingError', '<lambda>'))
                    else:
                        self.fail('%s rebound: nothing raised' % name)


class ArgumentErrorsTest(unittest.TestCase):
    def test_wrong_arguments_name_the_member(self):
        c = lanquist.Config(Platform(), dummy=True)
        cases = [
            (lambda: c.set_macmode(), 'set_macmode() takes exactly 2 arguments (1 given)'),
            (lambda: c.init_config(1), 'init_config() takes exactly 1 argument (2 given)'),
            (lambda: c.write_config('a', 'b'), 'write_config() takes exactly 2 arguments (3 given)'),
            (lambda: lanquist.Config(), '__init__() takes at least 2 arguments (1 given)'),
            (lambda: lanquist.Idwarden(1, 2, 3), '__init__() takes at most 3 arguments (4 given)'),
            (lambda: c.makemacaddr([0] * 6, inmac=[0] * 6),
             "makemacaddr() got multiple values for keyword argument 'inmac'"),
        ]
        if OURS:
            e = cp.Error('x')
            cases += [
                (lambda: e.__repr__(1), '__repr__() takes exactly 1 argument (2 given)'),
                (lambda: e.__str__(1), '__str__() takes exactly 1 argument (2 given)'),
                (lambda: cp.ParsingError('s').append(1), 'append() takes exactly 3 arguments (2 given)'),
                (lambda: cp.RawConfigParser().readfp(), 'readfp() takes at least 2 arguments (1 given)'),
            ]
        for call, message in cases:
            with self.assertRaises(TypeError) as cm:
                call()
            self.assertEqual(str(cm.exception), message)


class UnicodeKeywordsTest(unittest.TestCase):
    def test_ascii_unicode_keywords_accepted(self):
        c = lanquist.Config(Platform(), **{u'dummy': True, u'verbose': 1})
        self.assertEqual((c.dummy, c.verbose), (True, 1))
        c.set_macmode(**{u'mode': 'l3-only'})
        self.assertEqual(c.macmode, 'l3-only')
        self.assertEqual(c.makemacaddr(**{u'inmac': [0, 1, 2, 3, 4, 5], u'index': 1}), [0, 1, 2, 3, 4, 6])
        p = lanquist.ConfiguredPort(**{u'mode': '40G', u'mac_index': 2, 'loopback': False})
        self.assertEqual((p.mode, p.mac_index, p.loopback), ('40G', 2, False))
        self.assertIs(lanquist.Idwarden(**{u'dummy': True}).dummy, True)
        self.assertEqual(lanquist.IPRoute2(**{u'dummy': True}).run(**{u'args': ['x']}), '')

    @skip_unless_ours
    def test_ascii_unicode_keywords_accepted_by_the_parser(self):
        p = cp.RawConfigParser()
        p.readfp(**{u'fp': StringIO.StringIO('[a]\nb=c\n'), u'filename': 'given'})
        self.assertEqual(p.get(**{u'section': 'a', u'option': 'b'}), 'c')
        e = cp.DuplicateOptionError(**{u'section': 's', u'option': 'o', u'lineno': 3})
        self.assertEqual(e.args, ('s', 'o', None, 3))

    def test_other_keywords_refused(self):
        c = lanquist.Config(Platform(), dummy=True)
        for kwargs in ({u'mod\xe9': 'x'}, {u'other': 'x'}, {u'mode': 'x', 'mode ': 'y'}):
            self.assertRaises(TypeError, c.set_macmode, **kwargs)
        self.assertRaises(TypeError, c.set_macmode, 'x', **{u'mode': 'y'})


if __name__ == '__main__':
    unittest.main()
