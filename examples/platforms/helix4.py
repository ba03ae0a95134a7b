"""Sample platform: a 1U management switch on a Helix4, 48 RJ45 ports on six
octal 1G PHYs and 4 RJ45 10G uplinks on a quad 10GBASE-T PHY.

Wiring: the 1G ports take the chip's ge0 to ge47 in front-panel order, eight
to a PHY; the uplinks take its hg0 to hg3. One LED processor drives all LEDs.
"""
import os

import brontile
import glimra

from _common import LedClaims

NAME = 'helix4'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')


class CopperPort(LedClaims, brontile.Helix41GPort):
    """A 1G RJ45 port behind an octal PHY."""
    led_call = 'copper'
    # The PHY's LED mode register, set on every PHY at start-up.
    phy_init = {'0x1e 0x401a': '0x0213'}


class UplinkPort(LedClaims, brontile.Helix410GPort):
    """A 10GBASE-T uplink."""
    led_call = 'uplink'


class LedController(glimra.Helix4LEDController):
    num_leds = 52


class Helix4Platform(brontile.Platform):
    name = NAME


def _copper_ports():
    ports = []
    for n in range(48):
        # Two MDIO buses of three PHYs each; on a bus the PHYs follow one
        # another at eight addresses each.
        addr = 0x20 * (n // 24) + 0x08 + n % 24
        # Primary port of the octal PHY (its first port, counted from 1) and
        # this port's offset on it.
        prim_offset = ((n // 8 * 8 + 1) << 8) | n % 8
        ports.append(CopperPort(str(n + 1), 'ge%d' % n, '54182', addr, '1GBaseT', (0, n), 0, prim_offset))
    return ports


def _uplinks():
    return [UplinkPort(str(49 + n), 'hg%d' % n, '84328', 0x44 + n, '10GBaseT', (0, 48 + n), 0,
                       rx_polarity_flip=n in (1, 2), tx_polarity_flip=n == 3, mdi_pair_map=0x3210)
            for n in range(4)]


def platform():
    switch = brontile.BCMSwitch(brontile.Helix4Chip())
    switch.ports = _copper_ports() + _uplinks()
    switch.glimra = LedController
    p = Helix4Platform()
    p.switch = switch
    return p
