"""Benchmark of one full run, as a switch's start-up tool makes it, against a
bare interpreter start, measured side by side in one run; and the cost per
port of config() as the platform grows.

The platform: four units, each a Tomahawk with the 32 QSFP28 cages of the
tomahawk32 sample, every cage broken out into 4x25G (128 cages, 512 logical
interfaces). The run: import brontile, glimra and lanquist, build the
platform and BCMConfig in dummy mode, config() with the ports.conf text, then
every output but "porttab" (whose rendering reconciles the Linux interfaces)
and the LED program texts; the LED hex images are left out, since the outside
assembler makes them.

The Python that the run loads (the sample platform definitions, the stand-ins
for the maker's packages, this file) is compiled to bytecode first, in a
temporary copy, as an installed switch has it; nothing is written into the
source tree.

Each measurement is a fresh interpreter process; the kinds are interleaved so
that all of them see the same machine load, and the median is reported.

  full run      the run above, against `python2.7 -c pass`
  own imports   `import brontile, glimra, lanquist` after the host and outside
                modules that they import themselves (subprocess, json, shutil,
                ..., sfp, zarnith), against those imports alone

When valgrind is installed, each kind and each step of the full run is also
counted in instructions (callgrind, one run each): a figure that the load of
a shared machine does not move.

Then config() on platforms of 512 to 8192 ports (Tomahawk units of 32 cages,
one ports.conf line per cage): the time per port of Config.config (parsing and
mode completion) and of the whole config() (with the port calculation), in
this process, and with valgrind their instructions per port. The cost per
port should not grow with the platform.

Last, lanquist's own configparser layer reading a ports.conf of one option and
5000 to 80000 bad lines, all reported in one error: the time per line, and with
valgrind the instructions per line. That too should not grow with the text.

Run after a build:
    PYTHONPATH=build/python:tests/stubs:examples <python2.7> bench/bench_full_run.py [ROUNDS]
"""
import os
import resource
import subprocess
import sys
import time

# The source tree stays free of bytecode; the measured runs read a compiled copy.
sys.dont_write_bytecode = True

ROUNDS = 40
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

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
# A child process runs this module, compiled, as the start-up tool's own code.
CHILD = 'import sys, bench_full_run; sys.exit(bench_full_run.child(sys.argv[1:]))'

UNITS = 4
CAGES = 32
OUTPUTS = ('portsbcm', 'linkdefaults', 'phytab', 'rcled', 'rcphy', 'ethertab', 'ucodebcm', 'sfptab', 'hwdesc',
           'uft', 'riot', 'datapath', 'sdk', 'rcforwarding')
SERIES = (512, 1024, 2048, 4096, 8192)
SERIES_ROUNDS = 5
BAD_LINES = (5000, 20000, 80000)


def tomahawk_config(units, examples):
    """BCMConfig in dummy mode on `units` Tomahawk units of 32 cages, labelled
    1 up, and the ports.conf text that breaks every cage out into 4x25G."""
    import brontile
    import lanquist
    if examples not in sys.path:
        sys.path.insert(0, examples)
    import platforms
    th = platforms.load('tomahawk32')
    switch = brontile.BCMSwitch(brontile.TomahawkChip())
    switch.ports = []
    for unit in range(units):
        switch.ports.extend(th.front_ports(unit, first_label=1 + th.CAGES * unit, first_controller=2 * unit))
    switch.glimra = th.LedController
    platform = th.Tomahawk32Platform()
    platform.name = 'tomahawk32x%d' % units
    platform.switch = switch
    config = lanquist.BCMConfig(platform, dummy=True)
    # The EEPROM grants one address per interface (dummy mode's fixed answer is 255).
    config.macrange = units * th.CAGES * 4
    return config, ''.join('%d=4x25G\n' % (n + 1) for n in range(units * th.CAGES))


def full_run(examples, report=None, upto=None):
    """The measured run; `report(step, seconds)` hears the time of each step.
    With `upto`, the run ends after that many steps."""
    clock = [time.time(), 0]

    def step(name):
        now = time.time()
        if report:
            report(name, now - clock[0])
        clock[0] = now
        clock[1] += 1
        return upto is not None and clock[1] >= upto

    if upto == 0:
        return None
    import brontile  # noqa: F401
    import glimra  # noqa: F401
    import lanquist  # noqa: F401
    import zarnith.platform  # noqa: F401  the maker's package, loaded before start-up
    if step('import brontile, glimra, lanquist'):
        return None

    config, text = tomahawk_config(UNITS, examples)
    if step('platform and BCMConfig'):
        return None

    config.config(text)
    if step('config'):
        return None

    interfaces = sum(port.num_logical_ports for port in config.ports)
    assert interfaces == UNITS * CAGES * 4, interfaces
    assert config.macmode == 'standard'
    size = 0
    for name in OUTPUTS + tuple('rcports_%d' % unit for unit in sorted(config.port_units)):
        text = config.output(name)
        size += len(text or '')
    if step('outputs but porttab'):
        return None
    size += sum(len(text) for text in config.led_asm.values())
    step('LED programs (%d)' % len(config.led_chains))
    return interfaces, size


FULL_RUN_STEPS = 5
# What a series child does after building its platform, cumulatively.
SERIES_STEPS = ('build', 'Config.config', 'config()')


def series_run(ports, what, examples):
    import lanquist
    config, text = tomahawk_config(ports // CAGES, examples)
    if what == 'Config.config':
        lanquist.Config.config(config, text)
    elif what == 'config()':
        config.config(text)


def bad_lines_text(lines):
    return '[ports]\n1=a\n' + 'bad line\n' * lines


def read_bad_lines(text):
    """Read `text` with lanquist's configparser layer, which must report its bad lines."""
    import StringIO
    import lanquist
    cp = lanquist.configparser
    try:
        cp.RawConfigParser().readfp(StringIO.StringIO(text))
    except cp.ParsingError:
        return
    raise SystemExit('no parsing error')


def bad_lines_run(lines, reads):
    text = bad_lines_text(lines)
    for _ in range(reads):
        read_bad_lines(text)


def child(args):
    """A measured process: `full EXAMPLES [STEPS]`, `series EXAMPLES PORTS WHAT`
    or `bad-lines EXAMPLES LINES READS`."""
    if args[0] == 'full':
        full_run(args[1], upto=int(args[2]) if len(args) > 2 else None)
    elif args[0] == 'series':
        series_run(int(args[2]), args[3], args[1])
    elif args[0] == 'bad-lines':
        bad_lines_run(int(args[2]), int(args[3]))
    return 0


def compiled_copy(work):
    """Copy the sample platforms, the stand-ins and this module into `work`,
    compiled; returns (module path, examples folder) for the copy."""
    import compileall
    import shutil
    path = []
    for src, name in ((os.path.join(ROOT, 'examples'), 'examples'),
                      (os.path.join(ROOT, 'tests', 'stubs'), 'stubs'), (HERE, 'bench')):
        dest = os.path.join(work, name)
        shutil.copytree(src, dest, ignore=shutil.ignore_patterns('*.pyc', '*.pyo'))
        if not compileall.compile_dir(dest, quiet=1, force=True):
            raise SystemExit('cannot compile %s' % dest)
        path.append(dest)
    return path, path[0]


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2.0


def measure(kinds, env, rounds):
    """Median wall-clock and CPU (user + system) seconds of each kind."""
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


def valgrind():
    for folder in os.environ.get('PATH', '').split(os.pathsep):
        path = os.path.join(folder, 'valgrind')
        if os.access(path, os.X_OK):
            return path
    return None


def instructions(argv, env, work):
    """Instructions that `argv` executes, as callgrind counts them."""
    out = os.path.join(work, 'callgrind.out')
    with open(os.devnull, 'w') as null:
        subprocess.check_call([valgrind(), '--tool=callgrind', '--callgrind-out-file=' + out] + argv,
                              env=env, stdout=null, stderr=null)
    try:
        with open(out) as f:
            for line in f:
                if line.startswith(('summary:', 'totals:')):
                    return int(line.split()[1])
    finally:
        os.remove(out)
    raise SystemExit('no instruction total in the callgrind output')


def time_series(examples, rounds):
    """Median seconds of Config.config and of config() at each size, the two
    interleaved, in this process."""
    import lanquist
    seconds = {}
    for ports in SERIES:
        config, text = tomahawk_config(ports // CAGES, examples)
        times = {'Config.config': [], 'config()': []}
        for _ in range(rounds):
            t0 = time.time()
            lanquist.Config.config(config, text)
            t1 = time.time()
            config.config(text)
            t2 = time.time()
            times['Config.config'].append(t1 - t0)
            times['config()'].append(t2 - t1)
        for what, values in times.items():
            seconds[ports, what] = median(values)
    return seconds


def time_bad_lines(rounds):
    """Median seconds of one read of each size of bad_lines_text, in this process."""
    seconds = {}
    for lines in BAD_LINES:
        text = bad_lines_text(lines)
        times = []
        for _ in range(rounds):
            t0 = time.time()
            read_bad_lines(text)
            times.append(time.time() - t0)
        seconds[lines] = median(times)
    return seconds


def main(argv):
    if argv[1:2] == ['--child']:
        return child(argv[2:])
    rounds = int(argv[1]) if len(argv) > 1 else ROUNDS

    import shutil
    import tempfile
    work = tempfile.mkdtemp(prefix='bench-full-run-')
    try:
        path, examples = compiled_copy(work)
        env = dict(os.environ, PYTHONDONTWRITEBYTECODE='1',
                   PYTHONPATH=os.pathsep.join(path + [p for p in [os.environ.get('PYTHONPATH')] if p]))
        sys.path[:0] = path
        report(rounds, work, env, examples)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


def report(rounds, work, env, examples):
    steps = []
    interfaces, size = full_run(examples, lambda name, seconds: steps.append((name, seconds)))
    kinds = (
        ('bare', [sys.executable, '-c', 'pass']),
        ('full', [sys.executable, '-c', CHILD, 'full', examples]),
        ('theirs', [sys.executable, '-c', IMPORTED_BY_THEM]),
        ('ours', [sys.executable, '-c', IMPORTED_BY_THEM + OURS]),
    )
    wall, cpu = measure(kinds, env, rounds)
    counted = valgrind() is not None
    if counted:
        instr = dict((name, instructions(argv, env, work)) for name, argv in kinds)
        # The run up to each step, from the interpreter with this module loaded (0 steps).
        upto = [instructions(kinds[1][1] + [str(n)], env, work) for n in range(FULL_RUN_STEPS + 1)]
    series = time_series(examples, SERIES_ROUNDS)

    def column(values):
        return ('%8s' % values) if counted else ''

    print 'Full run: %d units, %d cages, %d logical interfaces, %d characters of output' % (
        UNITS, UNITS * CAGES, interfaces, size)
    print 'medians of %d interleaved runs of each kind, every one a fresh interpreter, its Python compiled:' % rounds
    row = '  %-48s %8s %8s%s%s'
    print row % ('', 'wall', 'cpu', column('instr'), '')
    print 'milliseconds (instructions in millions, callgrind):' if counted else 'milliseconds:'
    for label, name in (('bare start (python2.7 -c pass)', 'bare'), ('full run', 'full'),
                        ('host and outside imports alone', 'theirs'), ('  + brontile, glimra, lanquist', 'ours')):
        print row % (label, '%.1f' % (wall[name] * 1e3), '%.1f' % (cpu[name] * 1e3),
                     column(counted and '%.1f' % (instr[name] / 1e6)), '')
    print 'in bare starts:'
    for label, more, less in (('full run adds', 'full', 'bare'),
                              ('  of which beyond the host and outside imports', 'full', 'theirs'),
                              ('own import cost of the three modules', 'ours', 'theirs')):
        print row % (label, '%.2f' % ((wall[more] - wall[less]) / wall['bare']),
                     '%.2f' % ((cpu[more] - cpu[less]) / cpu['bare']),
                     column(counted and '%.2f' % (float(instr[more] - instr[less]) / instr['bare'])), '')
    print 'steps of one full run in this process (warm caches, for orientation)%s:' % (
        '; instructions of each step in a fresh interpreter' if counted else '')
    for n, (name, seconds) in enumerate(steps):
        print '  %-40s %7.1f ms%s' % (name, seconds * 1e3,
                                     '  %8.1f M instructions' % ((upto[n + 1] - upto[n]) / 1e6) if counted else '')

    if counted:
        # Per size: the platform built alone, then with each of the two calls.
        built = {}
        for ports in SERIES:
            for what in SERIES_STEPS:
                built[ports, what] = instructions([sys.executable, '-c', CHILD, 'series', examples, str(ports), what],
                                                  env, work)
    print 'config() per port, one ports.conf line per cage (median of %d in this process%s):' % (
        SERIES_ROUNDS, '; instructions in a fresh interpreter' if counted else '')
    print '  %6s %22s %22s%s' % ('ports', 'Config.config us/port', 'config() us/port',
                                 '%16s %16s' % ('instr/port', 'instr/port') if counted else '')
    for ports in SERIES:
        line = '  %6d %22.2f %22.2f' % (ports, series[ports, 'Config.config'] * 1e6 / ports,
                                        series[ports, 'config()'] * 1e6 / ports)
        if counted:
            line += '%16d %16d' % tuple((built[ports, what] - built[ports, 'build']) // ports
                                        for what in SERIES_STEPS[1:])
        print line

    import lanquist
    bad_seconds = time_bad_lines(SERIES_ROUNDS)
    if counted:
        # Two reads less one: the cost of one read, without the start and the text's making.
        bad_instr = dict((lines, instructions([sys.executable, '-c', CHILD, 'bad-lines', examples, str(lines), '2'],
                                              env, work)
                          - instructions([sys.executable, '-c', CHILD, 'bad-lines', examples, str(lines), '1'],
                                         env, work))
                         for lines in BAD_LINES)
    print 'a ports.conf of one option and many bad lines, read by %s (median of %d in this process%s):' % (
        lanquist.configparser.__name__, SERIES_ROUNDS, '; instructions in a fresh interpreter' if counted else '')
    print '  %6s %12s%s' % ('lines', 'us/line', '%16s' % 'instr/line' if counted else '')
    for lines in BAD_LINES:
        print '  %6d %12.2f%s' % (lines, bad_seconds[lines] * 1e6 / lines,
                                  '%16d' % (bad_instr[lines] // lines) if counted else '')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
