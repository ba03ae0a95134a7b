"""The sample platform definitions, each a module as a maker's platform
package writes one: `platform()` builds the platform object, `PORTS_CONF`
names the module's ports.conf beside it."""
import importlib
import os
import sys

# In the order the demo renders them.
SAMPLES = ('tomahawk32', 'trident2', 'trident3x7', 'maverick', 'qumran', 'helix4')

_HERE = os.path.dirname(os.path.abspath(__file__))


def load(name):
    """The module of sample platform `name`."""
    if name not in SAMPLES:
        raise KeyError('no sample platform %r (there are: %s)' % (name, ', '.join(SAMPLES)))
    # The modules import their shared helpers as a platform package's
    # siblings do, by plain name.
    if _HERE not in sys.path:
        sys.path.insert(0, _HERE)
    return importlib.import_module(name)
