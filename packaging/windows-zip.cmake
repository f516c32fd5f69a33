# SPDX-License-Identifier: GPL-3.0-or-later
# CPack configuration of the Windows zip: both DLLs, each in a folder of its width, with the
# README, the licence, the change list and the third-party list. scripts/package.sh names the
# two cross builds in the environment (cpack reads a config before its -D values):
#   QUARVINE_WIN32_BUILD=... QUARVINE_WIN64_BUILD=... cpack --config packaging/windows-zip.cmake
set(QUARVINE_WIN32_BUILD $ENV{QUARVINE_WIN32_BUILD})
set(QUARVINE_WIN64_BUILD $ENV{QUARVINE_WIN64_BUILD})
# The version is the cross builds' project version, set in one place.
file(STRINGS ${QUARVINE_WIN64_BUILD}/CMakeCache.txt QUARVINE_VERSION REGEX "^CMAKE_PROJECT_VERSION:")
string(REGEX REPLACE "^[^=]*=" "" QUARVINE_VERSION "${QUARVINE_VERSION}")
file(STRINGS ${QUARVINE_WIN64_BUILD}/CMakeCache.txt CPACK_CMAKE_GENERATOR REGEX "^CMAKE_GENERATOR:")
string(REGEX REPLACE "^[^=]*=" "" CPACK_CMAKE_GENERATOR "${CPACK_CMAKE_GENERATOR}")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quarvine)
set(CPACK_PACKAGE_VENDOR Orn)
set(CPACK_PACKAGE_DESCRIPTION "Quarvine, a valve guitar-amplifier simulation: the VST 2.4 plug-in for 32-bit and 64-bit Windows hosts")
set(CPACK_PACKAGE_VERSION ${QUARVINE_VERSION})
set(CPACK_PACKAGE_FILE_NAME quarvine-${QUARVINE_VERSION}-windows)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${QUARVINE_WIN32_BUILD};Quarvine;plugins;/32-bit"
    "${QUARVINE_WIN64_BUILD};Quarvine;plugins;/64-bit"
    "${QUARVINE_WIN64_BUILD};Quarvine;docs;/")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/clamp-times.cmake)
