# The layers, bottom to top, written once. The build makes a library of each (CMakeLists.txt),
# globs its files for the include check and hands the same list to cmake/check_layers.cmake, which
# includes this file; tests/core/ and tests/gui/ add each feature's tests.
#
# A layer is a folder under src/ (tools/demo: under the project root), named by that path:
#   renumber_layer(<folder> [USES <folder>...] [LOWER | WINDOW])
# LOWER: below the windows (no GUI header). WINDOW: a window folder (reaches the database only
# through the core).
#
# A feature is one word, the same in each tree: its core in src/core/<word>, its window in
# src/gui/<word>, their tests in tests/core/<word> and tests/gui/<word>. One line registers it:
#   renumber_feature(<word> [CORE <uses>...] [GUI <uses>...])
# CORE: the core features (words) and lower layers its core includes. GUI: what its window
# includes besides its own core: gui folders (drive, widgets), lower layers, core features, or
# "core" for every core feature. A feature without CORE has no core folder, one without GUI no
# window. Features are listed bottom to top: a core uses only features on earlier
# lines (configuring refuses any other), so the core has no circle.
set(RENUMBER_LAYERS "")
set(RENUMBER_LOWER_LAYERS "")
set(RENUMBER_WINDOW_LAYERS "")
set(RENUMBER_FEATURES "")
macro(renumber_layer folder)
  cmake_parse_arguments(_layer "LOWER;WINDOW" "" "USES" ${ARGN})
  list(APPEND RENUMBER_LAYERS ${folder})
  set(RENUMBER_ALLOWED_${folder} ${_layer_USES})
  if(_layer_LOWER)
    list(APPEND RENUMBER_LOWER_LAYERS ${folder})
  endif()
  if(_layer_WINDOW)
    list(APPEND RENUMBER_WINDOW_LAYERS ${folder})
  endif()
endmacro()

# A layer's folder from the project root.
function(renumber_layer_dir layer out)
  if(layer MATCHES "^tools/")
    set(${out} ${layer} PARENT_SCOPE)
  else()
    set(${out} src/${layer} PARENT_SCOPE)
  endif()
endfunction()

macro(renumber_feature word)
  list(APPEND RENUMBER_FEATURES ${word})
  set(RENUMBER_FEATURE_ARGS_${word} ${ARGN})
endmacro()

# A layer's library: core/<word> renumber_core_<word>, gui/<word> renumber_gui_<word>, the
# windows' shared controls and driver renumber_widgets and renumber_drive, tools/demo renumber_demo,
# any other renumber_<folder>.
function(renumber_layer_target layer out)
  if(layer MATCHES "^gui/(widgets|drive)$" OR layer MATCHES "^tools/")
    string(REGEX REPLACE "^(gui|tools)/" "" _name ${layer})
    set(${out} renumber_${_name} PARENT_SCOPE)
  else()
    string(REPLACE "/" "_" _name ${layer})
    set(${out} renumber_${_name} PARENT_SCOPE)
  endif()
endfunction()

# The features' layers, once every feature is known ("core" in a GUI list names them all).
macro(renumber_resolve_features)
  foreach(_word ${RENUMBER_FEATURES})
    cmake_parse_arguments(_feature "" "" "CORE;GUI" ${RENUMBER_FEATURE_ARGS_${_word}})
    set(RENUMBER_FEATURE_CORE_${_word} OFF)
    if(DEFINED _feature_CORE OR "CORE" IN_LIST _feature_KEYWORDS_MISSING_VALUES)
      set(RENUMBER_FEATURE_CORE_${_word} ON)
    endif()
    set(RENUMBER_FEATURE_GUI_${_word} OFF)
    if(DEFINED _feature_GUI OR "GUI" IN_LIST _feature_KEYWORDS_MISSING_VALUES)
      set(RENUMBER_FEATURE_GUI_${_word} ON)
    endif()
    set(RENUMBER_FEATURE_CORE_USES_${_word} ${_feature_CORE})
    set(RENUMBER_FEATURE_GUI_USES_${_word} ${_feature_GUI})
  endforeach()
  set(_below "")
  foreach(_word ${RENUMBER_FEATURES})
    if(RENUMBER_FEATURE_CORE_${_word})
      set(_uses "")
      foreach(_use ${RENUMBER_FEATURE_CORE_USES_${_word}})
        if(_use IN_LIST RENUMBER_FEATURES)
          # Only a feature of an earlier line: the core has no circle.
          if(NOT _use IN_LIST _below)
            message(FATAL_ERROR "cmake/layers.cmake: the core of ${_word} uses ${_use}, which is not on an earlier line")
          endif()
          list(APPEND _uses core/${_use})
        else()
          list(APPEND _uses ${_use})
        endif()
      endforeach()
      renumber_layer(core/${_word} USES ${_uses} LOWER)
    endif()
    list(APPEND _below ${_word})
  endforeach()
  foreach(_word ${RENUMBER_FEATURES})
    if(RENUMBER_FEATURE_GUI_${_word})
      set(_uses "")
      if(RENUMBER_FEATURE_CORE_${_word})
        list(APPEND _uses core/${_word})
      endif()
      foreach(_use ${RENUMBER_FEATURE_GUI_USES_${_word}})
        if(_use STREQUAL "core")
          foreach(_core ${RENUMBER_FEATURES})
            if(RENUMBER_FEATURE_CORE_${_core})
              list(APPEND _uses core/${_core})
            endif()
          endforeach()
        elseif("gui/${_use}" IN_LIST RENUMBER_LAYERS)  # the shared controls, the driver
          list(APPEND _uses gui/${_use})
        elseif(_use IN_LIST RENUMBER_FEATURES)
          list(APPEND _uses core/${_use})
        else()
          list(APPEND _uses ${_use})
        endif()
      endforeach()
      list(REMOVE_DUPLICATES _uses)
      renumber_layer(gui/${_word} USES ${_uses} WINDOW)
    endif()
  endforeach()
endmacro()

# Below the core: the connection, texts both the core and the windows write, the host's tables,
# the spreadsheet engine and the demo data.
renumber_layer(text LOWER)
renumber_layer(db LOWER)
renumber_layer(host USES db LOWER)
renumber_layer(calc LOWER)
renumber_layer(tools/demo USES host db LOWER)

# The features, bottom to top. common: the holders of numbers, progress and stop, the added
# columns, the keys; journal: the change journal's entries, store and recorder; preview: the columns
# a change rewrites, the rows it reaches and its script; session; change: the runner every change
# goes through; undo: a journal entry taken back, above the changes it undoes.
renumber_feature(common CORE text host db)
renumber_feature(journal CORE common host db GUI core drive widgets)
renumber_feature(preview CORE common db GUI widgets)
renumber_feature(session CORE journal preview common host db)
renumber_feature(change CORE journal common host db)
renumber_feature(rules CORE session change journal common host db GUI core drive widgets)
renumber_feature(dbcheck CORE common host db GUI core drive widgets)
renumber_feature(single CORE rules session change journal preview common host db GUI core drive widgets)
renumber_feature(batch CORE rules session change journal preview common host text db GUI core drive widgets)
renumber_feature(undo CORE single batch session change journal preview common text db)
renumber_feature(export GUI calc widgets)

# The windows' shared controls and how a window runs a change: below every window, above the core.
renumber_layer(gui/widgets USES text)  # text/listing.h: long lists bounded as the core bounds them
renumber_layer(gui/drive USES core/common core/change gui/widgets WINDOW)
renumber_resolve_features()
