"""Shared by the end-to-end suites: the sample platforms rendered by the
examples' driver into a temporary folder, once per suite."""
import os
import shutil
import sys
import tempfile

SOURCE = os.environ.get('PORTCONF_SOURCE_DIR') or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
EXAMPLES = os.path.join(SOURCE, 'examples')
PULSIC = os.path.join(SOURCE, 'tests', 'stubs', 'bin', 'pulsic')
EXPECTED = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'expected')

if EXAMPLES not in sys.path:
    sys.path.insert(0, EXAMPLES)

import platforms  # noqa: E402
import render  # noqa: E402
from support import patch  # noqa: E402

SAMPLES = platforms.SAMPLES


class Rendered(object):
    """Every sample platform rendered into one temporary folder."""

    def __init__(self):
        self.out = tempfile.mkdtemp(prefix='portconf-e2e-')
        # The LED assembler's working folders go in it too.
        with patch(tempfile, 'tempdir', self.out):
            self.results = dict((name, render.render(name, self.out, pulsic=PULSIC)) for name in SAMPLES)

    def read(self, name, output):
        with open(os.path.join(self.results[name].folder, output)) as f:
            return f.read()

    def close(self):
        shutil.rmtree(self.out, True)


def lines(text):
    return text.split('\n') if text else []


def table(text):
    """The tab-separated rows of a table text, without its header line."""
    return [line.split('\t') for line in lines(text) if line and not line.startswith('#')]
