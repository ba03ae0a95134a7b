"""Sample platform: a 1U switch on a Trident3 X7 (56870), 48 SFP28 cages and
8 QSFP28 cages on the front panel.

Wiring: the SFP28 cages take serdes cores 0 to 11 in front-panel order, four
cages to a core, so that each group of four can be joined into one 100G or
40G port; the QSFP28 cages take cores 17 to 24. Lanes 63 and 64, which the
chip numbers as ports 64 and 67, and lanes 125 to 127 (ports 128 to 130) are
left unused: the chip keeps those port numbers for itself. The SFP28 cages have one LED processor and the QSFP28 cages
another, each with a controller class of its own.
"""
import os

import brontile
import glimra

from _common import LedClaims, Sfp

NAME = 'trident3x7'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')


class Sfp28Port(LedClaims, brontile.TridentThree25GPort):
    """An SFP28 cage: one lane, one LED."""
    led_call = 'sfp28'


class Qsfp28Port(LedClaims, brontile.TridentThree100GPort):
    """A QSFP28 cage: four lanes, one LED per lane."""
    led_call = 'qsfp28'
    led_lanes = 4


class SfpLedController(glimra.BCMLEDController):
    ports_per_chain = 64
    num_leds = 48


class QsfpLedController(glimra.BCMLEDController):
    """Runs the locator program: its port map has room for 32 ports, as
    many as the eight cages give when every one is broken out into four."""
    ports_per_chain = 64
    num_leds = 32
    blink_period = 120
    has_phys_id = True


class Trident3x7Platform(brontile.Platform):
    name = NAME


def _sfp_ports():
    ports = []
    for cage in range(48):
        port = Sfp28Port(str(cage + 1), (cage,), None, None, 'SFP28', (0, cage), 0,
                         rx_polarity_flip=cage % 4 in (1, 2), tx_polarity_flip=cage % 6 == 5)
        port.sfp = Sfp('SFP28', 'i2c', '/sys/bus/i2c/devices/%d-0050' % (20 + cage))
        ports.append(port)
    return ports


def _qsfp_ports():
    wiring = ((0x0213, 0x3120, 0xc, 0x3), (0x3120, 0x0213, 0x1, 0x0),
              (0x2031, 0x1302, 0x0, 0xf), (0x1302, 0x2031, 0x6, 0x9))
    ports = []
    for cage in range(8):
        core = 17 + cage
        rx_map, tx_map, rx_flip, tx_flip = wiring[cage % 4]
        port = Qsfp28Port(str(49 + cage), range(4 * core, 4 * core + 4), None, None, 'QSFP28',
                          (1, 4 * cage), 0,
                          rx_lane_map=rx_map, rx_polarity_flip=rx_flip,
                          tx_lane_map=tx_map, tx_polarity_flip=tx_flip)
        port.sfp = Sfp('QSFP28', 'i2c', '/sys/bus/i2c/devices/%d-0050' % (70 + cage))
        ports.append(port)
    return ports


def platform():
    switch = brontile.BCMSwitch(brontile.TridentThreeX7_56870_Chip())
    switch.ports = _sfp_ports() + _qsfp_ports()
    switch.glimra = {0: SfpLedController, 1: QsfpLedController}
    p = Trident3x7Platform()
    p.switch = switch
    return p
