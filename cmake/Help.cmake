# The help pages and the help file built from them.
