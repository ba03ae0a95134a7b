"""The command runners: IPRoute2, Drovik and Idwarden, run against the fake
programs through a substituted subprocess module."""
import os
import subprocess
import sys
import types

import lanquist
import support

RUNNERS = (
    (lanquist.IPRoute2, 'ip'),
    (lanquist.Drovik, '/usr/lib/zarnith/drovik'),
)
IDWARDEN = '/usr/zarnith/bin/idwarden'
TRUE_VALUES = ('x', 1, True, [0])
FALSE_VALUES = (0, '', None, False)


class SyslogRecorder(object):
    """Stands in for the syslog module; notes the traceback limit at each call
    so that the order of the failure steps shows."""
    LOG_ERR = 3

    def __init__(self):
        self.calls = []

    def syslog(self, *args):
        self.calls.append((args, getattr(sys, 'tracebacklimit', None)))


class RaisingSubprocess(object):
    def __init__(self, exc):
        self.exc = exc

    def check_output(self, argv):
        raise self.exc


class ReturningSubprocess(object):
    def __init__(self, value):
        self.value = value

    def check_output(self, argv):
        return self.value


class RunnerCase(support.TempDirTestCase):
    """Each test gets a fake subprocess, a syslog recorder, a log of the fake
    programs' runs and the traceback limit put back afterwards."""

    def setUp(self):
        super(RunnerCase, self).setUp()
        self.fake = self.substitute('subprocess', support.FakeSubprocess())
        self.syslog = self.substitute('syslog', SyslogRecorder())
        self.log = self.path('runs.log')
        self.env(FAKE_LOG=self.log)
        old = getattr(sys, 'tracebacklimit', None)
        self.addCleanup(self._restore_tracebacklimit, old)
        if hasattr(sys, 'tracebacklimit'):
            del sys.tracebacklimit

    @staticmethod
    def _restore_tracebacklimit(old):
        if old is None:
            if hasattr(sys, 'tracebacklimit'):
                del sys.tracebacklimit
        else:
            sys.tracebacklimit = old

    def substitute(self, name, value):
        cm = support.patch(lanquist, name, value)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)
        return value

    def env(self, **values):
        cm = support.environ(**values)
        cm.__enter__()
        self.addCleanup(cm.__exit__, None, None, None)

    def runs(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return f.read().splitlines()


class ClassShapeTest(RunnerCase):
    def test_classic_classes_with_their_members(self):
        for cls in (lanquist.Idwarden, lanquist.IPRoute2, lanquist.Drovik):
            self.assertIs(type(cls), types.ClassType, cls)
            self.assertEqual(cls.__bases__, (), cls)
        for cls, _ in RUNNERS:
            self.assertIsInstance(cls.__dict__['run'], types.MethodType, cls)
        for name in ('macaddr', 'macrange'):
            prop = lanquist.Idwarden.__dict__[name]
            self.assertIsInstance(prop, property, name)
            self.assertIsNone(prop.fset, name)

    def test_constructors_store_arguments_unchanged(self):
        marker = object()
        self.assertIs(lanquist.IPRoute2().dummy, False)
        self.assertIs(lanquist.Drovik(dummy=marker).dummy, marker)
        w = lanquist.Idwarden()
        self.assertIs(w.dummy, False)
        self.assertIsNone(w.sw_base)
        w = lanquist.Idwarden(marker, 'bcm')
        self.assertIs(w.dummy, marker)
        self.assertEqual(w.sw_base, 'bcm')
        w = lanquist.Idwarden(sw_base='bcm', dummy=1)
        self.assertEqual((w.dummy, w.sw_base), (1, 'bcm'))
        self.assertRaises(TypeError, lanquist.Idwarden, 1, 2, 3)
        self.assertRaises(TypeError, lanquist.IPRoute2, 1, 2)
        self.assertRaises(TypeError, lanquist.Drovik, dumy=True)
        self.assertEqual(self.fake.calls, [], 'a constructor started a program')


class RunTest(RunnerCase):
    def test_run_prepends_the_program_and_returns_output_unchanged(self):
        self.env(FAKE_IP_OUT='tap0: tap one_queue\\ntap1: tap\\n',
                 FAKE_DROVIK_OUT='swp1 bcm_knet\\n\\n')
        expected = {'ip': 'tap0: tap one_queue\ntap1: tap\n',
                    '/usr/lib/zarnith/drovik': 'swp1 bcm_knet\n\n'}
        for cls, program in RUNNERS:
            self.fake.calls = []
            words = ['tuntap', 'show']
            out = cls(dummy=False).run(words)
            self.assertEqual(out, expected[program], program)
            self.assertEqual(self.fake.calls, [[program, 'tuntap', 'show']], program)
            self.assertEqual(words, ['tuntap', 'show'], 'caller list changed')
        self.assertEqual(self.runs(), ['ip tuntap show', 'drovik tuntap show'])

    def test_words_reach_the_program_one_argument_each(self):
        words = 'link set dev swp1 address 0:11:22:33:44:5'.split()
        lanquist.IPRoute2().run(words)
        self.assertEqual(self.runs(), ['ip ' + ' '.join(words)])
        self.assertEqual(self.fake.calls, [['ip'] + words])

    def test_dummy_is_a_truth_test(self):
        for cls, program in RUNNERS:
            for value in TRUE_VALUES:
                self.assertEqual(cls(value).run(['link', 'del', 'dev', 'x']), '', (program, value))
            self.assertEqual(self.fake.calls, [], program)
            for value in FALSE_VALUES:
                cls(value).run(['show'])
            self.assertEqual(len(self.fake.calls), len(FALSE_VALUES), program)
            self.fake.calls = []

    def test_dummy_run_does_not_look_at_its_words(self):
        self.assertEqual(lanquist.IPRoute2(True).run(None), '')

    def test_nonzero_exit_raises_called_process_error(self):
        self.env(FAKE_IP_FAIL='3', FAKE_DROVIK_FAIL='1')
        for cls, program in RUNNERS:
            with self.assertRaises(subprocess.CalledProcessError) as cm:
                cls().run(['link', 'set', 'swp1', 'up'])
            self.assertEqual(cm.exception.returncode, 1 if 'drovik' in program else 3, program)
            self.assertEqual(cm.exception.cmd[1:], ['link', 'set', 'swp1', 'up'], program)
        self.assertEqual(self.syslog.calls, [])

    def test_missing_program_raises_os_error(self):
        missing = dict(support.PROGRAMS)
        missing['/usr/lib/zarnith/drovik'] = self.path('no-such-drovik')
        with support.patch(support, 'PROGRAMS', missing):
            self.assertRaises(OSError, lanquist.Drovik().run, ['show', 'type', 'bcm_knet'])
        self.assertEqual(self.syslog.calls, [])

    def test_subprocess_is_looked_up_at_call_time(self):
        runner = lanquist.IPRoute2()
        with support.patch(lanquist, 'subprocess', ReturningSubprocess('late')):
            self.assertEqual(runner.run(['x']), 'late')


class IdwardenTest(RunnerCase):
    def test_macaddr_is_the_output_with_its_newline(self):
        self.env(FAKE_IDWARDEN_A='00:11:22:33:44:55\\n')
        self.assertEqual(lanquist.Idwarden(sw_base='bcm').macaddr, '00:11:22:33:44:55\n')
        self.assertEqual(self.fake.calls, [[IDWARDEN, '-a']])

    def test_macrange_converts_with_int(self):
        cases = (
            ('256\n', 256),
            (' 512 ', 512),
            ('-5', -5),
            ('\t+7\n', 7),
            ('123456789012345678901234567890\n', 123456789012345678901234567890),
        )
        for out, expected in cases:
            self.fake.calls = []
            self.env(FAKE_IDWARDEN_R=out.replace('\n', '\\n').replace('\t', '\\t'))
            value = lanquist.Idwarden().macrange
            self.assertEqual(value, expected, repr(out))
            self.assertIs(type(value), type(int(out)), repr(out))
            self.assertEqual(self.fake.calls, [[IDWARDEN, '-r']], repr(out))
        self.assertEqual(self.syslog.calls, [])

    def test_every_access_runs_the_decoder(self):
        w = lanquist.Idwarden()
        w.macrange, w.macrange, w.macaddr
        self.assertEqual(self.runs(), ['idwarden -r', 'idwarden -r', 'idwarden -a'])

    def test_dummy_answers_without_running(self):
        for value in TRUE_VALUES:
            w = lanquist.Idwarden(dummy=value)
            self.assertEqual(w.macaddr, 'ff:ff:ff:ff:ff:00', value)
            self.assertIs(type(w.macrange), int, value)
            self.assertEqual(w.macrange, 255, value)
        self.assertEqual(self.fake.calls, [])
        for value in FALSE_VALUES:
            lanquist.Idwarden(dummy=value).macaddr
        self.assertEqual(len(self.fake.calls), len(FALSE_VALUES))

    def assertDecoderFailure(self, access, message, what):
        with self.assertRaises(RuntimeError) as cm:
            access()
        self.assertIs(type(cm.exception), RuntimeError, what)
        self.assertEqual(cm.exception.args, (message,), what)
        # traceback limit first, then the log line, then the error
        self.assertEqual(self.syslog.calls, [((SyslogRecorder.LOG_ERR, message), 0)], what)
        self.assertEqual(sys.tracebacklimit, 0, what)
        self.syslog.calls = []
        del sys.tracebacklimit

    def test_failures_are_logged_and_become_runtime_errors(self):
        missing = dict(support.PROGRAMS)
        missing[IDWARDEN] = self.path('no-such-idwarden')
        cases = (
            ('exit status 1', support.environ(FAKE_IDWARDEN_FAIL='1')),
            ('missing program', support.patch(support, 'PROGRAMS', missing)),
            ('odd error of check_output',
             support.patch(lanquist, 'subprocess', RaisingSubprocess(ValueError('odd')))),
        )
        for what, ctx in cases:
            with ctx:
                w = lanquist.Idwarden()
                self.assertDecoderFailure(lambda: w.macaddr, 'error: idwarden -a failed', what)
                self.assertDecoderFailure(lambda: w.macrange, 'error: idwarden -r failed', what)

    def test_bogus_macrange_names_the_raw_output(self):
        for out in ('0x100\n', '', '12 13\n', '2.5'):
            self.env(FAKE_IDWARDEN_R=out.replace('\n', '\\n'))
            self.assertDecoderFailure(lambda: lanquist.Idwarden().macrange,
                                      'error: idwarden -r returned bogus value: ' + out, repr(out))

    def test_a_long_bogus_macrange_is_quoted_by_its_beginning(self):
        def fail(self, *args):
            raise AssertionError('subclass code ran')

        # A long output is cut on its own data: none of these runs.
        overrides = dict((name, fail) for name in ('__len__', '__getitem__', '__getslice__', '__str__',
                                                   '__unicode__', '__repr__'))
        Sealed, SealedUnicode = type('Sealed', (str,), overrides), type('SealedUnicode', (unicode,), overrides)
        head = 'error: idwarden -r returned bogus value: '
        # (output, the whole message, or None where a long output is cut)
        cases = [
            ('12 13\n', head + '12 13\n'),
            (u'\xe9', head + u'\xe9'),
            ('7' * 60 + ' 8', head + '7' * 60 + ' 8'),
            ('12 ' * (1 << 19), None),
            (u'\xe9' * (1 << 20), None),
            (Sealed('7' * 99 + 'x'), head + '7' * 64 + '... (100 characters)'),
            (SealedUnicode(u'\xe9' * 65), head + u'\xe9' * 64 + u'... (65 characters)'),
        ]
        for number, (out, message) in enumerate(cases):
            what = 'case %d' % number
            with support.patch(lanquist, 'subprocess', ReturningSubprocess(out)):
                with self.assertRaises(RuntimeError) as cm:
                    lanquist.Idwarden().macrange
            got, = cm.exception.args
            # the console and syslog get the same line
            self.assertEqual(self.syslog.calls, [((SyslogRecorder.LOG_ERR, got), 0)], what)
            self.syslog.calls = []
            if message is not None:
                self.assertEqual(got, message, what)
                self.assertIs(type(got), type(message), what)
            else:
                self.assertLess(len(got), 200, what)
                self.assertTrue(got.startswith(head + out[:40]), repr(got))

    def test_interrupts_and_other_conversion_errors_pass_through(self):
        for exc in (KeyboardInterrupt(), SystemExit(2)):
            with support.patch(lanquist, 'subprocess', RaisingSubprocess(exc)):
                for name in ('macaddr', 'macrange'):
                    with self.assertRaises(type(exc)) as cm:
                        getattr(lanquist.Idwarden(), name)
                    self.assertIs(cm.exception, exc, name)
        # only ValueError of the conversion becomes the bogus-value error
        with support.patch(lanquist, 'subprocess', ReturningSubprocess(None)):
            self.assertRaises(TypeError, getattr, lanquist.Idwarden(), 'macrange')
        self.assertEqual(self.syslog.calls, [])
        self.assertFalse(hasattr(sys, 'tracebacklimit'))

    def test_failure_steps_use_the_module_bindings(self):
        fake_sys = types.ModuleType('sys')
        with support.patch(lanquist, 'sys', fake_sys):
            with support.environ(FAKE_IDWARDEN_FAIL='2'):
                self.assertRaises(RuntimeError, getattr, lanquist.Idwarden(), 'macaddr')
        self.assertEqual(fake_sys.tracebacklimit, 0)
        self.assertFalse(hasattr(sys, 'tracebacklimit'))
        self.assertEqual(len(self.syslog.calls), 1)


if __name__ == '__main__':
    import unittest
    unittest.main()
