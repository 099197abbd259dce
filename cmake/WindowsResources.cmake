# gravimo_program_resources: the resource script of the Windows programs,
# with the icon drawn from resources/gravimo.svg at the sizes Windows shows
# (rsvg-convert, then icotool of icoutils) and the version of the project.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

set(icon_dir ${CMAKE_BINARY_DIR}/resources/icon)
set(GRAVIMO_ICON ${icon_dir}/gravimo.ico)
set(icon_pngs "")
foreach(size 16 24 32 48 64 256)
  list(APPEND icon_pngs ${icon_dir}/gravimo-${size}.png)
  add_custom_command(OUTPUT ${icon_dir}/gravimo-${size}.png
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir}
                     COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon_dir}/gravimo-${size}.png
                             ${PROJECT_SOURCE_DIR}/resources/gravimo.svg
                     DEPENDS ${PROJECT_SOURCE_DIR}/resources/gravimo.svg VERBATIM)
endforeach()
# The largest size is stored as PNG, as Windows expects of 256 pixels.
add_custom_command(OUTPUT ${GRAVIMO_ICON}
                   COMMAND ${ICOTOOL} -c -o ${GRAVIMO_ICON} ${icon_dir}/gravimo-16.png
                           ${icon_dir}/gravimo-24.png ${icon_dir}/gravimo-32.png
                           ${icon_dir}/gravimo-48.png ${icon_dir}/gravimo-64.png
                           -r ${icon_dir}/gravimo-256.png
                   DEPENDS ${icon_pngs} VERBATIM)
add_custom_target(gravimo_icon DEPENDS ${GRAVIMO_ICON})

# Windows numbers a version in four parts.
set(GRAVIMO_FILE_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
set(GRAVIMO_FILE_VERSION_DOTS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
set(GRAVIMO_MANIFEST ${CMAKE_BINARY_DIR}/resources/gravimo.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/gravimo.manifest ${GRAVIMO_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/gravimo.rc.in ${CMAKE_BINARY_DIR}/resources/gravimo.rc
               @ONLY)

add_library(gravimo_program_resources INTERFACE)
target_sources(gravimo_program_resources INTERFACE ${CMAKE_BINARY_DIR}/resources/gravimo.rc)
add_dependencies(gravimo_program_resources gravimo_icon)
