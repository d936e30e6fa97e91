# libssh for the Windows programs, built from the Debian source that
# tools/setup.sh fetches (third_party/libssh, outside git). Static, client
# only, over libgcrypt; no zlib, no GSSAPI. Without the source the SFTP parts
# are left out and the programs build FTP-only.
set(SUITE_LIBSSH_SOURCE ${CMAKE_SOURCE_DIR}/third_party/libssh CACHE PATH "libssh source tree to build the SFTP support from")
set(SUITE_HAVE_SFTP OFF)

if(WIN32 AND EXISTS ${SUITE_LIBSSH_SOURCE}/CMakeLists.txt)
  include(ExternalProject)
  set(_prefix ${CMAKE_BINARY_DIR}/libssh)
  set(_launcher)
  if(CMAKE_C_COMPILER_LAUNCHER)
    set(_launcher -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER})
  endif()
  ExternalProject_Add(libssh_build
    SOURCE_DIR ${SUITE_LIBSSH_SOURCE}
    BINARY_DIR ${CMAKE_BINARY_DIR}/libssh-build
    INSTALL_DIR ${_prefix}
    CMAKE_ARGS
      -Wno-dev
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
      -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
      -DCMAKE_INSTALL_LIBDIR=lib
      ${_launcher}
      -DBUILD_SHARED_LIBS=OFF
      -DWITH_GCRYPT=ON
      -DWITH_SERVER=OFF
      -DWITH_ZLIB=OFF
      -DWITH_GSSAPI=OFF
      -DWITH_PCAP=OFF
      -DWITH_NACL=OFF
      -DWITH_EXAMPLES=OFF
      -DWITH_SYMBOL_VERSIONING=OFF
      # No start-up constructor: the programs start libssh themselves, after
      # choosing libgcrypt's random generator (ftp/SftpClient.cpp).
      -DHAVE_CONSTRUCTOR_ATTRIBUTE=OFF
      -DUNIT_TESTING=OFF
      -DCLIENT_TESTING=OFF
    BUILD_BYPRODUCTS ${_prefix}/lib/libssh.a)
  file(MAKE_DIRECTORY ${_prefix}/include)

  # The static archives: the programs must not need a DLL beside them.
  find_library(SUITE_GCRYPT_LIB libgcrypt.a REQUIRED)
  find_library(SUITE_GPG_ERROR_LIB libgpg-error.a REQUIRED)
  add_library(suite_libssh STATIC IMPORTED GLOBAL)
  set_target_properties(suite_libssh PROPERTIES
    IMPORTED_LOCATION ${_prefix}/lib/libssh.a
    INTERFACE_INCLUDE_DIRECTORIES ${_prefix}/include
    INTERFACE_COMPILE_DEFINITIONS "LIBSSH_STATIC=1;SUITE_LIBSSH_GCRYPT=1"
    INTERFACE_LINK_LIBRARIES "${SUITE_GCRYPT_LIB};${SUITE_GPG_ERROR_LIB};ws2_32;iphlpapi;shlwapi")
  add_dependencies(suite_libssh libssh_build)
  set(SUITE_HAVE_SFTP ON)
elseif(NOT WIN32)
  # Natively the platform-neutral SFTP code is tested against Debian's libssh.
  find_library(SUITE_NATIVE_LIBSSH ssh)
  find_path(SUITE_NATIVE_LIBSSH_INCLUDE libssh/libssh.h)
  if(SUITE_NATIVE_LIBSSH AND SUITE_NATIVE_LIBSSH_INCLUDE)
    add_library(suite_libssh INTERFACE IMPORTED GLOBAL)
    set_target_properties(suite_libssh PROPERTIES
      INTERFACE_INCLUDE_DIRECTORIES ${SUITE_NATIVE_LIBSSH_INCLUDE}
      INTERFACE_LINK_LIBRARIES ${SUITE_NATIVE_LIBSSH})
    set(SUITE_HAVE_SFTP ON)
  endif()
endif()
if(SUITE_HAVE_SFTP)
  message(STATUS "SFTP: with libssh")
else()
  message(STATUS "SFTP: libssh not found, building without SFTP")
endif()
