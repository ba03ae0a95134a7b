"""The PHY script, the ethernet table and the SFP table."""
import collections
import unittest

from tabkit import CPort, configured, small_platform, with_ports


class Sfp(object):
    def __init__(self, type='QSFP', accessmethod='i2c', address=80):
        self.type = type
        self.accessmethod = accessmethod
        self.address = address


def registers(*pairs):
    return collections.OrderedDict(pairs)


class EmptyTest(unittest.TestCase):
    def test_no_configured_ports(self):
        c = with_ports([])
        self.assertEqual((c.rcphy, c.ethertab, c.sfptab), ('', '', ''))
        self.assertEqual(c.output('sfptab'), '# linux_intf\tmode\tsfp_addrtype\tsfp_addr\n')


class RcphyTest(unittest.TestCase):
    def test_registers_of_each_written_phy(self):
        regs = registers((0x1, 0xa), ('0xc0de', 'v'))
        cases = (
            ('no registers', [CPort(['a'], phy_addrs=[1, 2])], ''),
            ('4 PHYs, 4 logical ports', [CPort(['a', 'b', 'c', 'd'], phy_addrs=[8, 9, 10, 11], phy_init=regs)],
             'phy raw c45 8 1 10\nphy raw c45 8 0xc0de v\nphy raw c45 9 1 10\nphy raw c45 9 0xc0de v\n'
             'phy raw c45 10 1 10\nphy raw c45 10 0xc0de v\nphy raw c45 11 1 10\nphy raw c45 11 0xc0de v'),
            ('4 PHYs, 1 logical port', [CPort(['a'], phy_addrs=[8, 9, 10, 11], phy_init=regs)],
             'phy raw c45 8 1 10\nphy raw c45 8 0xc0de v'),
            ('1 PHY, 4 logical ports', [CPort(['a', 'b', 'c', 'd'], phy_addrs=[31], phy_init=regs)],
             'phy raw c45 31 1 10\nphy raw c45 31 0xc0de v'),
            ('no logical port', [CPort([], phy_addrs=[8], phy_init=regs)], ''),
            ('ports in order', [CPort(['a'], phy_addrs=[1], phy_init={'r': 1}), CPort(['b'], phy_addrs=[2],
                                                                                      phy_init={'s': 2})],
             'phy raw c45 1 r 1\nphy raw c45 2 s 2'),
        )
        for what, ports, expected in cases:
            self.assertEqual(with_ports(ports).output('rcphy'), expected, what)

    def test_errors(self):
        self.assertRaises(TypeError, getattr, with_ports([CPort(['a'], phy_addrs=[1], phy_init=5)]), 'rcphy')
        self.assertRaises(TypeError, getattr, with_ports([CPort(['a'], phy_addrs=[1], phy_init=['r'])]), 'rcphy')


class EthertabTest(unittest.TestCase):
    def test_small_platform(self):
        self.assertEqual(configured(small_platform()).output('ethertab'),
                         'swp1s0\t0\nswp1s1\t1\nswp1s2\t2\nswp1s3\t3\nswp2\t4\nswp5\t8\nfp9\t12')

    def test_indexes(self):
        ports = [CPort(['a', 'b', 'c', 'd'], mac_index=10), CPort([], mac_index=14), CPort(['e'], mac_index=2L)]
        self.assertEqual(with_ports(ports).ethertab, 'a\t10\nb\t11\nc\t12\nd\t13\ne\t2')
        self.assertRaises(TypeError, getattr, with_ports([CPort(['a'], mac_index=None)]), 'ethertab')


class SfptabTest(unittest.TestCase):
    def test_lines(self):
        memberless = CPort([], sfp=Sfp())  # a gang member: its sub-port 0 still has a name
        memberless.linux_port_name = {0: 'swp5'}.__getitem__
        cases = (
            ('no SFP', [CPort(['a'])], ''),
            ('false SFP', [CPort(['a'], sfp=0)], ''),
            ('plain address', [CPort(['a'], sfp=Sfp())], 'a\tQSFP\ti2c\t80'),
            ('hex address', [CPort(['a'], sfp=Sfp(accessmethod='i2c-sdk'))], 'a\tQSFP\ti2c-sdk\t0x50'),
            ('"sdk" first', [CPort(['a'], sfp=Sfp(accessmethod='sdk-i2c', address='x'))], 'a\tQSFP\tsdk-i2c\tx'),
            ('breakout', [CPort(['a', 'b', 'c', 'd'], sfp=Sfp(type=1, accessmethod='xsdk'))],
             'a\t1\txsdk\t0x50\nb\t1\txsdk\t0x50\nc\t1\txsdk\t0x50\nd\t1\txsdk\t0x50'),
            ('no logical port', [memberless], 'swp5\tQSFP\ti2c\t80'),
        )
        for what, ports, expected in cases:
            self.assertEqual(with_ports(ports).sfptab, expected, what)

    def test_small_platform(self):
        platform = small_platform()
        platform.switch.ports[0].sfp = Sfp(accessmethod='sdk')
        platform.switch.ports[3].sfp = Sfp(type='SFP+', address=3)  # a gang member without a logical port
        self.assertEqual(configured(platform).output('sfptab'), '\n'.join([
            '# linux_intf\tmode\tsfp_addrtype\tsfp_addr',
            'swp1s0\tQSFP\tsdk\t80', 'swp1s1\tQSFP\tsdk\t80', 'swp1s2\tQSFP\tsdk\t80', 'swp1s3\tQSFP\tsdk\t80',
            'swp5\tSFP+\ti2c\t3']))

    def test_errors(self):
        bad = (Sfp(accessmethod='xsdk', address='80'), Sfp(accessmethod=None), object())
        for sfp in bad:
            self.assertRaises((TypeError, AttributeError), getattr, with_ports([CPort(['a'], sfp=sfp)]), 'sfptab')


if __name__ == '__main__':
    unittest.main()
