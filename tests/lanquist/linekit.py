"""Stand-in configured ports for the suites of the SDK configuration lines:
every answer a renderer asks of a configured port is data given to the
stand-in, so that a test states exactly what the port says.

    port = linekit.Port(n=4, base=5, mode='4x10G', rx_lane_map=0x321)
    c = linekit.config([port], chip=chip)   # c.ports, c.units set directly
"""
import contextlib

import sdkkit
import zarnith.platform
from support import patch

# The chip classes of the maker's platform module that select a key syntax.
CHIP_CLASSES = ('TridentThreeX7_56870_Chip', 'TridentThreeX7_56873_Chip', 'TridentThreeX5_56771_Chip',
                'TomahawkTwo_56970_Chip', 'TomahawkThree_56980_Chip', 'Qumran_88375_Chip', 'Qumran_88370_Chip')


def chip(**flags):
    """A chip (the kit's, with its packaged texts) with these flags, on top of
    an empty base bitmap and no other capability."""
    c = sdkkit.Chip()
    for name, value in dict(dict(base_pbmp=0, mixed_oversub=None, needs_lane_config=False), **flags).items():
        setattr(c, name, value)
    return c


@contextlib.contextmanager
def maker_chip_classes():
    """The maker's platform module hands out a class of our own under each of
    the seven names: yields {name: class}, each a subclass of sdkkit.Chip."""
    classes = dict((name, type(name, (sdkkit.Chip,), {})) for name in CHIP_CLASSES)
    with contextlib.nested(*[patch(zarnith.platform, name, cls) for name, cls in classes.items()]):
        yield classes


class Port(object):
    """A configured port: `n` logical ports numbered from `base`, hardware
    interfaces from `hw`; per-sub-port values given as lists (or one value
    for every sub-port)."""

    def __init__(self, n=1, base=1, hw=0, unit=0, mode='100G', speed=100, num_lanes=4, prefix='xe',
                 portmap_capable=True, **fields):
        self.num_logical_ports = n
        self.base = base
        self.hw = hw
        self.unit = unit
        self.mode = mode
        self.speed = speed
        self.num_lanes = num_lanes
        self.prefix = prefix
        self.portmap_capable = portmap_capable
        self.calls = []
        defaults = dict(
            oversub=False, rx_polarity_flip=None, tx_polarity_flip=None, rx_lane_map=None, tx_lane_map=None,
            mdi_pair_map=None, rx_logical=0, tx_logical=0, pre_emphasis=None, drv_current=None,
            pre_drv_current=None, enable_auto_neg=True, serdes_if_type=None, set_fiber_pref=False,
            phy_types=None, phy_addrs=None, autodetect=False, an_c37=None, an_c73=None, prim_offset=None,
            phy_id1=None, sys_interface=None, if_names=None, pbmp=None, intf_num=None, portmap_num=None)
        defaults.update(fields)
        self.__dict__.update(defaults)

    @staticmethod
    def _at(value, sub):
        return value[sub] if isinstance(value, (list, tuple)) else value

    def sdk_logical_port_num(self, sub):
        return self.base + sub

    def sdk_intf_prefix(self, sub):
        return self._at(self.prefix, sub)

    def sdk_intf_num(self, sub):
        return self.base + sub - 1 if self.intf_num is None else self._at(self.intf_num, sub)

    def sdk_config_intf(self, sub, num_units=None):
        if self.portmap_capable:
            name = str(self.sdk_logical_port_num(sub))
        else:
            name = '%s%u' % (self.sdk_intf_prefix(sub), self.sdk_intf_num(sub))
        if num_units is None or num_units > 1:
            name += '.%u' % self.unit
        return name

    def sdk_pbmp(self, sub):
        return 1 << self.sdk_logical_port_num(sub) if self.pbmp is None else self._at(self.pbmp, sub)

    def hw_intf_num(self, sub):
        return self.hw + sub

    def hw_intf_num_portmap(self, sub):
        return self.hw + sub if self.portmap_num is None else self._at(self.portmap_num, sub)

    def rx_logical_polarity_flip(self, sub):
        return self._at(self.rx_logical, sub)

    def tx_logical_polarity_flip(self, sub):
        return self._at(self.tx_logical, sub)

    def phy_type(self, sub):
        return None if self.phy_types is None else self.phy_types[sub]

    def phy_autodetect(self, sub):
        return self._at(self.autodetect, sub)

    def phy_addr(self, sub):
        return self.phy_addrs[sub]

    @property
    def physical_port(self):
        return PhysicalPort(self)

    # The per-chip polarity generators: each notes its call and appends one
    # line naming itself and the sub-port.
    def _generator(name):
        def generate(self, port, portmap, sub):
            self.calls.append((name, port, sub))
            portmap.append('%s %s' % (name, sub))
            return portmap
        return generate

    for _name in ('td3_rx', 'td3_tx', 'th3_rx', 'th3_tx', 'qmx_rx', 'qmx_tx'):
        locals()[_name + '_logical_polarity_flip'] = _generator(_name)
    del _name, _generator


class PhysicalPort(object):
    def __init__(self, configured):
        self.configured = configured

    def if_name_get(self, mode, sub):
        assert mode == self.configured.mode
        return self.configured.if_names[sub]


def config(ports, chip=None, units=None, name='linekit'):
    """A configuration object whose configured ports are `ports` (its units
    those of the ports unless given)."""
    c = sdkkit.config(sdkkit.platform(chip=chip or globals()['chip'](), name=name))
    c.ports = list(ports)
    c.units = set(p.unit for p in ports) if units is None else units
    return c
