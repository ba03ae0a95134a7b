"""lanquist's own configparser layer, used where the host has no configparser
package: the dialect of ports.conf, its errors and the parser's queries."""
import StringIO
import gc
import unittest

import lanquist
import support

cp = lanquist.configparser
OURS = cp.__name__ == 'lanquist.configparser'
skip_unless_ours = unittest.skipUnless(
    OURS, 'the host has the configparser package; lanquist uses it instead of its own layer')


def parse(text, identity=True):
    """Read text as Config does: optionxform replaced on the instance."""
    p = cp.RawConfigParser()
    if identity:
        p.optionxform = lambda s: s
    p.readfp(StringIO.StringIO(text))
    return p


def bad_lines(count):
    """A ports section of one option and `count` bad lines."""
    return '[ports]\n1=a\n' + 'bad line\n' * count


# Bad lines of the smaller text whose reading's instructions are counted.
COST_LINES = 3000


# (what, text after "[ports]\n", items of "ports")
READS = (
    ('plain lines', '1=100G\n2=4x10G\n', [('1', '100G'), ('2', '4x10G')]),
    ('white space around name and value, ":" delimiter',
     ' 1 = 100G \n2:40G/4\n3 :\t x\n', [('1', '100G'), ('2', '40G/4'), ('3', 'x')]),
    ('the first delimiter splits', '1=a=b\n2=c:d\n3:e=f\n', [('1', 'a=b'), ('2', 'c:d'), ('3', 'e=f')]),
    ('no inline comments', '1=100G # x\n2=40G ; y\n', [('1', '100G # x'), ('2', '40G ; y')]),
    ('whole-line comments and blank lines',
     '# c\n\n   # indented\n; semi\n  ;\n1=100G\n\n \t\n2=10G\n', [('1', '100G'), ('2', '10G')]),
    ('case of names kept', 'Swp1=10G\nswp1=25G\n', [('Swp1', '10G'), ('swp1', '25G')]),
    ('deeper lines continue a value', '1=100G\n  more\n\tstill\n2=x\n',
     [('1', '100G\nmore\nstill'), ('2', 'x')]),
    ('blank line kept only before a continuation', '1=a\n\n  b\n\n2=c\n\n',
     [('1', 'a\n\nb'), ('2', 'c')]),
    ('comment inside a continued value dropped', '1=a\n# note\n  b\n', [('1', 'a\nb')]),
    ('continuation is relative to the option line', '  1=a\n  2=b\n    c\n', [('1', 'a'), ('2', 'b\nc')]),
    ('no interpolation', '1=%(x)s 100%\n', [('1', '%(x)s 100%')]),
    ('empty value, no final newline', '1=\n2=40G', [('1', ''), ('2', '40G')]),
    ('CRLF line ends', '1=100G\r\n2=10G\r\n', [('1', '100G'), ('2', '10G')]),
)

# (what, whole text, error class, message)
FAILURES = (
    ('repeated option', '[ports]\n1=100G\n1 = 10G\n', 'DuplicateOptionError',
     "While reading from '<???>' [line  3]: option '1' in section 'ports' already exists"),
    ('repeated option raised at once, before bad lines are reported', '[ports]\nbad\n1=a\n1=b\nworse\n',
     'DuplicateOptionError', "While reading from '<???>' [line  4]: option '1' in section 'ports' already exists"),
    ('repeated section', '[ports]\n1=a\n[other]\n[ports]\n2=b\n', 'DuplicateSectionError',
     "While reading from '<???>' [line  4]: section 'ports' already exists"),
    ('bad lines all reported after the whole text', '[ports]\nbad\n1=100G\n=40G\n[]\n2=x\nlast',
     'ParsingError',
     "Source contains parsing errors: '<???>'\n\t[line  2]: 'bad\\n'\n\t[line  4]: '=40G\\n'"
     "\n\t[line  5]: '[]\\n'\n\t[line  7]: 'last'"),
    ('option before any header', '\n1=100G\n[ports]\n', 'MissingSectionHeaderError',
     "File contains no section headers.\nfile: '<???>', line: 2\n'1=100G\\n'"),
)


@skip_unless_ours
class DialectTest(unittest.TestCase):
    def test_reads(self):
        for what, body, expected in READS:
            items = parse('[ports]\n' + body).items('ports')
            self.assertEqual(items, expected, what)
            for name, value in items:
                self.assertIs(type(name), str, what)
                self.assertIs(type(value), str, what)

    def test_failures(self):
        for what, text, cls_name, message in FAILURES:
            with self.assertRaises(cp.Error) as cm:
                parse(text)
            self.assertIs(type(cm.exception), getattr(cp, cls_name), what)
            self.assertEqual(str(cm.exception), message, what)

    def test_parsing_error_lists_its_lines(self):
        with self.assertRaises(cp.ParsingError) as cm:
            parse('[ports]\nbad\n1=a\n' + 'x\n' * 8 + 'y')
        e = cm.exception
        self.assertEqual(e.errors[0], (2, "'bad\\n'"))
        self.assertEqual(e.errors[-1], (12, "'y'"))
        self.assertEqual(len(e.errors), 10)
        self.assertTrue(str(e).endswith("\n\t[line 11]: 'x\\n'\n\t[line 12]: 'y'"))
        self.assertEqual(e.args, ('<???>',))

    def test_many_bad_lines_cost_linear_time(self):
        n = 80000
        with self.assertRaises(cp.ParsingError) as cm:
            parse(bad_lines(n))
        e = cm.exception
        self.assertEqual(len(e.errors), n)
        self.assertEqual((e.errors[0], e.errors[-1]), ((3, "'bad line\\n'"), (n + 2, "'bad line\\n'")))
        self.assertEqual(str(e), "Source contains parsing errors: '<???>'" +
                         ''.join("\n\t[line %2d]: 'bad line\\n'" % i for i in xrange(3, n + 3)))

        # Four times the bad lines cost about four times the instructions (a
        # message grown line by line made it sixteen).
        n = COST_LINES
        small = support.instructions_per_call(self, __file__, n)
        large = support.instructions_per_call(self, __file__, 4 * n)
        self.assertLess(large, 8 * small, 'one read: %d instructions at %d bad lines, %d at %d (%.1f times)'
                        % (small, n, large, 4 * n, float(large) / small))

    def test_header_is_read_up_to_its_closing_bracket(self):
        p = parse('[ports] trailing\n1=a\n[ with space ]\n2=b\n')
        self.assertEqual(p.sections(), ['ports', ' with space '])
        self.assertEqual(p.items('ports'), [('1', 'a')])

    def test_default_section_merges_into_every_section(self):
        p = parse('[DEFAULT]\nd=1\n2=def\n[ports]\n1=x\n2=y\n[other]\n[DEFAULT]\ne=2\n')
        self.assertEqual(p.items('ports'), [('d', '1'), ('2', 'y'), ('e', '2'), ('1', 'x')])
        self.assertEqual(p.items('other'), [('d', '1'), ('2', 'def'), ('e', '2')])
        self.assertEqual(p.items('DEFAULT'), [('d', '1'), ('2', 'def'), ('e', '2')])
        self.assertEqual(p.sections(), ['ports', 'other'])


@skip_unless_ours
class ParserTest(unittest.TestCase):
    def test_optionxform_lower_cases_and_is_asked_of_the_instance(self):
        self.assertEqual(parse('[ports]\nSwp1=10G\n', identity=False).items('ports'), [('swp1', '10G')])
        with self.assertRaises(cp.DuplicateOptionError) as cm:
            parse('[ports]\nSwp1=10G\nswp1=25G\n', identity=False)
        self.assertEqual(cm.exception.args, ('ports', 'swp1', '<???>', 3))
        p = cp.RawConfigParser()
        p.optionxform = str.upper
        p.readfp(StringIO.StringIO('[ports]\nswp1 = 10G\n'))
        self.assertEqual(p.items('ports'), [('SWP1', '10G')])
        self.assertEqual(p.get('ports', 'swp1'), '10G')

    def test_source_name_in_errors(self):
        fp = StringIO.StringIO('[ports]\n1=a\n1=b\n')
        fp.name = '/somewhere/ports.conf'
        for args, source in (((fp,), '/somewhere/ports.conf'), ((fp, 'given'), 'given')):
            fp.seek(0)
            with self.assertRaises(cp.DuplicateOptionError) as cm:
                cp.RawConfigParser().readfp(*args)
            self.assertEqual(cm.exception.source, source)
            self.assertTrue(str(cm.exception).startswith('While reading from %r [line  3]' % source))

    def test_queries(self):
        p = parse('[DEFAULT]\nd=1\n[ports]\n1=100G\n[b]\n')
        self.assertTrue(p.has_section('ports'))
        self.assertFalse(p.has_section('DEFAULT'))
        self.assertEqual(p.get('ports', '1'), '100G')
        self.assertEqual(p.get('b', 'd'), '1')
        self.assertEqual(p.get('DEFAULT', 'd'), '1')
        with self.assertRaises(cp.NoSectionError) as cm:
            p.items('nope')
        self.assertEqual((str(cm.exception), cm.exception.args), ("No section: 'nope'", ('nope',)))
        self.assertRaises(cp.NoSectionError, p.get, 'nope', '1')
        with self.assertRaises(cp.NoOptionError) as cm:
            p.get('b', '1')
        self.assertEqual(str(cm.exception), "No option '1' in section: 'b'")

    def test_a_second_read_adds_to_the_first(self):
        p = parse('[ports]\n1=a\n2=b\n')
        p.readfp(StringIO.StringIO('[ports]\n2=c\n3=d\n'))
        self.assertEqual(p.items('ports'), [('1', 'a'), ('2', 'c'), ('3', 'd')])

    def test_error_classes(self):
        self.assertTrue(issubclass(cp.Error, Exception))
        for name in ('NoSectionError', 'NoOptionError', 'DuplicateSectionError', 'DuplicateOptionError',
                     'ParsingError'):
            self.assertTrue(issubclass(getattr(cp, name), cp.Error), name)
        self.assertTrue(issubclass(cp.MissingSectionHeaderError, cp.ParsingError))
        self.assertEqual(str(cp.Error('m')), 'm')
        self.assertEqual(str(cp.DuplicateSectionError('s')), "Section 's' already exists")
        self.assertEqual(str(cp.DuplicateOptionError('s', 'o')), "Option 'o' in section 's' already exists")
        self.assertEqual(str(cp.DuplicateOptionError('s', 'o', 'f')),
                         "While reading from 'f': option 'o' in section 's' already exists")


def bad_lines_child(count, calls):
    """bad_lines(count) read `calls` times."""
    text = bad_lines(int(count))
    # The collector runs where allocations add up, not in any one call: left out.
    gc.collect()
    gc.disable()
    for _ in range(int(calls)):
        try:
            parse(text)
        except cp.ParsingError:
            pass
    return {}


if __name__ == '__main__':
    support.main(bad_lines_child)
