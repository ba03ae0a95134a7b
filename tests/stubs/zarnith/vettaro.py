"""Stand-in for the maker's ports.conf validator.

It checks nothing itself; tests steer it through class attributes:
  Vettaro.errors  what vettaro() answers: a list (handed out as that very
                  object), a callable taking the path and returning the list,
                  or None for a new empty list;
  Vettaro.calls   every call, in order: ('init', path, debug),
                  ('vettaro', path), ('portwriteerrors', path, errors).
Vettaro.reset() puts both back.
"""


class Vettaro(object):
    errors = None
    calls = []

    @classmethod
    def reset(cls):
        Vettaro.errors = None
        Vettaro.calls = []

    def __init__(self, path, debug=False):
        self.path = path
        self.debug = debug
        Vettaro.calls.append(('init', path, debug))

    def vettaro(self):
        Vettaro.calls.append(('vettaro', self.path))
        errors = Vettaro.errors
        if callable(errors):
            errors = errors(self.path)
        return [] if errors is None else errors

    def portwriteerrors(self, errors):
        Vettaro.calls.append(('portwriteerrors', self.path, errors))
