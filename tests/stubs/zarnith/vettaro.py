"""Stand-in for the maker's ports.conf validator (filled in with lanquist's Config)."""


class Vettaro(object):
    def __init__(self, path, debug=False):
        self.path = path
        self.debug = debug

    def vettaro(self):
        return []

    def portwriteerrors(self, errors):
        pass
