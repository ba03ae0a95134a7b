"""Benchmark brontile: import cost against a bare interpreter start, and the
per-call cost of port queries against the same queries written in Python.

Run after a build:
    PYTHONPATH=build/python:tests/stubs /root/.pyenv/versions/2.7.18/bin/python2.7 bench/bench_brontile.py
"""
import os
import subprocess
import sys
import time
import timeit

import brontile

STARTS = 40


def median(values):
    values = sorted(values)
    n = len(values)
    return values[n // 2] if n % 2 else (values[n // 2 - 1] + values[n // 2]) / 2.0


def start_times():
    """Interpreter start alone and start plus `import brontile`, interleaved so
    that both see the same machine load."""
    env = dict(os.environ, PYTHONDONTWRITEBYTECODE='1')
    bare, loaded = [], []
    for _ in range(STARTS):
        for code, into in (('pass', bare), ('import brontile', loaded)):
            t0 = time.time()
            subprocess.check_call([sys.executable, '-c', code], env=env)
            into.append(time.time() - t0)
    return median(bare), median(loaded)


class FastPort(brontile.BCMPort):
    modes = ('100G', '2x50G', '4x25G')
    _speed_map = {'100G': 100, '2x50G': 50, '4x25G': 25}
    pbmp_map = dict(('ce%d' % i, i + 1) for i in range(8))

    def num_logical_ports(self, mode):
        return {'100G': 1, '2x50G': 2, '4x25G': 4}[mode]


class PyPort(object):
    """The same queries as plain Python, for comparison."""
    modes = FastPort.modes
    _speed_map = FastPort._speed_map
    pbmp_map = FastPort.pbmp_map

    def __init__(self, hw_ports):
        self.hw_ports = hw_ports

    def num_logical_ports(self, mode):
        return {'100G': 1, '2x50G': 2, '4x25G': 4}[mode]

    @classmethod
    def _check_mode(cls, mode):
        if mode in cls.modes:
            return None
        raise brontile.NoSuchMode(mode)

    @classmethod
    def speed(cls, mode):
        cls._check_mode(mode)
        return cls._speed_map[mode]

    @classmethod
    def num_lanes(cls, mode):
        speed = cls.speed(mode)
        if speed in (40, 100):
            return 4
        if speed == 50:
            return 2
        if speed in (1, 10, 25):
            return 1
        raise RuntimeError('invalid speed: %d' % speed)

    def hw_intf_prefix(self, mode, sub):
        return self.hw_ports[sub][:2]

    def hw_intf_num(self, mode, sub):
        if self.num_logical_ports(mode) == 2:
            return int(self.hw_ports[sub * 2][2:])
        return int(self.hw_ports[sub][2:])

    def hw_intf(self, mode, sub):
        return '%s%u' % (self.hw_intf_prefix(mode, sub), self.hw_intf_num(mode, sub))

    def hw_pbmp(self, mode, sub):
        return 1 << self.pbmp_map[self.hw_ports[sub]]


class PyTomahawk(PyPort):
    """Two of the per-family rules of a Tomahawk 100G port, as plain Python."""
    modes = brontile.Tomahawk100GPort.modes

    def num_logical_ports(self, mode):
        self._check_mode(mode)
        if mode[1] == 'x':
            return int(mode[0])
        return 1

    def polarity_flip_val(self, mode, sub, polarity_flip_list):
        self._check_mode(mode)
        if self.num_logical_ports(mode) == 4:
            return 1 if polarity_flip_list & (1 << sub) else 0
        elif self.num_logical_ports(mode) == 2:
            return (polarity_flip_list >> (2 * sub)) & 3
        return polarity_flip_list

    def hw_port_num(self, mode, sub):
        return int(self.hw_ports[sub][2:])

    def logical_port_num(self, mode, sub, port_base):
        n = self.hw_port_num(mode, sub) + 1
        if n == 129:
            return 66
        elif n == 131:
            return 100
        if n > 32:
            n += 1
        if n > 65:
            n += 2
        if n > 99:
            n += 2
        return n

    def led_port_num(self, mode, sub):
        n = self.hw_intf_num(mode, sub)
        if n == 128:
            return 0
        elif n == 130:
            return 1
        elif n > 31:
            return n - 32 if n < 96 else n - 64
        return n


OVERRIDE_QUERIES = (
    ('polarity_flip_val', lambda port: lambda: port.polarity_flip_val('2x50G', 1, 13)),
    ('logical_port_num', lambda port: lambda: port.logical_port_num('4x25G', 3, 1)),
    ('led_port_num', lambda port: lambda: port.led_port_num('4x25G', 2)),
)


BASE_QUERIES = (
    ('num_lanes', lambda port: lambda: port.num_lanes('4x25G')),
    ('hw_intf', lambda port: lambda: port.hw_intf('2x50G', 1)),
    ('hw_pbmp', lambda port: lambda: port.hw_pbmp('4x25G', 3)),
)


def per_call(fast, slow, queries=BASE_QUERIES):
    """ns per call of each query on both ports, timed in alternation so that
    both see the same machine load; the best of many short runs."""
    n = 20000
    out = {}
    for name, make in queries:
        timers = [timeit.Timer(make(fast)), timeit.Timer(make(slow))]
        best = [float('inf'), float('inf')]
        for _ in range(30):
            for i, t in enumerate(timers):
                best[i] = min(best[i], t.timeit(number=n) / n * 1e9)
        out[name] = best
    return out


def main():
    hw = ('ce0', 'ce1', 'ce2', 'ce3')
    fast = FastPort('1', hw, None, None, 'QSFP28', None, None, 0, None, None, None, None, None,
                    None, None, None, False, None, None)
    slow = PyPort(hw)
    for name in ('num_lanes', 'hw_intf', 'hw_pbmp'):
        args = ('4x25G',) if name == 'num_lanes' else ('2x50G', 1)
        assert getattr(fast, name)(*args) == getattr(slow, name)(*args), name

    bare, loaded = start_times()
    print 'interpreter start:          %7.2f ms (median of %d)' % (bare * 1e3, STARTS)
    print 'start + import brontile:    %7.2f ms' % (loaded * 1e3)
    print 'import adds:                %7.2f ms (%.0f%% of a bare start; goal < 33%%)' % (
        (loaded - bare) * 1e3, (loaded - bare) / bare * 100)

    costs = per_call(fast, slow)
    print '%-18s %12s %12s %8s' % ('query', 'brontile ns', 'python ns', 'ratio')
    for name, _ in BASE_QUERIES:
        c, p = costs[name]
        print '%-18s %12.0f %12.0f %8.2f' % (name, c, p, c / p)

    # A family's own rules on a Tomahawk100GPort against the same rules in Python.
    hw = ('ce68', 'ce69', 'ce70', 'ce71')
    tomahawk = brontile.Tomahawk100GPort('1', (68, 69, 70, 71), None, None, 'QSFP28', None, 0)
    py_tomahawk = PyTomahawk(hw)
    for name, make in OVERRIDE_QUERIES:
        assert make(tomahawk)() == make(py_tomahawk)(), name
    costs = per_call(tomahawk, py_tomahawk, OVERRIDE_QUERIES)
    for name, _ in OVERRIDE_QUERIES:
        c, p = costs[name]
        print '%-18s %12.0f %12.0f %8.2f' % (name, c, p, c / p)


if __name__ == '__main__':
    main()
