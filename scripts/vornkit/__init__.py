"""What vorn's commands share, one module for each thing they read, check or write.

The commands in scripts/ put scripts/ first on sys.path and import from here
(from vornkit import outputs); nothing here imports a command or runs one. Each module's
opening says what it is about.
"""
