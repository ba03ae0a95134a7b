"""A sample platform definition, as a maker's platform package would write one:
a four-port switch on a Tomahawk 2 chip, built from brontile's generic classes
with a port type of its own."""
import brontile


class SamplePort(brontile.BCMPort):
    """A QSFP28 cage on four lanes: one 100G port, two 50G or four 25G."""
    modes = ('100G', '2x50G', '4x25G', '40G', '4x10G')
    default_mode = '100G'
    _speed_map = {'100G': 100, '2x50G': 50, '4x25G': 25, '40G': 40, '4x10G': 10}
    pbmp_map = dict(('ce%d' % i, i + 1) for i in range(16))
    _ports = {'100G': 1, '2x50G': 2, '4x25G': 4, '40G': 1, '4x10G': 4}
    max_logical_ports = 4

    def __init__(self, label, first_lane, leds):
        brontile.BCMPort.__init__(
            self, label, tuple('ce%d' % (first_lane + i) for i in range(4)), None, None, 'QSFP28',
            None, leds, 0, 0x5, 0x0, 0x1032, 0x3210, None, None, None, None, False, None, None)

    def num_logical_ports(self, mode):
        self._check_mode(mode)
        return self._ports[mode]

    def polarity_flip_val(self, mode, sub, polarity_flip):
        if self.num_logical_ports(mode) == 4:
            return (polarity_flip >> sub) & 1
        return polarity_flip


class SamplePlatform(brontile.Platform):
    name = 'sample-4x100'

    def __init__(self):
        self.switch = brontile.BCMSwitch(brontile.TomahawkTwo_56970_Chip())
        self.switch.ports = [SamplePort(str(i + 1), 4 * i, (0, i)) for i in range(4)]
