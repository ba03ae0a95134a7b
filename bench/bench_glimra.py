"""Benchmark glimra: configuring the LED controllers of a four-unit platform of
32-cage Tomahawks in 4x25G (512 logical ports) and rendering their programs,
against the same work written in Python.

Run after a build:
    PYTHONPATH=build/python:tests/stubs /root/.pyenv/versions/2.7.18/bin/python2.7 bench/bench_glimra.py
"""
import itertools
import timeit

import glimra

UNITS = 4
CAGES = 32
CONTROLLERS_PER_UNIT = 2
CAGES_PER_CONTROLLER = CAGES // CONTROLLERS_PER_UNIT
LEDS_PER_CAGE = 8
ROUTINE = '\nset_led:\n        port    a\n        pushst  LINKUP\n        pack\n        ret\n'


class Cage(object):
    """A configured 4x25G port as the LED chain sees it: each lane lights one
    position, and the next position belongs to the same routine."""
    num_logical_ports = 4

    def __init__(self, unit, cage):
        self.hw = 1 + 4 * cage
        self.first_led = LEDS_PER_CAGE * (cage % CAGES_PER_CONTROLLER)
        self.leds = (unit * CONTROLLERS_PER_UNIT + cage // CAGES_PER_CONTROLLER, self.first_led)
        self.gang_label = '%d-%d' % (unit, cage)

    def hw_port_num(self, sub):
        return self.hw + sub

    def set_leds(self, led_port, sub, led_index_list):
        at = self.first_led + 2 * sub
        return {at: ('link', ROUTINE, self.hw + sub), at + 1: None}


class FastController(glimra.TomahawkLEDController):
    # Sixteen positions after the cages are left to the pad bit.
    num_leds = CAGES_PER_CONTROLLER * LEDS_PER_CAGE + 16
    has_phys_id = True


class PyController(object):
    """The same controller written in Python, reading the same texts."""
    ports_per_chain = 64
    num_leds = FastController.num_leds
    led_functions = ()
    blink_period = 90
    pad_n_code_size = 10
    pad_call_size = 2
    pad_n_call_size = 4
    loop_insert_cost = 2
    default_pad = 1
    has_phys_id = True
    data_array_base_addr = 0xc0
    call_list = {}
    static_code = glimra.BCMLEDController.static_code
    static_no_id_func_code = glimra.BCMLEDController.static_no_id_func_code
    static_id_func_code = glimra.BCMLEDController.static_id_func_code
    pad_zero = glimra.BCMLEDController.pad_zero
    pad_one = glimra.BCMLEDController.pad_one
    pad_n_zero = glimra.BCMLEDController.pad_n_zero
    pad_n_one = glimra.BCMLEDController.pad_n_one
    defines_template = ('\n;;;\n;;; Platform-specific defines\n'
                        'TICKS_PER_BLINK    equ    %(ticks_per_blink)u    ; 0 to alternate every cycle (15Hz)\n'
                        'NUM_LEDS           equ    %(num_leds)u\n')
    main_template = FastController()._template

    def __init__(self):
        self.set_functions = set()
        self.set_calls = []
        self._template = self.main_template

    def configure(self, controller_idx, ports):
        calls = dict.fromkeys(range(self.num_leds), self.default_pad)
        gangs = {}
        for port in ports:
            gangs.setdefault(port.gang_label, []).append(port.leds[1])
        lport = 1
        for port in sorted(ports, key=lambda p: p.hw_port_num(0)):
            for sub in range(port.num_logical_ports):
                calls.update(port.set_leds(lport, sub, gangs[port.gang_label]))
                lport += 1
        sequence = [calls[led] for led in sorted(calls)]
        self.call_list[controller_idx] = [(call, len(list(run))) for call, run in itertools.groupby(sequence)]
        use_pad_n = self._eval_looping(self.call_list[controller_idx])
        for call, count in self.call_list[controller_idx]:
            if call == 0 or call == 1:
                self._led_pad_call(call, count, use_pad_n[call] and count > self.loop_insert_cost)
            elif call is not None:
                self._led_port_call(call, count)

    def _calc_unrolled_instructions(self, calls):
        size = [0, 0]
        for call, count in calls:
            if call == 0 or call == 1:
                size[call] += count * self.pad_call_size
        return size

    def _calc_looped_instructions(self, calls):
        size = [0, 0]
        looped = [False, False]
        for call, count in calls:
            if call == 0 or call == 1:
                if count > self.loop_insert_cost:
                    size[call] += self.pad_n_call_size
                    looped[call] = True
                else:
                    size[call] += count * self.pad_call_size
        for bit in (0, 1):
            if looped[bit]:
                size[bit] += self.pad_n_code_size
        return size

    def _eval_looping(self, calls):
        looped = self._calc_looped_instructions(calls)
        unrolled = self._calc_unrolled_instructions(calls)
        return [looped[0] < unrolled[0], looped[1] < unrolled[1]]

    def _led_pad_call(self, value, length, emit_loop):
        if length == 0:
            return
        word = 'zero' if value == 0 else 'one'
        if emit_loop:
            routine = 'pad_n_%s' % word
            self.set_calls.append('\n        ld      a, %u' % length)
            self.set_calls.append('\n        call    %s' % routine)
        else:
            routine = 'pad_%s' % word
            for _ in range(length):
                self.set_calls.append('\n        call    %s' % routine)
        self.set_functions.add(getattr(self, routine))

    def _led_port_call(self, call, length):
        if length == 0:
            return
        name, code, port = call
        for _ in range(length):
            routine = 'set_led_%s' % name
            self.set_functions.add(code.replace('set_led:', routine + ':'))
            if port is not None:
                self.set_calls.append('\n        ld      a,%u' % self._chain_port(port))
                self.set_calls.append('\n        call    %s' % routine)

    def _chain_port(self, port_num):
        return port_num

    @property
    def defines(self):
        ticks = self.blink_period / 30.0
        if ticks != int(ticks):
            raise RuntimeError('non-integer blink cycles, correct period to multiple of 30')
        return self.defines_template % {'ticks_per_blink': int(ticks), 'num_leds': self.num_leds}

    @property
    def asm(self):
        code = dict(self.static_code)
        if self.has_phys_id:
            code.update(self.static_id_func_code)
            code['variables'] %= {'base_addr': self.data_array_base_addr}
        else:
            code.update(self.static_no_id_func_code)
        code['set_functions'] = ''.join(self.set_functions)
        code['set_calls'] = ''.join(self.set_calls)
        code['defines'] = self.defines
        code['led_functions'] = ''.join(self.led_functions)
        return self._template % code


def platform_ports():
    ports = [Cage(unit, cage) for unit in range(UNITS) for cage in range(CAGES)]
    assert sum(p.num_logical_ports for p in ports) == 512
    return ports


def run(controller_class, ports):
    """Configure one object per controller and render every program."""
    by_controller = {}
    for port in ports:
        by_controller.setdefault(port.leds[0], []).append(port)
    texts = {}
    for idx in sorted(by_controller):
        ctrl = controller_class()
        ctrl.configure(idx, by_controller[idx])
        texts[idx] = ctrl.asm
    return texts


def main():
    ports = platform_ports()
    fast, slow = run(FastController, ports), run(PyController, ports)
    assert fast == slow, 'the programs differ'
    assert glimra.BCMLEDController.call_list == PyController.call_list, 'the run lists differ'
    print '%d controllers, %d logical ports, program of %d characters each' % (
        len(fast), sum(p.num_logical_ports for p in ports), len(fast[0]))

    timers = [timeit.Timer(lambda: run(FastController, ports)), timeit.Timer(lambda: run(PyController, ports))]
    best = [float('inf'), float('inf')]
    n = 20
    for _ in range(30):
        # In alternation, so that both see the same machine load; the best of many short runs.
        for i, t in enumerate(timers):
            best[i] = min(best[i], t.timeit(number=n) / n * 1e3)
    print '%-28s %10s %10s %8s' % ('work', 'glimra ms', 'python ms', 'ratio')
    print '%-28s %10.3f %10.3f %8.2f' % ('configure + asm, 8 chains', best[0], best[1], best[0] / best[1])


if __name__ == '__main__':
    main()
