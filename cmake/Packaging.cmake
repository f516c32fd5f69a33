# SPDX-License-Identifier: GPL-3.0-or-later
# What a user reads beside the plug-ins, and the packages CPack makes (scripts/package.sh):
# a Debian package and a tarball of the Linux products. Components let a packager take the
# plug-ins alone: plugins (the VST module and the LV2 bundle), tools (renderer, validator and
# their manual pages), docs.
set(QUARVINE_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarvine)
set(QUARVINE_DOCS README.md LICENSE CHANGELOG.md THIRD_PARTY.md)
if(WIN32)
  # The Windows zip (packaging/windows-zip.cmake) puts them beside the DLLs' folders.
  install(FILES ${QUARVINE_DOCS} DESTINATION . COMPONENT docs)
  return()
endif()
install(FILES ${QUARVINE_DOCS} DESTINATION ${QUARVINE_DOC_DIR} COMPONENT docs)

set(QUARVINE_MAINTAINER "Orn <quarvine@orn.org>")
set(CPACK_PACKAGE_NAME quarvine)
set(CPACK_PACKAGE_VENDOR Orn)
set(CPACK_PACKAGE_CONTACT ${QUARVINE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "valve guitar-amplifier simulation (VST 2.4 and LV2 plug-in)")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarvine simulates a valve guitar amplifier: three triode gain stages, a
drive network, a passive Bass/Middle/Treble tone stack and an output stage,
run at two, four or eight times the host's rate. It loads into audio
workstations as a VST 2.4 plug-in and as an LV2 plug-in, each with an editor
of six knobs and an oversampling switch.
.
This package also holds quarvine-render, which plays sound files through the
amplifier, and quarvine-validate, which checks any VST 2.4 plug-in from the
host's side.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL plugins tools docs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_PACKAGE_FILE_NAME quarvine-${PROJECT_VERSION}-linux-x86_64)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/clamp-times.cmake)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time dependencies are what dpkg-shlibdeps reads from the binaries' needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian wants the copyright statement and a changelog in the package's doc folder; the
# changelog is written from CHANGELOG.md.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  set(debian_changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
  add_custom_command(
    OUTPUT ${debian_changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/debian-changelog.py
            ${PROJECT_SOURCE_DIR}/CHANGELOG.md quarvine ${PROJECT_VERSION} ${QUARVINE_MAINTAINER} > ${debian_changelog}
    COMMAND gzip -9nf ${debian_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/debian-changelog.py
    VERBATIM)
  add_custom_target(quarvine_debian_changelog ALL DEPENDS ${debian_changelog}.gz)
  install(FILES ${debian_changelog}.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${QUARVINE_DOC_DIR} COMPONENT debian EXCLUDE_FROM_ALL)
endif()
# The Debian-only files go into the Debian package alone.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/cpack-per-generator.cmake)
include(CPack)
