# Stand-in for the maker's platform package: just what this project's code and
# tests use of it.
