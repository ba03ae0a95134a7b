"""The pad-loop cost model: sizes of both forms and the loop decision per bit."""
from ledkit import FakePort, GlimraCase, controller, pad_loop, pads, port_call

X = port_call('x', 1)

# runs -> (unrolled sizes, looped sizes, decisions) with the class values
RUNS = (
    ([], [0, 0], [0, 0], [False, False]),
    ([(None, 4), (X, 9)], [0, 0], [0, 0], [False, False]),
    ([(1, 1), (0, 2), (1, 2), (0, 1)], [6, 6], [6, 6], [False, False]),
    ([(1, 7)], [0, 14], [0, 14], [False, False]),
    ([(1, 8)], [0, 16], [0, 14], [False, True]),
    ([(0, 8), (1, 7)], [16, 14], [14, 14], [True, False]),
    ([(0, 3)] * 5, [30, 0], [30, 0], [False, False]),
    ([(0, 3)] * 6, [36, 0], [34, 0], [True, False]),
    ([(1, 3), (X, 1), (1, 20)], [0, 46], [0, 18], [False, True]),
    ([(1, 10), (0, 3), (1, 2)], [6, 24], [14, 18], [False, True]),
    ([(True, 8), (1.0, 8), (False, 2)], [4, 32.0], [4, 18.0], [False, True]),
)


class CostModelTest(GlimraCase):
    def test_table(self):
        c = controller()()
        for runs, unrolled, looped, decision in RUNS:
            self.assertEqual(c._calc_unrolled_instructions(runs), unrolled, runs)
            self.assertEqual(c._calc_looped_instructions(calls=runs), looped, runs)
            got = c._eval_looping(runs)
            self.assertEqual(got, decision, runs)
            self.assertEqual([type(d) for d in got], [bool, bool])

    def test_constants_from_the_class(self):
        c = controller(loop_insert_cost=4, pad_call_size=3, pad_n_call_size=1, pad_n_code_size=0)()
        runs = [(1, 4), (1, 5), (0, 4)]
        self.assertEqual(c._calc_unrolled_instructions(runs), [12, 27])
        self.assertEqual(c._calc_looped_instructions(runs), [12, 13])
        self.assertEqual(c._eval_looping(runs), [False, True])
        c.configure(0, [FakePort(1, claims={0: dict(enumerate([1] * 4 + [0] + [1] * 5))})])
        self.assertEqual(c.set_calls, pads(1, 4) + pads(0, 1) + pad_loop(1, 5))

    def test_sizes_through_the_object(self):
        order = []

        class Sized(controller()):
            def _calc_looped_instructions(self, calls):
                order.append('looped')
                return (1, 5)

            def _calc_unrolled_instructions(self, calls):
                order.append('unrolled')
                return {0: 1, 1: 2}

        self.assertEqual(Sized()._eval_looping([]), [False, False])
        self.assertEqual(order, ['looped', 'unrolled'])

    def test_bad_runs(self):
        c = controller()()
        for runs, exc in (([(1, 2, 3)], ValueError), ([1], TypeError), ([(X,)], ValueError), (None, TypeError),
                          ([(1, None)], TypeError)):
            for op in (c._calc_unrolled_instructions, c._calc_looped_instructions, c._eval_looping):
                self.assertRaises(exc, op, runs)


if __name__ == '__main__':
    import unittest
    unittest.main()
