"""Callers a port must survive: overrides that mutate the caller's keyword
dict, error classes rebound to things that are not exceptions, keyword names
given as unicode."""
import unittest

import brontile
from portkit import WIRING, QuadPort, make_port, raised
from support import patch


def fresh(text):
    """An equal string that only the caller holds (literals are shared)."""
    return ''.join(list(text))


class KeywordDictClearedTest(unittest.TestCase):
    def test_hw_intf_survives_an_override_that_clears_the_callers_dict(self):
        # The interpreter hands a C method the caller's own **kw dict; the
        # override empties it while hw_intf still needs mode and sub.
        class Clearing(QuadPort):
            def hw_intf_prefix(self, mode, sub):
                self.kw.clear()
                # Reuse the freed memory, as any later allocation might.
                self.litter = [fresh('4x25G') for _ in range(50)]
                return QuadPort.hw_intf_prefix(self, mode, sub)

        port = make_port(Clearing, hw_ports=('ce0', 'ce1', 'ce2', 'ce3'))
        for mode, sub, expected in (('2x50G', 1, 'ce2'), ('4x25G', 3, 'ce3'), ('100G', 0, 'ce0')):
            port.kw = {'mode': fresh(mode), 'sub': sub}
            self.assertEqual(port.hw_intf(**port.kw), expected, mode)
            self.assertEqual(port.kw, {}, mode)

    def test_constructor_survives_an_override_that_clears_the_callers_dict(self):
        # Port's constructor (looked up at call time) runs before the other
        # fields are stored.
        fields = dict((name, fresh('v-' + name)) for name in WIRING)
        expected = dict((name, fresh(value)) for name, value in fields.items())
        litter = []

        def clear(obj, label):
            fields.clear()
            litter.extend(fresh('x' * len(v)) for v in expected.values() for _ in range(3))

        class Clearing(object):
            __init__ = staticmethod(clear)

        with patch(brontile, 'Port', Clearing):
            port = brontile.SDKPort(**fields)
        self.assertEqual(fields, {})
        for name in WIRING[1:]:
            self.assertEqual(getattr(port, name), expected[name], name)


class StoreOrderTest(unittest.TestCase):
    def test_a_setattr_override_sees_the_fields_in_their_order(self):
        seen = []

        class Recording(brontile.BCMPort):
            def __setattr__(self, name, value):
                seen.append(name)
                brontile.BCMPort.__setattr__(self, name, value)

        make_port(Recording, label='1')
        rest = [name for name in WIRING if name not in ('label', 'hw_ports', 'prim_offset')]
        self.assertEqual(seen, ['label', 'sfp', 'hw_ports', 'prim_offset'] + rest)


class ReboundErrorClassTest(unittest.TestCase):
    def test_a_name_that_is_no_exception_class_gives_type_error(self):
        not_raisable = [str, 42, None, object, RuntimeError('an instance')]
        for value in not_raisable:
            with patch(brontile, 'NoSuchMode', value):
                e = raised(lambda: QuadPort.speed('9x9G'))
            self.assertIsInstance(e, TypeError, repr(value))
            self.assertNotIsInstance(e, SystemError, repr(value))
        # Restored: the real class again.
        self.assertIsInstance(raised(lambda: QuadPort.speed('9x9G')), brontile.NoSuchMode)

    def test_any_exception_class_is_raised_with_the_message(self):
        class Old:  # a classic class is raisable in Python 2
            def __init__(self, message):
                self.message = message

        for cls in (KeyError, Old):
            with patch(brontile, 'NoSuchMode', cls):
                try:
                    QuadPort.speed('9x9G')
                except cls as e:
                    self.assertTrue(e.message.startswith('error: mode not found: 9x9G'), cls)
                else:
                    self.fail('%r not raised' % cls)


class UnicodeKeywordTest(unittest.TestCase):
    def test_unicode_keyword_names_are_taken_as_their_text(self):
        port = make_port(QuadPort, hw_ports=('ce0', 'ce1', 'ce2', 'ce3'))
        u = lambda **kw: dict((unicode(k), v) for k, v in kw.items())
        self.assertEqual(port.hw_intf(**u(mode='2x50G', sub=1)), 'ce2')
        self.assertEqual(port.hw_intf('2x50G', **u(sub=1)), 'ce2')
        self.assertEqual(QuadPort.speed(**u(mode='100G')), 100)
        self.assertEqual(port.port_mac_index(**u(mode='100G', mac_index=3, sub=1)), 4)
        self.assertIs(brontile.SDKSwitch(**u(chip=port)).chip, port)
        self.assertEqual(brontile.Port(**u(label='5')).label, '5')
        built = brontile.BCMPort(**u(**dict((name, name) for name in WIRING)))
        for name in WIRING:
            self.assertEqual(getattr(built, name), name)

    def test_unicode_keyword_errors_read_as_for_str(self):
        port = make_port(QuadPort, hw_ports=('ce0', 'ce1', 'ce2', 'ce3'))
        cases = [
            (lambda: port.hw_intf('2x50G', **{u'bogus': 1}), "hw_intf() got an unexpected keyword argument 'bogus'"),
            (lambda: port.hw_intf('2x50G', 1, **{u'mode': 1}),
             "hw_intf() got multiple values for keyword argument 'mode'"),
            (lambda: port.hw_intf(**{u'm\xe9de': 1}), 'hw_intf() keywords must be strings'),
        ]
        for call, message in cases:
            e = raised(call)
            self.assertIsInstance(e, TypeError, message)
            self.assertEqual(str(e), message)


if __name__ == '__main__':
    unittest.main()
