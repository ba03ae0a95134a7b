"""Small port fixtures shared by the brontile suites."""
import brontile
from support import WIRING, make_port, raised  # the suites take them from here too


class QuadPort(brontile.BCMPort):
    """A four-lane port type: one port, a two-way split on lane pairs, a
    four-way breakout, and a gang mode in which it leads."""
    modes = ('100G', '2x50G', '4x25G', '100G/4')
    _speed_map = {'100G': 100, '2x50G': 50, '4x25G': 25, '100G/4': 100}
    _ports = {'100G': 1, '2x50G': 2, '4x25G': 4, '100G/4': 1}
    max_logical_ports = 4

    def num_logical_ports(self, mode):
        self._check_mode(mode)
        return self._ports[mode]

    def polarity_flip_val(self, mode, sub, polarity_flip):
        return (mode, sub, polarity_flip)
