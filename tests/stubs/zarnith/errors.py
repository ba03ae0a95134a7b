"""Stand-in for the maker's module that defines UnsupportedPlatformError."""


class UnsupportedPlatformError(Exception):
    pass
