# Stand-in: the switch image ships an sfp module; lanquist only imports it.
