# One entry per parser; see lorimo_fuzz_target in CMakeLists.txt.
