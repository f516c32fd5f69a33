# SPDX-License-Identifier: GPL-3.0-or-later
# Quarvine beside free full-amp peers (gx_amp through lilv, ZamTube through our host library);
# built when lilv is found and the host library is part of the build.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(LILV QUIET IMPORTED_TARGET lilv-0)
endif()
if(LILV_FOUND AND TARGET vsthost)
  add_executable(quarvine_peer_bench ${CMAKE_CURRENT_LIST_DIR}/peer_bench.cpp
                                     ${PROJECT_SOURCE_DIR}/tools/render/demo_phrase.cpp)
  target_link_libraries(quarvine_peer_bench PRIVATE vsthost PkgConfig::LILV quarvine_warnings)
  target_include_directories(quarvine_peer_bench PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tools/render)
  target_compile_definitions(quarvine_peer_bench PRIVATE QUARVINE_MODULE_PATH="$<TARGET_FILE:quarvine>")
  add_dependencies(quarvine_peer_bench quarvine)
else()
  message(STATUS "lilv-0 or the host library missing: quarvine_peer_bench is not built")
endif()
