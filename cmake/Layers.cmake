# The layers of Strandwork: every product folder (a folder with a
# CMakeLists.txt outside tests/ and bench/) has one row in the table below.
# A library or program of a folder may link only libraries of its own layer
# or a lower one, and its sources include headers of those folders alone;
# no two folders use each other, through links and includes together, in a
# cycle (so the folders of one layer too are used in one order).  tests/ and
# bench/ are consumers and may link anything, but no product folder links a
# library of tests/ or bench/ or includes a header of tests/.  A folder that has
# no row stops the configuration: a new folder is added here and nowhere
# else.  docs/architecture.md ("Layers") draws the same table.
#
# The last column says which Qt a folder may reach, directly or through any
# library:
#   NO_QT    none at all
#   QT_CORE  Qt Core alone (the resource system)
#   QT       Qt 6 Widgets and the rest
# Other external libraries (threads, X11, dl, the spelling library) are
# allowed in every layer.

# The layers from the bottom up.
set(SW_LAYER_ORDER sys res link core ui uilibs linkui projectui plcviews mainwnd app)

# sw_layer(<layer> <folder> NO_QT|QT_CORE|QT)
function(sw_layer layer folder qt)
  if(NOT layer IN_LIST SW_LAYER_ORDER)
    message(FATAL_ERROR "layer rule: ${folder} is put in the unknown layer ${layer}")
  endif()
  if(NOT qt MATCHES "^(NO_QT|QT_CORE|QT)$")
    message(FATAL_ERROR "layer rule: ${folder} has the unknown Qt column ${qt}")
  endif()
  # Qt Widgets only from the framework's layer upwards.
  list(FIND SW_LAYER_ORDER ${layer} rank)
  list(FIND SW_LAYER_ORDER ui ui_rank)
  if(qt STREQUAL "QT" AND rank LESS ui_rank)
    message(FATAL_ERROR "layer rule: ${folder} (layer ${layer}) is below platform/ui and may not use Qt")
  endif()
  set_property(GLOBAL APPEND PROPERTY SW_LAYER_FOLDERS ${folder})
  set_property(GLOBAL PROPERTY SW_LAYER_OF_${folder} ${layer})
  set_property(GLOBAL PROPERTY SW_QT_OF_${folder} ${qt})
endfunction()

# sw_tool(<folder> NO_QT|QT [MAY_LINK <folder>...] [MAY_INCLUDE <folder>...]
#         [NEVER <folder>...])
# A program or library of tools/ stands outside the layers with a rule of
# its own: it may link the libraries of the MAY_LINK folders only, include
# headers of those and of the MAY_INCLUDE folders only (a plain interface
# header kept by the folder that uses the tool), and must not reach a
# library of a NEVER folder (or of a folder below it) even through another
# library.  Nothing under tools/ links or includes tests/.
function(sw_tool folder qt)
  cmake_parse_arguments(A "" "" "MAY_LINK;MAY_INCLUDE;NEVER" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY SW_LAYER_FOLDERS ${folder})
  set_property(GLOBAL PROPERTY SW_LAYER_OF_${folder} tool)
  set_property(GLOBAL PROPERTY SW_QT_OF_${folder} ${qt})
  set_property(GLOBAL PROPERTY SW_MAY_LINK_OF_${folder} ${A_MAY_LINK})
  set_property(GLOBAL PROPERTY SW_NEVER_OF_${folder} ${A_NEVER})
  set_property(GLOBAL PROPERTY SW_MAY_INCLUDE_OF_${folder} ${A_MAY_LINK} ${A_MAY_INCLUDE})
endfunction()

#        layer      folder          Qt
sw_layer(sys        platform/sys    NO_QT)
sw_layer(res        res/text        NO_QT)
sw_layer(res        res             QT_CORE)
sw_layer(link       link/olnk       NO_QT)
sw_layer(link       link/oxfr       NO_QT)
sw_layer(link       link/linkobj    NO_QT)
sw_layer(core       core/common     NO_QT)
sw_layer(core       core/projfile   NO_QT)
sw_layer(core       core/compout    NO_QT)
sw_layer(core       core/build      NO_QT)
sw_layer(core       core/project    NO_QT)
sw_layer(core       editor/buffer   NO_QT)
sw_layer(core       editor/regexp   NO_QT)
sw_layer(core       editor/parsers  NO_QT)
sw_layer(core       editor/layout   NO_QT)
sw_layer(ui         platform/ui     QT)
sw_layer(uilibs     uilib           QT)
sw_layer(uilibs     uilib/dock      NO_QT)
sw_layer(uilibs     editor          QT)
sw_layer(uilibs     fontcolor       QT)
sw_layer(linkui     link/ui         QT)
sw_layer(projectui  projectui       QT)
sw_layer(plcviews   plcviews        QT)
sw_layer(mainwnd    mainwnd         QT)
sw_layer(app        app             QT)

# The programs and libraries of tools/.  The simulator is independent of
# what it checks: its message level is written from docs/link-protocol.md
# alone and its run mode reads the program module from docs/build.md alone,
# so it never reaches the session library, the link object or core/.
sw_tool(tools/strtab    NO_QT MAY_LINK platform/sys)
sw_tool(tools/pilvex    NO_QT MAY_LINK platform/sys)
sw_tool(tools/linkshim  NO_QT MAY_LINK platform/sys link/olnk
                              NEVER link/oxfr link/linkobj core)
sw_tool(tools/cssim     NO_QT MAY_LINK platform/sys link/olnk tools/linkshim tools/cssim
                              NEVER link/oxfr link/linkobj core)
# The spelling checker links Qt and its spelling library, none of ours; it
# includes the plain C interface header the editor keeps (EdtWispell.h).
sw_tool(tools/wispell   QT MAY_INCLUDE editor)

# The link closure of a target: every library it reaches, directly or
# through another library, appended to the list <out>.
function(_sw_collect_links target out)
  set(seen ${${out}})
  if(target IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${target})
  if(TARGET ${target})
    get_target_property(aliased ${target} ALIASED_TARGET)
    if(aliased)
      set(target ${aliased})
    endif()
    get_target_property(type ${target} TYPE)
    get_target_property(libs ${target} INTERFACE_LINK_LIBRARIES)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(own ${target} LINK_LIBRARIES)
      if(own)
        list(APPEND libs ${own})
      endif()
    endif()
    foreach(lib ${libs})
      if(lib AND NOT lib MATCHES "^\\$<" AND NOT lib MATCHES "-NOTFOUND$")
        _sw_collect_links(${lib} seen)
      endif()
    endforeach()
  endif()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# The folder (relative to the source tree) of a link item that is a target
# of this project, or "" for an external library.
function(_sw_item_folder item out)
  set(${out} "" PARENT_SCOPE)
  if(NOT TARGET ${item})
    return()
  endif()
  get_target_property(aliased ${item} ALIASED_TARGET)
  if(aliased)
    set(item ${aliased})
  endif()
  get_target_property(imported ${item} IMPORTED)
  if(imported)
    return()
  endif()
  get_target_property(dir ${item} SOURCE_DIR)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  set(${out} ${rel} PARENT_SCOPE)
endfunction()

# The items a target links itself (not through another library).
function(_sw_direct_links target out)
  get_target_property(type ${target} TYPE)
  get_target_property(libs ${target} INTERFACE_LINK_LIBRARIES)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(own ${target} LINK_LIBRARIES)
    if(own)
      list(APPEND libs ${own})
    endif()
  endif()
  set(items "")
  foreach(lib ${libs})
    if(lib AND NOT lib MATCHES "^\\$<" AND NOT lib MATCHES "-NOTFOUND$" AND NOT lib MATCHES "^::@")
      list(APPEND items ${lib})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES items)
  set(${out} ${items} PARENT_SCOPE)
endfunction()

# The Qt of a target's whole link closure against its row's Qt column.
function(_sw_check_qt t rel qt)
  if(qt STREQUAL "QT")
    return()
  endif()
  set(all "")
  _sw_collect_links(${t} all)
  set(allowed "")
  if(qt STREQUAL "QT_CORE")
    _sw_collect_links(Qt6::Core allowed)
  endif()
  foreach(lib ${all})
    if(lib MATCHES "^Qt[0-9]*::|libQt" AND NOT lib IN_LIST allowed)
      if(qt STREQUAL "QT_CORE")
        message(FATAL_ERROR "layer rule: ${t} (${rel}) may use Qt Core alone, but links ${lib}")
      endif()
      message(FATAL_ERROR "layer rule: ${t} (${rel}) must not link Qt, but links ${lib}")
    endif()
  endforeach()
endfunction()

# The product targets of a folder (tests/ and bench/ are consumers and are
# not checked); stops when the folder has no row.
function(_sw_product_targets dir out rel_out)
  set(${out} "" PARENT_SCOPE)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  set(${rel_out} ${rel} PARENT_SCOPE)
  if(rel MATCHES "^(tests|bench)(/|$)")
    return()
  endif()
  get_property(folders GLOBAL PROPERTY SW_LAYER_FOLDERS)
  if(NOT rel IN_LIST folders)
    message(FATAL_ERROR "layer rule: ${rel} is in no layer; give it a row in cmake/Layers.cmake")
  endif()
  set(result "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(NOT type STREQUAL "UTILITY")
      list(APPEND result ${t})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# The sources (.h, .cpp) of a product folder: those under its directory but
# not under a deeper folder that has a row of its own (res/text under res).
function(_sw_folder_sources rel folders out)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CMAKE_SOURCE_DIR}
       ${CMAKE_SOURCE_DIR}/${rel}/*.h ${CMAKE_SOURCE_DIR}/${rel}/*.cpp)
  foreach(f ${folders})
    if(f MATCHES "^${rel}/")
      list(FILTER files EXCLUDE REGEX "^${f}/")
    endif()
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# The alternation of the row folders for a regular expression, the longest
# first, so that res/text/X.h is of res/text and res/X.h of res.
function(_sw_folder_alternation folders out)
  set(alts "")
  foreach(f ${folders})
    string(LENGTH ${f} n)
    math(EXPR key "1000 - ${n}")
    list(APPEND alts "${key}|${f}")
  endforeach()
  list(SORT alts)
  list(TRANSFORM alts REPLACE "^[0-9]+\\|" "")
  list(JOIN alts "|" alts)
  set(${out} "${alts}|tests" PARENT_SCOPE)
endfunction()

# The folders whose headers the sources of the product folder <rel>
# include (`#include "<folder>/..."`, the longest row folder that starts
# the path; tests for tests/), and "Qt" for a Qt header (`#include <Q...>`).
function(_sw_folder_includes rel folders alts out)
  _sw_folder_sources(${rel} "${folders}" files)
  set(all "")
  foreach(src ${files})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${src} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-zQ]")
    list(APPEND all ${hits})
  endforeach()
  list(TRANSFORM all REPLACE "^[ \t]*#[ \t]*include[ \t]*" "")
  list(REMOVE_DUPLICATES all)
  set(found "")
  foreach(h ${all})
    if(h MATCHES "^<Q")
      list(APPEND found Qt)
    elseif(h MATCHES "^\"(${alts})/" AND NOT CMAKE_MATCH_1 STREQUAL rel)
      list(APPEND found ${CMAKE_MATCH_1})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The first source of <rel> that includes a header of <inc> and the
# include, for the message.
function(_sw_includer rel inc folders alts out)
  _sw_folder_sources(${rel} "${folders}" files)
  foreach(src ${files})
    file(STRINGS ${CMAKE_SOURCE_DIR}/${src} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-zQ]")
    foreach(h ${hits})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*" "" h "${h}")
      if((inc STREQUAL "Qt" AND h MATCHES "^<Q") OR (h MATCHES "^\"(${alts})/" AND CMAKE_MATCH_1 STREQUAL inc))
        set(${out} "${src} includes ${h}" PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
endfunction()

# A cycle among the folders: depth first over the edges SW_EDGES_<folder>
# (links and includes); stops at the first folder met again on the path.
function(_sw_find_cycle folder path)
  string(REPLACE "/" "_" key ${folder})
  get_property(state GLOBAL PROPERTY SW_VISIT_${key})
  if(state STREQUAL "done")
    return()
  endif()
  if(state STREQUAL "open")
    list(FIND path ${folder} i)
    list(SUBLIST path ${i} -1 ring)
    list(APPEND ring ${folder})
    # Each step of the ring named by an include of it, or as a link.
    get_property(folders GLOBAL PROPERTY SW_LAYER_FOLDERS)
    _sw_folder_alternation("${folders}" alts)
    set(steps "")
    set(from "")
    foreach(to ${ring})
      if(from)
        string(REPLACE "/" "_" k ${from})
        get_property(incs GLOBAL PROPERTY SW_INCLUDES_OF_${k})
        if(to IN_LIST incs)
          _sw_includer(${from} ${to} "${folders}" "${alts}" why)
        else()
          set(why "${from} links a library of ${to}")
        endif()
        list(APPEND steps "${why}")
      endif()
      set(from ${to})
    endforeach()
    list(JOIN ring " -> " ring)
    list(JOIN steps "; " steps)
    message(FATAL_ERROR "layer rule: the folders ${ring} depend on each other in a cycle "
                        "(${steps}); a folder uses only folders below it")
  endif()
  set_property(GLOBAL PROPERTY SW_VISIT_${key} open)
  list(APPEND path ${folder})
  get_property(next GLOBAL PROPERTY SW_EDGES_${key})
  foreach(n ${next})
    _sw_find_cycle(${n} "${path}")
  endforeach()
  set_property(GLOBAL PROPERTY SW_VISIT_${key} done)
endfunction()

# Every product folder's includes against its row, and no cycle among the
# folders through links and includes.  A header is used like a library:
# a folder includes headers of its own layer or a lower one (a tool those
# of its MAY_LINK and MAY_INCLUDE folders alone), a NO_QT folder includes
# no header of a folder that may use Qt and no Qt header, a QT_CORE folder
# none of a Qt Widgets folder, and no product folder a header of tests/.
function(_sw_check_includes)
  get_property(folders GLOBAL PROPERTY SW_LAYER_FOLDERS)
  _sw_folder_alternation("${folders}" alts)
  foreach(rel ${folders})
    get_property(layer GLOBAL PROPERTY SW_LAYER_OF_${rel})
    get_property(qt GLOBAL PROPERTY SW_QT_OF_${rel})
    get_property(may GLOBAL PROPERTY SW_MAY_INCLUDE_OF_${rel})
    list(FIND SW_LAYER_ORDER "${layer}" rank)
    _sw_folder_includes(${rel} "${folders}" "${alts}" incs)
    set(edges "")
    foreach(inc ${incs})
      set(fault "")
      if(inc STREQUAL "Qt")
        if(qt STREQUAL "NO_QT")
          set(fault "${rel} must not use Qt")
        endif()
      elseif(inc STREQUAL "tests")
        set(fault "${rel} must not include a header of tests/")
      else()
        get_property(inclayer GLOBAL PROPERTY SW_LAYER_OF_${inc})
        get_property(incqt GLOBAL PROPERTY SW_QT_OF_${inc})
        list(FIND SW_LAYER_ORDER "${inclayer}" incrank)
        if(layer STREQUAL "tool" AND NOT inc IN_LIST may)
          set(fault "${rel} may include headers of its MAY_LINK and MAY_INCLUDE folders alone, not of ${inc}")
        elseif(NOT layer STREQUAL "tool" AND (incrank LESS 0 OR incrank GREATER rank))
          set(fault "${rel} (layer ${layer}) includes a header of ${inc} (layer ${inclayer}), a higher layer")
        elseif((qt STREQUAL "NO_QT" AND NOT incqt STREQUAL "NO_QT") OR (qt STREQUAL "QT_CORE" AND incqt STREQUAL "QT"))
          set(fault "${rel} (${qt}) must not include a header of ${inc} (${incqt})")
        endif()
        list(APPEND edges ${inc})
      endif()
      if(fault)
        _sw_includer(${rel} ${inc} "${folders}" "${alts}" where)
        message(FATAL_ERROR "layer rule: ${where}: ${fault}")
      endif()
    endforeach()
    string(REPLACE "/" "_" key ${rel})
    set_property(GLOBAL APPEND PROPERTY SW_EDGES_${key} ${edges})
    set_property(GLOBAL PROPERTY SW_INCLUDES_OF_${key} ${edges})
  endforeach()
  foreach(rel ${folders})
    _sw_find_cycle(${rel} "")
  endforeach()
endfunction()

# sw_check_layers(): the table above over every target of every product
# folder, once all folders are added.  First what each target links itself,
# so that a wrong link is named where it is written; then what each reaches
# through other libraries.
function(sw_check_layers)
  get_property(folders GLOBAL PROPERTY SW_LAYER_FOLDERS)
  get_property(dirs GLOBAL PROPERTY SW_UNIT_DIRS)
  foreach(dir ${dirs})
    _sw_product_targets(${dir} targets rel)
    get_property(layer GLOBAL PROPERTY SW_LAYER_OF_${rel})
    get_property(may GLOBAL PROPERTY SW_MAY_LINK_OF_${rel})
    list(FIND SW_LAYER_ORDER "${layer}" rank)
    foreach(t ${targets})
      _sw_direct_links(${t} items)
      foreach(lib ${items})
        _sw_item_folder(${lib} libdir)
        if(libdir STREQUAL "")
          continue()
        endif()
        if(libdir MATCHES "^(tests|bench)(/|$)")
          message(FATAL_ERROR "layer rule: ${t} (${rel}) must not link the test library ${lib} (${libdir})")
        endif()
        if(NOT libdir IN_LIST folders)
          message(FATAL_ERROR "layer rule: ${libdir} is in no layer; give it a row in cmake/Layers.cmake")
        endif()
        if(NOT libdir STREQUAL rel)
          string(REPLACE "/" "_" key ${rel})
          set_property(GLOBAL APPEND PROPERTY SW_EDGES_${key} ${libdir})
        endif()
        if(layer STREQUAL "tool")
          if(NOT libdir IN_LIST may)
            message(FATAL_ERROR "layer rule: ${t} (${rel}) links ${lib} (${libdir}), which its row does not allow")
          endif()
          continue()
        endif()
        get_property(liblayer GLOBAL PROPERTY SW_LAYER_OF_${libdir})
        list(FIND SW_LAYER_ORDER "${liblayer}" librank)
        if(librank LESS 0 OR librank GREATER rank)
          message(FATAL_ERROR "layer rule: ${t} (${rel}) links ${lib} (${libdir}) of a higher layer")
        endif()
      endforeach()
    endforeach()
  endforeach()
  foreach(dir ${dirs})
    _sw_product_targets(${dir} targets rel)
    get_property(qt GLOBAL PROPERTY SW_QT_OF_${rel})
    get_property(never GLOBAL PROPERTY SW_NEVER_OF_${rel})
    foreach(t ${targets})
      _sw_check_qt(${t} ${rel} ${qt})
      # Through any library: no library of tests/ or bench/, and none of a
      # tool's NEVER folders.
      set(all "")
      _sw_collect_links(${t} all)
      list(REMOVE_ITEM all ${t})
      foreach(lib ${all})
        # The other engines the benchmarks measure against are theirs alone.
        if(lib MATCHES "pcre|PCRE|hyperscan|(^|::|/|lib)hs($|\\.|::)|PkgConfig::HS")
          message(FATAL_ERROR "layer rule: ${t} (${rel}) must not link ${lib}: "
                              "the benchmarks' peer engines are for bench/ only")
        endif()
        _sw_item_folder(${lib} libdir)
        if(libdir MATCHES "^(tests|bench)(/|$)")
          message(FATAL_ERROR "layer rule: ${t} (${rel}) must not link the test library ${lib} (${libdir})")
        endif()
        foreach(n ${never})
          if(libdir MATCHES "^${n}(/|$)")
            message(FATAL_ERROR "layer rule: ${t} (${rel}) must not depend on ${lib} (${libdir}), "
                                "directly or through another library")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
  # The includes of every product folder (no header of tests/ either), then
  # no cycle through links and includes.
  _sw_check_includes()
endfunction()
