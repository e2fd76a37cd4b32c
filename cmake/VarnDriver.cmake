# varn_driver(<Board> SOURCES <files...> [CORE <library>]
#             [CONFIGURATION_FILE f] [X86_FILE f] [ARM_FILE f]
#             [CONFIGURATION_PORTS b] [X86_PORTS b] [ARM_PORTS b] [ARM_DEBUG] [ARM_PORT_CHECKS])
#
# Builds one board's driver in the flavours of this tree: the configuration build (GBK texts) and
# the x86 runtime build in the tree for this machine, the ARM runtime build in the cross tree.
# Files default to <Board>.dll, <Board>E.drv and <Board>E_ARMV4.drv; port back ends (the types of
# varn::ports) to AllOnesStub, PortInstructions and AllOnesStub. ARM_DEBUG makes the ARM build a
# debug build (port-number checks and archive read reports on standard error); ARM_PORT_CHECKS
# gives a release ARM build the port-number checks alone. CORE names an INTERFACE library whose
# sources compile into each flavour of the board (the table-driven core).

set(VARN_DRIVER_TARGETS "" CACHE INTERNAL "")

function(_varn_driver_target target file board)
  cmake_parse_arguments(T "DEBUG;PORT_CHECKS" "FLAVOUR;PORTS" "SOURCES;CORE" ${ARGN})
  add_library(${target} MODULE ${T_SOURCES})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME "${file}"
                        LIBRARY_OUTPUT_DIRECTORY "${VARN_DIST}"
                        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${target} PRIVATE "${PROJECT_SOURCE_DIR}")
  target_compile_definitions(${target} PRIVATE VARN_FLAVOUR=VARN_FLAVOUR_${T_FLAVOUR}
                             "VARN_PORT_BACKEND=varn::ports::${T_PORTS}")
  # Port numbers are a signed base address plus an offset; a stored base near the top of the range
  # wraps (the port layer keeps the low 16 bits) instead of overflowing.
  target_compile_options(${target} PRIVATE ${VARN_WARNINGS} -fwrapv)
  if(T_FLAVOUR STREQUAL "CONFIGURATION")
    target_compile_options(${target} PRIVATE -fexec-charset=GBK)
  endif()
  if(T_FLAVOUR STREQUAL "ARM")
    # The ports of memory-mapped builds sit at low addresses, address 0 included.
    target_compile_options(${target} PRIVATE -march=armv4t -marm -fno-delete-null-pointer-checks)
  endif()
  if(T_DEBUG)
    target_compile_definitions(${target} PRIVATE VARN_DEBUG_BUILD=1)
    target_compile_options(${target} PRIVATE -O0 -g)
  endif()
  if(T_PORT_CHECKS)
    target_compile_definitions(${target} PRIVATE VARN_PORT_CHECKS=1)
  endif()
  if(T_CORE)
    target_link_libraries(${target} PRIVATE ${T_CORE})
  endif()
  target_link_options(${target} PRIVATE "-Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/exports.map"
                      -Wl,--no-undefined)
  set(VARN_DRIVER_TARGETS ${VARN_DRIVER_TARGETS} ${target} CACHE INTERNAL "")
endfunction()

function(varn_driver board)
  cmake_parse_arguments(D "ARM_DEBUG;ARM_PORT_CHECKS"
    "CONFIGURATION_FILE;X86_FILE;ARM_FILE;CONFIGURATION_PORTS;X86_PORTS;ARM_PORTS" "SOURCES;CORE" ${ARGN})
  foreach(var CONFIGURATION_FILE X86_FILE ARM_FILE CONFIGURATION_PORTS X86_PORTS ARM_PORTS)
    set(${var} "${D_${var}}")
  endforeach()
  if(NOT CONFIGURATION_FILE)
    set(CONFIGURATION_FILE "${board}.dll")
  endif()
  if(NOT X86_FILE)
    set(X86_FILE "${board}E.drv")
  endif()
  if(NOT ARM_FILE)
    set(ARM_FILE "${board}E_ARMV4.drv")
  endif()
  if(NOT CONFIGURATION_PORTS)
    set(CONFIGURATION_PORTS AllOnesStub)
  endif()
  if(NOT X86_PORTS)
    set(X86_PORTS PortInstructions)
  endif()
  if(NOT ARM_PORTS)
    set(ARM_PORTS AllOnesStub)
  endif()
  list(TRANSFORM D_SOURCES PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
  string(TOLOWER "${board}" word)
  if(VARN_ARM)
    set(debug "")
    if(D_ARM_DEBUG)
      set(debug DEBUG)
    endif()
    set(checks "")
    if(D_ARM_PORT_CHECKS)
      set(checks PORT_CHECKS)
    endif()
    _varn_driver_target(${word}_arm "${ARM_FILE}" ${board} FLAVOUR ARM PORTS ${ARM_PORTS}
                        SOURCES ${D_SOURCES} CORE ${D_CORE} ${debug} ${checks})
  else()
    _varn_driver_target(${word}_configuration "${CONFIGURATION_FILE}" ${board} FLAVOUR CONFIGURATION
                        PORTS ${CONFIGURATION_PORTS} SOURCES ${D_SOURCES} CORE ${D_CORE})
    _varn_driver_target(${word}_x86 "${X86_FILE}" ${board} FLAVOUR X86 PORTS ${X86_PORTS}
                        SOURCES ${D_SOURCES} CORE ${D_CORE})
  endif()
endfunction()
