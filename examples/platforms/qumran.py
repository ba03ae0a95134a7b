"""Sample platform: a 1U edge router on a Qumran (88375), 48 SFP+ cages and
6 QSFP28 cages on the front panel. The port LEDs hang off the board's CPLD, so
the chip's LED processors are not used.

Wiring: the SFP+ cages take lanes 0 to 47 in front-panel order, four to a
quad, so that a group of four can run as one 40G port; they are routed
without polarity inversions and share one lane swap per quad. The QSFP28
cages take lanes 48 to 71.
"""
import os

import brontile

from _common import Sfp

NAME = 'qumran'
PORTS_CONF = os.path.join(os.path.dirname(os.path.abspath(__file__)), NAME + '.ports.conf')


class QumranPlatform(brontile.Platform):
    name = NAME
    portleds = True


def _sfp_ports():
    ports = []
    for cage in range(48):
        quad_map = (0x0123, 0x1032)[cage // 4 % 2]
        port = brontile.Qumran10GPort(str(cage + 1), (cage,), None, None, 'SFP+', None, 0,
                                      rx_lane_map=quad_map, tx_lane_map=quad_map)
        port.sfp = Sfp('SFP+', 'sdk', 0x50)
        ports.append(port)
    return ports


def _qsfp_ports():
    ports = []
    for cage in range(6):
        lanes = range(48 + 4 * cage, 52 + 4 * cage)
        port = brontile.Qumran100GPort(str(49 + cage), lanes, None, None, None, 0,
                                       rx_lane_map=0x3201, rx_polarity_flip=(0x6, 0x1, 0x0)[cage % 3],
                                       tx_lane_map=0x1023, tx_polarity_flip=(0x0, 0x8, 0xb)[cage % 3])
        port.sfp = Sfp('QSFP28', 'sdk', 0x50)
        ports.append(port)
    return ports


def platform():
    switch = brontile.BCMSwitch(brontile.Qumran_88375_Chip())
    switch.ports = _sfp_ports() + _qsfp_ports()
    p = QumranPlatform()
    p.switch = switch
    return p
