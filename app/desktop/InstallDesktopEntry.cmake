# Install step (app/CMakeLists.txt): writes the desktop entry with Exec
# naming the installed program under the prefix given at install time, with
# the quoting of DesktopRegistration.cpp (desktop::ExecArgument), so that a
# program started from the prefix finds the same entry and registers nothing
# per user.  Then updates the prefix's MIME and desktop databases where their
# tools exist (not for a staged install into DESTDIR).
if(IS_ABSOLUTE "${SW_BINDIR}")
  set(program "${SW_BINDIR}/strandwork")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${SW_BINDIR}/strandwork")
endif()
if(IS_ABSOLUTE "${SW_DATADIR}")
  set(data "${SW_DATADIR}")
else()
  set(data "${CMAKE_INSTALL_PREFIX}/${SW_DATADIR}")
endif()

set(arg "${program}")
if(arg MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" arg "${arg}")
  string(REPLACE "\"" "\\\"" arg "${arg}")
  string(REPLACE "`" "\\`" arg "${arg}")
  string(REPLACE "$" "\\$" arg "${arg}")
  set(arg "\"${arg}\"")
endif()
string(REPLACE "%" "%%" arg "${arg}")
string(REPLACE "\\" "\\\\" arg "${arg}")
string(REPLACE "\n" "\\n" arg "${arg}")
string(REPLACE "\t" "\\t" arg "${arg}")

file(READ "${SW_DESKTOP_ENTRY_IN}" entry)
string(REPLACE "@SW_EXEC@" "${arg}" entry "${entry}")
set(out "$ENV{DESTDIR}${data}/applications/strandwork.desktop")
message(STATUS "Installing: ${out}")
file(WRITE "${out}" "${entry}")

if("$ENV{DESTDIR}" STREQUAL "")
  find_program(SW_UPDATE_MIME update-mime-database)
  find_program(SW_UPDATE_DESKTOP update-desktop-database)
  # (Quiet: the MIME tool warns about every prefix outside XDG_DATA_DIRS.)
  foreach(step "SW_UPDATE_MIME;mime" "SW_UPDATE_DESKTOP;applications")
    list(GET step 0 tool)
    list(GET step 1 folder)
    if(${tool})
      execute_process(COMMAND "${${tool}}" "${data}/${folder}" TIMEOUT 60 RESULT_VARIABLE r
                      OUTPUT_QUIET ERROR_QUIET)
      if(NOT r EQUAL 0)
        message(WARNING "${${tool}} ${data}/${folder}: ${r}")
      endif()
    endif()
  endforeach()
endif()
