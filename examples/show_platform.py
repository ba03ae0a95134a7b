"""Show the platform model: the classes brontile offers and a sample platform."""
import brontile

print 'brontile classes:'
for name in sorted(dir(brontile)):
    obj = getattr(brontile, name)
    if isinstance(obj, type):
        print '  %s(%s)' % (name, ', '.join(b.__name__ for b in obj.__bases__))
