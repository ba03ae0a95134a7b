"""Benchmark the SDK configuration text ("portsbcm") of a four-unit platform of
32-cage Tomahawks in 4x25G (128 cages, 512 logical ports) against the same
sections rendered in Python, over the same configured ports.

Run after a build:
    PYTHONPATH=build/python:tests/stubs <python2.7> bench/bench_portsbcm.py
"""
import timeit

import brontile
import lanquist
import zarnith.platform  # noqa: F401  (loaded on the switch)

ROUNDS = 20


def platform():
    ports = []
    for n in range(128):
        unit, cage = divmod(n, 32)
        ports.append(brontile.Tomahawk100GPort(
            label=str(n + 1), serdes=range(4 * cage, 4 * cage + 4), phy_types=None, phy_addrs=None,
            phy_layer='QSFP28', leds=None, unit=unit, rx_lane_map=0x3210, rx_polarity_flip=n % 16,
            tx_lane_map=0x1032, tx_polarity_flip=(n * 7) % 16, pre_emphasis=[0x1234] * 4, oversub=cage % 2 == 0))
    p = brontile.Platform()
    p.name = 'bench'
    p.switch = brontile.BCMSwitch(brontile.TomahawkChip())
    p.switch.ports = ports
    return p, ''.join('%d=4x25G\n' % (n + 1) for n in range(128))


class PythonRendering(lanquist.BCMConfig):
    """The sections of "portsbcm" as they would be written in Python."""

    def _subs(self):
        for port in self.ports:
            for sub in range(port.num_logical_ports):
                yield port, sub

    @property
    def sdk_pbmp(self):
        chip = self.platform.switch.chip
        kinds, valid, over, order, units = {}, {}, {}, [], []
        for port, sub in self._subs():
            prefix = port.sdk_intf_prefix(sub)
            if prefix == 'ce':
                prefix = 'xe'
            key = '%s.%u' % (prefix, port.unit)
            bits = port.sdk_pbmp(sub)
            if key not in kinds:
                order.append(key)
            kinds[key] = kinds.get(key, 0) | bits
            if port.unit not in valid:
                units.append(port.unit)
            valid[port.unit] = valid.get(port.unit, chip.base_pbmp) | bits
            if port.oversub:
                over[port.unit] = over.get(port.unit, 0) | bits
        lines = ['pbmp_xport_%s=0x%x' % (k, kinds[k]) for k in order if not k.startswith('hg')]
        lines += ['pbmp_valid.%u=0x%x' % (u, valid[u]) for u in units]
        if over:
            if chip.mixed_oversub:
                lines += ['pbmp_oversubscribe.%u=0x%x' % (u, over[u]) for u in units if u in over]
            else:
                lines.append('oversubscribe_mode=1')
        return '\n'.join(lines)

    @property
    def dportmap(self):
        lines = ['dport_map_enable=1\n']
        for port, sub in self._subs():
            lines.append('dport_map_port_%u.%u=%u' % (port.sdk_logical_port_num(sub), port.unit,
                                                       port.sdk_intf_num(sub)))
        return '\n'.join(lines)

    @property
    def portmap(self):
        zp = zarnith.platform
        chip = self.platform.switch.chip
        lines = []
        for port, sub in self._subs():
            qmx = isinstance(chip, zp.Qumran_88375_Chip) or isinstance(chip, zp.Qumran_88370_Chip)
            key = port.sdk_config_intf(sub)
            lines.append('portmap_%s=%u:%u' % (key, port.hw_intf_num_portmap(sub) + 1, port.speed))
            if self.platform.switch.chip.needs_lane_config:
                lines[-1] += ':%u' % port.num_lanes
            for flip, logical, fmt in ((port.rx_polarity_flip, port.rx_logical_polarity_flip,
                                        'phy_xaui_rx_polarity_flip_%s=0x%04x'),
                                       (port.tx_polarity_flip, port.tx_logical_polarity_flip,
                                        'phy_xaui_tx_polarity_flip_%s=0x%04x')):
                if flip is not None:
                    self._group(chip, zp)
                    lines.append(fmt % (key, logical(sub)))
            for lane_map, fmt in ((port.rx_lane_map, 'xgxs_rx_lane_map_%s=0x%04x'),
                                  (port.tx_lane_map, 'xgxs_tx_lane_map_%s=0x%04x')):
                if lane_map is not None:
                    self._group(chip, zp)
                    lines.append(fmt % (key, lane_map))
            if port.mdi_pair_map is not None:
                lines.append('phy_mdi_pair_map_%s=0x%04x' % (key, port.mdi_pair_map))
            assert not qmx
        return '\n'.join(lines)

    @staticmethod
    def _group(chip, zp):
        for name in ('TridentThreeX7_56870_Chip', 'TridentThreeX7_56873_Chip', 'TridentThreeX5_56771_Chip',
                     'TomahawkTwo_56970_Chip', 'TomahawkThree_56980_Chip', 'Qumran_88375_Chip', 'Qumran_88370_Chip'):
            if isinstance(chip, getattr(zp, name)):
                return name
        return None

    @property
    def port_emphasis(self):
        lines, index = [], {}
        for port, sub in self._subs():
            k = index.get(port.unit, 1)
            for field, fmt in ((port.pre_emphasis, 'serdes_preemphasis_%u.%u=0x%04x'),
                               (port.drv_current, 'serdes_driver_current_%u.%u=0x%04x'),
                               (port.pre_drv_current, 'serdes_pre_driver_current_%u.%u=0x%04x')):
                if field is not None:
                    lines.append(fmt % (k, port.unit, field[sub]))
            index[port.unit] = k + 1
        return '\n'.join(lines)

    @property
    def port_init(self):
        lines, units = [], len(self.units)
        for port, sub in self._subs():
            intf = port.sdk_config_intf(sub, units)
            lines.append('port_init_autoneg_%s=%u' % (intf, port.enable_auto_neg))
            if not port.enable_auto_neg:
                lines.append('port_init_duplex_%s=1' % intf)
            t = port.serdes_if_type
            if t is not None:
                lines.append('serdes_if_type_%s=%u # %s' % (intf, lanquist.SDKConfig.serdes_if_type_map[t], t))
        return '\n'.join(lines)

    @property
    def fiber_pref(self):
        units = len(self.units)
        return '\n'.join('serdes_fiber_pref_%s=1' % port.sdk_config_intf(sub, units)
                         for port, sub in self._subs() if port.set_fiber_pref)

    @property
    def phys(self):
        units = len(self.units)
        return '\n'.join('phy_%s_%s=1' % (port.phy_type(sub), port.sdk_config_intf(sub, units))
                         for port, sub in self._subs()
                         if port.phy_type(sub) is not None and not port.phy_autodetect(sub))

    @property
    def phy_addrs(self):
        units = len(self.units)
        return '\n'.join('port_phy_addr_%s=0x%x' % (port.sdk_config_intf(sub, units), port.phy_addr(sub))
                         for port, sub in self._subs() if port.phy_type(sub) is not None)

    @property
    def phy_an(self):
        table = {'off': 0, 'bam': 1, 'on': 2, 'auto': 3}
        units, lines = len(self.units), []
        for port in self.ports:
            c37, c73 = table.get(port.an_c37), table.get(port.an_c73)
            for sub in range(port.num_logical_ports):
                key = port.sdk_config_intf(sub, units)
                if c37 is not None:
                    lines.append('phy_an_c37_%s=%d' % (key, c37))
                if c73 is not None:
                    lines.append('phy_an_c73_%s=%d' % (key, c73))
        return '\n'.join(lines)

    @property
    def prim_offsets(self):
        units = len(self.units)
        return '\n'.join('phy_port_primary_and_offset_%s=0x%x' % (p.sdk_config_intf(0, units), p.prim_offset)
                         for p in self.ports if p.prim_offset is not None)

    @property
    def phy_id1s(self):
        return '\n'.join('port_phy_id1_%d=0x%x' % (p.sdk_logical_port_num(0), p.phy_id1)
                         for p in self.ports if p.phy_id1 is not None)

    @property
    def sys_interfaces(self):
        return '\n'.join('phy_sys_interface_%s=0x%x' % (p.sdk_config_intf(0), p.sys_interface)
                         for p in self.ports if p.sys_interface is not None)


def main():
    p, conf = platform()
    native = lanquist.BCMConfig(p, dummy=True)
    native.config(conf)
    python = PythonRendering(p, dummy=True)
    python.config(conf)
    text = native.output('portsbcm')
    assert text == python.output('portsbcm'), 'the two renderings differ'
    assert sum(c.num_logical_ports for c in native.ports) == 512
    t_native = min(timeit.repeat(lambda: native.output('portsbcm'), number=1, repeat=ROUNDS))
    t_python = min(timeit.repeat(lambda: python.output('portsbcm'), number=1, repeat=ROUNDS))
    print('portsbcm, 512 logical ports, %d lines: native %.1f ms, Python %.1f ms (ratio %.2f)'
          % (text.count('\n') + 1, t_native * 1e3, t_python * 1e3, t_native / t_python))


if __name__ == '__main__':
    main()
