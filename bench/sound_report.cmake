# SPDX-License-Identifier: GPL-3.0-or-later
# quarvine-sound-report: aliasing, control noise and the oversampling switch of any VST 2.4 amp,
# measured through our host library; spectra through FFTW.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(FFTW3 QUIET IMPORTED_TARGET fftw3)
endif()
find_package(CLI11 QUIET CONFIG)
if(FFTW3_FOUND AND TARGET vsthost)
  add_executable(quarvine-sound-report
    ${CMAKE_CURRENT_LIST_DIR}/sound_report.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_amp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_spectrum.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_signal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_aliasing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_stages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_controls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_switch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sound_report_cabinet.cpp
    ${PROJECT_SOURCE_DIR}/tools/render/demo_phrase.cpp)
  # The stage-by-stage measurement rebuilds the exact chain from dsp's stages, with its numerics.
  target_link_libraries(quarvine-sound-report PRIVATE vsthost PkgConfig::FFTW3 quarvine_amp_core quarvine_numerics
                                                      quarvine_warnings)
  if(TARGET CLI11::CLI11)
    target_link_libraries(quarvine-sound-report PRIVATE CLI11::CLI11)
  endif()
  target_include_directories(quarvine-sound-report PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(quarvine-sound-report PRIVATE QUARVINE_MODULE_PATH="$<TARGET_FILE:quarvine>")
  add_dependencies(quarvine-sound-report quarvine)
else()
  message(STATUS "fftw3 or the host library missing: quarvine-sound-report is not built")
endif()
