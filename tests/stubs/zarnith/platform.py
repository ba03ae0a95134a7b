"""Stand-in for the maker's platform module.

On the switch it hands out the very chip classes that brontile binds; these
are the part-number classes that lanquist recognises by identity.
"""
from brontile import (Qumran_88370_Chip, Qumran_88375_Chip, TomahawkThree_56980_Chip,  # noqa: F401
                      TomahawkTwo_56970_Chip, TridentThreeX5_56771_Chip, TridentThreeX7_56870_Chip,
                      TridentThreeX7_56873_Chip)
