"""The port map, the direct-port map and the lines of chips without a port
map, rendered from stand-in configured ports (linekit)."""
import unittest

import zarnith
import zarnith.platform
from linekit import CHIP_CLASSES, Port, chip, config, maker_chip_classes
from support import NotingList, patch

PORTMAP_CHIP = dict(portmap_capable=True, needs_lane_config=False)


class PortmapTest(unittest.TestCase):
    def test_refused_unless_portmap_capable_is_true(self):
        for flag in (1, 'yes', False, None):
            c = config([Port()], chip=chip(portmap_capable=flag, needs_lane_config=False))
            with self.assertRaises(RuntimeError) as cm:
                c.portmap
            self.assertEqual(str(cm.exception), 'platform: linekit is not portmap capable', repr(flag))

    def test_no_logical_ports_no_lines_and_no_class_lookups(self):
        for ports in ([], [Port(n=0, rx_polarity_flip=1, rx_lane_map=1, mdi_pair_map=1)]):
            with patch(zarnith, 'platform', None):
                self.assertEqual(config(ports, chip=chip(**PORTMAP_CHIP)).portmap, '')

    def test_examples(self):
        port = dict(base=1, speed=100, num_lanes=4, rx_polarity_flip=1, rx_logical=5, rx_lane_map=0x321)
        c = config([Port(**port)], chip=chip(**PORTMAP_CHIP))
        self.assertEqual(c.portmap, 'portmap_1.0=1:100\nphy_xaui_rx_polarity_flip_1.0=0x0005\n'
                                    'xgxs_rx_lane_map_1.0=0x0321')
        c = config([Port(**port)], chip=chip(portmap_capable=True, needs_lane_config=True))
        self.assertEqual(c.portmap, 'portmap_1.0=1:100:4\nphy_xaui_rx_polarity_flip_1.0=0x0005\n'
                                    'xgxs_rx_lane_map_1.0=0x0321')
        with maker_chip_classes() as classes:
            c = config([Port(base=13, hw=12, if_names=['CGE3'], rx_lane_map=0x132)],
                       chip=classes['Qumran_88375_Chip']())
            c.platform.switch.chip.portmap_capable = True
            c.platform.switch.chip.needs_lane_config = False
            self.assertEqual(c.portmap, 'ucode_port_13.BCM88375=CGE3:core_1.13\n'
                                        'phy_rx_lane_map_quad3.BCM88375=0x0132')

    def test_default_group_every_line(self):
        port = Port(n=2, base=7, unit=1, hw=3, portmap_num=[10, 11], speed=50, rx_polarity_flip=0,
                    tx_polarity_flip=False, rx_logical=[1, 2], tx_logical=[0x12345, 0], rx_lane_map=0,
                    tx_lane_map=0x1032, mdi_pair_map=0x5)
        c = config([port], chip=chip(**PORTMAP_CHIP))
        self.assertEqual(c.portmap.split('\n'), [
            'portmap_7.1=11:50', 'phy_xaui_rx_polarity_flip_7.1=0x0001', 'phy_xaui_tx_polarity_flip_7.1=0x12345',
            'xgxs_rx_lane_map_7.1=0x0000', 'xgxs_tx_lane_map_7.1=0x1032', 'phy_mdi_pair_map_7.1=0x0005',
            'portmap_8.1=12:50', 'phy_xaui_rx_polarity_flip_8.1=0x0002', 'phy_xaui_tx_polarity_flip_8.1=0x0000',
            'xgxs_rx_lane_map_8.1=0x0000', 'xgxs_tx_lane_map_8.1=0x1032', 'phy_mdi_pair_map_8.1=0x0005'])
        # A fractional speed loses its fraction; the key is the configured port's, with its unit.
        port = Port(base=2, speed=2.5)
        self.assertEqual(config([port], chip=chip(**PORTMAP_CHIP), units=set([0])).portmap, 'portmap_2.0=1:2')

    def test_chip_groups(self):
        # class name, the lines of a port with every field set (hardware interfaces 4 and 5).
        port = dict(n=2, hw=4, base=5, if_names=['XLGE1', 'XLGE1'], rx_polarity_flip=1, tx_polarity_flip=0,
                    rx_lane_map=0x3210, tx_lane_map=0x123, mdi_pair_map=0x10)
        td3 = ['portmap_5.0=5:100', 'td3_rx 0', 'td3_tx 0', 'phy_chain_rx_lane_map_physical{5.0}=0x3210',
               'phy_chain_tx_lane_map_physical{5.0}=0x0123', 'phy_mdi_pair_map_5.0=0x0010',
               'portmap_6.0=6:100', 'td3_rx 1', 'td3_tx 1', 'phy_chain_rx_lane_map_physical{6.0}=0x3210',
               'phy_chain_tx_lane_map_physical{6.0}=0x0123', 'phy_mdi_pair_map_6.0=0x0010']
        th3 = ['portmap_5.0=5:100', 'th3_rx 0', 'th3_tx 0', 'phy_chain_rx_lane_map_physical{5.0}=0x00003210',
               'phy_chain_tx_lane_map_physical{5.0}=0x00000123', 'phy_mdi_pair_map_5.0=0x0010',
               'portmap_6.0=6:100', 'th3_rx 1', 'th3_tx 1', 'phy_chain_rx_lane_map_physical{6.0}=0x00003210',
               'phy_chain_tx_lane_map_physical{6.0}=0x00000123', 'phy_mdi_pair_map_6.0=0x0010']
        qmx = ['ucode_port_5.BCM88375=XLGE1:core_1.5', 'qmx_rx 0', 'qmx_tx 0',
               'phy_rx_lane_map_quad1.BCM88375=0x3210', 'phy_tx_lane_map_quad1.BCM88375=0x0123',
               'phy_mdi_pair_map_5=0x0010',
               'ucode_port_6.BCM88375=XLGE1:core_1.6', 'qmx_rx 1', 'qmx_tx 1', 'phy_mdi_pair_map_6=0x0010']
        expected = dict.fromkeys(CHIP_CLASSES[:4], td3)
        expected.update({'TomahawkThree_56980_Chip': th3, 'Qumran_88375_Chip': qmx, 'Qumran_88370_Chip': qmx})
        with maker_chip_classes() as classes:
            for name, lines in expected.items():
                # A subclass joins its base's group.
                for cls in (classes[name], type('Sub', (classes[name],), {})):
                    c = config([Port(**port)], chip=cls())
                    c.platform.switch.chip.__dict__.update(PORTMAP_CHIP)
                    self.assertEqual(c.portmap.split('\n'), lines, name)
                    self.assertEqual([(call[0], call[2]) for call in c.ports[0].calls],
                                     [(lines[1][:6], 0), (lines[2][:6], 0), (lines[1][:6], 1), (lines[2][:6], 1)])
                    self.assertTrue(all(call[1] is c.ports[0] for call in c.ports[0].calls), name)

    def test_qumran_cores_and_quads(self):
        # hardware interface -> core of the ucode line, quad of the lane-map line (or none)
        cases = ((0, 0, 0), (1, 0, None), (3, 0, None), (4, 1, 1), (7, 1, None), (8, 0, 2), (12, 1, 3), (16, 0, 4))
        with maker_chip_classes() as classes:
            for hw, core, quad in cases:
                c = config([Port(hw=hw, base=1, if_names=['CGE0'], rx_lane_map=0x1)], chip=classes['Qumran_88370_Chip']())
                c.platform.switch.chip.__dict__.update(PORTMAP_CHIP)
                lines = ['ucode_port_1.BCM88375=CGE0:core_%d.1' % core]
                if quad is not None:
                    lines.append('phy_rx_lane_map_quad%d.BCM88375=0x0001' % quad)
                self.assertEqual(c.portmap.split('\n'), lines, hw)

    def test_lane_count_suffix_by_truth(self):
        with maker_chip_classes() as classes:
            for flag, suffix in ((1, ':2'), ('x', ':2'), (0, ''), ('', ''), (None, '')):
                c = config([Port(num_lanes=2, tx_lane_map=1)], chip=chip(portmap_capable=True, needs_lane_config=flag))
                self.assertEqual(c.portmap, 'portmap_1.0=1:100%s\nxgxs_tx_lane_map_1.0=0x0001' % suffix, repr(flag))
                q = config([Port(num_lanes=2, if_names=['CGE0'])], chip=classes['Qumran_88375_Chip']())
                q.platform.switch.chip.__dict__.update(portmap_capable=True, needs_lane_config=flag)
                self.assertEqual(q.portmap, 'ucode_port_1.BCM88375=CGE0:core_0.1%s' % suffix)

    def test_generator_result_is_the_list_continued_with(self):
        class Replacing(Port):
            def td3_rx_logical_polarity_flip(self, port, portmap, sub):
                return self.make(sub)

        noting = NotingList('kept')
        tx_lane_map = 'phy_chain_tx_lane_map_physical{%d.0}=0x0007'
        # (the list handed back, the text, what the list's own append was given)
        cases = ((lambda sub: ['fresh %d' % sub], 'fresh 1\n' + tx_lane_map % 2, None),
                 (lambda sub: noting, 'kept', [tx_lane_map % 1, 'portmap_2.0=2:100', tx_lane_map % 2]))
        with maker_chip_classes() as classes:
            for make, text, noted in cases:
                port = Replacing(n=2, rx_polarity_flip=1, tx_lane_map=7)
                port.make = make
                c = config([port], chip=classes['TomahawkTwo_56970_Chip']())
                c.platform.switch.chip.__dict__.update(PORTMAP_CHIP)
                self.assertEqual(c.portmap, text)
        self.assertEqual(noting.noted, noted)

    def test_maker_module_looked_up_when_needed(self):
        c = config([Port()], chip=chip(**PORTMAP_CHIP))
        with patch(zarnith, 'platform', None):
            self.assertRaises(AttributeError, getattr, c, 'portmap')
        self.assertEqual(c.portmap, 'portmap_1.0=1:100')

    def test_errors_stop_the_render(self):
        c = config([Port(), Port(base=2, rx_polarity_flip=1, rx_logical='x')], chip=chip(**PORTMAP_CHIP))
        self.assertRaises(TypeError, getattr, c, 'portmap')
        with maker_chip_classes() as classes:
            c = config([Port(if_names=[])], chip=classes['Qumran_88375_Chip']())
            c.platform.switch.chip.__dict__.update(PORTMAP_CHIP)
            self.assertRaises(IndexError, getattr, c, 'portmap')


class DportmapTest(unittest.TestCase):
    def test_lines(self):
        c = config([Port(n=2, base=1, intf_num=[1, 2])], chip=chip(dport_capable=True))
        self.assertEqual(c.dportmap, 'dport_map_enable=1\n\ndport_map_port_1.0=1\ndport_map_port_2.0=2')
        c = config([Port(base=40, unit=1, intf_num=3), Port(n=0)], chip=chip(dport_capable=True))
        self.assertEqual(c.dportmap, 'dport_map_enable=1\n\ndport_map_port_40.1=3')
        self.assertEqual(config([], chip=chip(dport_capable=True)).dportmap, 'dport_map_enable=1\n')

    def test_refused_unless_dport_capable_is_true(self):
        for flag in (1, 'yes', False, None):
            with self.assertRaises(RuntimeError) as cm:
                config([Port()], chip=chip(dport_capable=flag)).dportmap
            self.assertEqual(str(cm.exception), 'platform linekit is not dportmap capable', repr(flag))


class PortmapUncapableTest(unittest.TestCase):
    def test_lines(self):
        port = Port(n=2, base=3, rx_polarity_flip=0, tx_polarity_flip=False, rx_logical=[1, 0x10],
                    tx_logical=[0, 0x12345], rx_lane_map=0x321, tx_lane_map=0x5, mdi_pair_map=0)
        for flag in (None, False, 1):
            c = config([port, Port(n=0, rx_polarity_flip=1)], chip=chip(portmap_capable=flag))
            self.assertEqual(c.portmap_uncapable_config.split('\n'), [
                'phy_xaui_rx_polarity_flip_3=0x0001', 'phy_xaui_tx_polarity_flip_3=0x0000',
                'xgxs_rx_lane_map_3=0x0321', 'xgxs_tx_lane_map_3=0x0005', 'phy_mdi_pair_map_3=0x0000',
                'phy_xaui_rx_polarity_flip_4=0x0010', 'phy_xaui_tx_polarity_flip_4=0x12345',
                'xgxs_rx_lane_map_4=0x0321', 'xgxs_tx_lane_map_4=0x0005', 'phy_mdi_pair_map_4=0x0000'], repr(flag))
        self.assertEqual(config([Port(n=4)], chip=chip()).portmap_uncapable_config, '')

    def test_refused_when_portmap_capable_is_true(self):
        with self.assertRaises(RuntimeError) as cm:
            config([], chip=chip(portmap_capable=True)).portmap_uncapable_config
        self.assertEqual(str(cm.exception), 'platform: linekit is portmap capable')


if __name__ == '__main__':
    unittest.main()
