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
  SOURCES app/codecs/psdreader.cpp
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

set(codec_fuzz_sources app/codecs/imagelibrary.cpp app/codecs/librarylog.cpp
    corekit/src/atomicfile.cpp corekit/src/mystring.cpp corekit/src/straw.cpp
    corekit/src/platform.cpp corekit/src/filelock.cpp)

lorimo_fuzz_target(jp2
  FUZZER jp2_fuzz.cpp
  LIBS lorimo_codecs
  SOURCES app/codecs/jp2codec.cpp ${codec_fuzz_sources}
  INCLUDES app corekit/include
  DEPS Qt6::Core PkgConfig::GraphicsMagickPP PkgConfig::OpenJPEG PkgConfig::Exiv2)

lorimo_fuzz_target(hdf
  FUZZER hdf_fuzz.cpp
  LIBS lorimo_codecs
  SOURCES app/codecs/hdfcodec.cpp ${codec_fuzz_sources}
  INCLUDES app corekit/include
  DEPS Qt6::Core PkgConfig::GraphicsMagickPP PkgConfig::Exiv2 HDF4::HDF4)

lorimo_fuzz_target(keymap
  FUZZER keymap_fuzz.cpp
  LIBS lorimo_app
  SOURCES app/shell/keyboardmapfile.cpp app/shell/mappingvalues.cpp app/shell/inputbinding.cpp
          corekit/src/datafile.cpp corekit/src/registry.cpp corekit/src/atomicfile.cpp
          corekit/src/mystring.cpp corekit/src/straw.cpp corekit/src/platform.cpp
          corekit/src/filelock.cpp
  INCLUDES app corekit/include
  DEPS Qt6::Core)

lorimo_fuzz_target(layout
  FUZZER layout_fuzz.cpp
  LIBS lorimo_app
  SOURCES app/shell/layoutfile.cpp
          corekit/src/atomicfile.cpp corekit/src/mystring.cpp corekit/src/straw.cpp
          corekit/src/platform.cpp corekit/src/filelock.cpp
  INCLUDES app corekit/include
  DEPS Qt6::Core)

lorimo_fuzz_target(thumbentry
  FUZZER thumbentry_fuzz.cpp
  LIBS lorimo_app
  SOURCES app/browse/thumbnailentry.cpp app/browse/sharedthumbnails.cpp
          corekit/src/atomicfile.cpp corekit/src/mystring.cpp corekit/src/straw.cpp
          corekit/src/platform.cpp corekit/src/filelock.cpp
  INCLUDES app corekit/include
  DEPS Qt6::Gui PkgConfig::TurboJPEG)

lorimo_fuzz_target(batchsettings
  FUZZER batchsettings_fuzz.cpp
  LIBS lorimo_app
  SOURCES app/collections/batchsettings.cpp app/collections/batchrename.cpp
          pixwork/src/resizemath.cpp corekit/src/datafile.cpp
          corekit/src/atomicfile.cpp corekit/src/mystring.cpp corekit/src/straw.cpp
          corekit/src/platform.cpp corekit/src/filelock.cpp
  INCLUDES app corekit/include pixwork/include
  DEPS Qt6::Core PkgConfig::GraphicsMagickPP)

# The formats plug-in's readers: each one's own entry point.
set(formats_fuzz_sources formats/src/formatread.cpp formats/src/heifreader.cpp
    formats/src/webpcodec.cpp formats/src/jxlcodec.cpp formats/src/rawreader.cpp
    corekit/src/bitmap.cpp)
foreach(kind heif webp jxl raw)
  lorimo_fuzz_target(formats_${kind}
    FUZZER formats_${kind}_fuzz.cpp
    LIBS formats_codecs
    SOURCES ${formats_fuzz_sources}
    INCLUDES formats/src corekit/include
    DEPS Qt6::Gui PkgConfig::LibHeif PkgConfig::LibWebP PkgConfig::LibJxl PkgConfig::LibRaw
         PkgConfig::LCMS2 PkgConfig::TurboJPEG)
endforeach()
