# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source includes a directory its layer may not use, so dependencies keep pointing one
# way: effect -> editor -> gui -> (host's records), effect -> host, effect -> dsp. The LV2 plug-in
# sits beside effect: it takes the format-free core and parameter table, never the VST host layer.
# Run as: cmake -DSOURCE_DIR=<repository> -P check_layers.cmake
set(allowed_host "host")
set(allowed_dsp "dsp")
set(allowed_gui "gui;resources;host/aeffectx.h;host/aeffect.h;host/module_instance.h")
set(allowed_editor "editor;gui;host")
set(allowed_effect "effect;editor;gui;host;dsp;resources/cabinets.h;cabinet")
set(allowed_cabinet "cabinet;dsp;resources")
set(allowed_lv2 "lv2;effect/amp_core.h;effect/parameter_table.h;effect/oversampling_choice.h;effect/cabinet_choice.h;effect/cabinet_library.h;effect/factory_presets.h;cabinet/ir_file.h;dsp;editor/amp_panel.h;editor/parameter_owner.h;gui")

set(violations "")
foreach(layer host dsp gui editor effect lv2 cabinet)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^#include \"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      if(NOT included MATCHES "/")
        continue() # a sibling header
      endif()
      set(ok FALSE)
      foreach(prefix ${allowed_${layer}})
        if(included STREQUAL prefix OR included MATCHES "^${prefix}/")
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
        list(APPEND violations "${where} includes ${included}")
      endif()
    endforeach()
  endforeach()
endforeach()

# The panel is the editor that every format shows: it may not learn the VST interface.
file(GLOB panel_sources "${SOURCE_DIR}/editor/amp_panel.*" "${SOURCE_DIR}/editor/parameter_owner.h")
foreach(source ${panel_sources})
  file(STRINGS "${source}" includes REGEX "^#include \"host/")
  if(includes)
    file(RELATIVE_PATH where "${SOURCE_DIR}" "${source}")
    list(APPEND violations "${where} includes the VST host layer")
  endif()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "layering broken:\n  ${text}")
endif()
message(STATUS "layers: every include points down the layers")
