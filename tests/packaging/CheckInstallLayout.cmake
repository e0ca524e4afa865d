# Installs the build into PREFIX and checks what landed there. Arguments: BUILD_DIR, PREFIX and
# WITH_DESKTOP (1 when the desktop program is part of the build).
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected bin/sarvo-cli bin/pictorn share/icons/hicolor/scalable/apps/sarvo.svg)
foreach(size 16 48 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/sarvo.png)
endforeach()
if(WITH_DESKTOP)
  list(APPEND expected bin/sarvo share/applications/keldanworks/sarvo.desktop)
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "missing after install: ${file}")
  endif()
endforeach()

# A rendered PNG must really be of its size: the width and height fields of the IHDR chunk.
file(READ "${PREFIX}/share/icons/hicolor/48x48/apps/sarvo.png" header LIMIT 24 HEX)
if(NOT header MATCHES "^89504e47.*0000003000000030$")
  message(FATAL_ERROR "the 48x48 icon is not a 48 by 48 PNG: ${header}")
endif()

if(WITH_DESKTOP)
  set(entry "${PREFIX}/share/applications/keldanworks/sarvo.desktop")
  execute_process(COMMAND desktop-file-validate "${entry}" RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate: ${output}")
  endif()
  file(STRINGS "${entry}" exec REGEX "^Exec=")
  if(NOT exec STREQUAL "Exec=${PREFIX}/bin/sarvo")
    message(FATAL_ERROR "the entry starts ${exec}, not the installed program")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
