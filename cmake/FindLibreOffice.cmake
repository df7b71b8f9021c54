# Finds LibreOffice's SDK (cppumaker, the UNO headers and client libraries) and the office's
# program folder (soffice.bin, the type libraries the UNO headers are generated from).
#
# Cache variables a packager can set (-D...), each found when not set:
#   LibreOffice_PROGRAM_DIR  the program folder: soffice.bin, types.rdb, types/offapi.rdb
#   LibreOffice_SDK_DIR      the SDK folder: bin/cppumaker, include/, lib/
# The environment's UNO_PATH (program folder) and OO_SDK_HOME (SDK), as the SDK's own set-up
# script exports them, are looked at first.
#
# Results:
#   LibreOffice_FOUND
#   LibreOffice_CPPUMAKER     the header generator
#   LibreOffice_TYPE_FILES    the type libraries to generate the headers from
#   LibreOffice::UNO          imported target: the SDK's headers, defines and client libraries,
#                             and a run path to the program folder
include(FindPackageHandleStandardArgs)

file(GLOB _lo_opt_dirs LIST_DIRECTORIES true /opt/libreoffice*)
list(SORT _lo_opt_dirs ORDER DESCENDING)  # the newest version first

find_path(LibreOffice_PROGRAM_DIR
  NAMES soffice.bin
  HINTS ENV UNO_PATH
  PATHS /usr/lib/libreoffice /usr/lib64/libreoffice /usr/local/lib/libreoffice ${_lo_opt_dirs}
  PATH_SUFFIXES program
  NO_DEFAULT_PATH
  DOC "LibreOffice's program folder (soffice.bin, types.rdb, types/offapi.rdb)")

find_path(LibreOffice_SDK_DIR
  NAMES bin/cppumaker
  HINTS ENV OO_SDK_HOME
  PATHS /usr/lib/libreoffice /usr/lib64/libreoffice /usr/local/lib/libreoffice ${_lo_opt_dirs}
  PATH_SUFFIXES sdk
  NO_DEFAULT_PATH
  DOC "LibreOffice's SDK folder (bin/cppumaker, include/, lib/)")

set(LibreOffice_CPPUMAKER "")
set(LibreOffice_TYPE_FILES "")
set(_lo_libs "")
if(LibreOffice_SDK_DIR AND LibreOffice_PROGRAM_DIR)
  set(LibreOffice_CPPUMAKER ${LibreOffice_SDK_DIR}/bin/cppumaker)
  foreach(_rdb types.rdb types/offapi.rdb)
    if(EXISTS ${LibreOffice_PROGRAM_DIR}/${_rdb})
      list(APPEND LibreOffice_TYPE_FILES ${LibreOffice_PROGRAM_DIR}/${_rdb})
    endif()
  endforeach()
  foreach(_lib uno_cppuhelpergcc3 uno_cppu uno_sal)
    find_library(LibreOffice_${_lib}_LIBRARY NAMES ${_lib} PATHS ${LibreOffice_SDK_DIR}/lib NO_DEFAULT_PATH)
    mark_as_advanced(LibreOffice_${_lib}_LIBRARY)
    list(APPEND _lo_libs LibreOffice_${_lib}_LIBRARY)
  endforeach()
endif()
list(LENGTH LibreOffice_TYPE_FILES _lo_type_count)
if(_lo_type_count EQUAL 2)
  set(LibreOffice_TYPES_OK TRUE)
else()
  set(LibreOffice_TYPES_OK "")
endif()

find_package_handle_standard_args(LibreOffice
  REQUIRED_VARS LibreOffice_SDK_DIR LibreOffice_PROGRAM_DIR LibreOffice_TYPES_OK ${_lo_libs}
  REASON_FAILURE_MESSAGE "install libreoffice-dev and libreoffice-calc-nogui (scripts/setup), or set LibreOffice_SDK_DIR and LibreOffice_PROGRAM_DIR")

if(LibreOffice_FOUND AND NOT TARGET LibreOffice::UNO)
  add_library(LibreOffice::UNO INTERFACE IMPORTED)
  target_include_directories(LibreOffice::UNO SYSTEM INTERFACE ${LibreOffice_SDK_DIR}/include)
  target_compile_definitions(LibreOffice::UNO INTERFACE LINUX UNX GCC CPPU_ENV=gcc3)
  target_link_libraries(LibreOffice::UNO INTERFACE ${LibreOffice_uno_cppuhelpergcc3_LIBRARY}
                        ${LibreOffice_uno_cppu_LIBRARY} ${LibreOffice_uno_sal_LIBRARY})
  # The client libraries load more of the program folder's libraries (libreglo.so, libunoidllo.so,
  # ...) through a run path of their own folder, which Debian's links to them in the system's
  # library folder do not reach: programs name the program folder as their run path.
  target_link_options(LibreOffice::UNO INTERFACE "LINKER:-rpath-link,${LibreOffice_PROGRAM_DIR}"
                      "LINKER:-rpath,${LibreOffice_PROGRAM_DIR}")
endif()
