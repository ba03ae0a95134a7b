"""Benchmark of one full run, as a switch's start-up tool makes it, against a
bare interpreter start, measured side by side in one run.

The platform: four units, each a Tomahawk with the 32 QSFP28 cages of the
tomahawk32 sample, every cage broken out into 4x25G (128 cages, 512 logical
interfaces). The run: import brontile, glimra and lanquist, build the
platform and BCMConfig in dummy mode, config() with the ports.conf text, then
every output but "porttab" (whose rendering reconciles the Linux interfaces)
and the LED program texts; the LED hex images are left out, since the outside
assembler makes them.

Each measurement is a fresh interpreter process; the kinds are interleaved so
that all of them see the same machine load, and the median is reported.

  full run      the run above, against `python2.7 -c pass`
  own imports   `import brontile, glimra, lanquist` after the host and outside
                modules that they import themselves (subprocess, json, shutil,
                ..., sfp, zarnith), against those imports alone

Goals: the full run adds less than one bare start (ratio < 1); the three
modules' own import costs less than a third of one (ratio < 0.33).

Run after a build:
    PYTHONPATH=build/python:tests/stubs:examples <python2.7> bench/bench_full_run.py [ROUNDS]
"""
import os
import resource
import subprocess
import sys
import time

ROUNDS = 40
HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(os.path.dirname(HERE), 'examples')

# What the three modules import of the host and of the outside packages when
# they load: the baseline of their own import cost.
IMPORTED_BY_THEM = """\
import StringIO, itertools, json, operator, os, shutil, subprocess, sys, syslog
import sfp, zarnith.errors, zarnith.platforms, zarnith.vettaro
try:
    import configparser
except ImportError:
    pass
"""
OURS = 'import brontile, glimra, lanquist\n'

UNITS = 4
OUTPUTS = ('portsbcm', 'linkdefaults', 'phytab', 'rcled', 'rcphy', 'ethertab', 'ucodebcm', 'sfptab', 'hwdesc',
           'uft', 'riot', 'datapath', 'sdk', 'rcforwarding')


def full_run(report=None):
    """The measured run; `report(step, seconds)` hears the time of each step."""
    clock = [time.time()]

    def step(name):
        now = time.time()
        if report:
            report(name, now - clock[0])
        clock[0] = now

    import brontile
    import glimra  # noqa: F401
    import lanquist
    import zarnith.platform  # noqa: F401  the maker's package, loaded before start-up
    step('import brontile, glimra, lanquist')

    sys.path.insert(0, EXAMPLES)
    import platforms
    th = platforms.load('tomahawk32')
    switch = brontile.BCMSwitch(brontile.TomahawkChip())
    switch.ports = []
    for unit in range(UNITS):
        switch.ports.extend(th.front_ports(unit, first_label=1 + th.CAGES * unit, first_controller=2 * unit))
    switch.glimra = th.LedController
    platform = th.Tomahawk32Platform()
    platform.name = 'tomahawk32x%d' % UNITS
    platform.switch = switch
    config = lanquist.BCMConfig(platform, dummy=True)
    # The EEPROM of the four-unit system grants one address per interface
    # (dummy mode's fixed answer is 255).
    config.macrange = UNITS * th.CAGES * 4
    step('platform and BCMConfig')

    config.config(''.join('%d=4x25G\n' % (n + 1) for n in range(UNITS * th.CAGES)))
    step('config')

    interfaces = sum(port.num_logical_ports for port in config.ports)
    assert interfaces == UNITS * th.CAGES * 4, interfaces
    assert config.macmode == 'standard'
    size = 0
    for name in OUTPUTS + tuple('rcports_%d' % unit for unit in sorted(config.port_units)):
        text = config.output(name)
        size += len(text or '')
    step('outputs but porttab')
    size += sum(len(text) for text in config.led_asm.values())
    step('LED programs (%d)' % len(config.led_chains))
    return interfaces, size


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2.0


def measure(rounds):
    """Median wall-clock and CPU (user + system) seconds of each kind."""
    env = dict(os.environ, PYTHONDONTWRITEBYTECODE='1')
    kinds = (
        ('bare', [sys.executable, '-c', 'pass']),
        ('full', [sys.executable, os.path.abspath(__file__), '--child']),
        ('theirs', [sys.executable, '-c', IMPORTED_BY_THEM]),
        ('ours', [sys.executable, '-c', IMPORTED_BY_THEM + OURS]),
    )
    wall = dict((name, []) for name, _ in kinds)
    cpu = dict((name, []) for name, _ in kinds)
    with open(os.devnull, 'w') as null:
        for _ in range(rounds):
            for name, argv in kinds:
                before = resource.getrusage(resource.RUSAGE_CHILDREN)
                t0 = time.time()
                subprocess.check_call(argv, env=env, stdout=null)
                wall[name].append(time.time() - t0)
                after = resource.getrusage(resource.RUSAGE_CHILDREN)
                cpu[name].append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
    return (dict((name, median(values)) for name, values in wall.items()),
            dict((name, median(values)) for name, values in cpu.items()))


def main(argv):
    if argv[1:] == ['--child']:
        full_run()
        return 0
    rounds = int(argv[1]) if len(argv) > 1 else ROUNDS

    steps = []
    interfaces, size = full_run(lambda name, seconds: steps.append((name, seconds)))
    wall, cpu = measure(rounds)
    print 'Full run: %d units, %d cages, %d logical interfaces, %d characters of output' % (
        UNITS, UNITS * 32, interfaces, size)
    print 'medians of %d interleaved runs of each kind, every one a fresh interpreter:' % rounds
    row = '  %-48s %8s %8s%s'
    print row % ('', 'wall', 'cpu', '')
    print 'milliseconds:'
    for label, name in (('bare start (python2.7 -c pass)', 'bare'), ('full run', 'full'),
                        ('host and outside imports alone', 'theirs'), ('  + brontile, glimra, lanquist', 'ours')):
        print row % (label, '%.1f' % (wall[name] * 1e3), '%.1f' % (cpu[name] * 1e3), '')
    print 'in bare starts:'
    for label, more, less, goal in (('full run adds', 'full', 'bare', '   (goal < 1)'),
                                    ('  of which beyond the host and outside imports', 'full', 'theirs', ''),
                                    ('own import cost of the three modules', 'ours', 'theirs', '   (goal < 0.33)')):
        print row % (label, '%.2f' % ((wall[more] - wall[less]) / wall['bare']),
                     '%.2f' % ((cpu[more] - cpu[less]) / cpu['bare']), goal)
    print 'steps of one full run in this process (warm caches, for orientation):'
    for name, seconds in steps:
        print '  %-40s %7.1f ms' % (name, seconds * 1e3)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
