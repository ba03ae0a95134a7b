"""Argument errors of the modules' members, compared with the same signatures
written in Python: each member counts its object (a class method its class),
on new-style and classic classes, for methods, class methods and constructors.

For every member of the table, a Python class of the same kind gets a member
of the same name and parameter list; each call shape that Python refuses with
a TypeError must be refused by ours with the same message. Shapes that Python
accepts are not made on ours (they would run the member).
"""
import os
import shutil
import tempfile
import types
import unittest

import brontile
import glimra
import lanquist

from support import WIRING, bare

# (class, member, kind, parameters after the object, the object's name)
MEMBERS = [
    # brontile and glimra: new-style classes
    (brontile.TomahawkChip, '__init__', 'init', '', 'self'),
    (brontile.SDKChip, '__init__', 'init', 'initial_path', 'self'),
    (brontile.SDKChip, 'is_acpi', 'classmethod', '', 'cls'),
    (brontile.SDKChip, 'get_config', 'method', 'file_name', 'self'),
    (brontile.BCMSwitch, '__init__', 'init', 'chip', 'self'),
    (brontile.SDKPort, '__init__', 'init', ', '.join(WIRING), 'self'),
    (brontile.SDKPort, 'hw_intf', 'method', 'mode, sub', 'self'),
    (brontile.SDKPort, 'port_mac_index', 'method', 'mode, mac_index, sub', 'self'),
    (brontile.SDKPort, 'speed', 'classmethod', 'mode', 'cls'),
    (brontile.SDKPort, 'complete_mode', 'method', 'self, mode', 'config'),
    (glimra.BCMLEDController, '__init__', 'init', '', 'self'),
    (glimra.BCMLEDController, 'configure', 'method', 'controller_idx, ports', 'self'),
    (glimra.BCMLEDController, '_led_pad_call', 'method', 'value, length, emit_loop', 'self'),
    # lanquist: classic classes
    (lanquist.Config, '__init__', 'init', 'platform, verbose=False, exploded=False, dummy=False', 'self'),
    (lanquist.Config, 'write_config', 'method', 'configfile', 'self'),
    (lanquist.Config, 'init_config', 'method', '', 'self'),
    (lanquist.BCMConfig, '__init__', 'init', 'platform, verbose=False, exploded=False, dummy=False', 'self'),
    (lanquist.Idwarden, '__init__', 'init', 'dummy=False, sw_base=None', 'self'),
    (lanquist.IPRoute2, 'run', 'method', 'args', 'self'),
    (lanquist.SDKConfiguredPort, '__init__', 'init', 'mode, physical_port, port_base, mac_index, loopback', 'self'),
]


def python_twin(cls, name, kind, params, obj):
    """A class of the same kind as `cls` whose member `name` is written in Python."""
    classic = isinstance(cls, types.ClassType)
    source = 'class Twin%s:\n%s    def %s(%s):\n        pass\n' % (
        '' if classic else '(object)', '    @classmethod\n' if kind == 'classmethod' else '', name,
        ', '.join([obj] + ([params] if params else [])))
    namespace = {}
    exec source in namespace
    return namespace['Twin']


def shapes(params, obj):
    """Calls (positional, keywords) around the parameter list's edges."""
    names = [p.split('=')[0].strip() for p in params.split(',') if p.strip()]
    required = len([p for p in params.split(',') if p.strip() and '=' not in p])
    n = len(names)
    calls = [
        ((), {}),
        (tuple(range(n + 1)), {}),
        (tuple(range(n + 2)), {'zz': 1}),
        (tuple(range(required)), {obj: 0}),
        ((), {obj: 0}),
        (tuple(range(required)), {'zz': 1}),
        ((), {1: 2}),
    ]
    if required:
        calls.append((tuple(range(required - 1)), {}))
        calls.append(((), {names[required - 1]: 0}))
    if names:
        calls.append((tuple(range(max(required, 1))), {names[0]: 0}))
        calls.append((tuple(range(n)), {names[-1]: 0, 'zz': 1}))
        # A name that holds a NUL byte is not the name before it.
        calls.append((tuple(range(required - 1 if required else 0)), {names[max(required, 1) - 1] + '\0x': 0}))
    calls.append((tuple(range(required)), {obj + '\0': 0}))
    return calls


def ways(cls, name, kind):
    """The ways outside code calls a member of `kind`: each maps (positional,
    keywords) to a call."""
    if kind == 'init':
        return [('%s(...)' % cls.__name__, lambda a, k: cls(*a, **k))]
    obj = bare(cls)
    found = [('object.%s(...)' % name, lambda a, k: getattr(obj, name)(*a, **k))]
    if kind == 'classmethod':
        found.append(('class.%s(...)' % name, lambda a, k: getattr(cls, name)(*a, **k)))
    else:
        found.append(('class.%s(object, ...)' % name, lambda a, k: getattr(cls, name)(obj, *a, **k)))
    if isinstance(cls, types.ClassType):
        # The function itself, without its object.
        function = getattr(cls, name).im_func
        found.append(('%s function' % name, lambda a, k: function(*a, **k)))
    return found


def type_error(call):
    try:
        call()
    except TypeError as e:
        return str(e)
    return None


class ArgumentErrorsTest(unittest.TestCase):
    maxDiff = None

    def setUp(self):
        # A call that ours wrongly took would run the member: nothing it
        # writes lands outside this directory.
        self.tmp = tempfile.mkdtemp(prefix='argerrors-')
        self.addCleanup(shutil.rmtree, self.tmp, True)
        cwd = os.getcwd()
        os.chdir(self.tmp)
        self.addCleanup(os.chdir, cwd)

    def test_messages_are_those_of_the_same_signature_in_python(self):
        compared = 0
        for cls, name, kind, params, obj in MEMBERS:
            twin = python_twin(cls, name, kind, params, obj)
            for (how, ours), (_, theirs) in zip(ways(cls, name, kind), ways(twin, name, kind)):
                for a, k in shapes(params, obj):
                    expected = type_error(lambda: theirs(a, k))
                    if expected is None:
                        continue
                    what = '%s.%s: %s with %r, %r' % (cls.__name__, name, how, a, k)
                    self.assertEqual(type_error(lambda: ours(a, k)), expected, what)
                    compared += 1
        self.assertGreater(compared, 300)

    def test_a_keyword_named_like_the_object(self):
        # The plain cases the table covers, stated once as Python words them.
        port = bare(brontile.SDKPort)
        cases = [
            (lambda: port.hw_intf('4x', 0, self=1), "hw_intf() got multiple values for keyword argument 'self'"),
            (lambda: brontile.SDKPort.speed(cls=1), "speed() got multiple values for keyword argument 'cls'"),
            (lambda: port.complete_mode(port, config=1),
             "complete_mode() got multiple values for keyword argument 'config'"),
            (lambda: lanquist.Idwarden(self=1), "__init__() got multiple values for keyword argument 'self'"),
            (lambda: brontile.TomahawkChip(1), '__init__() takes exactly 1 argument (2 given)'),
            (lambda: lanquist.Config.init_config.im_func(), 'init_config() takes exactly 1 argument (0 given)'),
        ]
        for call, message in cases:
            self.assertEqual(type_error(call), message)

    def test_a_keyword_is_matched_by_its_whole_name(self):
        # 'mode\0x' and 'self\0' name no parameter, whatever their first part
        # spells: the member refuses them before it runs, leaving its object
        # as it was.
        config = bare(lanquist.Config)
        switch = bare(brontile.BCMSwitch)
        controller = glimra.BCMLEDController()
        controller.num_leds = 2
        controller.call_list = {}
        cases = [
            (config, lambda kw: config.set_macmode(**kw), {'mode\0x': 'l3-only'}, 'set_macmode', 'mode'),
            (config, lambda kw: config.set_macmode(**kw), {u'mode\0x': 'l3-only'}, 'set_macmode', 'mode'),
            (config, lambda kw: lanquist.Config.set_macmode.im_func(**kw), {'self\0': config, 'mode': 'l3-only'},
             'set_macmode', 'self'),
            (switch, lambda kw: switch.__init__(**kw), {'chip\0': 'chip'}, '__init__', 'chip'),
            (switch, lambda kw: switch.__init__('chip', **kw), {'self\0': switch}, '__init__', 'self'),
            (controller, lambda kw: controller.configure(0, **kw), {'ports\0x': []}, 'configure', 'ports'),
            (controller, lambda kw: controller.configure(**kw), {'self\0': controller, 'controller_idx': 0, 'ports': []},
             'configure', 'self'),
        ]
        for obj, call, kwargs, member, shown in cases:
            before = repr(sorted(vars(obj).items()))
            # Python words it with the name up to the NUL byte.
            self.assertEqual(type_error(lambda: call(kwargs)),
                             "%s() got an unexpected keyword argument '%s'" % (member, shown), repr(kwargs))
            self.assertEqual(repr(sorted(vars(obj).items())), before, repr(kwargs))


if __name__ == '__main__':
    unittest.main()
