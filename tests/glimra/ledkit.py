"""Fixtures shared by the glimra suites: configured-port fakes, controller
classes as a platform would derive them, and the stand-in assembler."""
import os
import unittest

import glimra
import support

PULSIC = os.path.join(support.STUB_BIN, 'pulsic')
PROGRAMS = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'programs')

# A port routine as a platform writes one: its entry label is "set_led:".
ROUTINE = '\nset_led:\n        port    a\n        pushst  LINKUP\n        pack\n        ret\n'
PAD_LINE = '\n        call    pad_%s'


def controller(base=glimra.TridentTwoLEDController, **attrs):
    """A controller class derived as a platform definition derives one."""
    attrs.setdefault('num_leds', 8)
    return type('PlatformLEDController', (base,), attrs)


def port_call(name, port, routine=ROUTINE):
    return (name, routine, port)


def loaded(port, routine_name):
    """The main-loop lines of one call of a port routine."""
    return ['\n        ld      a,%u' % port, '\n        call    set_led_%s' % routine_name]


def pad_loop(bit, count):
    return ['\n        ld      a, %u' % count, '\n        call    pad_n_%s' % ('zero', 'one')[bit]]


def pads(bit, count):
    return [PAD_LINE % ('zero', 'one')[bit]] * count


class FakePort(object):
    """A configured port as the chain sees it. `claims` maps a sub-port to
    the LED claims it returns (a mapping), or is a function of
    (led_port, sub, led_index_list); every call is noted in `asked`."""

    def __init__(self, hw, leds=(0, 0), logical=1, claims=None, gang_label=None):
        self.hw = hw
        self.leds = leds
        self.num_logical_ports = logical
        self.claims = claims or {}
        self.gang_label = gang_label if gang_label is not None else 'p%s' % hw
        self.asked = []

    def hw_port_num(self, sub):
        assert sub == 0, sub
        return self.hw

    def set_leds(self, led_port, sub, led_index_list):
        self.asked.append((led_port, sub, list(led_index_list)))
        if callable(self.claims):
            return self.claims(led_port, sub, led_index_list)
        return dict(self.claims.get(sub, {}))


class GlimraCase(unittest.TestCase):
    """Every test starts from an empty shared run list."""

    def setUp(self):
        super(GlimraCase, self).setUp()
        glimra.BCMLEDController.call_list.clear()
        self.addCleanup(glimra.BCMLEDController.call_list.clear)


def hexdump(data):
    """The image the stand-in assembler makes of a program."""
    lines = []
    for i in range(0, len(data), 16):
        lines.append(' '.join('%02x' % ord(c) for c in data[i:i + 16]) + '\n')
    return ''.join(lines)
