# The Wayland build: the client library, wayland-egl, EGL and the protocol code that
# wayland-scanner generates at build time. Optional: without these packages the saver is built
# for X11 alone (the _wayland and _egl files are left out, as other platforms' files are).
# Sets QM_WAYLAND and, when on, the target qm_wayland_protocols (the generated code and headers).
set(QM_WAYLAND OFF)
if(WIN32)
  return()
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(QM_WL QUIET IMPORTED_TARGET wayland-client wayland-egl egl)
  pkg_get_variable(QM_WL_PROTOCOLS wayland-protocols pkgdatadir)
  pkg_get_variable(QM_WL_SCANNER wayland-scanner wayland_scanner)
endif()
find_file(QM_WL_PLASMA_IDLE_XML idle.xml PATHS /usr/share/plasma-wayland-protocols /usr/local/share/plasma-wayland-protocols
          NO_DEFAULT_PATH)

set(QM_WL_MISSING "")
if(NOT QM_WL_FOUND)
  list(APPEND QM_WL_MISSING "libwayland-dev/libegl-dev")
endif()
if(NOT QM_WL_SCANNER OR NOT EXISTS "${QM_WL_SCANNER}")
  find_program(QM_WL_SCANNER wayland-scanner)
  if(NOT QM_WL_SCANNER)
    list(APPEND QM_WL_MISSING "libwayland-bin")
  endif()
endif()
if(NOT QM_WL_PROTOCOLS OR NOT EXISTS "${QM_WL_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml")
  list(APPEND QM_WL_MISSING "wayland-protocols")
endif()
if(NOT QM_WL_PLASMA_IDLE_XML)
  list(APPEND QM_WL_MISSING "plasma-wayland-protocols")
endif()
if(QM_WL_MISSING)
  list(JOIN QM_WL_MISSING ", " missing)
  message(STATUS "Wayland: ${missing} not found: the saver is built for X11 only (scripts/setup installs them)")
  return()
endif()
message(STATUS "Wayland: on (layer-shell, screencopy, EGL)")
set(QM_WAYLAND ON)

# Each protocol: a client header and its interface tables, generated into the build tree.
set(QM_WL_XML
  ${QM_WL_PROTOCOLS}/stable/xdg-shell/xdg-shell.xml
  ${QM_WL_PROTOCOLS}/unstable/xdg-output/xdg-output-unstable-v1.xml
  ${QM_WL_PROTOCOLS}/staging/ext-idle-notify/ext-idle-notify-v1.xml
  ${QM_WL_PLASMA_IDLE_XML}
  ${PROJECT_SOURCE_DIR}/protocols/wlr-layer-shell-unstable-v1.xml
  ${PROJECT_SOURCE_DIR}/protocols/wlr-screencopy-unstable-v1.xml)
set(QM_WL_OUT ${PROJECT_BINARY_DIR}/protocols)
file(MAKE_DIRECTORY ${QM_WL_OUT})
set(QM_WL_CODE "")
foreach(xml ${QM_WL_XML})
  get_filename_component(base ${xml} NAME_WE)
  if(base STREQUAL "idle")
    set(base "kde-idle")  # plasma's file has a generic name
  endif()
  add_custom_command(OUTPUT ${QM_WL_OUT}/${base}-client.h ${QM_WL_OUT}/${base}.c
    COMMAND ${QM_WL_SCANNER} client-header ${xml} ${QM_WL_OUT}/${base}-client.h
    COMMAND ${QM_WL_SCANNER} private-code ${xml} ${QM_WL_OUT}/${base}.c
    DEPENDS ${xml} VERBATIM)
  list(APPEND QM_WL_CODE ${QM_WL_OUT}/${base}.c ${QM_WL_OUT}/${base}-client.h)
endforeach()
add_library(qm_wayland_protocols STATIC ${QM_WL_CODE})
target_include_directories(qm_wayland_protocols PUBLIC ${QM_WL_OUT})
target_link_libraries(qm_wayland_protocols PUBLIC PkgConfig::QM_WL)
