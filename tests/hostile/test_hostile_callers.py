"""Hostile callers of every class of brontile, lanquist and glimra.

Each sweep runs in a child interpreter (this file run as a program), so that a
crash is a failed test and not a dead runner. The child calls every member of
every class in the modules' namespaces:
  - on objects made without __init__, with no, too many and wrongly typed
    arguments, and classic members with the wrong object;
  - with the arguments of the calls a real run makes (recorded), one argument
    at a time replaced by a hostile value, or the object replaced by one made
    without __init__;
  - during a real run whose module globals are rebound to the wrong kind of
    object;
  - during a real run whose objects' methods and properties are overridden by
    ones that call back into the same member, or that empty (or fill with junk)
    the containers they are handed and the ones the run holds.
A Python-level error is fine; a SystemError, a crash or a sanitizer report is not.
Outside programs, files and directories are jailed to the child's own
temporary directory.
"""
import os
import shutil
import StringIO
import subprocess
import sys
import tempfile
import types
import unittest

from support import bare

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(HERE)
STUB_BIN = os.path.join(TESTS, 'stubs', 'bin')


# --- the parent: one child per sweep ----------------------------------------------------

class SweepTest(unittest.TestCase):
    maxDiff = None

    def sweep(self, phase, minimum):
        tmp = tempfile.mkdtemp(prefix='hostile-')
        self.addCleanup(shutil.rmtree, tmp, True)
        report = os.path.join(tmp, 'report')
        child = subprocess.Popen([sys.executable, '-B', os.path.abspath(__file__), report, phase], cwd=tmp,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        out = child.communicate()[0]
        with open(report) as f:
            lines = f.read().splitlines()
        faults = [l for l in lines if l.startswith('FAULT')]
        done = [int(l.split()[1]) for l in lines if l.startswith('DONE')]
        sanitizer = [l for l in out.splitlines() if 'Sanitizer' in l or 'runtime error:' in l]
        where = [l for l in lines if l.startswith('AT ')][-1:]
        self.assertEqual((child.returncode, faults, sanitizer), (0, [], []),
                         '%s: last %s\n%s' % (phase, where, '\n'.join(out.splitlines()[-40:])))
        self.assertTrue(done and done[0] >= minimum, (phase, done, minimum))

    def test_members_of_brontile(self):
        self.sweep('members:brontile', 15000)

    def test_members_of_lanquist(self):
        self.sweep('members:lanquist', 8000)

    def test_members_of_glimra(self):
        self.sweep('members:glimra', 800)

    def test_recorded_calls_with_hostile_arguments(self):
        self.sweep('recorded', 100000)

    def test_rebound_module_globals(self):
        self.sweep('rebind', 100000)

    def test_overrides_that_call_back(self):
        self.sweep('reenter', 1000)

    def test_overrides_that_mutate_what_they_are_handed(self):
        self.sweep('mutate', 50000)


# --- the child ----------------------------------------------------------------------------

def _raise(*args, **kwargs):
    raise ValueError('hostile')


_HOSTILE_SLOTS = ('__str__', '__repr__', '__int__', '__long__', '__float__', '__index__', '__hash__', '__eq__',
                  '__ne__', '__lt__', '__le__', '__gt__', '__ge__', '__cmp__', '__iter__', '__len__',
                  '__nonzero__', '__getitem__', '__getslice__', '__contains__', '__add__', '__radd__', '__sub__',
                  '__rsub__', '__mul__', '__rmul__', '__mod__', '__rmod__', '__div__', '__rdiv__', '__floordiv__',
                  '__rfloordiv__', '__lshift__', '__rlshift__', '__rshift__', '__rrshift__', '__and__', '__rand__',
                  '__or__', '__ror__', '__call__', 'keys', 'items', 'get', 'split', 'startswith', 'join',
                  'append', 'rpartition', 'strip')


def _hostile(base):
    """A subclass of `base` whose every operation raises."""
    ns = dict((name, _raise) for name in _HOSTILE_SLOTS)
    if base is object:
        ns['__getattr__'] = _raise
    return type('Raising' + base.__name__.capitalize(), (base,), ns)


class _Clearing(object):
    """Mixin: a container that empties itself whenever it is read through Python."""

    def _cleared(name):
        def method(self, *args):
            result = getattr(self._base, name)(self, *args)
            self.clear() if hasattr(self, 'clear') else self.__delslice__(0, len(self))
            return result
        return method
    for _name in ('__iter__', '__len__', '__getitem__', '__contains__', 'keys', 'items', 'get', 'values'):
        locals()[_name] = _cleared(_name)
    del _name, _cleared


class ClearingList(_Clearing, list):
    _base = list
    keys = items = get = values = None


class ClearingDict(_Clearing, dict):
    _base = dict


RaisingObject, RaisingStr, RaisingInt = _hostile(object), _hostile(str), _hostile(int)
RaisingList, RaisingDict = _hostile(list), _hostile(dict)


def bad_values():
    return [None, -1, 2 ** 64, 'xe1', u'\xe9', [], {}, RaisingObject(), RaisingStr('ce4'), RaisingInt(2),
            RaisingList([1]), RaisingDict({1: 2})]


def like(value):
    """Hostile values of the same kind as a good one."""
    if isinstance(value, bool) or value is None:
        return [0.5, 'True']
    if isinstance(value, (int, long)):
        return [RaisingInt(value), -value - 1, value + 0.5, 2 ** 70]
    if isinstance(value, basestring):
        return [RaisingStr(value), value + 'zz', '', value[:1]]
    if isinstance(value, list):
        return [RaisingList(value), ClearingList(value), value + [None], tuple(value)]
    if isinstance(value, tuple):
        return [list(value), value + (None,), value[:1], ClearingList(value)]
    if isinstance(value, dict):
        return [RaisingDict(value), ClearingDict(value), dict(value, junk=None)]
    return []


_USES = ('__eq__', '__ne__', '__lt__', '__le__', '__gt__', '__ge__', '__cmp__', '__hash__', '__index__', '__int__',
         '__long__', '__add__', '__radd__', '__sub__', '__rsub__', '__mul__', '__rmul__', '__floordiv__',
         '__rfloordiv__', '__mod__', '__rmod__', '__lshift__', '__rlshift__', '__rshift__', '__rrshift__', '__and__',
         '__rand__', '__or__', '__ror__', '__str__', '__repr__', '__len__', '__getitem__', '__getslice__',
         '__nonzero__', '__contains__', '__iter__')


def _doomed(base, **extra):
    def use(name):
        def method(self, *args):
            self._holder.clear()
            return getattr(base, name)(self, *args)
        return method
    ns = dict((name, use(name)) for name in _USES if hasattr(base, name))
    ns.update(extra)
    return type('Doomed' + base.__name__.capitalize(), (base,), ns)


# Look-alikes of a keyword argument that empty the caller's keyword dict when
# they are used; the int one is big enough to live outside the small-object
# allocator, so that the sanitizer sees a use after it is freed.
DoomedStr = _doomed(str)
DoomedInt = _doomed(int, __slots__=('_holder',) + tuple('pad%d' % i for i in range(80)))


def doomed_keywords(kwargs):
    """A keyword dict of look-alikes, emptied as soon as the member uses one of its values."""
    holder = {}
    for key, value in kwargs.items():
        if type(value) in (str, int):
            look_alike = (DoomedStr if type(value) is str else DoomedInt)(value)
            look_alike._holder = holder
            value = look_alike
        holder[key] = value
    return holder


def safe_repr(o):
    try:
        return repr(o)[:80]
    except BaseException:
        return '<%s>' % type(o).__name__


class Child(object):
    def __init__(self, report):
        self.report = open(report, 'w')
        self.cases = 0

    def at(self, label):
        self.report.write('AT %s\n' % label)
        self.report.flush()

    def call(*described, **kwargs):
        """One case: any outcome but a SystemError (or a crash) is fine."""
        self, label, fn, args = described[0], described[1], described[2], described[3:]
        self.cases += 1
        try:
            return fn(*args, **kwargs)
        except SystemError as e:
            self.report.write('FAULT %s: SystemError %s\n' % (label, e))
            self.report.flush()
        except BaseException:
            pass
        return None

    def done(self):
        self.report.write('DONE %d\n' % self.cases)
        self.report.close()


# --- the jail: what a member may do to the machine ----------------------------------------

class Jail(object):
    def __init__(self, tmp):
        self.tmp = os.path.realpath(tmp)

    def inside(self, path):
        if type(path) not in (str, unicode):
            return False
        path = os.path.realpath(path)
        return path == os.devnull or path.startswith(self.tmp + os.sep)

    def checked(self, fn, first=0, count=1):
        """fn, refused unless its path arguments [first, first + count) lie in the jail."""
        def run(*args, **kwargs):
            if not all(self.inside(p) for p in args[first:first + count]):
                raise OSError('jailed: %s%r' % (fn.__name__, args))
            return fn(*args, **kwargs)
        return run

    def open(self, path, mode='r', *rest):
        if type(mode) is not str or any(c in mode for c in 'wa+'):
            if not self.inside(path):
                raise IOError('jailed: open(%r, %r)' % (path, mode))
        return open(path, mode, *rest)

    def run_program(self, fn):
        """The assembler's stand-in runs; the other programs answer as their stand-ins do, in process."""
        def run(argv, *args, **kwargs):
            if kwargs.get('shell') or type(argv) not in (list, tuple) or not argv:
                raise OSError('jailed program %r' % (argv,))
            name = os.path.basename(argv[0]) if type(argv[0]) is str else None
            if name == 'pulsic':
                return fn([os.path.join(STUB_BIN, 'pulsic')] + list(argv[1:]), *args, **kwargs)
            if name not in ('idwarden', 'drovik', 'ip'):
                raise OSError('jailed program %r' % (argv,))
            return {'-a': '00:11:22:33:44:55\n', '-r': '64\n'}.get(argv[1] if len(argv) > 1 else None, '')
        return run

    def modules(self):
        """Stand-ins for os, shutil, subprocess, syslog, sys and open."""
        def namespace(real, **changes):
            ns = types.ModuleType(real.__name__)
            ns.__dict__.update(vars(real))
            ns.__dict__.update(changes)
            return ns

        os_changes = dict((n, self.checked(getattr(os, n))) for n in (
            'open', 'remove', 'unlink', 'mkdir', 'makedirs', 'rmdir', 'removedirs', 'chmod', 'chown', 'utime',
            'mknod', 'mkfifo', 'lchown'))
        for n in ('rename', 'renames', 'link', 'symlink'):
            os_changes[n] = self.checked(getattr(os, n), 0, 2)
        for n in ('system', 'popen', 'fork', 'forkpty', 'kill', 'killpg', '_exit', 'execv', 'execve', 'execvp',
                  'spawnv', 'spawnl', 'startfile', 'chdir', 'chroot', 'setuid'):
            os_changes[n] = _raise
        jailed_os = namespace(os, **os_changes)
        jailed_shutil = namespace(shutil, copy=self.checked(shutil.copy, 1), copyfile=self.checked(shutil.copyfile, 1),
                                  copy2=self.checked(shutil.copy2, 1), copytree=self.checked(shutil.copytree, 1),
                                  move=self.checked(shutil.move, 0, 2), rmtree=self.checked(shutil.rmtree))
        jailed_subprocess = namespace(subprocess, **dict(
            (n, self.run_program(getattr(subprocess, n))) for n in ('check_call', 'check_output', 'call', 'Popen')))
        jailed_sys = namespace(sys, stdout=StringIO.StringIO(), stderr=StringIO.StringIO())
        jailed_syslog = types.ModuleType('syslog')
        jailed_syslog.syslog = lambda *args: None
        for name in ('LOG_ERR', 'LOG_INFO', 'LOG_WARNING', 'LOG_NOTICE', 'LOG_DEBUG'):
            setattr(jailed_syslog, name, 0)
        return {'os': jailed_os, 'shutil': jailed_shutil, 'subprocess': jailed_subprocess, 'sys': jailed_sys,
                'syslog': jailed_syslog, 'open': self.open}


def setup_child():
    tmp = os.getcwd()
    tempfile.tempdir = tmp
    import brontile
    import glimra
    import lanquist
    import zarnith.platform  # noqa: F401  (the maker's platform module, loaded on the switch)
    jail = Jail(tmp).modules()
    for module in (brontile, lanquist, glimra, lanquist.configparser):
        for name, value in jail.items():
            if name in vars(module) or name == 'open':
                setattr(module, name, value)
    return tmp, (brontile, lanquist, lanquist.configparser, glimra)


def is_class(v):
    return isinstance(v, (type, types.ClassType))


def classes_of(module):
    return [(name, v) for name, v in sorted(vars(module).items())
            if is_class(v) and getattr(v, '__module__', None) == module.__name__]


def members_of(cls):
    """(name, kind, raw) of the members the class itself defines in C."""
    found = []
    for name, raw in sorted(vars(cls).items()):
        kind = type(raw).__name__
        if kind == 'method_descriptor':
            found.append((name, 'method', raw))
        elif kind == 'classmethod_descriptor':
            found.append((name, 'classmethod', raw))
        elif kind == 'getset_descriptor' and name not in ('__dict__', '__weakref__'):
            found.append((name, 'property', raw))
        elif isinstance(raw, types.MethodType) and isinstance(raw.im_func, types.BuiltinFunctionType):
            found.append((name, 'classic', raw))
        elif isinstance(raw, classmethod) and isinstance(raw.__func__, types.BuiltinFunctionType):
            found.append((name, 'classmethod', raw))
        elif isinstance(raw, property) and isinstance(raw.fget, types.BuiltinFunctionType):
            found.append((name, 'classic property', raw))
    return found


def sweep_members(child, module):
    bad = bad_values()
    for cname, cls in classes_of(module):
        for name, kind, raw in members_of(cls):
            label = '%s.%s.%s' % (module.__name__, cname, name)
            child.at(label)
            obj = child.call(label, bare, cls)
            if kind.endswith('property'):
                child.call(label, getattr, obj, name)
                if kind == 'classic property':
                    child.call(label, raw.fget)
                    for v in bad:
                        child.call(label, raw.fget, v)
                continue
            target = getattr(cls, name) if kind == 'classmethod' else child.call(label, getattr, obj, name)
            if target is None:
                continue
            child.call(label, target)
            child.call(label, target, *range(30))
            for v in bad:
                for n in range(1, 5):
                    child.call(label, target, *([v] * n))
                child.call(label, target, bogus=v)
                child.call(label, target, *([v] * 3), **{'mode': v, 'sub': v, 'label': v, 'x' * 300: v})
                if kind == 'classic':
                    child.call(label, raw.im_func, v)
                    child.call(label, raw.im_func, v, v, v)
            if kind == 'classic':
                child.call(label, raw.im_func)
                child.call(label, raw.im_func, **{'self': obj})


# --- a real run: platforms built from the catalogue, configured, every text rendered -------

OUTPUTS = ('portsbcm', 'porttab', 'linkdefaults', 'phytab', 'rcports_0', 'rcled', 'rcphy', 'ethertab', 'ucodebcm',
           'sfptab', 'hwdesc', 'uft', 'riot', 'datapath', 'sdk', 'rcforwarding')
PORT_FIELDS = dict(label='1', serdes=(0, 1, 2, 3), hw_port='xe0', hw_ports=('xe0', 'xe1', 'xe2', 'xe3'),
                   adj_label=None, phy_types=None, phy_addrs=None, phy_type=None, phy_addr=None,
                   phy_layer='QSFP28', prim_offset=None, leds=(0, 1), unit=0, tx_lane_map=0x3210,
                   rx_lane_map=0x0123, tx_polarity_flip=0x5, rx_polarity_flip=0x3, mdi_pair_map=None,
                   pre_emphasis=None, drv_current=None, pre_drv_current=None, oversub=False, phy_id1=None,
                   sys_interface=None, sdk_group=None)


class Run(object):
    """The classes a run uses, taken before any rebinding of the modules' names."""

    def __init__(self, child, tmp, brontile, lanquist, glimra):
        self.child, self.tmp = child, tmp
        self.b = dict(vars(brontile))
        self.l = dict(vars(lanquist))
        self.g = dict(vars(glimra))
        self.made = []  # every object the run builds, for the overrides' sweeps

    def port(self, cls, **fields):
        """A port of a catalogue class, its constructor's parameters found by trying."""
        kwargs = dict(PORT_FIELDS, **fields)
        for _ in range(len(kwargs) + 1):
            try:
                return self.keep(cls(**kwargs))
            except TypeError as e:
                words = str(e).split("'")
                if 'unexpected keyword' not in str(e) or len(words) < 2:
                    raise
                del kwargs[words[1]]
        raise TypeError('no constructor call found for %s' % cls.__name__)

    def keep(self, obj):
        self.made.append(obj)
        return obj

    def platform(self, chip, ports):
        p = self.keep(self.b['Platform']())
        p.name = 'hostile'
        p.switch = self.keep(self.b['BCMSwitch'](chip=self.keep(chip)))
        p.switch.ports = ports
        p.switch.glimra = self.controller()
        return p

    def controller(self):
        base = self.g['TomahawkLEDController']
        return type('Controller', (base,), {'num_leds': 8, '_pulsic': os.path.join(STUB_BIN, 'pulsic')})

    def builders(self):
        """(platform, ports.conf text) makers, one per chip family."""
        b, port = self.b, self.port
        claim = lambda self, mode, led_port, sub, leds: {self.leds[1] + sub: ('p%d' % led_port, 'set_led:\n', led_port)}
        cage = lambda: type('Cage', (b['Tomahawk25GPort'],), {'set_leds': claim})
        return [
            lambda: (self.platform(b['TomahawkChip'](), [
                port(b['Tomahawk100GPort'], label='1', phy_types=('84328',), phy_addrs=(0x1f,),
                     pre_emphasis=(1,), drv_current=(5,)),
                port(b['Tomahawk100GPort'], label='2', serdes=(4, 5, 6, 7))] + [
                port(cage(), label=str(3 + n), serdes=(8 + n,), leds=(0, 2 + n), phy_layer='SFP28') for n in range(4)] + [
                port(b['Tomahawk100GFabricPort'], label='7', serdes=(12, 13, 14, 15))]),
                '1=4x25G\n2=2x50G\n3=100G/4\n4=100G/4\n5=100G/4\n6=100G/4\nFabric-7=100G\n'),
            lambda: (self.platform(b['TomahawkTwo_56970_Chip'](), [
                port(b['TomahawkTwo100GPort'], label=str(n + 1), serdes=tuple(range(4 * n, 4 * n + 4)))
                for n in range(3)]), '1=4x25G\n2=100G\n'),
            lambda: (self.platform(b['TridentThreeX7_56870_Chip'](), [
                port(b['TridentThree100GPort'], label='1'),
                port(b['TridentThree25GPort'], label='2', serdes=(64,), rx_polarity_flip=True)]), '1=2x50G\n2=25G\n'),
            lambda: (self.platform(b['TomahawkThree_56980_Chip'](), [port(b['TomahawkThree100GPort'], label='1')]),
                     '1=100G\n'),
            lambda: (self.platform(b['Qumran_88375_Chip'](), [
                port(b['Qumran100GPort'], label='1'),
                port(b['Qumran10GPort'], label='2', serdes=(9,), rx_polarity_flip=True, phy_layer='SFP+')]),
                '1=4x10G\n2=10G\n'),
            lambda: (self.platform(b['Maverick_56762_Chip'](), [
                port(b['Maverick100GPort'], label='1', pre_emphasis=[1, 2, 3, 4], drv_current=[5] * 4),
                port(b['Maverick10GPort'], label='2', serdes=(4,), phy_layer='10GBaseT'),
                port(b['Maverick40GFabricPort'], label='3', serdes=(8, 9, 10, 11))]), '1=40G\n2=1G\nFabric-3=40G\n'),
            lambda: (self.platform(b['Helix4Chip'](), [
                port(b['Helix41GPort'], label='1', hw_port='ge0', phy_type='bcm54616', phy_addr=0x10),
                port(b['Helix410GPort'], label='2', hw_port='hg2', rx_polarity_flip=True)]), '1=1G\n2=10G\n'),
            lambda: (self.platform(b['Hurricane2Chip'](), [
                port(b['Hurricane21GPort'], label='1', hw_port='ge0'),
                port(b['Hurricane210GPort'], label='2', hw_port='xe1')]), '1=1G\n2=10G\n'),
            lambda: (self.platform(b['TridentPlusChip'](), [
                port(b['Trident40GPort'], label='1', rx_polarity_flip=[True, False, True, False])]), '1=4x10G\n'),
        ]

    def queries(self, port):
        """Every member of the port asked for every mode and sub-port, in the arities that fit."""
        names = [n for n in dir(port) if not n.startswith('__')]
        for mode in list(getattr(port, 'modes', ()))[:4]:
            for name in names:
                member = getattr(port, name, None)
                if not callable(member) or is_class(member):
                    continue
                for args in ((mode,), (mode, 0), (mode, 1, 1), (mode, 0, 0x5), ({'1': mode},)):
                    self.child.call('query', member, *args)
                for kwargs in ({'mode': mode}, {'mode': mode, 'sub': 0}, {'mode': mode, 'sub': 1, 'port_base': 1},
                               {'mode': mode, 'sub': 0, 'polarity_flip': 5}, {'config_map': {'1': mode}}):
                    self.child.call('query', member, **kwargs)
                    doomed = doomed_keywords(kwargs)
                    self.child.call('query', lambda: member(**doomed))  # that very dict reaches the member

    def error_paths(self, label, config):
        """The paths that end in the modules' own errors, their classes looked up at call time."""
        child = self.child
        child.call(label, config.config, '1=4x\n2=100G\n')
        child.call(label, config.init_config)
        child.call(label, lambda: config.eeprom.macaddr)
        port = config.platform.switch.ports[0]
        for query in (port.speed, port.num_logical_ports, port._check_mode, port.configurable):
            child.call(label, query, 'bogus')
        child.call(label, port.hw_intf, 'bogus', 0)
        child.call(label, config.config, '1=bogus\n')
        child.call(label, getattr(config, 'output', len), 'bogus')
        config.platform.switch.chip.sw_base = 'other'
        child.call(label, config.makekernnet, [{'portname': 'swp1', 'index': 0, 'unit': 0}])
        child.call(label, getattr, config, 'porttab')

    def run(self, label, queries=True):
        child = self.child
        child.at(label)
        b, l = self.b, self.l
        for build in self.builders():
            made = child.call(label, build)
            if made is None:
                continue
            platform, conf = made
            config = child.call(label, lambda: self.keep(l['BCMConfig'](platform, dummy=True)))
            if config is None:
                continue
            child.call(label, config.config, conf)
            self.made.extend(getattr(config, 'ports', []) or [])
            self.made.extend((getattr(config, '_led_programs', None) or {}).values())
            for name in OUTPUTS:
                child.call(label, config.output, name)
            child.call(label, config.write_config, os.path.join(self.tmp, 'ports.conf'))
            for name in ('makemacaddr', 'setmac', 'find_hw_port'):
                child.call(label, getattr(config, name), *{'makemacaddr': ([0, 1, 2, 3, 4, 5], 3),
                                                           'setmac': ('swp1', 1), 'find_hw_port': ('1',)}[name])
            child.call(label, config.maketap, [{'portname': 'swp1', 'index': 0, 'unit': 0}])
            child.call(label, config.makekernnet, [{'portname': 'swp1', 'index': 0, 'unit': 0}])
            child.call(label, config.destroyints, set(['swp1']))
            for cp in list(getattr(config, 'ports', None) or [])[:2]:
                for name in ('hw_intf_num', 'sdk_intf', 'linux_port_name', 'sdk_pbmp', 'port_mac_index'):
                    child.call(label, lambda: getattr(cp, name)(0))
        plain = child.call(label, lambda: self.keep(l['Config'](self.builders()[0]()[0])))
        sdk = child.call(label, lambda: self.keep(l['BCMConfig'](self.builders()[0]()[0])))
        for config in filter(None, (plain, sdk)):
            child.call(label, self.error_paths, label, config)
        for cname, cls in sorted(b.items()) if queries else ():
            if is_class(cls) and issubclass(cls, b['Port']) and cls is not b['Port']:
                port = child.call(label, self.port, cls)
                if port is not None:
                    self.queries(port)
        for cname, cls in sorted(b.items()):
            if is_class(cls) and issubclass(cls, b['SDKChip']):
                chip = child.call(label, cls)
                for name in ('chip_dir_list', 'bcm_config_path', 'chip_config_path'):
                    child.call(label, getattr, chip, name)
                child.call(label, lambda: chip.get_config('sdk.bcm'))
        parser = child.call(label, self.keep, child.call(label, l['configparser'].RawConfigParser))
        child.call(label, lambda: parser.readfp(StringIO.StringIO('[a]\nb=c\n  d\n[e]\nf: g\n')))
        child.call(label, lambda: parser.items('a'))


# --- the recorded calls -----------------------------------------------------------------------

def wrapped_members(modules):
    """(cls, name, raw, kind) of every C method and class method of every class."""
    for module in modules:
        for cname, cls in classes_of(module):
            for name, kind, raw in members_of(cls):
                if not kind.endswith('property'):
                    yield cls, name, raw, kind


def bound(raw, kind, obj, cls):
    if kind == 'classic':
        return lambda *a, **k: raw.im_func(obj, *a, **k)
    if kind == 'classmethod':
        return raw.__get__(None, cls) if isinstance(raw, classmethod) else raw.__get__(None, cls)
    return raw.__get__(obj, type(obj))


def record(modules, run):
    """The first few distinct calls a real run makes of each member."""
    calls = {}
    installed = []

    def wrapper(cls, name, raw, kind):
        key = (cls, name)

        def note(obj, a, k):
            shape = (type(obj), tuple(type(x) for x in a), tuple(sorted(k)))
            seen = calls.setdefault(key, {})
            if shape not in seen and sum(bool(s[2]) == bool(k) for s in seen) < 3:
                seen[shape] = (obj, a, dict(k))

        if kind == 'classmethod':
            def w(klass, *a, **k):
                note(klass, a, k)
                return raw.__get__(None, klass)(*a, **k)
            return classmethod(w)

        def w(self, *a, **k):
            note(self, a, k)
            return bound(raw, kind, self, cls)(*a, **k)
        w.__name__ = name
        return w

    for cls, name, raw, kind in wrapped_members(modules):
        setattr(cls, name, wrapper(cls, name, raw, kind))
        installed.append((cls, name, raw))
    try:
        run.run('recording')
    finally:
        for cls, name, raw in installed:
            setattr(cls, name, raw)
    return [(cls, name, raw, kind, entry) for cls, name, raw, kind in wrapped_members(modules)
            for entry in calls.get((cls, name), {}).values()]


def sweep_recorded(child, modules, run):
    bad = bad_values()
    recorded = record(modules, run)
    run.run('unrecorded')  # the members as the interpreter calls them, with no wrapper between
    for cls, name, raw, kind, (obj, a, k) in recorded:
        label = '%s.%s%s' % (cls.__name__, name, safe_repr(a))
        child.at(label)
        call = lambda obj, a, k: bound(raw, kind, obj, cls)(*a, **k)
        if kind != 'classmethod':
            child.call(label, lambda: call(bare(type(obj)), a, k))
        child.call(label, call, obj, a[:-1], k)
        child.call(label, call, obj, a + (None,), k)
        for i, value in enumerate(a):
            for v in bad + like(value):
                child.call(label, call, obj, a[:i] + (v,) + a[i + 1:], k)
        for key, value in sorted(k.items()):
            for v in bad + like(value):
                child.call(label, call, obj, a, dict(k, **{key: v}))
        if k:
            child.call(label, lambda: bound(raw, kind, obj, cls)(*a, **doomed_keywords(k)))
    return len(recorded)


# --- module globals rebound ---------------------------------------------------------------------

class NotAnException(object):
    def __init__(self, *args, **kwargs):
        pass


def sweep_rebind(child, modules, run):
    # Names looked up at call time that live in the builtins until rebound.
    builtins = ('open', 'range', 'int', 'str', 'sorted', 'len')
    for module in modules:
        names = sorted(set(n for n in vars(module) if not n.startswith('__')) | set(builtins))
        for name in names:
            had = name in vars(module)
            old = vars(module).get(name)
            for value in (None, 'text', NotAnException):
                setattr(module, name, value)
                try:
                    run.run('%s.%s = %s' % (module.__name__, name, safe_repr(value)), queries=False)
                finally:
                    if had:
                        setattr(module, name, old)
                    else:
                        delattr(module, name)


# --- overrides ---------------------------------------------------------------------------------

class Overrides(object):
    """Subclasses of the run's classes whose every method and property goes
    through `hook(self, name, call)`, where `call()` runs the inherited one."""

    def __init__(self, hook):
        self.hook = hook
        self.made = {}

    def subclass(self, cls):
        if cls in self.made or cls in self.made.values():
            return self.made.get(cls, cls)
        hook = self.hook
        ns = {}
        for name in dir(cls):
            if name.startswith('__') and name != '__init__':
                continue
            value = inherited(cls, name)
            if isinstance(value, (property, types.GetSetDescriptorType)) or type(value).__name__ == 'getset_descriptor':
                ns[name] = property(getter(cls, name, hook))
            elif callable(value) and not is_class(value) and not isinstance(value, (classmethod, staticmethod)) \
                    and type(value).__name__ != 'classmethod_descriptor':
                ns[name] = method(cls, name, hook)
        if isinstance(cls, types.ClassType):
            sub = types.ClassType('Hostile' + cls.__name__, (cls,), ns)
        else:
            sub = type('Hostile' + cls.__name__, (cls,), ns)
        self.made[cls] = sub
        return sub

    def adopt(self, obj):
        cls = obj.__class__
        try:
            obj.__class__ = self.subclass(cls)
        except (TypeError, AttributeError):
            pass


def inherited(cls, name):
    for klass in (cls.__mro__ if isinstance(cls, type) else _classic_mro(cls)):
        if name in vars(klass):
            return vars(klass)[name]
    return None


def _classic_mro(cls):
    yield cls
    for base in cls.__bases__:
        for k in _classic_mro(base):
            yield k


def getter(cls, name, hook):
    def get(self):
        raw = inherited(cls, name)
        fget = raw.fget if isinstance(raw, property) else (lambda o: raw.__get__(o, cls))
        return hook(self, name, (), {}, lambda *a, **k: fget(self))
    return get


def method(cls, name, hook):
    def m(self, *a, **k):
        def call(*a2, **k2):
            return getattr(cls, name).__get__(self, cls)(*a2, **k2) if not isinstance(cls, types.ClassType) \
                else getattr(cls, name)(self, *a2, **k2)
        return hook(self, name, a, k, call)
    m.__name__ = name
    return m


def hostile_run(child, modules, run, hook, label):
    """A real run with every object it makes, and every configured port and LED
    controller the configuration makes, going through the hook."""
    lanquist, glimra = modules[1], modules[3]
    overrides = Overrides(hook)
    patched = []
    for name, cls in classes_of(lanquist) + classes_of(glimra):
        if isinstance(cls, types.ClassType) and 'Configured' in name or (isinstance(cls, type) and
                                                                          'LEDController' in name):
            module = lanquist if name in vars(lanquist) else glimra
            patched.append((module, name, cls))
            setattr(module, name, overrides.subclass(cls))
    real_platform, real_controller, real_keep = Run.platform, Run.controller, Run.keep

    def platform(self, chip, ports):
        p = real_platform(self, chip, ports)
        for o in [p, p.switch, p.switch.chip] + list(ports):
            overrides.adopt(o)
        return p

    def controller(self):
        return overrides.subclass(real_controller(self))

    def keep(self, obj):
        self.made.append(obj)
        if not is_class(obj):
            overrides.adopt(obj)
        return obj

    Run.platform, Run.controller, Run.keep = platform, controller, keep
    try:
        run.run(label, queries=False)
    finally:
        Run.platform, Run.controller, Run.keep = real_platform, real_controller, real_keep
        for module, name, cls in patched:
            setattr(module, name, cls)


def sweep_reenter(child, modules, run):
    """Each member, while it runs, is called once more on the same object with
    the same arguments (an override that calls back)."""
    depth = [0]

    def hook(self, name, a, k, call):
        if depth[0] < 2:
            depth[0] += 1
            try:
                child.call(name, call, *a, **k)
            finally:
                depth[0] -= 1
        return call(*a, **k)

    hostile_run(child, modules, run, hook, 'reenter')

    # Without a bound: the interpreter's recursion limit stops it.
    def endless(self, name, a, k, call):
        call(*a, **k)
        return call(*a, **k)
    hostile_run(child, modules, run, endless, 'endless')


def _empty(value):
    if isinstance(value, list):
        del value[:]
    elif isinstance(value, (dict, set)):
        value.clear()


def _junk(value):
    if isinstance(value, list):
        value[:] = [None, 'xe', value]
    elif isinstance(value, dict):
        value.update({None: None, 'junk': [], 0: value})
    elif isinstance(value, set):
        value.add(None)


def sweep_mutate(child, modules, run):
    """Overrides that empty or spoil the containers they are handed, before or
    after the inherited member runs, and at one chosen call every container the
    run's objects and classes hold."""
    for when in ('before', 'after'):
        for spoil in (_empty, _junk):
            def hook(self, name, a, k, call, when=when, spoil=spoil):
                containers = list(a) + list(k.values())
                if when == 'before':
                    for c in containers:
                        spoil(c)
                result = call(*a, **k)
                for c in containers:
                    spoil(c)
                return result
            hostile_run(child, modules, run, hook, 'handed %s %s' % (when, spoil.__name__))

    count = [0]

    def counting(self, name, a, k, call):
        count[0] += 1
        return call(*a, **k)
    hostile_run(child, modules, run, counting, 'counting')
    total = count[0]
    glimra = modules[3]
    targets = sorted(set(range(1, 12)) | set(range(12, total, max(1, total // 30))))
    # An override that answers a hostile value of the kind the inherited one gives.
    for target in sorted(set(targets) | set(range(1, total, max(1, total // 150)))):
        count[0] = 0

        def answer(self, name, a, k, call, target=target):
            count[0] += 1
            result = call(*a, **k)
            if count[0] != target:
                return result
            choices = like(result) + bad_values()
            return choices[target % len(choices)]
        hostile_run(child, modules, run, answer, 'answer at call %d' % target)
    for spoil in (_empty, _junk):
        for target in targets:
            count[0] = 0

            def hook(self, name, a, k, call, target=target, spoil=spoil):
                count[0] += 1
                if count[0] == target:
                    for obj in list(run.made) + [glimra.BCMLEDController]:
                        for value in list(vars(obj).values()):
                            spoil(value)
                return call(*a, **k)
            run.made = []
            hostile_run(child, modules, run, hook, 'shared %s at call %d' % (spoil.__name__, target))
    glimra.BCMLEDController.call_list.clear()


def child_main(report, phase):
    child = Child(report)
    tmp, modules = setup_child()
    sys.setrecursionlimit(1000)
    run = Run(child, tmp, modules[0], modules[1], modules[3])
    kind, _, which = phase.partition(':')
    if kind == 'members':
        for module in modules:
            if module.__name__.split('.')[0] == which:
                sweep_members(child, module)
    elif kind == 'recorded':
        sweep_recorded(child, modules, run)
    elif kind == 'rebind':
        sweep_rebind(child, modules, run)
    elif kind == 'reenter':
        sweep_reenter(child, modules, run)
    elif kind == 'mutate':
        sweep_mutate(child, modules, run)
    child.done()
    return 0


if __name__ == '__main__':
    if len(sys.argv) == 3:
        sys.exit(child_main(sys.argv[1], sys.argv[2]))
    unittest.main()
