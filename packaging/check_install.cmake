# Installs the build into a scratch folder and checks the layout a desktop user gets: programs
# with their settings file beside them, links in bin/, the desktop entry and its icon.
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST}
                        ${CMAKE_COMMAND} --install "${BUILD}" --prefix /usr
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed: ${err}")
endif()
foreach(path
    usr/lib/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI
    usr/lib/cfg-rm7ux-radio/rm7ux
    usr/lib/cfg-rm7ux-radio/rm7ux-sim
    usr/bin/rm7ux
    usr/share/man/man1/rm7ux.1
    usr/share/man/man1/rm7ux-sim.1
    usr/share/bash-completion/completions/rm7ux
    usr/share/applications/cfg-rm7ux-radio.desktop
    usr/share/icons/hicolor/scalable/apps/cfg-rm7ux-radio.svg)
  if(NOT EXISTS "${DEST}/${path}")
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
if(GUI AND NOT EXISTS "${DEST}/usr/bin/CFG_RM7UX_Radio")
  message(FATAL_ERROR "missing after install: usr/bin/CFG_RM7UX_Radio")
endif()
# The link in bin/ must reach the real program, whose folder holds the settings file.
execute_process(COMMAND "${DEST}/usr/bin/rm7ux" --help RESULT_VARIABLE help OUTPUT_QUIET)
if(NOT help EQUAL 0)
  message(FATAL_ERROR "the installed rm7ux does not run (--help gave ${help})")
endif()
file(REMOVE_RECURSE "${DEST}")
