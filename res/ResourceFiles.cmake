# Building the program's resources: the string table from res/strings/ and the
# resource folders, compiled with Qt's resource compiler.  Also used to build
# language resource files ("<program stem><CODE>.rcc").  See docs/resources.md.

set(SW_RESOURCE_FOLDERS menus accel toolbars dialogs icons cursors)

# Compiles the string-table sources into TABLE with the strtab tool; a
# duplicate id or a bad line fails the build.
function(sw_string_table TABLE)
  add_custom_command(OUTPUT ${TABLE}
    COMMAND strtab -o ${TABLE} ${ARGN}
    DEPENDS strtab ${ARGN}
    COMMENT "Compiling the string table ${TABLE}"
    VERBATIM)
endfunction()

# Writes a .qrc that holds TABLE as "strings.tab" and every file of the
# resource folders below ROOT under "<folder>/<name>", all under PREFIX.
# OUT_FILES receives the resource files (for dependencies).
function(sw_resource_qrc QRC PREFIX ROOT TABLE OUT_FILES)
  set(entries "    <file alias=\"strings.tab\">${TABLE}</file>\n")
  set(all)
  foreach(folder ${SW_RESOURCE_FOLDERS})
    file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false ${ROOT}/${folder}/*)
    list(SORT files)
    foreach(f ${files})
      get_filename_component(name ${f} NAME)
      if(name MATCHES "^\\." OR name MATCHES "~$")
        continue()  # hidden and editor backup files
      endif()
      file(RELATIVE_PATH rel ${ROOT} ${f})
      set(xml_rel ${rel})
      set(xml_abs ${f})
      foreach(v xml_rel xml_abs)
        string(REPLACE "&" "&amp;" ${v} "${${v}}")
        string(REPLACE "<" "&lt;" ${v} "${${v}}")
        string(REPLACE ">" "&gt;" ${v} "${${v}}")
        string(REPLACE "\"" "&quot;" ${v} "${${v}}")
      endforeach()
      string(APPEND entries "    <file alias=\"${xml_rel}\">${xml_abs}</file>\n")
      list(APPEND all ${f})
    endforeach()
  endforeach()
  file(CONFIGURE OUTPUT ${QRC} CONTENT
"<!DOCTYPE RCC>
<RCC version=\"1.0\">
  <qresource prefix=\"${PREFIX}\">
${entries}  </qresource>
</RCC>
" @ONLY)
  set(${OUT_FILES} ${all} PARENT_SCOPE)
endfunction()

# sw_language_file(TARGET <target> OUTPUT <file.rcc> [STRINGS <files>...] [ROOT <folder>])
# Builds a language resource file: the string table of STRINGS and the
# resource folders below ROOT (menus/, dialogs/, ... as in res/), mapped at
# its root, so that it replaces the built-in resources of the same names once
# loaded.
function(sw_language_file)
  cmake_parse_arguments(A "" "TARGET;OUTPUT;ROOT" "STRINGS" ${ARGN})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${A_TARGET}.dir)
  set(table ${work}/strings.tab)
  sw_string_table(${table} ${A_STRINGS})
  if(NOT A_ROOT)
    set(A_ROOT ${work}/none)
  endif()
  sw_resource_qrc(${work}/${A_TARGET}.qrc "/" ${A_ROOT} ${table} files)
  add_custom_command(OUTPUT ${A_OUTPUT}
    COMMAND Qt6::rcc --binary -o ${A_OUTPUT} ${work}/${A_TARGET}.qrc
    DEPENDS ${work}/${A_TARGET}.qrc ${table} ${files}
    COMMENT "Building the language resource file ${A_OUTPUT}"
    VERBATIM)
  add_custom_target(${A_TARGET} ALL DEPENDS ${A_OUTPUT})
endfunction()
