"""Sample platform: a 1U switch on a Maverick (56762), 48 SFP+ cages and 4
QSFP28 cages on the front panel, and two fabric links to the chassis
backplane: one 40G KR4 link in SDK port group 1 and one 10G KR link.

Wiring: the SFP+ cages take lanes 0 to 47 in front-panel order, four to a
serdes core, so that a group of four can run as one 40G port; the QSFP28 cages
take lanes 48 to 63 and the fabric links lanes 64 to 68. One LED processor
drives the whole front panel.
"""
import os

import brontile
import glimra

from _common import LedClaims, Sfp

NAME = 'maverick'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')


class SfpPlusPort(LedClaims, brontile.Maverick10GPort):
    """An SFP+ cage: one lane, one LED."""
    led_call = 'sfpplus'


class Qsfp28Port(LedClaims, brontile.Maverick100GPort):
    """A QSFP28 cage: four lanes, one LED per lane."""
    led_call = 'qsfp28'
    led_lanes = 4


class LedController(glimra.MaverickLEDController):
    num_leds = 64


class MaverickPlatform(brontile.Platform):
    name = NAME


def _sfp_ports():
    ports = []
    for cage in range(48):
        core_map = (0x1032, 0x3210, 0x2301)[cage // 4 % 3]
        port = SfpPlusPort(str(cage + 1), (cage,), None, None, 'SFP+', (0, cage), 0,
                           rx_lane_map=core_map, rx_polarity_flip=cage % 7 == 3,
                           tx_lane_map=core_map, tx_polarity_flip=False,
                           drv_current=[0x6] if cage >= 44 else None)
        port.sfp = Sfp('SFP+', 'i2c-sdk', 0x50 + cage % 2)
        ports.append(port)
    return ports


def _qsfp_ports():
    ports = []
    for cage in range(4):
        lanes = range(48 + 4 * cage, 52 + 4 * cage)
        port = Qsfp28Port(str(49 + cage), lanes, None, None, (0, 48 + 4 * cage), 0,
                          rx_lane_map=0x2130, rx_polarity_flip=(0x5, 0xa, 0x0, 0x7)[cage],
                          tx_lane_map=0x0312, tx_polarity_flip=(0x0, 0x2, 0x9, 0x0)[cage],
                          pre_emphasis=[0x284008, 0x284008, 0x284008, 0x284008])
        port.sfp = Sfp('QSFP28', 'i2c-sdk', 0x50)
        ports.append(port)
    return ports


def platform():
    switch = brontile.BCMSwitch(brontile.Maverick_56762_Chip())
    switch.ports = (_sfp_ports() + _qsfp_ports() +
                    [brontile.Maverick40GFabricPort('1', (64, 65, 66, 67), 0x3210, 0x0, 0x3210, 0x4, sdk_group=1),
                     brontile.Maverick10GFabricPort('2', (68,), 0x3210, True, 0x3210, False)])
    switch.glimra = LedController
    switch.has_phy_ucode_spi_rom = True
    p = MaverickPlatform()
    p.switch = switch
    return p
