"""The per-unit port script and the range notation of its port lists."""
import unittest

import lanquist
from tabkit import CPort, configured, small_platform, with_ports


class CompressTest(unittest.TestCase):
    def test_range_notation(self):
        compress = with_ports([])._compress_portlist
        cases = (
            (['xe2', 'xe0', 'xe1'], 'xe0-xe2'),
            (['xe0', 'xe1', 'xe3', 'xe4'], 'xe0,xe1,xe3,xe4'),
            (['xe5', 'ge1', 'xe0', 'ge2', 'xe1', 'ge3', 'xe2'], 'ge1-ge3,xe0-xe2,xe5'),
            (['xe9', 'xe10', 'xe11', 'xe12'], 'xe9-xe12'),
            (['xe1', 'xe1', 'xe2'], 'xe1,xe1,xe2'),
            ([], ''),
            (['xe101', 'xe1000', 'xe100'], 'xe100,xe1000,xe101'),
            (['ce3', 'xe4', 'xe5'], 'ce3,xe4,xe5'),
            (('xe%d' % n for n in (7, 6, 5, 9)), 'xe5-xe7,xe9'),
            ([u'xe0', 'xe1', u'xe2'], u'xe0-xe2'),
            (['xe 3', 'xe+4', 'xe05'], 'xe 3-xe05'),
        )
        for portlist, expected in cases:
            self.assertEqual(compress(portlist), expected, expected)
        self.assertIs(type(compress([u'xe0'])), unicode)

    def test_a_number_that_is_no_integer(self):
        compress = with_ports([])._compress_portlist
        for portlist in (['xe0', 'xeA'], ['xe'], ['xe1.5']):
            self.assertRaises(ValueError, compress, portlist)
        self.assertRaises(TypeError, compress, [5])
        self.assertRaises(TypeError, compress, 5)
        self.assertRaises(TypeError, compress)


class ScriptTest(unittest.TestCase):
    def test_small_platform(self):
        c = configured(small_platform())
        self.assertEqual(c.output('rcports_0'), 'setenv allports xe1-xe5\nsetenv 40Gports xe5\nsetenv 10Gports xe1-xe4')
        self.assertEqual(c.output('rcports_1'),
                         'setenv allports xe1,xe2\nsetenv 100Gports xe1,xe2\nsetenv lbports xe1\nport $lbports lb=mac')

    def test_lists_per_speed_loopback_and_group(self):
        ports = [CPort(['a'], ['xe%d' % n], speed=10, loopback=(n == 2)) for n in range(4)]
        ports.append(CPort(['b'], ['ce0'], speed=100, sdk_group=1))
        ports.append(CPort(['c'], ['xe9'], unit=1, loopback=True))
        self.assertEqual(with_ports(ports).rcports(0), '\n'.join([
            'setenv allports ce0,xe0-xe3',
            'setenv 10Gports xe0-xe3',
            'setenv 100Gports ce0',
            'setenv lbports xe2',
            'port $lbports lb=mac',
            'setenv sdk_group_1 ce0']))

    def test_edges(self):
        cases = (
            ('no port of the unit', [CPort(['a'], unit=1)], 'setenv allports '),
            ('two logical ports', [CPort(['a', 'b'], ['xe3', 'xe4'], speed=25, loopback=1, sdk_group='g')],
             'setenv allports xe3,xe4\nsetenv 25Gports xe3,xe4\nsetenv lbports xe3,xe4\nport $lbports lb=mac\n'
             'setenv sdk_group_g xe3,xe4'),
            ('speed 1.0 and group 0', [CPort(['a'], speed=1.0, sdk_group=0)],
             'setenv allports xe0\nsetenv 1Gports xe0\nsetenv sdk_group_0 xe0'),
            ('speed 2.5, empty group', [CPort(['a'], speed=2.5, sdk_group='', loopback=0)],
             'setenv allports xe0\nsetenv 2.5Gports xe0\nsetenv sdk_group_ xe0'),
            ('no logical port', [CPort([], speed=40)], 'setenv allports '),
            ('speeds 1 and 1.0 share a list', [CPort(['a'], ['ge1'], speed=1), CPort(['b'], ['ge2'], speed=1.0)],
             'setenv allports ge1,ge2\nsetenv 1Gports ge1,ge2'),
        )
        for what, ports, expected in cases:
            self.assertEqual(with_ports(ports).rcports(0), expected, what)

    def test_unit_by_equality_and_lists_through_the_object(self):
        class Own(lanquist.BCMConfig):
            def _compress_portlist(self, portlist):
                return '|'.join(portlist)

        c = with_ports([CPort(['a'], ['xe1']), CPort(['b'], ['xe0'], unit=0L)])
        c.__class__ = Own
        self.assertEqual(c.rcports(0.0), 'setenv allports xe1|xe0\nsetenv 40Gports xe1|xe0')
        self.assertRaises(TypeError, c.rcports)


if __name__ == '__main__':
    unittest.main()
