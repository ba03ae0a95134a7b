"""Show the platform model and the configuration core on a sample platform:
the chip classes, each port's answers in its configured mode, and the
interfaces' MAC addresses, with the configuration object in dummy mode (no
outside program runs, nothing is written)."""
import sys

import brontile
import lanquist

from sample_platform import SamplePlatform

PORTS_CONF = """# sample ports.conf
1=100G
2=2x
3=4x
4=disabled
"""


def chip_classes():
    print 'Chip classes and their default-file directories:'
    for name in sorted(dir(brontile)):
        cls = getattr(brontile, name)
        if isinstance(cls, type) and issubclass(cls, brontile.BCMChip):
            print '  %-26s %s' % (name, ' '.join(cls().chip_dir_list))


def ports(platform, config):
    print
    print 'Ports of %s (ports.conf completed: %s):' % (
        platform.name, ', '.join('%s=%s' % kv for kv in sorted(config.config_map.items())))
    mac_index = 0
    for port in platform.switch.ports:
        mode = config.config_map.get(port.label, port.default_mode)
        if not port.configurable(config.config_map):
            print '  port %s: %s, not configured' % (port.label, mode)
            continue
        print '  port %s: %s, %dG on %d lane(s) per interface' % (
            port.label, mode, port.speed(mode), port.num_lanes(mode))
        for sub in range(port.num_logical_ports(mode)):
            mac = config.makemacaddr(config.macbase, port.port_mac_index(mode, mac_index, sub))
            print '    %-5s bitmap 0x%-6x rx polarity %d  mac %s' % (
                port.hw_intf(mode, sub), port.hw_pbmp(mode, sub), port.rx_logical_polarity_flip(mode, sub),
                ':'.join('%02x' % b for b in mac))
        mac_index += port.mac_addrs_contrib_total(config.config_map)


def main():
    chip_classes()
    platform = SamplePlatform()
    config = lanquist.Config(platform, dummy=True)
    config.config(PORTS_CONF)
    ports(platform, config)
    return 0


if __name__ == '__main__':
    sys.exit(main())
