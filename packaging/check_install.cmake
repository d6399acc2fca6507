# Installs the build into a scratch folder and checks the layout a desktop user gets: programs
# with their settings file and manual beside them, the settings file itself in /etc, links in
# bin/, the desktop entry and its icons, the copyright and changelog.
file(REMOVE_RECURSE "${DEST}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST}
                        ${CMAKE_COMMAND} --install "${BUILD}" --prefix /usr
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "install failed: ${err}")
endif()
set(expected
    etc/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI
    usr/lib/cfg-rm7ux-radio/rm7ux
    usr/lib/cfg-rm7ux-radio/rm7ux-sim
    usr/lib/cfg-rm7ux-radio/HELP/CFG_RM7UX_Radio.html
    usr/bin/rm7ux
    usr/share/man/man1/rm7ux.1.gz
    usr/share/man/man1/rm7ux-sim.1.gz
    usr/share/bash-completion/completions/rm7ux
    usr/share/applications/cfg-rm7ux-radio.desktop
    usr/share/icons/hicolor/scalable/apps/cfg-rm7ux-radio.svg
    usr/share/doc/cfg-rm7ux-radio/copyright
    usr/share/doc/cfg-rm7ux-radio/changelog.gz)
if(GUI)
  list(APPEND expected usr/bin/CFG_RM7UX_Radio usr/share/man/man1/CFG_RM7UX_Radio.1.gz
       usr/share/icons/hicolor/16x16/apps/cfg-rm7ux-radio.png
       usr/share/icons/hicolor/256x256/apps/cfg-rm7ux-radio.png)
endif()
foreach(path ${expected})
  if(NOT EXISTS "${DEST}/${path}")
    message(FATAL_ERROR "missing after install: ${path}")
  endif()
endforeach()
# The program finds its settings beside itself, through a link to the administrator's file.
set(ini_link "${DEST}/usr/lib/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI")
file(READ_SYMLINK "${ini_link}" target)
if(NOT target STREQUAL "/etc/cfg-rm7ux-radio/CFG_RM7UX_Radio.INI")
  message(FATAL_ERROR "the settings file beside the program is not the link to /etc: ${target}")
endif()
# Manual pages, from whichever rules install them, arrive compressed.
file(GLOB_RECURSE pages RELATIVE "${DEST}" "${DEST}/usr/share/man/*")
foreach(page ${pages})
  if(NOT page MATCHES "\\.gz$")
    message(FATAL_ERROR "manual page not compressed: ${page}")
  endif()
endforeach()
find_program(validate desktop-file-validate)
if(validate)
  execute_process(COMMAND ${validate} "${DEST}/usr/share/applications/cfg-rm7ux-radio.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "desktop entry does not validate: ${out}")
  endif()
endif()
# The link in bin/ must reach the real program.
execute_process(COMMAND "${DEST}/usr/bin/rm7ux" --help RESULT_VARIABLE help OUTPUT_QUIET)
if(NOT help EQUAL 0)
  message(FATAL_ERROR "the installed rm7ux does not run (--help gave ${help})")
endif()
file(REMOVE_RECURSE "${DEST}")
