# One entry per parser; see lorimo_fuzz_target in CMakeLists.txt.
lorimo_fuzz_target(datafile
  FUZZER datafile_fuzz.cpp
  LIBS corekit
  SOURCES corekit/src/datafile.cpp corekit/src/slidesfile.cpp corekit/src/atomicfile.cpp
          corekit/src/mystring.cpp corekit/src/straw.cpp
  INCLUDES corekit/include
  DEPS Qt6::Core)

lorimo_fuzz_target(psd
  FUZZER psd_fuzz.cpp
  LIBS lorimo_app
  SOURCES app/viewer/psdreader.cpp
  INCLUDES app)

lorimo_fuzz_target(favorites
  FUZZER favorites_fuzz.cpp
  LIBS Nestbook
  SOURCES nestbook/src/favoritesfile.cpp nestbook/src/favoritesnode.cpp
          nestbook/src/favoritesdisk.cpp nestbook/src/favoritesquery.cpp
          nestbook/src/itemdata.cpp nestbook/src/nodehelpers.cpp nestbook/src/nestbook.cpp
          corekit/src/mystring.cpp corekit/src/straw.cpp corekit/src/platform.cpp
          corekit/src/atomicfile.cpp corekit/src/filelock.cpp
  INCLUDES corekit/include nestbook/include nestbook/src
  DEPS Qt6::Core)
