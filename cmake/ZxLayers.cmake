# Product layers: each folder of src/ is one static library, zx_<folder>, that links only the layers
# below it (the order is ZX_LAYERS in the top CMakeLists.txt; scripts/check-includes reads the same list
# and fails on an include that runs upward).
#
#   zx_layer(<folder> [BELOW <layers it builds on>...] [LIBS <system libraries>...])
#
# Called from src/<folder>/CMakeLists.txt. The library holds every .cpp of the folder (subfolders
# included) and sees src/ as its include root, so includes read "base/Errors.h".
function(zx_layer name)
  cmake_parse_arguments(ARG "" "" "BELOW;LIBS" ${ARGN})
  list(FIND ZX_LAYERS ${name} own)
  if(own EQUAL -1)
    message(FATAL_ERROR "zx_layer(${name}): add '${name}' to ZX_LAYERS in its place")
  endif()
  foreach(below IN LISTS ARG_BELOW)
    list(FIND ZX_LAYERS ${below} other)
    if(other EQUAL -1 OR NOT other LESS own)
      message(FATAL_ERROR "zx_layer(${name}): '${below}' is not a layer below '${name}'")
    endif()
  endforeach()

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(zx_${name} STATIC ${sources})
  target_include_directories(zx_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(zx_${name} PRIVATE ${ZX_WARNINGS})
  list(TRANSFORM ARG_BELOW PREPEND zx_)
  target_link_libraries(zx_${name} PUBLIC ${ARG_BELOW} ${ARG_LIBS})
endfunction()
