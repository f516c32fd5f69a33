# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings for our own code, sanitizers when asked, and the numerics the model relies on.
add_library(quarvine_warnings INTERFACE)
target_compile_options(quarvine_warnings INTERFACE -Wall -Wextra)

if(QUARVINE_SANITIZE)
  add_compile_options(-fsanitize=${QUARVINE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QUARVINE_SANITIZE})
endif()

# Coverage feedback for libFuzzer in every library the fuzz targets link; their own link adds
# the fuzzer's main.
if(QUARVINE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUARVINE_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link
                      -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/tests/fuzz/coverage_ignore.txt)
endif()

# The circuit model is specified operation by operation: no fused multiply-adds, SSE2 arithmetic
# on 32-bit x86 so that every target rounds alike.
add_library(quarvine_numerics INTERFACE)
target_compile_options(quarvine_numerics INTERFACE -ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  target_compile_options(quarvine_numerics INTERFACE -msse2 -mfpmath=sse)
endif()

# Reproducible binaries: no build folder in the debug information or assertion texts, and no link
# time stamp in the Windows DLLs, so that two builds of one commit are the same bytes.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

if(WIN32)
  # The plug-in must need nothing beside itself.
  set(QUARVINE_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
endif()
