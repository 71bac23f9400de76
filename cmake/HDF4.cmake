# Debian's libhdf4-dev ships neither a pkg-config file nor a CMake package.
find_path(HDF4_INCLUDE_DIR mfhdf.h PATH_SUFFIXES hdf REQUIRED)
find_library(HDF4_DF_LIBRARY NAMES df dfalt REQUIRED)
find_library(HDF4_MFHDF_LIBRARY NAMES mfhdf mfhdfalt REQUIRED)
add_library(HDF4::HDF4 INTERFACE IMPORTED)
target_include_directories(HDF4::HDF4 INTERFACE ${HDF4_INCLUDE_DIR})
target_link_libraries(HDF4::HDF4 INTERFACE ${HDF4_MFHDF_LIBRARY} ${HDF4_DF_LIBRARY})
