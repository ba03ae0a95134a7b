"""A small platform for the SDK configuration suites, written the way a
platform definition writes one, and stand-ins for the configured ports and
the LED controllers that the configuration object creates.

    class Chip(sdkkit.Chip):
        portmap_capable = True

    platform = sdkkit.platform(
        [sdkkit.Port('1', ['xe0', 'xe1', 'xe2', 'xe3'], leds=(0, 1)),
         sdkkit.Port('2', ['xe4'], unit=1, default_mode='10G')],
        chip=Chip(), glimra=sdkkit.recording_controller(log))
"""
import contextlib

import lanquist
from support import patch


class Chip(object):
    """A chip with its packaged texts; records every text asked of it."""
    sw_base = 'bcm'
    portmap_capable = None
    dport_capable = None

    def __init__(self, texts=None, on_ask=None):
        self.texts = dict(texts or {})
        self.asked = []
        self.on_ask = on_ask

    def get_config(self, name):
        self.asked.append(name)
        if self.on_ask:
            self.on_ask(name)
        return self.texts.get(name)


class Switch(object):
    led_controllers = None
    has_phy_ucode_mdio = None
    has_phy_ucode_spi_rom = None

    def __init__(self, chip, ports):
        self.chip = chip
        self.ports = ports


class Platform(object):
    portleds = None

    def __init__(self, switch, name='sdkkit'):
        self.switch = switch
        self.name = name


def platform(ports=(), chip=None, name='sdkkit', **switch_fields):
    """A platform of these ports; keywords become fields of the switch
    (glimra, led_controllers, has_phy_ucode_mdio, ...)."""
    switch = Switch(chip or Chip(), list(ports))
    for field, value in switch_fields.items():
        setattr(switch, field, value)
    return Platform(switch, name)


class Port(object):
    """A platform port: a four-lane cage that breaks out ("4x10G"), or joins a
    gang of four ("40G/4", led by the cage whose first interface number is
    divisible by 4)."""
    is_fabric = False
    create_fabric = False
    gang_modes = ('40G/4', '100G/4')
    max_gang_size = 4
    max_logical_ports = 4
    default_mode = '40G'
    sfp = None

    def __init__(self, label, hw_ports, unit=0, leds=None, **fields):
        self.label = label
        self.hw_ports = list(hw_ports)
        self.unit = unit
        self.leds = leds
        for field, value in fields.items():
            setattr(self, field, value)

    @classmethod
    def complete_mode(cls, port, mode):
        return mode

    def key(self):
        return 'Fabric-' + self.label if self.is_fabric else self.label

    def configurable(self, config_map):
        return not config_map.get(self.key(), self.default_mode).lower().startswith('disable')

    def port_mangler(self, mode):
        return [(self, mode)]

    def mac_addrs_contrib_total(self, config_map):
        if not self.configurable(config_map) or (self.is_fabric and not self.create_fabric):
            return 0
        return self.max_logical_ports

    def num_logical_ports(self, mode):
        if mode in self.gang_modes:
            return 1 if self.hw_port_num(mode, 0) % 4 == 0 else 0
        if 'x' in mode:
            return int(mode.split('x')[0])
        return 1

    def hw_intf_prefix(self, mode, sub):
        return self.hw_ports[sub][:2]

    def hw_port_num(self, mode, sub):
        return int(self.hw_ports[sub][2:])

    def set_leds(self, mode, led_port, sub, led_index_list):
        return {}


# --- configured ports ----------------------------------------------------------------

class ConfiguredPort(object):
    """Stands in for lanquist's configured port: what the calculation, the
    gangs and the LED programs read of one."""
    kind = 'plain'

    def __init__(self, mode, physical_port, port_base, mac_index, loopback):
        self.mode = mode
        self.physical_port = physical_port
        self.port_base = port_base
        self.mac_index = mac_index
        self.loopback = loopback
        self.ganged_ports = None

    label = property(lambda self: self.physical_port.label)
    unit = property(lambda self: self.physical_port.unit)
    leds = property(lambda self: self.physical_port.leds)
    max_gang_size = property(lambda self: self.physical_port.max_gang_size)
    gang_label = property(lambda self: self.physical_port.label)

    @property
    def num_logical_ports(self):
        return self.physical_port.num_logical_ports(self.mode)

    @property
    def ganged(self):
        return self.mode in self.physical_port.gang_modes

    @property
    def gang_leader(self):
        return self.ganged and self.num_logical_ports != 0

    def hw_port_num(self, sub):
        return self.physical_port.hw_port_num(self.mode, sub)

    def set_leds(self, led_port, sub, led_index_list):
        return self.physical_port.set_leds(self.mode, led_port, sub, led_index_list)

    def __repr__(self):
        return '<%s %s %s>' % (self.kind, self.label, self.mode)


class MappedPort(ConfiguredPort):
    kind = 'mapped'


class DportPort(ConfiguredPort):
    kind = 'dport'

    def __init__(self, mode, physical_port, port_base, if_port_base, mac_index, loopback):
        ConfiguredPort.__init__(self, mode, physical_port, port_base, mac_index, loopback)
        self.if_port_base = if_port_base


@contextlib.contextmanager
def configured_ports():
    """lanquist builds the stand-in configured ports for the block."""
    with patch(lanquist, 'SDKConfiguredPort', ConfiguredPort), \
            patch(lanquist, 'SDKConfiguredMappedPort', MappedPort), \
            patch(lanquist, 'BCMConfiguredDportPort', DportPort):
        yield


# --- LED controllers -------------------------------------------------------------------

def recording_controller(log, commands=None):
    """An LED controller class whose objects log ('new', object) and
    ('configure', index, labels); `commands` maps an index to its data-RAM
    commands."""
    commands = commands or {}

    class Controller(object):
        def __init__(self):
            self.index = None
            log.append(('new', self))

        def configure(self, controller_idx, ports):
            self.index = controller_idx
            self.ports = ports
            log.append(('configure', controller_idx, [p.label for p in ports]))

        @property
        def asm(self):
            return 'asm of %s' % self.index

        @property
        def hex(self):
            log.append(('hex', self.index))
            return 'hex of %s' % self.index

        def led_memory_init_commands(self, controller_idx):
            return list(commands.get(controller_idx, ()))

    return Controller


def config(platform, ports_conf=None, cls=None, **flags):
    """A configuration object in dummy mode; with ports_conf, configured
    (with the stand-in configured ports)."""
    flags.setdefault('dummy', True)
    c = (cls or lanquist.BCMConfig)(platform, **flags)
    if ports_conf is not None:
        with configured_ports():
            c.config(ports_conf)
    return c
