"""Sample platform: a 1U top-of-rack switch on a Trident2 (56850), 48 SFP+
cages and 6 QSFP+ cages on the front panel, and one 10G KR link to the
microserver on the controller card, which the system treats as a fabric port.

Wiring: the SFP+ cages sit four to a serdes core, in reverse order within the
core (the cage labelled 4 is on the core's first lane), so that four
neighbouring cages can be joined into one 40G port. The QSFP+ cages take cores
16 to 21. The left half of the SFP+ cages has one LED processor, the right
half and the QSFP+ cages the other.
"""
import os

import brontile
import glimra

from _common import LedClaims, Sfp

NAME = 'trident2'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')


class SfpPlusPort(LedClaims, brontile.TridentTwo10GPort):
    """An SFP+ cage: one lane, one LED."""
    led_call = 'sfpplus'


class QsfpPlusPort(LedClaims, brontile.TridentTwo40GPort):
    """A QSFP+ cage: four lanes, one LED per lane."""
    led_call = 'qsfpplus'
    led_lanes = 4


class MicroserverPort(brontile.TridentTwo10GFabricPort):
    pass


class LedController(glimra.TridentTwoLEDController):
    num_leds = 48


class Trident2Platform(brontile.Platform):
    name = NAME


def _sfp_ports():
    ports = []
    for cage in range(48):
        lane = 4 * (cage // 4) + 3 - cage % 4
        controller, position = divmod(cage, 24)
        # The cages farthest from the chip get a stronger pre-emphasis.
        emphasis = [0x1e4a] if cage % 24 >= 20 else None
        port = SfpPlusPort(str(cage + 1), (lane,), None, None, 'SFP+', (controller, position), 0,
                           rx_lane_map=None, rx_polarity_flip=cage % 3 == 0,
                           tx_lane_map=None, tx_polarity_flip=cage % 5 == 2,
                           pre_emphasis=emphasis)
        port.sfp = Sfp('SFP+', 'i2c-sdk', 0x50)
        ports.append(port)
    return ports


def _qsfp_ports():
    wiring = ((0x1032, 0x0123, 0x9, 0x0), (0x3210, 0x3210, 0x0, 0x6))
    ports = []
    for cage in range(6):
        core = 16 + cage
        rx_map, tx_map, rx_flip, tx_flip = wiring[cage % 2]
        drive = [0xa, 0xa, 0xa, 0xa] if cage < 2 else None
        port = QsfpPlusPort(str(49 + cage), range(4 * core, 4 * core + 4), None, None, 'QSFP+',
                            (1, 24 + 4 * cage), 0,
                            rx_lane_map=rx_map, rx_polarity_flip=rx_flip,
                            tx_lane_map=tx_map, tx_polarity_flip=tx_flip,
                            pre_emphasis=[0x2c4a, 0x2c4a, 0x304a, 0x304a], drv_current=drive)
        port.sfp = Sfp('QSFP+', 'i2c-sdk', 0x50)
        ports.append(port)
    return ports


def platform():
    switch = brontile.BCMSwitch(brontile.TridentTwo_56850_Chip())
    switch.ports = (_sfp_ports() + _qsfp_ports() +
                    [MicroserverPort('1', (100,), 0x3210, 0x3210, False, True)])
    switch.glimra = LedController
    p = Trident2Platform()
    p.switch = switch
    return p
