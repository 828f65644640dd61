# The settings of the project's own targets.
include(${CMAKE_CURRENT_LIST_DIR}/Warnings.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Sanitizers.cmake)

# Both, for a target of ours.
function(tamewarden_target_defaults target)
  tamewarden_warnings(${target})
  tamewarden_sanitizers(${target})
endfunction()

# Code that goes into the plugin library: hidden symbols, and -fno-gnu-unique so that dlclose
# really unloads it and each load starts fresh (clang never makes such symbols and has no such
# flag).
function(tamewarden_plugin_code target)
  tamewarden_target_defaults(${target})
  target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
  # Sanitised, the library's globals go without redzones. g++ puts one around each of the
  # undefined-behaviour checker's own records too, which made 11 MB of data that every load
  # relocates page by page: the loads took most of the fault loop's time. The checker's bounds
  # checks still guard the library's arrays, and every other target keeps the redzones.
  if(TAMEWARDEN_SANITIZE)
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:--param=asan-globals=0>)
  endif()
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
endfunction()
