# One entry per parser; see lorimo_fuzz_target in CMakeLists.txt.
lorimo_fuzz_target(datafile
  FUZZER datafile_fuzz.cpp
  LIBS corekit
  SOURCES corekit/src/datafile.cpp corekit/src/slidesfile.cpp corekit/src/atomicfile.cpp
          corekit/src/mystring.cpp corekit/src/straw.cpp
  INCLUDES corekit/include
  DEPS Qt6::Core)
