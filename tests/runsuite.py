"""Run one unittest suite file; fail when a test fails or when none ran."""
import imp
import os
import sys
import unittest


def main(path):
    name = os.path.splitext(os.path.basename(path))[0]
    sys.path.insert(0, os.path.dirname(os.path.abspath(path)))
    module = imp.load_source(name, path)
    suite = unittest.defaultTestLoader.loadTestsFromModule(module)
    result = unittest.TextTestRunner(verbosity=1).run(suite)
    if result.testsRun == 0 or not result.wasSuccessful():
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
