"""The constructors of the per-chip port classes: parameter lists, what each
stores, what each passes to the constructor it runs, and argument errors."""
import random
import unittest

import brontile
from portkit import WIRING, raised
from support import patch


def signature(text):
    """(names, defaults) of a parameter list written as Python writes it."""
    names, defaults = [], {}
    for piece in text.split(','):
        name, _, default = piece.strip().partition('=')
        names.append(name)
        if default:
            defaults[name] = {'None': None, 'False': False, '0': 0}[default]
    return names, defaults


FAMILY = ('label, serdes, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit=0, rx_polarity_flip=None, '
          'tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None, pre_emphasis=None, drv_current=None, '
          'pre_drv_current=None, oversub=False, phy_id1=None, sys_interface=None, mdi_pair_map=None')
SHORT = ('label, serdes, phy_types, phy_addrs, phy_layer, prim_offset, leds, unit=0, rx_polarity_flip=None, '
         'tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None, mdi_pair_map=None')
SHORT_NAMED = SHORT.replace('serdes', 'hw_ports')
FORWARDING = ('label, serdes, phy_types, phy_addrs, phy_layer, leds, unit, rx_lane_map=None, rx_polarity_flip=None, '
              'tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, pre_emphasis=None, drv_current=None, '
              'pre_drv_current=None, oversub=False, phy_id1=None, sys_interface=None, prim_offset=None')
ADJACENT = ('label, adj_label, serdes, phy_types, phy_addrs, phy_layer, leds, unit, rx_lane_map=None, '
            'rx_polarity_flip=None, tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, pre_emphasis=None, '
            'blocked_adj_split=None, drv_current=None, pre_drv_current=None, oversub=False, phy_id1=None, '
            'sys_interface=None, prim_offset=None')
FIXED = FORWARDING.replace(' phy_layer,', '')
FIXED_SHORT = ('label, serdes, phy_types, phy_addrs, leds, unit, rx_lane_map=None, rx_polarity_flip=None, '
               'tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None, prim_offset=None')
SINGLE_1G = 'label, hw_port, phy_type, phy_addr, phy_layer, leds, unit, prim_offset=None'
SINGLE = ('label, hw_port, phy_type, phy_addr, phy_layer, leds, unit, rx_lane_map=None, rx_polarity_flip=None, '
          'tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None')
SINGLE_SERDES = SINGLE.replace('hw_port', 'serdes')
SINGLE_13G = ('label, hw_port, unit, phy_type=None, phy_addr=None, phy_layer=None, leds=None, rx_lane_map=None, '
              'rx_polarity_flip=None, tx_lane_map=None, tx_polarity_flip=None, mdi_pair_map=None')
SINGLE_FABRIC = 'label, hw_port, unit'
TRIDENT_TWO_FABRIC = ('label, serdes, tx_lane_map, rx_lane_map, tx_polarity_flip=None, rx_polarity_flip=None, '
                      'pre_emphasis=None, drv_current=None, pre_drv_current=None')
TOMAHAWK_FABRIC = 'label, serdes, tx_polarity_flip, rx_polarity_flip, tx_lane_map, rx_lane_map, sdk_group=None'
MAVERICK_40G_FABRIC = 'label, serdes, rx_lane_map, rx_polarity_flip, tx_lane_map, tx_polarity_flip, sdk_group=None'
MAVERICK_10G_FABRIC = ('label, serdes, rx_lane_map, rx_polarity_flip, tx_lane_map, tx_polarity_flip, '
                       'mdi_pair_map=None, pre_emphasis=None, drv_current=None, pre_drv_current=None, oversub=False, '
                       'phy_id1=None, sys_interface=None, prim_offset=None')

LANES = ('rx_lane_map', 'rx_polarity_flip', 'tx_lane_map', 'tx_polarity_flip', 'mdi_pair_map')
DRIVE = ('pre_emphasis', 'drv_current', 'pre_drv_current', 'phy_id1', 'sys_interface')


# --- what a port holds after construction, from the bound arguments v ----------------
def names(prefix):
    return lambda v: tuple('%s%u' % (prefix, n) for n in v['serdes'])


def stored(v, hw_ports, **fixed):
    """Every wiring field the argument of its name (None when the list has no
    such parameter), `hw_ports` made by the given rule, some values fixed."""
    fields = dict((name, v.get(name)) for name in WIRING)
    fields['oversub'] = v.get('oversub', False)
    fields['hw_ports'] = hw_ports(v)
    fields.update(fixed)
    return fields


def family(prefix, **extra):
    return lambda v: dict(stored(v, names(prefix)), **extra)


def short_family(v):
    return stored(v, names('hg'))


def short_named(v):
    return stored(v, lambda v: v['hw_ports'])


def fixed_layer(prefix, layer, **extra):
    return lambda v: dict(stored(v, names(prefix), phy_layer=layer), **extra)


def single_values(v):
    return {'phy_types': (v['phy_type'],), 'phy_addrs': (v['phy_addr'],)}


def single_1g(v):
    return stored(v, lambda v: (v['hw_port'],), phy_layer='1GBaseT', **single_values(v))


def single(v):
    return stored(v, lambda v: (v['hw_port'],), **single_values(v))


def single_serdes(v):
    return stored(v, lambda v: ('hg%u' % v['serdes'],), phy_types=(v['phy_type'],), phy_addrs=(v['phy_addr'],))


def single_fabric(v):
    return stored(v, lambda v: (v['hw_port'],), phy_types=(None,), phy_addrs=(None,))


def fabric(prefix, speed, kind, layer=None, sdk_group=False, keep=()):
    def expect(v):
        fields = dict((name, None) for name in WIRING)
        fields.update((name, v[name]) for name in ('label',) + LANES[:4] + keep)
        fields.update(hw_ports=names(prefix)(v), phy_layer=layer, unit=0, oversub=True,
                      _serdes_intf_map={speed: kind})
        if sdk_group:
            fields['sdk_group'] = v['sdk_group']
        return fields
    return expect


def with_extra(rule, **extra):
    def expect(v):
        fields = rule(v)
        for name, value in extra.items():
            fields[name] = value(v) if callable(value) else value
        return fields
    return expect


# class, parameter list, what its ports hold
CONSTRUCTORS = [
    # family bases
    ('TridentTwoPort', FAMILY, family('hg')),
    ('TridentThreePort', FAMILY, family('ce')),
    ('TomahawkPort', FAMILY, family('ce')),
    ('MaverickPort', FAMILY, family('xe')),
    ('QumranPort', FAMILY, family('xe', dnx=True)),
    ('TridentPort', SHORT, short_family),
    ('Helix4Port', SHORT_NAMED, short_named),
    ('Hurricane2Port', SHORT_NAMED, short_named),
    # one interface
    ('Helix41GPort', SINGLE_1G, single_1g),
    ('Hurricane21GPort', SINGLE_1G, single_1g),
    ('Helix410GPort', SINGLE, single),
    ('Hurricane210GPort', SINGLE, single),
    ('Trident10GPort', SINGLE_SERDES, single_serdes),
    ('Hurricane213GPort', SINGLE_13G, single),
    ('Hurricane213GFabricPort', SINGLE_FABRIC, single_fabric),
    # keyword forwarding
    ('TridentTwo10GPort', FORWARDING, family('hg')),
    ('TridentTwo40GPort', FORWARDING, family('hg')),
    ('TridentTwoPlus10GPort', FORWARDING, family('hg')),
    ('TridentThreeMGPort', FORWARDING, family('ce')),
    ('Tomahawk25GPort', FORWARDING, family('ce')),
    ('Tomahawk100GPort', FORWARDING, family('ce')),
    ('TomahawkMgmt10GPort', FORWARDING, family('ce')),
    ('TomahawkTwoPort', FORWARDING, family('ce')),
    ('TomahawkThreePort', FORWARDING, family('ce')),
    ('TomahawkThree100GPort', FORWARDING, family('ce')),
    ('Maverick10GPort', FORWARDING, family('xe')),
    ('Qumran10GPort', FORWARDING, family('xe', dnx=True)),
    # fixed PHY layer
    ('Maverick100GPort', FIXED, fixed_layer('xe', 'QSFP28')),
    ('Qumran100GPort', FIXED, fixed_layer('xe', 'QSFP28', dnx=True)),
    ('Maverick40GPort', FIXED, fixed_layer('xe', 'QSFP+')),
    ('Qumran40GPort', FIXED, fixed_layer('xe', 'QSFP+', dnx=True)),
    ('TridentTwoPlus40GPort', FIXED, fixed_layer('hg', 'QSFP+')),
    ('Trident40GPort', FIXED_SHORT, fixed_layer('hg', 'QSFP+')),
    # fabric
    ('TridentTwo10GFabricPort', TRIDENT_TWO_FABRIC, fabric('hg', 10, 'KR', keep=DRIVE[:3])),
    ('Tomahawk100GFabricPort', TOMAHAWK_FABRIC, fabric('ce', 100, 'KR4', sdk_group=True)),
    ('Maverick40GFabricPort', MAVERICK_40G_FABRIC, fabric('xe', 40, 'KR4', layer='QSFP+', sdk_group=True)),
    ('Maverick10GFabricPort', MAVERICK_10G_FABRIC, fabric('xe', 10, 'KR', keep=DRIVE[:3])),
    # extra settings
    ('TridentThree100GPort', FORWARDING, family('ce', default_mode='100G')),
    ('TridentThree25GPort', FORWARDING, family('ce', default_mode='25G')),
    ('TridentThree10GPort', FORWARDING, family('ce', default_mode='10G')),
    ('Minipack100GPort', FORWARDING, with_extra(family('ce'), name_override='sw2p10')),
    ('TomahawkTwo100GPort', ADJACENT,
     with_extra(family('ce'), adj_label=lambda v: v['adj_label'], blocked_adj_split=lambda v: v['blocked_adj_split'])),
]


class Marker(object):
    """A distinct value for one argument."""
    def __init__(self, name):
        self.name = name

    def __repr__(self):
        return '<%s>' % self.name


def values_for(cls_name, params):
    """A distinct value for every parameter: serdes numbers where names are
    made from them, a label the Minipack port can read."""
    v = dict((name, Marker(name)) for name in params)
    if 'serdes' in v:
        v['serdes'] = 5 if cls_name == 'Trident10GPort' else [7, 3, 3]
    v['label'] = 'x2y10'
    return v


def fields_of(port):
    return dict((name, getattr(port, name)) for name in port.__dict__)


class ConstructorTableTest(unittest.TestCase):
    def check_port(self, port, want, what):
        want = dict(want, label=want['label'], sfp=None)
        got = fields_of(port)
        self.assertEqual(sorted(got), sorted(want), what)
        for name, value in want.items():
            if isinstance(value, Marker) or value is None or isinstance(value, bool):
                self.assertIs(got[name], value, '%s: %s' % (what, name))
            else:
                self.assertEqual((type(got[name]), got[name]), (type(value), value), '%s: %s' % (what, name))

    def test_table_covers_every_port_class_with_a_constructor(self):
        ports = set(name for name in dir(brontile)
                    if name.endswith('Port') and issubclass(getattr(brontile, name), brontile.BCMPort)
                    and name != 'BCMPort')
        self.assertEqual(ports - set(row[0] for row in CONSTRUCTORS), set(['TridentTwoPlusPort']))
        self.assertEqual(len(CONSTRUCTORS), 42)
        # its ports are built by TridentTwoPort's constructor, with "hg" names
        self.assertNotIn('__init__', brontile.TridentTwoPlusPort.__dict__)
        port = brontile.TridentTwoPlusPort('p', (2,), None, None, None, None, None)
        self.assertEqual(port.hw_ports, ('hg2',))

    def test_positional_keyword_and_required_only_calls(self):
        for cls_name, params, expect in CONSTRUCTORS:
            cls = getattr(brontile, cls_name)
            order, defaults = signature(params)
            v = values_for(cls_name, order)
            required = [name for name in order if name not in defaults]
            shuffled = list(order)
            random.Random(len(order)).shuffle(shuffled)

            class Sub(cls):
                pass

            calls = [
                ('positional', cls, [v[name] for name in order], {}),
                ('keyword', cls, [], dict((name, v[name]) for name in shuffled)),
                ('mixed', Sub, [v[name] for name in order[:3]], dict((name, v[name]) for name in order[3:])),
            ]
            for how, kind, args, kwargs in calls:
                self.check_port(kind(*args, **kwargs), expect(v), '%s %s' % (cls_name, how))
            bound = dict(defaults, **dict((name, v[name]) for name in required))
            port = cls(*[v[name] for name in required])
            self.check_port(port, expect(bound), '%s required only' % cls_name)

    def test_argument_count_errors_count_the_object(self):
        for cls_name, params, _ in CONSTRUCTORS:
            cls = getattr(brontile, cls_name)
            order, defaults = signature(params)
            n, required = len(order), len(order) - len(defaults)
            few = 'at least' if defaults else 'exactly'
            many = 'at most' if defaults else 'exactly'
            cases = [
                ([None] * (required - 1), {}, '__init__() takes %s %d arguments (%d given)' % (few, required + 1,
                                                                                              required)),
                ([None] * (n + 1), {}, '__init__() takes %s %d arguments (%d given)' % (many, n + 1, n + 2)),
                # keywords count among the given arguments when there are too many
                ([None] * (n + 1), {'label': None}, '__init__() takes %s %d arguments (%d given)' % (many, n + 1,
                                                                                                    n + 3)),
            ]
            for args, kwargs, message in cases:
                obj = cls.__new__(cls)
                e = raised(lambda: cls.__init__(obj, *args, **kwargs))
                self.assertIsInstance(e, TypeError, cls_name)
                self.assertEqual(str(e), message, cls_name)
                self.assertEqual(obj.__dict__, {}, cls_name)

    def test_keyword_errors_name_the_parameter(self):
        for cls_name, params, _ in CONSTRUCTORS:
            cls = getattr(brontile, cls_name)
            order, defaults = signature(params)
            required = [None] * (len(order) - len(defaults))
            cases = [
                ({'bogus': 1}, "__init__() got an unexpected keyword argument 'bogus'"),
                ({'label': 1}, "__init__() got multiple values for keyword argument 'label'"),
            ]
            for kwargs, message in cases:
                obj = cls.__new__(cls)
                e = raised(lambda: cls.__init__(obj, *required, **kwargs))
                self.assertIsInstance(e, TypeError, cls_name)
                self.assertEqual(str(e), message, cls_name)
                self.assertEqual(obj.__dict__, {}, cls_name)

    def test_parameters_of_other_lists_are_refused(self):
        cases = [
            ('TomahawkPort', 'hw_ports'), ('TridentPort', 'oversub'), ('Helix4Port', 'serdes'),
            ('Tomahawk100GPort', 'hw_ports'), ('Helix410GPort', 'prim_offset'), ('Hurricane213GFabricPort', 'phy_type'),
            ('TridentTwo10GFabricPort', 'unit'), ('Tomahawk100GFabricPort', 'pre_emphasis'),
            ('Maverick40GFabricPort', 'phy_layer'), ('Trident40GPort', 'sys_interface'),
            ('TridentThree100GPort', 'adj_label'), ('TridentThree25GPort', 'blocked_adj_split'),
            ('Minipack100GPort', 'adj_label'), ('TomahawkThree100GPort', 'blocked_adj_split'),
        ] + [(name, 'phy_layer') for name in ('Maverick100GPort', 'Qumran100GPort', 'Maverick40GPort',
                                               'Qumran40GPort', 'TridentTwoPlus40GPort', 'Trident40GPort')]
        rows = dict((row[0], row) for row in CONSTRUCTORS)
        for cls_name, keyword in cases:
            order, defaults = signature(rows[cls_name][1])
            v = values_for(cls_name, order)
            args = [v[name] for name in order if name not in defaults]
            e = raised(lambda: getattr(brontile, cls_name)(*args, **{keyword: None}))
            self.assertEqual(str(e), "__init__() got an unexpected keyword argument '%s'" % keyword, cls_name)

    def test_keywords_as_unicode(self):
        port = brontile.Tomahawk100GPort(**{u'label': 'a', u'serdes': (1,), u'phy_types': None, u'phy_addrs': None,
                                            u'phy_layer': None, u'leds': None, u'unit': 0})
        self.assertEqual(port.hw_ports, ('ce1',))


class Recorder(object):
    """Stands in for a class: records how its constructor is called."""
    def __init__(self):
        self.calls = []
        recorder = self

        class StandIn(object):
            def __init__(*args, **kwargs):
                recorder.calls.append((args, kwargs, dict(args[0].__dict__)))
            __init__ = staticmethod(__init__)
        self.cls = StandIn


FORWARDED = ('label', 'serdes', 'phy_types', 'phy_addrs', 'phy_layer', 'prim_offset', 'leds', 'unit',
             'rx_polarity_flip', 'tx_polarity_flip', 'rx_lane_map', 'tx_lane_map', 'mdi_pair_map', 'pre_emphasis',
             'drv_current', 'pre_drv_current', 'oversub', 'phy_id1', 'sys_interface')


class BaseCallTest(unittest.TestCase):
    """Each constructor runs the constructor of the class it names, looked up
    in the module when it is called, with the object alone by position."""

    # class, the class it names, keywords passed: (names given through, values fixed)
    CASES = [
        ('Tomahawk100GPort', 'TomahawkPort', FORWARDED, {}),
        ('TomahawkThree100GPort', 'TomahawkThreePort', FORWARDED, {}),
        ('TridentTwoPlus10GPort', 'TridentTwoPlusPort', FORWARDED, {}),
        ('Maverick100GPort', 'MaverickPort', tuple(n for n in FORWARDED if n != 'phy_layer'),
         {'phy_layer': 'QSFP28'}),
        ('Trident40GPort', 'TridentPort', FORWARDED[:13][:4] + FORWARDED[5:13], {'phy_layer': 'QSFP+'}),
        ('Helix41GPort', 'Helix4Port', ('label', 'prim_offset', 'leds', 'unit'),
         {'phy_layer': '1GBaseT', 'hw_ports': ('<hw_port>',), 'phy_types': ('<phy_type>',),
          'phy_addrs': ('<phy_addr>',)}),
        ('Hurricane213GPort', 'Hurricane2Port', ('label', 'phy_layer', 'leds', 'unit') + LANES,
         {'prim_offset': None, 'hw_ports': ('<hw_port>',), 'phy_types': ('<phy_type>',),
          'phy_addrs': ('<phy_addr>',)}),
        ('Trident10GPort', 'TridentPort', ('label', 'phy_layer', 'leds', 'unit') + LANES,
         {'prim_offset': None, 'serdes': ('<serdes>',), 'phy_types': ('<phy_type>',),
          'phy_addrs': ('<phy_addr>',)}),
        ('Hurricane213GFabricPort', 'Hurricane213GPort', ('label', 'hw_port', 'unit'), {}),
        ('TridentTwo10GFabricPort', 'TridentTwo10GPort', ('label', 'serdes') + LANES[:4] + DRIVE[:3],
         {'leds': None, 'phy_types': None, 'phy_addrs': None, 'phy_layer': None, 'oversub': True, 'unit': 0}),
        ('Tomahawk100GFabricPort', 'Tomahawk100GPort', ('label', 'serdes') + LANES[:4],
         {'leds': None, 'phy_types': None, 'phy_addrs': None, 'phy_layer': None, 'oversub': True, 'unit': 0}),
        ('Maverick40GFabricPort', 'Maverick40GPort', ('label', 'serdes') + LANES[:4],
         {'leds': None, 'phy_types': None, 'phy_addrs': None, 'oversub': True, 'unit': 0}),
        ('Maverick10GFabricPort', 'Maverick10GPort', ('label', 'serdes') + LANES[:4] + DRIVE[:3],
         {'leds': None, 'phy_types': None, 'phy_addrs': None, 'phy_layer': None, 'oversub': True, 'unit': 0}),
        ('TridentThree10GPort', 'TridentThreePort', FORWARDED, {}),
        ('Minipack100GPort', 'TomahawkThree100GPort', FORWARDED, {}),
        ('TomahawkTwo100GPort', 'TomahawkTwoPort', FORWARDED, {}),
    ]

    def test_keywords_passed_to_the_named_class(self):
        rows = dict((row[0], row) for row in CONSTRUCTORS)
        for cls_name, base, through, fixed in self.CASES:
            order, _ = signature(rows[cls_name][1])
            v = dict((name, Marker(name)) for name in order)
            recorder = Recorder()
            cls = getattr(brontile, cls_name)
            obj = cls.__new__(cls)
            with patch(brontile, base, recorder.cls):
                raised(lambda: cls.__init__(obj, **v))  # the Minipack name needs a label
            self.assertEqual(len(recorder.calls), 1, cls_name)
            args, kwargs, _ = recorder.calls[0]
            self.assertEqual(len(args), 1, cls_name)
            self.assertIs(args[0], obj, cls_name)
            want = dict((name, v[name]) for name in through)
            want.update(fixed)
            got = dict((k, repr(x) if isinstance(x, Marker) else
                        tuple(repr(i) for i in x) if isinstance(x, tuple) else x) for k, x in kwargs.items())
            want = dict((k, repr(x) if isinstance(x, Marker) else x) for k, x in want.items())
            self.assertEqual(got, want, cls_name)

    def test_family_bases_run_the_generic_constructor_positionally(self):
        v = dict((name, Marker(name)) for name in signature(FAMILY)[0])
        v['serdes'] = (4, 5)
        recorder = Recorder()
        with patch(brontile, 'BCMPort', recorder.cls):
            brontile.TridentTwoPort(**v)
            v['hw_ports'] = v.pop('serdes')
            brontile.Helix4Port(**dict((k, v[k]) for k in signature(SHORT_NAMED)[0]))
        (args, kwargs, _), (short_args, short_kwargs, _) = recorder.calls
        self.assertEqual(kwargs, {})
        self.assertEqual(args[2], ('hg4', 'hg5'))
        self.assertEqual([a.name for a in args[1:2] + args[3:]], [n for n in WIRING if n != 'hw_ports'])
        self.assertIs(short_args[2], v['hw_ports'])
        self.assertEqual([a.name for a in short_args[1:2] + short_args[3:]], list(WIRING[:1] + WIRING[2:13]))
        self.assertEqual(short_kwargs, {'pre_emphasis': None, 'drv_current': None, 'pre_drv_current': None,
                                        'oversub': False, 'phy_id1': None, 'sys_interface': None})

    def test_fields_set_around_the_base_call(self):
        # before: default modes and adjacency survive the base; after: the
        # Linux name and the fabric's own tables
        cases = [
            ('TridentThree100GPort', 'TridentThreePort', {'default_mode': '100G'}, ()),
            ('TridentThree25GPort', 'TridentThreePort', {'default_mode': '25G'}, ()),
            ('TomahawkTwo100GPort', 'TomahawkTwoPort', {'adj_label': 'swp2', 'blocked_adj_split': 4}, ()),
            ('Minipack100GPort', 'TomahawkThree100GPort', {}, ('name_override',)),
            ('Tomahawk100GFabricPort', 'Tomahawk100GPort', {}, ('_serdes_intf_map', 'sdk_group')),
        ]
        rows = dict((row[0], row) for row in CONSTRUCTORS)
        for cls_name, base, before, after in cases:
            order, _ = signature(rows[cls_name][1])
            v = dict.fromkeys(order, 0)
            v.update((k, x) for k, x in (('label', 'x2y10'), ('adj_label', 'swp2'), ('blocked_adj_split', 4))
                     if k in v)
            recorder = Recorder()
            with patch(brontile, base, recorder.cls):
                port = getattr(brontile, cls_name)(**v)
            self.assertEqual(recorder.calls[0][2], before, cls_name)
            self.assertEqual(sorted(set(port.__dict__) - set(before)), sorted(after), cls_name)


class FabricTest(unittest.TestCase):
    def test_each_port_has_a_serdes_type_map_of_its_own(self):
        classes = [(brontile.TridentTwo10GFabricPort, ('a', (1,), 1, 2), 10, 'KR'),
                   (brontile.Tomahawk100GFabricPort, ('a', (1,), 1, 2, 3, 4), 100, 'KR4'),
                   (brontile.Maverick40GFabricPort, ('a', (1,), 1, 2, 3, 4), 40, 'KR4'),
                   (brontile.Maverick10GFabricPort, ('a', (1,), 1, 2, 3, 4), 10, 'KR')]
        for cls, args, speed, kind in classes:
            one, two = cls(*args), cls(*args)
            self.assertIsNot(one._serdes_intf_map, two._serdes_intf_map, cls.__name__)
            one._serdes_intf_map[25] = 'SR'
            self.assertEqual(two._serdes_intf_map, {speed: kind}, cls.__name__)
            self.assertEqual(brontile.SDKPort._serdes_intf_map, {}, cls.__name__)
            self.assertEqual(two.serdes_if_type(speed), kind, cls.__name__)
            self.assertIsNone(two.serdes_if_type(1), cls.__name__)

    def test_sdk_group_only_where_stored(self):
        self.assertIsNone(brontile.Tomahawk100GFabricPort('a', (1,), 1, 2, 3, 4).__dict__['sdk_group'])
        self.assertEqual(brontile.Maverick40GFabricPort('a', (1,), 1, 2, 3, 4, 9).__dict__['sdk_group'], 9)
        self.assertNotIn('sdk_group', brontile.Maverick10GFabricPort('a', (1,), 1, 2, 3, 4).__dict__)


class FailureTest(unittest.TestCase):
    def test_serdes_that_cannot_be_named_leaves_no_field(self):
        for cls, serdes in ((brontile.TomahawkPort, 5), (brontile.MaverickPort, None),
                            (brontile.TridentPort, ['a']), (brontile.Tomahawk100GPort, [None]),
                            (brontile.Qumran100GPort, 5)):
            obj = cls.__new__(cls)
            args = ['p', serdes, None, None, None, None] + ([] if cls is brontile.Qumran100GPort else [None])
            e = raised(lambda: cls.__init__(obj, *args))
            self.assertIsInstance(e, TypeError, cls.__name__)
            self.assertEqual(obj.__dict__, {}, cls.__name__)

    def test_serdes_is_walked_as_given(self):
        port = brontile.TomahawkPort('p', iter([3, 1, 1]), None, None, None, None, None)
        self.assertEqual(port.hw_ports, ('ce3', 'ce1', 'ce1'))
        self.assertEqual(brontile.MaverickPort('p', [], None, None, None, None, None).hw_ports, ())

    def test_minipack_label_too_short(self):
        for label, error in (('x', IndexError), (5, TypeError)):
            obj = brontile.Minipack100GPort.__new__(brontile.Minipack100GPort)
            e = raised(lambda: obj.__init__(label, (1,), None, None, None, None, 0))
            self.assertIsInstance(e, error, repr(label))
            self.assertIs(obj.label, label)
            self.assertIsNone(obj.name_override)
            self.assertNotIn('name_override', obj.__dict__)
        self.assertEqual(brontile.Minipack100GPort('x2y', (1,), None, None, None, None, 0).name_override, 'sw2p')


class SubclassTest(unittest.TestCase):
    """Outside code subclasses the port classes; what the constructors read
    they read through the object."""

    def test_default_mode_from_the_subclass_modes(self):
        class Slow(brontile.TridentThree25GPort):
            modes = ('10G', '25G')
            default_mode = '25G'

        class Stubborn(brontile.TridentThree100GPort):
            default_mode = '40G'

        args = ('p', (1,), None, None, None, None, 0)
        self.assertEqual(Slow(*args).default_mode, '10G')
        self.assertEqual(Stubborn(*args).default_mode, '100G')

        class Empty(brontile.TridentThree10GPort):
            modes = ()

        obj = Empty.__new__(Empty)
        self.assertIsInstance(raised(lambda: obj.__init__(*args)), IndexError)
        self.assertEqual(obj.__dict__, {})

    def test_subclass_constructor_over_a_port_constructor(self):
        class Uplink(brontile.Maverick100GPort):
            def __init__(self, label, first):
                brontile.Maverick100GPort.__init__(self, label, range(first, first + 4), None, None, None,
                                                   unit=1, oversub=True)

        port = Uplink('swp49', 4)
        self.assertEqual(port.hw_ports, ('xe4', 'xe5', 'xe6', 'xe7'))
        self.assertEqual((port.phy_layer, port.unit, port.oversub), ('QSFP28', 1, True))
        self.assertEqual(port.complete_mode(port, '4x'), '4x25G')

    def test_rebound_family_base_is_honoured_by_its_subclasses(self):
        real = brontile.TomahawkPort

        def family_init(self, **kwargs):
            real.__init__(self, **kwargs)
            self.seen = sorted(kwargs)

        class Family(object):
            __init__ = staticmethod(family_init)

        with patch(brontile, 'TomahawkPort', Family):
            port = brontile.Tomahawk25GPort('p', (1,), None, None, None, None, 0)
        self.assertEqual(port.seen, sorted(FORWARDED))
        self.assertEqual(port.hw_ports, ('ce1',))

    def test_dnx_from_the_qumran_family(self):
        args = ('p', (0, 1, 2, 3), None, None, None, None, None)
        self.assertIs(brontile.QumranPort(*args).is_dnx(), True)
        self.assertIs(brontile.MaverickPort(*args).is_dnx(), False)
        self.assertNotIn('dnx', brontile.MaverickPort(*args).__dict__)


if __name__ == '__main__':
    unittest.main()
