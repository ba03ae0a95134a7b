"""Sample platform: a 1U switch on a Tomahawk, 32 QSFP28 cages on the front
panel and one 100G KR4 fabric link on the chip's four remaining lanes, to the
service card behind it.

Wiring: the cages alternate between the two halves of the chip, top row
(odd labels) on serdes cores 0 to 15, bottom row (even labels) on cores 16 to
31, four lanes per cage. Each half of the front panel has its own LED
processor, with one LED per lane.
"""
import os

import brontile
import glimra

from _common import LedClaims, Sfp

NAME = 'tomahawk32'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')

CAGES = 32

# Lane swaps and polarity inversions repeat every four cores, as the board's
# trace routing does; each entry: rx lane map, tx lane map, rx polarity, tx polarity.
_CORE_WIRING = (
    (0x1032, 0x2301, 0x5, 0x0),
    (0x3210, 0x0123, 0x0, 0xa),
    (0x2301, 0x1032, 0x3, 0x4),
    (0x0123, 0x3210, 0x8, 0x1),
)


class Qsfp28Port(LedClaims, brontile.Tomahawk100GPort):
    """A QSFP28 cage: four lanes, one LED per lane."""
    led_call = 'qsfp28'
    led_lanes = 4


class FabricPort(brontile.Tomahawk100GFabricPort):
    pass


class LedController(glimra.TomahawkLEDController):
    num_leds = 64
    blink_period = 60


class Tomahawk32Platform(brontile.Platform):
    name = NAME


def cage_core(cage):
    """Serdes core of front-panel cage `cage` (0-based)."""
    return (cage % 2) * 16 + cage // 2


def front_ports(unit=0, first_label=1, first_controller=0):
    """The 32 cages of one chip, labelled from `first_label`, their LEDs on
    controllers `first_controller` and the next one."""
    ports = []
    for cage in range(CAGES):
        core = cage_core(cage)
        rx_map, tx_map, rx_flip, tx_flip = _CORE_WIRING[core % 4]
        label = str(first_label + cage)
        port = Qsfp28Port(label, range(4 * core, 4 * core + 4), None, None, 'QSFP28',
                          (first_controller + cage // 16, 4 * (cage % 16)), unit,
                          rx_lane_map=rx_map, rx_polarity_flip=rx_flip,
                          tx_lane_map=tx_map, tx_polarity_flip=tx_flip)
        port.sfp = Sfp('QSFP28', 'i2c', '/sys/bus/i2c/devices/%d-0050' % (10 + cage))
        ports.append(port)
    return ports


def platform():
    chip = brontile.TomahawkChip()
    switch = brontile.BCMSwitch(chip)
    fabric = FabricPort('1', (128, 129, 130, 131), 0x0, 0x6, 0x3210, 0x2031, sdk_group=1)
    switch.ports = front_ports() + [fabric]
    switch.glimra = LedController
    p = Tomahawk32Platform()
    p.switch = switch
    return p
