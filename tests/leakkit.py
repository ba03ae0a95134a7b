"""What the leak suites share: call the cases many times in one process, then
check that the reference counts of the objects they use, the references held
on their results and the process's resident memory have not grown."""
import contextlib
import gc
import os
import sys

from support import SANITIZED

# Allocator noise stays below this; a leak grows by its size times the measured rounds.
MAX_GROWTH_KB = 1024


def resident_kb():
    """Resident memory of this process's own (anonymous) pages. Pages of
    mapped files are left out: under memory pressure the kernel drops them and
    reads them back as the code runs again, which says nothing of a leak."""
    with open('/proc/self/statm') as f:
        fields = f.read().split()
    return (int(fields[1]) - int(fields[2])) * os.sysconf('SC_PAGE_SIZE') // 1024


def expect(exc, fn, *args):
    try:
        fn(*args)
    except exc:
        return
    raise AssertionError('%s did not raise %s' % (fn, exc.__name__))


@contextlib.contextmanager
def _nothing(rounds):
    yield


def check_no_growth(test, cases, args, warmup, rounds, each_round=None, around=_nothing, check_results=False):
    """Run `warmup` rounds of `cases` (each a callable or a (name, callable)
    pair), count the references to `args`, run `rounds` more and assert with
    `test` that the counts are unchanged and resident memory grew less than
    MAX_GROWTH_KB. `each_round()` runs after every round (e.g. to empty a log);
    `around(n)` is the context a batch of n rounds runs in. With
    `check_results`, each case's result (other than None, an int, bool or str,
    or one of `args`) must be held by nothing but the caller."""
    cases = [case if isinstance(case, tuple) else (repr(case), case) for case in cases]

    def batch(n):
        with around(n):
            for _ in xrange(n):
                for _name, fn in cases:
                    fn()
                if each_round is not None:
                    each_round()

    batch(warmup)
    gc.collect()
    counts = [sys.getrefcount(a) for a in args]
    rss = resident_kb()
    batch(rounds)
    gc.collect()
    grown = resident_kb() - rss
    test.assertEqual([sys.getrefcount(a) for a in args], counts, 'argument reference counts')
    if check_results:
        for name, fn in cases:
            result = fn()
            if result is not None and not isinstance(result, (int, bool, str)) and \
                    not any(result is a for a in args):
                # our variable and getrefcount's argument: nothing else holds it
                test.assertEqual(sys.getrefcount(result), 2, name)
    # Under AddressSanitizer freed memory sits in quarantine: resident size says nothing there.
    if not SANITIZED:
        test.assertLess(grown, MAX_GROWTH_KB, 'resident memory grew by %d KiB' % grown)
