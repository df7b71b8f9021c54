# The layers, bottom to top, written once: each folder with the folders it may include besides
# itself. The build adds the folders in this order, globs their files for the include check and
# hands the same list to cmake/check_layers.cmake, which includes this file.
#   renumber_layer(<folder> [USES <folder>...] [LOWER | WINDOW])
# LOWER: below the windows (no GUI header). WINDOW: a window folder (reaches the database only
# through its operations module).
set(RENUMBER_LAYERS "")
set(RENUMBER_LOWER_LAYERS "")
set(RENUMBER_WINDOW_LAYERS "")
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

renumber_layer(text LOWER)
renumber_layer(db LOWER)
renumber_layer(host USES db LOWER)
renumber_layer(ops USES text host db LOWER)
renumber_layer(demo USES host db LOWER)
renumber_layer(calc LOWER)
renumber_layer(widgets USES text)  # text/listing.h: long lists bounded as the operations bound them
renumber_layer(drive USES ops widgets WINDOW)  # how the windows run the operations
renumber_layer(renumber_single USES drive ops widgets WINDOW)
renumber_layer(rules USES drive ops widgets WINDOW)
renumber_layer(renumber_batch USES drive ops widgets WINDOW)
renumber_layer(export USES calc widgets WINDOW)
renumber_layer(dbcheck USES drive ops widgets WINDOW)
renumber_layer(preview USES drive ops widgets WINDOW)
renumber_layer(journal USES drive ops widgets WINDOW)

# Inside ops/, the features' folders, the same way (the undo, ops/journal/journal_ops, sits above
# the changes it takes back and counts as the folder "undo").
set(RENUMBER_OPS_ALLOWED_common "")
set(RENUMBER_OPS_ALLOWED_journal common)
set(RENUMBER_OPS_ALLOWED_session journal common)
set(RENUMBER_OPS_ALLOWED_rules session journal common)
set(RENUMBER_OPS_ALLOWED_dbcheck common)
set(RENUMBER_OPS_ALLOWED_single rules session journal common)
set(RENUMBER_OPS_ALLOWED_batch rules session journal common)
set(RENUMBER_OPS_ALLOWED_undo batch single rules session journal common)
