"""Platform ports for the configured-port suites: brontile's generic ports and
small Python subclasses standing in for catalogue port types."""
import brontile
import lanquist
from support import WIRING, make_port, raised  # the suites take them from here too


def intf_number(name):
    return int(name[2:])


class QuadPort(brontile.BCMPort):
    """A four-lane port type: one port, a split on lane pairs, four-way
    breakouts. Its polarity is a lane mask; its dports follow port_base."""
    modes = ('100G', '50G', '40G', '2x50G', '4x25G', '4x10G')
    _speed_map = {'100G': 100, '50G': 50, '40G': 40, '2x50G': 50, '4x25G': 25, '4x10G': 10}
    _ports = {'100G': 1, '50G': 1, '40G': 1, '2x50G': 2, '4x25G': 4, '4x10G': 4}
    _serdes_intf_map = {100: 'KR4'}
    max_logical_ports = 4

    def num_logical_ports(self, mode):
        self._check_mode(mode)
        return self._ports[mode]

    def polarity_flip_val(self, mode, sub, polarity_flip):
        n = self.num_logical_ports(mode)
        if n == 4:
            return (polarity_flip >> sub) & 1
        if n == 2:
            return (polarity_flip >> (2 * sub)) & 3
        return polarity_flip

    def logical_port_num(self, mode, sub, port_base=None):
        return port_base + sub


class GangPort(brontile.BCMPort):
    """A single-lane cage that four of its kind can gang: the cage whose first
    interface number is divisible by 4 leads. Polarity is a flag per cage."""
    modes = ('10G', '40G/4')
    _speed_map = {'10G': 10, '40G/4': 40}
    gang_modes = ('40G/4',)
    max_gang_size = 4
    max_logical_ports = 1

    def _leads(self):
        return intf_number(self.hw_ports[0]) % 4 == 0

    def num_logical_ports(self, mode):
        self._check_mode(mode)
        if mode in self.gang_modes:
            return 1 if self._leads() else 0
        return 1

    def num_physical_ports(self, mode):
        self._check_mode(mode)
        if mode in self.gang_modes:
            return 4 if self._leads() else 0
        return 1

    def polarity_flip_val(self, mode, sub, polarity_flip):
        self._check_mode(mode)
        return 1 if polarity_flip is True else 0


def quad(**fields):
    """A QuadPort: label 5, interfaces xe4 to xe7 on unit 0, unless given."""
    fields.setdefault('label', '5')
    fields.setdefault('hw_ports', ('xe4', 'xe5', 'xe6', 'xe7'))
    fields.setdefault('unit', 0)
    return make_port(QuadPort, **fields)


def cport(physical_port, mode='100G', port_base=1, mac_index=0, loopback=False, cls=lanquist.SDKConfiguredPort):
    """A configured port of `cls` on `physical_port`."""
    return cls(mode, physical_port, port_base, mac_index, loopback)


def gang_cage(n, rx=None, tx=None, label=None):
    """The platform port of cage n (interface xe<n>, label n+1)."""
    return make_port(GangPort, label=label or str(n + 1), hw_ports=('xe%d' % n,), unit=0,
                     rx_polarity_flip=rx, tx_polarity_flip=tx)


class Recorder(brontile.SDKPort):
    """Answers every forwarded query with a fresh object and notes the call."""

    def __init__(self, **fields):
        args = dict.fromkeys(WIRING)
        args.update(fields)
        brontile.SDKPort.__init__(self, **args)
        self.calls = []

    def _note(self, name, *args):
        answer = object()
        self.calls.append((name, args, answer))
        return answer

    def last(self):
        return self.calls[-1]


def _recording(name):
    def query(self, *args):
        return self._note(name, *args)
    query.__name__ = name
    return query


for _name in ('speed', 'num_lanes', 'num_logical_ports', 'num_physical_ports', 'serdes_if_type', 'an_c37',
              'an_c73', 'phy_autodetect', 'hw_port_num', 'set_leds', 'port_mac_index', 'hw_pbmp',
              'hw_intf_prefix', 'logical_port_num', 'rx_logical_polarity_flip', 'tx_logical_polarity_flip'):
    setattr(Recorder, _name, _recording(_name))
del _name


class Failing(brontile.SDKPort):
    """Every query raises the one exception object it holds."""

    def __init__(self, error):
        brontile.SDKPort.__init__(self, *([None] * len(WIRING)))
        self.error = error

    def __getattribute__(self, name):
        if name in ('error', '__class__', '__dict__'):
            return object.__getattribute__(self, name)
        raise object.__getattribute__(self, 'error')
