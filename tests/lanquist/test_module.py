"""The lanquist module after import: its namespace, its imports and its twelve
classic classes with their class attributes."""
import itertools
import json
import os
import shutil
import StringIO
import subprocess
import sys
import syslog
import types
import unittest

import lanquist
import sfp
import support
import zarnith
import zarnith.errors

IMPORTS = ('configparser', 'StringIO', 'sys', 'subprocess', 'syslog', 'groupby', 'os', 'shutil', 'sfp',
           'json', 'zarnith', 'UnsupportedPlatformError')
# class -> base
CLASSES = (
    ('Idwarden', None),
    ('IPRoute2', None),
    ('Drovik', None),
    ('Config', None),
    ('ConfiguredPort', None),
    ('SDKConfiguredPort', 'ConfiguredPort'),
    ('BCMConfiguredPort', 'SDKConfiguredPort'),
    ('SDKConfiguredMappedPort', 'SDKConfiguredPort'),
    ('BCMConfiguredMappedPort', 'SDKConfiguredMappedPort'),
    ('BCMConfiguredDportPort', 'BCMConfiguredPort'),
    ('SDKConfig', 'Config'),
    ('BCMConfig', 'SDKConfig'),
)
STANDARD = ('__name__', '__doc__', '__file__', '__package__')
# error class -> builtin base
ERRORS = (('PhyTableError', IndexError),)


class NamespaceTest(unittest.TestCase):
    def test_exactly_the_imports_and_the_classes(self):
        expected = set(IMPORTS) | set(name for name, _ in CLASSES + ERRORS) | set(STANDARD)
        self.assertEqual(set(vars(lanquist)), expected)
        self.assertIsNone(lanquist.__doc__)

    def test_imports_bind_the_modules_themselves(self):
        for name, module in (('StringIO', StringIO), ('sys', sys), ('subprocess', subprocess),
                             ('syslog', syslog), ('os', os), ('shutil', shutil), ('sfp', sfp),
                             ('json', json), ('zarnith', zarnith),
                             ('groupby', itertools.groupby),
                             ('UnsupportedPlatformError', zarnith.errors.UnsupportedPlatformError)):
            self.assertIs(getattr(lanquist, name), module, name)
        self.assertIn('zarnith.vettaro', sys.modules)

    def test_configparser_is_the_package_or_our_own(self):
        try:
            import configparser
        except ImportError:
            self.assertEqual(lanquist.configparser.__name__, 'lanquist.configparser')
        else:
            self.assertIs(lanquist.configparser, configparser)
        self.assertTrue(hasattr(lanquist.configparser, 'RawConfigParser'))


class ClassesTest(unittest.TestCase):
    def test_classic_classes_and_bases(self):
        for name, base in CLASSES:
            cls = getattr(lanquist, name)
            self.assertIs(type(cls), types.ClassType, name)
            self.assertEqual(cls.__name__, name)
            self.assertEqual(cls.__module__, 'lanquist', name)
            bases = (getattr(lanquist, base),) if base else ()
            self.assertEqual(cls.__bases__, bases, name)

    def test_error_classes(self):
        for name, base in ERRORS:
            cls = getattr(lanquist, name)
            self.assertEqual((cls.__name__, cls.__module__, cls.__bases__), (name, 'lanquist', (base,)))

    def test_portmap_capable(self):
        # (class, value, set by the class itself)
        for name, value, own in (('ConfiguredPort', None, True),
                                 ('SDKConfiguredPort', False, True),
                                 ('BCMConfiguredPort', False, False),
                                 ('SDKConfiguredMappedPort', True, True),
                                 ('BCMConfiguredMappedPort', True, False),
                                 ('BCMConfiguredDportPort', True, True)):
            cls = getattr(lanquist, name)
            self.assertIs(cls.portmap_capable, value, name)
            self.assertEqual('portmap_capable' in vars(cls), own, name)

    def test_serdes_if_type_map(self):
        table = lanquist.SDKConfig.serdes_if_type_map
        self.assertIs(type(table), dict)
        self.assertEqual(table, {'XGMII': 6, 'SFI': 9, 'XFI': 10, 'KR4': 12, 'SR4': 28, 'KR': 11})
        for key, value in table.items():
            self.assertIs(type(value), int, key)
        self.assertNotIn('kr', table)
        self.assertIn('serdes_if_type_map', vars(lanquist.SDKConfig))
        self.assertNotIn('serdes_if_type_map', vars(lanquist.BCMConfig))
        self.assertIs(lanquist.BCMConfig.serdes_if_type_map, table)


class ImportTest(support.TempDirTestCase):
    """Import lanquist in a fresh interpreter whose path holds the built modules
    and the stand-ins that this test links into its own directory."""

    SCRIPT = ('import sys\n'
              'try:\n'
              '    import lanquist\n'
              'except ImportError as e:\n'
              '    print "ImportError: %s" % e\n'
              'print "lanquist" in sys.modules, "zarnith.platform" in sys.modules\n')

    def run_import(self, stand_ins):
        stubs = os.path.dirname(os.path.dirname(os.path.abspath(zarnith.__file__)))
        path = self.path('path')
        os.mkdir(path)
        for name in stand_ins:
            os.symlink(os.path.join(stubs, name), os.path.join(path, name))
        env = dict(os.environ)
        env['PYTHONPATH'] = os.pathsep.join([os.path.dirname(os.path.abspath(lanquist.__file__)), path])
        proc = subprocess.Popen([sys.executable, '-B', '-c', self.SCRIPT], env=env, cwd=self.tmp,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        out, err = proc.communicate()
        self.assertEqual(proc.returncode, 0, err)
        return out

    def test_loads_with_its_stand_ins_and_without_zarnith_platform(self):
        self.assertEqual(self.run_import(['zarnith', 'sfp.py']), 'True False\n')

    def test_fails_without_sfp_and_leaves_no_module(self):
        self.assertEqual(self.run_import(['zarnith']), 'ImportError: No module named sfp\nFalse False\n')


if __name__ == '__main__':
    unittest.main()
