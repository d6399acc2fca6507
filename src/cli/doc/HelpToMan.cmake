# Writes a man page from a program's own --help, so the page cannot drift from the program.
#   cmake -DPROGRAM=path -DNAME=rm7ux -DOUTPUT=rm7ux.1 [-DCOMMANDS=ON] [-DVERSION=x] -P HelpToMan.cmake
# With COMMANDS, each command listed under "Commands:" gets its own section from
# "PROGRAM COMMAND --help".

function(help_text out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc
                  ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Verbatim text for roff: backslashes escaped, a line starting with . or ' kept as text.
function(roff_verbatim out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} ".nf\n${text}.fi\n" PARENT_SCOPE)
endfunction()

help_text(help ${PROGRAM} --help)
# The first sentence after the usage line, which may run over several lines.
string(REGEX MATCH "\n([^.]+)\\." summary "${help}")
string(REPLACE "\n" " " summary "${CMAKE_MATCH_1}")
string(REGEX REPLACE " +" " " summary "${summary}")
string(STRIP "${summary}" summary)
string(REPLACE "\\" "\\e" summary "${summary}")
roff_verbatim(body "${help}")
string(CONCAT page ".TH ${NAME} 1 \"\" \"${VERSION}\" \"CFG_RM7UX_Radio\"\n"
         ".SH NAME\n${NAME} \\- ${summary}\n"
         ".SH DESCRIPTION\n${body}")

if(COMMANDS)
  string(REGEX REPLACE ".*\nCommands:\n" "" list "${help}")
  string(REGEX REPLACE "\n\n.*" "" list "${list}")
  string(REPLACE "\n" ";" lines "${list}")
  string(APPEND page ".SH COMMANDS\n")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^  ([a-z]+)" _ "${line}")
    if(CMAKE_MATCH_1)
      help_text(command_help ${PROGRAM} ${CMAKE_MATCH_1} --help)
      roff_verbatim(command_body "${command_help}")
      string(APPEND page ".SS ${CMAKE_MATCH_1}\n${command_body}")
    endif()
  endforeach()
endif()
file(WRITE ${OUTPUT} "${page}")
