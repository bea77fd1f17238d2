# Install rules: headers flat, the library, a CMake package, a pkg-config file and the tool.
# (Filled in by the install work; kept as its own file so the root stays short.)
