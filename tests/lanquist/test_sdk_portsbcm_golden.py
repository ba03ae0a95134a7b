"""The whole "portsbcm" text of small platforms built from brontile's own chip
and port classes, compared with expected texts under golden/.

The expected texts are written by hand from the rules of each line, not taken
from the program's output. The output has no final newline; each expected
file holds the text followed by one newline (the usual end of a text file).
"""
import os
import unittest

import brontile
import lanquist
import zarnith.platform  # noqa: F401  (the maker's platform module is loaded on the switch)

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'golden')


def platform(name, chip, ports):
    p = brontile.Platform()
    p.name = name
    p.switch = brontile.BCMSwitch(chip)
    p.switch.ports = ports
    return p


def tomahawk():
    """Default-group lines with a dport map: one port in each of 100G, 4x25G
    and 2x50G, and a 100G/4 gang of four 25G cages."""
    cages = [brontile.Tomahawk25GPort(label=str(4 + n), serdes=(12 + n,), phy_types=None, phy_addrs=None,
                                      phy_layer='SFP28', leds=None, unit=0, rx_polarity_flip=flip, phy_id1=id1)
             for n, (flip, id1) in enumerate(((True, None), (False, 0x600d), (True, None), (True, None)))]
    ports = [
        brontile.Tomahawk100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=('84328',), phy_addrs=(0x1f,),
                                  phy_layer='QSFP28', leds=None, unit=0, rx_lane_map=0x3210, rx_polarity_flip=0x5,
                                  tx_lane_map=0x0123, tx_polarity_flip=0, pre_emphasis=(0x1234,),
                                  drv_current=(0x5,), sys_interface=0x10, prim_offset=0x100),
        brontile.Tomahawk100GPort(label='2', serdes=(4, 5, 6, 7), phy_types=None, phy_addrs=None,
                                  phy_layer='QSFP28', leds=None, unit=0, rx_polarity_flip=0xa, tx_lane_map=0x2301,
                                  mdi_pair_map=0x10, drv_current=[1, 2, 3, 4], oversub=True),
        brontile.Tomahawk100GPort(label='3', serdes=(8, 9, 10, 11), phy_types=('bcm82780', None),
                                  phy_addrs=(4, None), phy_layer='QSFP28', leds=None, unit=0, rx_polarity_flip=13),
    ] + cages
    conf = '1=100G\n2=4x25G\n3=2x50G\n4=100G/4\n5=100G/4\n6=100G/4\n7=100G/4\n'
    return platform('golden-tomahawk', brontile.TomahawkChip(), ports), conf


def trident3_x7():
    """td3 lines: lane by lane polarity, lane maps by physical lane, the
    logical numbers above 64 shifted by two."""
    ports = [
        brontile.TridentThree100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None,
                                      phy_layer='QSFP28', leds=None, unit=0, rx_polarity_flip=0x6,
                                      tx_polarity_flip=0x1, rx_lane_map=0x1032, tx_lane_map=0x3210),
        brontile.TridentThree100GPort(label='2', serdes=(4, 5, 6, 7), phy_types=None, phy_addrs=None,
                                      phy_layer='QSFP28', leds=None, unit=0, rx_polarity_flip=0x9,
                                      rx_lane_map=0x0123),
        brontile.TridentThree25GPort(label='3', serdes=(64,), phy_types=None, phy_addrs=None, phy_layer='SFP28',
                                     leds=None, unit=0, rx_polarity_flip=True, tx_polarity_flip=False,
                                     mdi_pair_map=0x5),
    ]
    conf = '1=100G\n2=2x50G\n3=25G\n'
    return platform('golden-td3', brontile.TridentThreeX7_56870_Chip(), ports), conf


def tomahawk3():
    """th3 lines: the whole polarity value on both lanes of a port, lane maps
    in eight digits."""
    ports = [
        brontile.TomahawkThree100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None,
                                       phy_layer='QSFP28', leds=None, unit=0, rx_polarity_flip=0x9,
                                       tx_polarity_flip=0, rx_lane_map=0x3210, sys_interface=0x1),
        brontile.TomahawkThree100GPort(label='2', serdes=(36, 37, 38, 39), phy_types=None, phy_addrs=None,
                                       phy_layer='QSFP28', leds=None, unit=0, tx_polarity_flip=0xc,
                                       tx_lane_map=0x01234567, oversub=True, phy_id1=0xbeef),
    ]
    return platform('golden-th3', brontile.TomahawkThree_56980_Chip(), ports), '1=100G\n2=100G\n'


def qumran():
    """qmx lines: ucode ports by interface name and core, per-lane polarity
    in decimal, a lane map per quad."""
    ports = [
        brontile.Qumran100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None, leds=None, unit=0,
                                rx_polarity_flip=0x5, rx_lane_map=0x1302, tx_lane_map=0x2031, mdi_pair_map=0x4),
        brontile.Qumran100GPort(label='2', serdes=(4, 5, 6, 7), phy_types=None, phy_addrs=None, leds=None, unit=0,
                                tx_polarity_flip=0x2, rx_lane_map=0x3210),
        brontile.Qumran10GPort(label='3', serdes=(9,), phy_types=None, phy_addrs=None, phy_layer='SFP+', leds=None,
                               unit=0, rx_polarity_flip=True, rx_lane_map=0x1, oversub=True),
    ]
    return platform('golden-qumran', brontile.Qumran_88375_Chip(), ports), '1=100G\n2=4x10G\n3=10G\n'


def maverick():
    """The lane count on every port-map line; lane by lane drive settings in
    40G; autonegotiation, fiber preference and a fabric port's serdes type."""
    ports = [
        brontile.Maverick100GPort(label='1', serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None, leds=None, unit=0,
                                  rx_polarity_flip=0x3, pre_emphasis=[0x11, 0x22, 0x33, 0x44], drv_current=[5] * 4),
        brontile.Maverick10GPort(label='2', serdes=(4,), phy_types=None, phy_addrs=None, phy_layer='SFP+',
                                 leds=None, unit=0, rx_polarity_flip=False, pre_emphasis=[0xabc]),
        brontile.Maverick10GPort(label='3', serdes=(5,), phy_types=None, phy_addrs=None, phy_layer='10GBaseT',
                                 leds=None, unit=0),
        brontile.Maverick40GFabricPort(label='4', serdes=(8, 9, 10, 11), rx_lane_map=None, rx_polarity_flip=None,
                                       tx_lane_map=0x3210, tx_polarity_flip=None),
    ]
    conf = '1=40G\n2=10G\n3=1G\nFabric-4=40G\n'
    return platform('golden-maverick', brontile.Maverick_56762_Chip(), ports), conf


def helix4():
    """A chip without a port map: bitmaps from the interface table, lines
    keyed by interface name, fixed speed where autonegotiation is off."""
    ports = [
        brontile.Helix41GPort(label='1', hw_port='ge0', phy_type='bcm54616', phy_addr=0x10, phy_layer=None,
                              leds=None, unit=0, prim_offset=0x1),
        brontile.Helix41GPort(label='2', hw_port='ge1', phy_type='54282', phy_addr=0x11, phy_layer=None, leds=None,
                              unit=0, prim_offset=0),
        brontile.Helix410GPort(label='3', hw_port='hg2', phy_type=None, phy_addr=None, phy_layer='SFP+', leds=None,
                               unit=0, rx_lane_map=0x0123, rx_polarity_flip=True, tx_polarity_flip=False,
                               mdi_pair_map=0x5),
    ]
    return platform('golden-helix4', brontile.Helix4Chip(), ports), '1=1G\n2=1G\n3=10G\n'


PLATFORMS = (('tomahawk', tomahawk), ('trident3_x7_56870', trident3_x7), ('tomahawk3_56980', tomahawk3),
             ('qumran_88375', qumran), ('maverick', maverick), ('helix4', helix4))


def configured(build):
    p, conf = build()
    c = lanquist.BCMConfig(p, dummy=True)
    c.config(conf)
    return c


def expected(name):
    with open(os.path.join(GOLDEN, name + '.txt')) as f:
        return f.read()


class GoldenTest(unittest.TestCase):
    maxDiff = None
    longMessage = True

    def test_portsbcm(self):
        for name, build in PLATFORMS:
            text = configured(build).output('portsbcm')
            self.assertEqual((text + '\n').split('\n'), expected(name).split('\n'), name)

    def test_rendering_is_repeatable(self):
        for name, build in PLATFORMS:
            c = configured(build)
            self.assertEqual(c.output('portsbcm'), c.output('portsbcm'), name)



class LaneCountTest(unittest.TestCase):
    def test_speeds_of_every_catalogue_mode_carry_a_lane_count(self):
        serdes = dict(phy_types=None, phy_addrs=None, leds=None, unit=0)
        cases = ((brontile.TridentThreeX5_56771_Chip,
                  brontile.TridentThreeMGPort(label='1', serdes=(0,), phy_layer='SFP+', **serdes), '2.5G',
                  ['portmap_1.0=1:2:1']),
                 (brontile.MaverickChip, brontile.Maverick100GPort(label='1', serdes=(0, 1, 2, 3), **serdes), '2x20G',
                  ['portmap_1.0=1:20:2', 'portmap_2.0=3:20:2']))
        for chip, port, mode, lines in cases:
            c = lanquist.BCMConfig(platform('golden-lanes', chip(), [port]), dummy=True)
            c.config('1=%s\n' % mode)
            self.assertEqual(c.portmap.split('\n'), lines, mode)


class BadInputTest(unittest.TestCase):
    """A setting too short for the port's mode, or a mode the chip's lines
    cannot name, stops the render with the host's error."""

    def render(self, chip, port, mode):
        c = lanquist.BCMConfig(platform('golden-bad', chip, [port]), dummy=True)
        c.config('1=%s\n' % mode)
        return c.output('portsbcm')

    def test_errors(self):
        serdes = dict(serdes=(0, 1, 2, 3), phy_types=None, phy_addrs=None, leds=None, unit=0)
        cases = (
            # A Qumran speed without an interface-type name.
            (brontile.Qumran_88375_Chip, brontile.Qumran100GPort, dict(), '4x25G', KeyError, (25,)),
            # Per-lane settings of a 40G port, three lanes given.
            (brontile.MaverickChip, brontile.Maverick100GPort, dict(pre_emphasis=[1, 2, 3]), '40G', IndexError,
             None),
            (brontile.TomahawkChip, brontile.Tomahawk100GPort,
             dict(phy_layer='QSFP28', drv_current=[1, 2, 3]), '4x25G', IndexError, None),
            # A lane list shorter than the breakout.
            (brontile.TridentPlusChip, brontile.Trident40GPort, dict(rx_polarity_flip=[True]), '4x10G', IndexError,
             None),
            # A mode the per-lane polarity lines have no lane count for.
            (brontile.TridentThreeX7_56870_Chip, brontile.TridentThree100GPort,
             dict(phy_layer='QSFP28', tx_polarity_flip=0), '2x20G', KeyError, ('2x20G',)),
        )
        for chip, cls, fields, mode, error, args in cases:
            port = cls(label='1', **dict(serdes, **fields))
            with self.assertRaises(error) as cm:
                self.render(chip(), port, mode)
            if args is not None:
                self.assertEqual(cm.exception.args, args, cls.__name__)


if __name__ == '__main__':
    unittest.main()
