"""Fixtures for the suites of the generated tables (port table, PHY table, port
script, link defaults, PHY script, ethernet and SFP tables):

- `small_platform()`: a two-unit platform of brontile ports, configured through
  the real configured-port classes;
- `CPort`: a configured port that answers from its fields, for edge cases;
- `Machine`: the interfaces that ip and drovik see, with recording runners
  that answer as the programs would and the files the port table opens (the
  PHY table of the previous run, the KNET link-control file); every command
  and file operation goes to one log.
"""
import errno
import subprocess

import brontile
import lanquist
import sdkkit
from sdkportkit import GangPort, QuadPort, make_port
from support import patch

PHYTAB = '/var/lib/zarnith/phytab'
KNET = '/proc/bcm/knet/link'
IP = 'ip'
DROVIK = 'drovik'


# --- a small platform of brontile ports ------------------------------------------------

class Quad(QuadPort):
    default_mode = '100G'


class Gang(GangPort):
    default_mode = '10G'

    def logical_port_num(self, mode, sub, port_base=None):
        return port_base + sub


class Fabric(QuadPort):
    default_mode = '100G'
    is_fabric = True


def small_platform(sw_base='bcm', dport_capable=True):
    """Unit 0: a four-lane cage with two PHYs (label 1), a gang of four cages
    (labels 5 to 8); unit 1: a four-lane cage with four PHYs (label 2) and a
    fabric port (label 9)."""
    ports = [make_port(Quad, label='1', hw_ports=('xe0', 'xe1', 'xe2', 'xe3'), unit=0, phy_addrs=[0x1f, 0]),
             make_port(Quad, label='2', hw_ports=('xe4', 'xe5', 'xe6', 'xe7'), unit=1, phy_addrs=[4, 5, 6, 7])]
    ports += [make_port(Gang, label=str(n + 5), hw_ports=('xe%d' % (8 + n),), unit=0) for n in range(4)]
    ports.append(make_port(Fabric, label='9', hw_ports=('xe12', 'xe13', 'xe14', 'xe15'), unit=1))
    chip = sdkkit.Chip()
    chip.sw_base = sw_base
    chip.portmap_capable = True
    chip.dport_capable = dport_capable
    return sdkkit.platform(ports, chip=chip)


PORTS_CONF = '1=4x10G\n2=loopback\n5=40G/4\n6=40G/4\n7=40G/4\n8=40G/4\n'


def configured(platform, ports_conf=PORTS_CONF, macbase=(0, 0x11, 0x22, 0x33, 0x44, 0)):
    """A configuration object, made in dummy mode and then left out of it (the
    runners are the test's), with a readable base MAC."""
    c = lanquist.BCMConfig(platform, dummy=True)
    c.config(ports_conf)
    c.dummy = False
    c.macbase = list(macbase)
    return c


# --- configured ports that answer from their fields ----------------------------------------

class PlatformPort(object):
    def __init__(self, is_fabric, sfp):
        self.is_fabric = is_fabric
        self.sfp = sfp


class CPort(object):
    """A configured port: `names` are its Linux interface names, one per
    logical port; `sdk` its SDK names (xe0, xe1, ... by default)."""
    mode = '40G'
    unit = 0
    is_fabric = False
    create_fabric = False
    loopback = False
    num_ganged_ports = 1
    port_base = 1
    mac_index = 0
    speed = 40
    sdk_group = None
    enable_auto_neg = False
    enable_auto_fec = False

    def __init__(self, names, sdk=None, phy_addrs=None, sfp=None, **fields):
        self.names = list(names)
        self.sdk = list(sdk) if sdk is not None else ['xe%d' % i for i in range(len(self.names))]
        self.phy_addrs = phy_addrs
        self.phy_init = {}
        for field, value in fields.items():
            setattr(self, field, value)
        self.physical_port = PlatformPort(self.is_fabric, sfp)

    @property
    def num_logical_ports(self):
        return len(self.names)

    @property
    def num_phys(self):
        return 0 if self.phy_addrs is None else len([a for a in self.phy_addrs if a is not None])

    def linux_port_name(self, sub):
        return self.names[sub]

    def sdk_intf(self, sub):
        return self.sdk[sub]

    def sdk_logical_port_num(self, sub):
        return self.port_base + sub

    def port_mac_index(self, sub):
        return self.mac_index + sub

    def phy_addr(self, sub):
        return self.phy_addrs[sub]


# --- names that are not plain text -------------------------------------------------------

def never_equal(base):
    """A name type of `base` (str or unicode) that equals nothing, not even its own text."""
    class NeverEqual(base):
        __hash__ = base.__hash__

        def __eq__(self, other):
            return False

        def __ne__(self, other):
            return True
    return NeverEqual


NeverEqual = never_equal(str)
NeverEqualUnicode = never_equal(unicode)


def turning(base, own, first, then):
    """A name of type `base` (str or unicode) holding `own`, whose __str__ and
    __unicode__ answer `first` the first time and `then` ever after."""
    class Turning(base):
        calls = 0

        def answer(self):
            self.calls += 1
            return first if self.calls == 1 else then

        __str__ = __unicode__ = answer

    return Turning(own)


class Unprintable(object):
    """A name that is no text and cannot even be shown."""

    def __repr__(self):
        raise RuntimeError('no repr')


class ClassicUnprintable:
    def __repr__(self):
        raise RuntimeError('no repr')


def with_ports(ports, sw_base='bcm', dport_capable=None, **flags):
    """A configuration object (dummy mode) whose configured ports are `ports`."""
    chip = sdkkit.Chip()
    chip.sw_base = sw_base
    chip.dport_capable = dport_capable
    c = lanquist.BCMConfig(sdkkit.platform(chip=chip), dummy=True)
    c.ports = list(ports)
    c.macbase = [0, 0x11, 0x22, 0x33, 0x44, 0]
    for flag, value in flags.items():
        setattr(c, flag, value)
    return c


# --- the machine: interfaces, runners and files -----------------------------------------------

class File(object):
    def __init__(self, machine, path, lines=()):
        self.machine = machine
        self.path = path
        self.lines = list(lines)

    def __iter__(self):
        return iter(self.lines)

    def write(self, text):
        self.machine.log.append(('write', self.path, text))

    def close(self):
        self.machine.log.append(('close', self.path))


class Runner(object):
    """Stands in for the IPRoute2 or Drovik runner of a configuration object."""

    def __init__(self, machine, program):
        self.machine = machine
        self.program = program

    def run(self, args):
        return self.machine.run(self.program, list(args))


class Machine(object):
    """Interfaces by name: kind ('tap', 'tun', 'bcm_knet', 'mlx_sx_netdev',
    'switch'), address, up, parent, interface index. `fail` is a word list:
    a command that begins with it fails as its program would (exit status 1)
    and changes nothing. `phytab` is the text of the PHY table file, or None
    when the file does not exist; `file_errors` maps a path to the error that
    opening it raises. `extra` maps a program to lines its listing adds."""

    def __init__(self, phytab=None):
        self.log = []
        self.links = {}
        self.order = []
        self.next_index = 1
        self.fail = None
        self.phytab = phytab
        self.file_errors = {}
        self.extra = {IP: [], DROVIK: []}

    # the interfaces
    def add(self, name, kind, parent=None, mac=None, up=False):
        if name in self.links:
            raise subprocess.CalledProcessError(1, ['add', name])
        self.links[name] = {'kind': kind, 'mac': mac, 'up': up, 'parent': parent, 'ifindex': self.next_index}
        self.order.append(name)
        self.next_index += 1

    def remove(self, name):
        del self.links[name]
        self.order.remove(name)

    def state(self):
        """name -> (kind, mac, up, ifindex)"""
        return dict((n, (l['kind'], l['mac'], l['up'], l['ifindex'])) for n, l in self.links.items())

    def commands(self):
        return [entry[1:] for entry in self.log if entry[0] == 'run']

    # the runners
    def install(self, config):
        config.iproute2 = Runner(self, IP)
        config.drovik = Runner(self, DROVIK)
        cm = patch(lanquist, 'open', self.open)
        cm.__enter__()
        return cm

    def run(self, program, args):
        argv = [program] + args
        self.log.append(tuple(['run'] + argv))
        if self.fail is not None and argv[:len(self.fail)] == list(self.fail):
            raise subprocess.CalledProcessError(1, argv)
        return getattr(self, 'run_' + program)(args)

    def run_ip(self, args):
        if args == ['tuntap', 'show']:
            lines = ['%s: %s one_queue' % (n, self.links[n]['kind'])
                     for n in self.order if self.links[n]['kind'] in ('tap', 'tun')]
            return ''.join(line + '\n' for line in lines + self.extra[IP])
        if args == ['-o', 'link', 'show']:
            out = []
            for n in self.order:
                l = self.links[n]
                name = n if l['parent'] is None else '%s@%s' % (n, l['parent'])
                flags = 'BROADCAST,MULTICAST,UP' if l['up'] else 'BROADCAST,MULTICAST'
                out.append('%d: %s: <%s> mtu 1500 qdisc noop state DOWN\\    link/ether %s brd ff:ff:ff:ff:ff:ff'
                           % (l['ifindex'], name, flags, l['mac'] or '00:00:00:00:00:00'))
            return '\n'.join(out) + '\n'
        if args[:3] == ['tuntap', 'add', 'dev']:
            self.add(args[3], 'tap')
        elif args[:3] == ['link', 'del', 'dev']:
            if args[3] not in self.links:
                raise subprocess.CalledProcessError(1, args)
            self.remove(args[3])
        elif args[:3] == ['link', 'set', 'dev'] and args[4] == 'address':
            self.links[args[3]]['mac'] = args[5]
        elif args[:2] == ['link', 'set'] and args[3] in ('up', 'down'):
            if args[2] not in self.links:
                raise subprocess.CalledProcessError(1, args)
            self.links[args[2]]['up'] = args[3] == 'up'
        else:
            raise AssertionError('unexpected ip command %r' % args)
        return ''

    def run_drovik(self, args):
        if args[:2] == ['show', 'type']:
            lines = ['%s type %s unit 0' % (n, args[2]) for n in self.order if self.links[n]['kind'] == args[2]]
            lines += self.extra[DROVIK]
            return ''.join(line + '\n' for line in lines)
        if args[:2] == ['add', 'name']:
            self.add(args[2], args[4])
            return ''
        raise AssertionError('unexpected drovik command %r' % args)

    # the files
    def open(self, path, mode='r'):
        self.log.append(('open', path, mode))
        if path in self.file_errors:
            raise self.file_errors[path]
        if path == PHYTAB and mode == 'r':
            if self.phytab is None:
                raise IOError(errno.ENOENT, 'No such file or directory', path)
            return File(self, path, self.phytab.splitlines(True))
        if path == KNET and mode == 'w':
            return File(self, path)
        raise AssertionError('unexpected open of %s (%s)' % (path, mode))


def knet(name):
    return [('open', KNET, 'w'), ('write', KNET, '%s=down' % name), ('close', KNET)]


def phytab_read():
    return [('open', PHYTAB, 'r'), ('close', PHYTAB)]
