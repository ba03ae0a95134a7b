"""The port bitmaps, the serdes and port-initialisation lines and the PHY
lines, rendered from stand-in configured ports (linekit)."""
import unittest

import lanquist
from linekit import Port, chip, config
from support import patch, range_counts


class BitmapTest(unittest.TestCase):
    def test_oversubscription_by_mixed_oversub(self):
        ports = [Port(pbmp=0x2), Port(prefix='ce', pbmp=0x4, oversub=True)]
        for mixed, last in ((True, 'pbmp_oversubscribe.0=0x4'), (1, 'pbmp_oversubscribe.0=0x4'),
                            (False, 'oversubscribe_mode=1'), (None, 'oversubscribe_mode=1')):
            c = config(ports, chip=chip(base_pbmp=0x1, mixed_oversub=mixed))
            self.assertEqual(c.sdk_pbmp, 'pbmp_xport_xe.0=0x6\npbmp_valid.0=0x7\n' + last, repr(mixed))

    def test_kinds_units_and_wide_bitmaps(self):
        ports = [Port(n=2, prefix=['ge', 'xe'], pbmp=[1 << 2, 1 << 3]),
                 Port(unit=1, pbmp=1 << 159, oversub='yes'),
                 Port(unit=1, prefix='hg', pbmp=1 << 64),
                 Port(unit=0, prefix='ce', pbmp=1 << 130, oversub=1)]
        c = config(ports, chip=chip(base_pbmp=0x1, mixed_oversub=True))
        self.assertEqual(c.sdk_pbmp.split('\n'), [
            'pbmp_xport_ge.0=0x4',
            'pbmp_xport_xe.0=0x%x' % (1 << 3 | 1 << 130),
            'pbmp_xport_xe.1=0x8' + '0' * 39,
            'pbmp_valid.0=0x%x' % (1 << 130 | 1 << 3 | 1 << 2 | 1),
            'pbmp_valid.1=0x8' + '0' * 22 + '1' + '0' * 15 + '1',
            'pbmp_oversubscribe.0=0x4' + '0' * 32,
            'pbmp_oversubscribe.1=0x8' + '0' * 39])
        # Bits 0 and 159: an 8, thirty-eight zeros and a 1.
        c = config([Port(pbmp=1 << 159)], chip=chip(base_pbmp=1, mixed_oversub=None))
        self.assertEqual(c.sdk_pbmp, 'pbmp_xport_xe.0=0x8%s\npbmp_valid.0=0x8%s1' % ('0' * 39, '0' * 38))

    def test_oversubscription_on_one_unit_only(self):
        c = config([Port(pbmp=2), Port(unit=1, pbmp=4, oversub=True)], chip=chip(base_pbmp=0, mixed_oversub=True))
        self.assertEqual(c.sdk_pbmp, 'pbmp_xport_xe.0=0x2\npbmp_xport_xe.1=0x4\npbmp_valid.0=0x2\n'
                                     'pbmp_valid.1=0x4\npbmp_oversubscribe.1=0x4')

    def test_nothing_to_map(self):
        for ports in ([], [Port(n=0, oversub=True)]):
            self.assertEqual(config(ports, chip=chip(base_pbmp=None, mixed_oversub=False)).sdk_pbmp, '')

    def test_base_bitmap_not_an_integer(self):
        self.assertRaises(TypeError, getattr, config([Port()], chip=chip(base_pbmp=None)), 'sdk_pbmp')


class EmphasisTest(unittest.TestCase):
    def test_lines_per_lane_in_40g(self):
        settings = [0x11, 0x22, 0x33, 0x44]
        ports = [Port(n=4, mode='4x10G'), Port(mode='40G', pre_emphasis=settings)]
        self.assertEqual(config(ports).port_emphasis, 'serdes_preemphasis_lane0_5.0=0x0011\n'
                                                      'serdes_preemphasis_lane1_5.0=0x0022\n'
                                                      'serdes_preemphasis_lane2_5.0=0x0033\n'
                                                      'serdes_preemphasis_lane3_5.0=0x0044')
        ports[1].drv_current = (5, 5, 5, 5)
        ports[1].pre_drv_current = [0x1234, 6, 7, 8]
        self.assertEqual(config(ports).port_emphasis.split('\n')[4:], [
            'serdes_driver_current_lane0_5.0=0x5', 'serdes_driver_current_lane1_5.0=0x5',
            'serdes_driver_current_lane2_5.0=0x5', 'serdes_driver_current_lane3_5.0=0x5',
            'serdes_pre_driver_current_lane0_5.0=0x1234', 'serdes_pre_driver_current_lane1_5.0=0x6',
            'serdes_pre_driver_current_lane2_5.0=0x7', 'serdes_pre_driver_current_lane3_5.0=0x8'])

    def test_lines_per_sub_port_numbered_per_unit(self):
        ports = [Port(mode='100G', pre_emphasis=[0x123]),
                 Port(unit=1, n=2, mode='2x50G', drv_current=[1, 0x2], pre_drv_current=[3, 4]),
                 Port(mode='40G/4', pre_emphasis=[0x7, 0, 0, 0], drv_current=[0x12345])]
        self.assertEqual(config(ports).port_emphasis.split('\n'), [
            'serdes_preemphasis_1.0=0x0123',
            'serdes_driver_current_1.1=0x0001', 'serdes_pre_driver_current_1.1=0x0003',
            'serdes_driver_current_2.1=0x0002', 'serdes_pre_driver_current_2.1=0x0004',
            'serdes_preemphasis_2.0=0x0007', 'serdes_driver_current_2.0=0x12345'])

    def test_short_or_unindexable_settings(self):
        for port, error in ((Port(mode='40G', pre_emphasis=[1, 2, 3]), IndexError),
                            (Port(n=2, mode='2x50G', drv_current=[1]), IndexError),
                            (Port(pre_drv_current=5), TypeError)):
            c = config([Port(pre_emphasis=[1]), port])
            self.assertRaises(error, getattr, c, 'port_emphasis')
            self.assertRaises(error, c.output, 'portsbcm')


class PortInitTest(unittest.TestCase):
    def test_autoneg_speed_duplex_and_serdes_type(self):
        ports = [Port(base=1, enable_auto_neg=True, serdes_if_type='KR4'),
                 Port(base=2, n=2, enable_auto_neg=False, speed=10, serdes_if_type='SFI')]
        lines = ['port_init_autoneg_1=1', 'serdes_if_type_1=12 # KR4',
                 'port_init_autoneg_2=0', '%s', 'port_init_duplex_2=1', 'serdes_if_type_2=9 # SFI',
                 'port_init_autoneg_3=0', '%s', 'port_init_duplex_3=1', 'serdes_if_type_3=9 # SFI']
        c = config(ports, chip=chip(portmap_capable=True))
        self.assertEqual(c.port_init.split('\n'), [l for l in lines if l != '%s'])
        for flag in (False, None, 1):
            c = config(ports, chip=chip(portmap_capable=flag))
            speeds = iter(['port_init_speed_2=10000', 'port_init_speed_3=10000'])
            self.assertEqual(c.port_init.split('\n'), [next(speeds) if l == '%s' else l for l in lines], repr(flag))

    def test_names_by_interface_and_units(self):
        port = Port(portmap_capable=False, base=4, enable_auto_neg=0, speed=10)
        c = config([port], chip=chip(portmap_capable=None))
        self.assertEqual(c.port_init, 'port_init_autoneg_xe3=0\nport_init_speed_xe3=10000\nport_init_duplex_xe3=1')
        c = config([port], chip=chip(portmap_capable=None), units=set([0, 1]))
        self.assertEqual(c.port_init, 'port_init_autoneg_xe3.0=0\nport_init_speed_xe3.0=10000\n'
                                      'port_init_duplex_xe3.0=1')

    def test_fractional_speed_in_whole_megabits(self):
        for speed, text in ((2.5, '2500'), (25, '25000'), (1L, '1000'), (0.1, '100')):
            c = config([Port(enable_auto_neg=False, speed=speed)], chip=chip(portmap_capable=False))
            self.assertEqual(c.port_init.split('\n')[1], 'port_init_speed_1=%s' % text, repr(speed))

    def test_serdes_types_from_the_class_table(self):
        c = config([Port(serdes_if_type='KR')])
        c.serdes_if_type_map = {'KR': 99}
        self.assertEqual(c.port_init, 'port_init_autoneg_1=1\nserdes_if_type_1=11 # KR')
        for t, code in (('XGMII', 6), ('XFI', 10), ('SR4', 28)):
            self.assertEqual(config([Port(serdes_if_type=t)]).port_init.split('\n')[1],
                             'serdes_if_type_1=%d # %s' % (code, t))
        with patch(lanquist.SDKConfig, 'serdes_if_type_map', {'CR4': 33}):
            self.assertEqual(config([Port(serdes_if_type='CR4')]).port_init.split('\n')[1],
                             'serdes_if_type_1=33 # CR4')
        with self.assertRaises(KeyError) as cm:
            config([Port(), Port(serdes_if_type='GMII')]).output('portsbcm')
        self.assertEqual(cm.exception.args, ('GMII',))


class FiberPrefTest(unittest.TestCase):
    def test_lines(self):
        ports = [Port(base=1, set_fiber_pref=False), Port(base=2, n=2, set_fiber_pref='SFP'),
                 Port(base=4, set_fiber_pref=None)]
        self.assertEqual(config(ports).fiber_pref, 'serdes_fiber_pref_2=1\nserdes_fiber_pref_3=1')
        self.assertEqual(config(ports, units=set([0, 3])).fiber_pref,
                         'serdes_fiber_pref_2.0=1\nserdes_fiber_pref_3.0=1')
        self.assertEqual(config(ports[:1] + ports[2:]).fiber_pref, '')


class PhyLinesTest(unittest.TestCase):
    PROPERTIES = ('phys', 'phy_addrs', 'phy_an', 'prim_offsets', 'phy_id1s', 'sys_interfaces')

    def render(self, ports, **kw):
        c = config(ports, **kw)
        return dict((name, getattr(c, name)) for name in self.PROPERTIES)

    def test_every_line(self):
        ports = [Port(base=1, n=2, phy_types=['bcm84328', None], phy_addrs=[31, 0x40], an_c37='off', an_c73='auto',
                      prim_offset=256, phy_id1=0, sys_interface=0x10),
                 Port(base=3, phy_types=['bcm54980'], phy_addrs=[0], autodetect=True, an_c37='sgmii', an_c73='bam',
                      prim_offset=0),
                 Port(base=4, n=0, phy_types=['bcm84328'], phy_addrs=[1], an_c37='on', prim_offset=5, phy_id1=0x600d,
                      sys_interface=0)]
        self.assertEqual(self.render(ports), {
            'phys': 'phy_bcm84328_1=1',
            'phy_addrs': 'port_phy_addr_1=0x1f\nport_phy_addr_3=0x0',
            'phy_an': 'phy_an_c37_1=0\nphy_an_c73_1=3\nphy_an_c37_2=0\nphy_an_c73_2=3\nphy_an_c73_3=1',
            'prim_offsets': 'phy_port_primary_and_offset_1=0x100\nphy_port_primary_and_offset_3=0x0\n'
                            'phy_port_primary_and_offset_4=0x5',
            'phy_id1s': 'port_phy_id1_1=0x0\nport_phy_id1_4=0x600d',
            'sys_interfaces': 'phy_sys_interface_1.0=0x10\nphy_sys_interface_4.0=0x0'})

    def test_two_units(self):
        ports = [Port(base=1, phy_types=['t'], phy_addrs=[2], an_c37='on', prim_offset=1, phy_id1=3, sys_interface=4),
                 Port(base=1, unit=1, phy_types=['t'], phy_addrs=[5], an_c73='off', prim_offset=6, phy_id1=7,
                      sys_interface=8)]
        self.assertEqual(self.render(ports), {
            'phys': 'phy_t_1.0=1\nphy_t_1.1=1',
            'phy_addrs': 'port_phy_addr_1.0=0x2\nport_phy_addr_1.1=0x5',
            'phy_an': 'phy_an_c37_1.0=2\nphy_an_c73_1.1=0',
            'prim_offsets': 'phy_port_primary_and_offset_1.0=0x1\nphy_port_primary_and_offset_1.1=0x6',
            'phy_id1s': 'port_phy_id1_1=0x3\nport_phy_id1_1=0x7',
            'sys_interfaces': 'phy_sys_interface_1.0=0x4\nphy_sys_interface_1.1=0x8'})

    def test_nothing_to_write(self):
        empty = dict.fromkeys(self.PROPERTIES, '')
        self.assertEqual(self.render([], units=set()), empty)
        c = config([], chip=chip())
        del c.units  # before the first calculation
        self.assertEqual(dict((name, getattr(c, name)) for name in self.PROPERTIES), empty)
        self.assertEqual((c.port_init, c.fiber_pref), ('', ''))

    def test_values_that_cannot_be_written(self):
        for field, value in (('phy_addrs', ['x']), ('prim_offset', '5'), ('phy_id1', 'x'), ('sys_interface', [])):
            port = Port(phy_types=['t'], phy_addrs=[1])
            setattr(port, field, value)
            self.assertRaises(TypeError, self.render, [port])
        self.assertRaises(IndexError, self.render, [Port(n=2, phy_types=['t'], phy_addrs=[1, 2, 3][:1])])


class SubPortCountTest(unittest.TestCase):
    """A port's count of logical ports is taken as the host's range() takes
    it, by the SDK lines and by the tables alike."""

    def test_counts_as_range_takes_them(self):
        def render(count):
            port = Port(n=count, mac_index=0, linux_port_name=lambda sub: 'swp%d' % sub)
            c = config([port])
            return c.port_init, c.ethertab

        for count in range_counts():
            try:
                subs = range(count)
            except (TypeError, OverflowError) as e:
                with self.assertRaises(type(e)) as cm:
                    render(count)
                self.assertEqual(str(cm.exception), str(e), repr(count))
            else:
                self.assertEqual(render(count), render(len(subs)), repr(count))


if __name__ == '__main__':
    unittest.main()
