"""What the sample platforms share, as a maker's platform package keeps it in
one place: the transceiver descriptor, the LED routine every port type calls
and the mixin that turns a cage's place on its LED chain into LED claims."""


class Sfp(object):
    """The transceiver descriptor of one cage: its type, how the switch reaches
    its EEPROM, and the address there."""

    def __init__(self, type, accessmethod, address):
        self.type = type
        self.accessmethod = accessmethod
        self.address = address


# One routine per call name. The entry label is written "set_led:" and renamed
# by the LED program generator; the inner labels carry the call name so that
# two routines never define the same label.
_ROUTINE = """
set_led:
        port    a
        pushst  LINKEN
        pushst  LINKUP
        tand
        pop
        jnc     %(name)s_off
        pushst  RX
        pushst  TX
        tor
        pop
        jnc     %(name)s_on
        ld      b,(BLINK_STATE_P)
        jmp     %(name)s_out
%(name)s_on:
        ld      b,0
        jmp     %(name)s_out
%(name)s_off:
        ld      b,1
%(name)s_out:
        push    b
        pack
        ret
"""


_routines = {}


def led_routine(name):
    """The routine text of call name `name`, made once."""
    text = _routines.get(name)
    if text is None:
        text = _routines[name] = _ROUTINE % {'name': name}
    return text


class LedClaims(object):
    """LED claims of a cage whose LEDs start at chain position `leds[1]` on
    controller `leds[0]`: one LED per lane (`led_lanes`). A logical port drives
    the LEDs of its own lanes: the first with its routine, the others are left
    to it (None). The leader of a gang lights the LED of every cage of its gang.
    Mixed into a catalogue port class ahead of it."""

    led_call = 'port'
    led_lanes = 1

    def set_leds(self, mode, led_port, sub, led_index_list):
        call = (self.led_call, led_routine(self.led_call), led_port)
        if mode in self.gang_modes:
            return dict((index, call) for index in led_index_list)
        per_sub = max(1, self.led_lanes // self.num_logical_ports(mode))
        first = self.leds[1] + sub * per_sub
        claims = {first: call}
        for led in range(first + 1, first + per_sub):
            claims[led] = None
        return claims
