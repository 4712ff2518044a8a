# Libraries the window needs only after its first paint (OLE and Automation,
# the screen readers' bridge, the shell) are loaded when first called rather
# than before the program's first line runs, which would cost every start
# the time to load them and their own dependencies.
#
# varnello_delay_loaded(dll) makes the target varnello_delayed_<dll> to link
# in place of <dll>. With MinGW its import library of that kind is made here
# from the toolchain's own: each function the library exports by a call stub
# gets a stub that loads the DLL on first call (data exports, which no stub
# can load later, stay with the plain library). With MSVC it is the plain
# library, /DELAYLOAD and the helper library.
#
# For 32-bit x86, dlltool makes only the library's head and tail; each
# function's part is assembled here. dlltool puts a function's loading stub
# in the same object as its address-table entry, and ld (2.40) drops the code
# of such an object unless the stub's own name is called, which a dllimport
# call never does: the entry then points at address 0. Here the stub lives
# in an object of its own, which the entry names and so keeps.
set(VARNELLO_DELAY_LOAD_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(varnello_delay_loaded dll)
  set(target varnello_delayed_${dll})
  add_library(${target} INTERFACE)
  if(MSVC)
    target_link_libraries(${target} INTERFACE ${dll} delayimp "-DELAYLOAD:${dll}.dll" varnello_base_win)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      target_link_options(${target} INTERFACE "/INCLUDE:___pfnDliNotifyHook2")
    else()
      target_link_options(${target} INTERFACE "/INCLUDE:__pfnDliNotifyHook2")
    endif()
    return()
  endif()
  if(NOT MINGW)
    target_link_libraries(${target} INTERFACE ${dll})
    return()
  endif()
  find_library(varnello_plain_${dll} NAMES ${dll} REQUIRED)
  if(CMAKE_DLLTOOL)
    set(VARNELLO_DLLTOOL ${CMAKE_DLLTOOL})
  else()
    find_program(VARNELLO_DLLTOOL NAMES ${VARNELLO_MINGW_PREFIX}-dlltool dlltool REQUIRED)
  endif()
  set(library ${varnello_plain_${dll}})
  set(out ${CMAKE_BINARY_DIR}/delayload/lib${dll}_delayed.a)
  set(def ${CMAKE_BINARY_DIR}/delayload/${dll}.def)
  # Made again when the toolchain's library or this file changes.
  if(NOT EXISTS ${out} OR ${library} IS_NEWER_THAN ${out}
     OR ${VARNELLO_DELAY_LOAD_SCRIPT} IS_NEWER_THAN ${out})
    execute_process(COMMAND ${CMAKE_NM} ${library} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed
                    ERROR_QUIET)
    if(failed)
      message(FATAL_ERROR "${CMAKE_NM} could not read ${library}")
    endif()
    # A call stub is a text symbol.
    string(REGEX MATCHALL "[^\n]* T [^\n]*" stubs "${symbols}")
    set(exports "")
    foreach(line IN LISTS stubs)
      string(REGEX REPLACE "^.* T " "" name "${line}")
      list(APPEND exports "${name}")
    endforeach()
    list(REMOVE_DUPLICATES exports)
    list(LENGTH exports count)
    if(count EQUAL 0)
      message(FATAL_ERROR "no functions found in ${library}")
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      varnello_delay_library_x86("${dll}" "${exports}" "${out}")
    else()
      list(JOIN exports "\n" lines)
      file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${lines}\n")
      execute_process(COMMAND ${VARNELLO_DLLTOOL} --input-def ${def} --dllname ${dll}.dll
                              --output-delaylib ${out}
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "${VARNELLO_DLLTOOL} could not make ${out}")
      endif()
    endif()
  endif()
  target_link_libraries(${target} INTERFACE ${out})
  # Every program that loads a library on first call gets the project's
  # delay-load hook (base/system_library_win.cpp), which nothing names.
  target_link_libraries(${target} INTERFACE varnello_base_win)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} INTERFACE "LINKER:-u,___pfnDliNotifyHook2")
  else()
    target_link_options(${target} INTERFACE "LINKER:-u,__pfnDliNotifyHook2")
  endif()
endfunction()

# The 32-bit library: dlltool's head (the descriptor, the module handle and
# the common tail that calls the loader) and tail (the DLL's name and the
# tables' ends), and between them one object per function with its table
# entries, which names a stub assembled on its own.
function(varnello_delay_library_x86 dll exports out)
  set(work ${CMAKE_BINARY_DIR}/delayload/${dll}-x86)
  file(REMOVE_RECURSE ${work})
  file(MAKE_DIRECTORY ${work})
  get_filename_component(library_name ${out} NAME)
  string(REPLACE "." "_" stem "${library_name}")

  # Head and tail from a one-function library: ld orders a library's table
  # entries by member name, so the functions' members are named to fall
  # between "<stem>_h.o" and "<stem>_t.o".
  list(GET exports 0 first)
  string(REGEX REPLACE "^_" "" first "${first}")
  file(WRITE ${work}/head.def "LIBRARY ${dll}.dll\nEXPORTS\n${first}\n")
  execute_process(COMMAND ${VARNELLO_DLLTOOL} --input-def head.def --dllname ${dll}.dll
                          --output-delaylib ${library_name}
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${VARNELLO_DLLTOOL} could not make the head of ${out}")
  endif()
  execute_process(COMMAND ${CMAKE_AR} x ${library_name} ${stem}_h.o ${stem}_t.o
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "no head or tail in ${work}/${library_name}")
  endif()
  file(REMOVE ${work}/${library_name})
  execute_process(COMMAND ${CMAKE_NM} ${stem}_h.o OUTPUT_VARIABLE head_symbols
                  WORKING_DIRECTORY ${work})
  string(REGEX MATCH "[^ \n]*__tailMerge_[^ \n]*" tail_merge "${head_symbols}")
  if(NOT tail_merge)
    message(FATAL_ERROR "no __tailMerge_ in the head of ${out}")
  endif()

  set(sources "")
  # Numbers of one length, so that their names sort as they count.
  set(number 100000)
  foreach(symbol IN LISTS exports)
    # _Name@8 is imported as Name; a cdecl _Name as Name.
    string(REGEX REPLACE "^_" "" import "${symbol}")
    string(REGEX REPLACE "@[0-9]+$" "" import "${import}")
    file(WRITE ${work}/${stem}_s${number}.s
"\t.section .idata$5
\t.globl \"__imp_${symbol}\"
\"__imp_${symbol}\":
\t.long \"__delay_load_${symbol}\"
\t.section .idata$4
\t.rva .Lname
\t.section .idata$6
.Lname:
\t.short 0
\t.asciz \"${import}\"
\t.balign 2
")
    file(WRITE ${work}/stub${number}.s
"\t.text
\t.globl \"${symbol}\"
\"${symbol}\":
\tjmp *\"__imp_${symbol}\"
\t.globl \"__delay_load_${symbol}\"
\"__delay_load_${symbol}\":
\tmovl $\"__imp_${symbol}\", %eax
\tjmp ${tail_merge}
")
    list(APPEND sources ${stem}_s${number}.s stub${number}.s)
    math(EXPR number "${number} + 1")
  endforeach()

  # One compiler run and one archive run, their file lists in response files.
  list(JOIN sources "\n" lines)
  file(WRITE ${work}/sources.rsp "${lines}\n")
  execute_process(COMMAND ${CMAKE_C_COMPILER} -c @sources.rsp
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not assemble the stubs in ${work}")
  endif()
  string(REPLACE ".s\n" ".o\n" objects "${lines}\n")
  file(WRITE ${work}/objects.rsp "${stem}_h.o\n${objects}${stem}_t.o\n")
  file(REMOVE ${out})
  execute_process(COMMAND ${CMAKE_AR} rcs ${out} @objects.rsp
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${CMAKE_AR} could not make ${out}")
  endif()
endfunction()
