# SPDX-License-Identifier: GPL-3.0-or-later
# Speed of the amplifier model: per-sample cost in several settings, construction, denormal tails.
add_executable(quarvine_bench ${CMAKE_CURRENT_LIST_DIR}/amp_bench.cpp)
target_link_libraries(quarvine_bench PRIVATE benchmark::benchmark quarvine_effect quarvine_warnings)
