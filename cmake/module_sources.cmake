# The module's sources and compile options, for both builds and the fuzz
# project: MODULE_SOURCES (absolute paths) and MODULE_COMPILE_OPTIONS.
get_filename_component(MODULE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
file(GLOB_RECURSE GAUGE_SOURCES CONFIGURE_DEPENDS
  ${MODULE_ROOT}/gauges/*.cpp
  ${MODULE_ROOT}/panels/*.cpp
  ${MODULE_ROOT}/state/*.cpp)
set(MODULE_SOURCES
  ${MODULE_ROOT}/module/linkage.cpp
  ${MODULE_ROOT}/module/services.cpp
  ${MODULE_ROOT}/sound/sound.cpp
  ${GAUGE_SOURCES})
set(MODULE_COMPILE_OPTIONS -fno-exceptions -fno-rtti)
