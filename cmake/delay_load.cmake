# Libraries the window needs only after its first paint (OLE and Automation,
# the screen readers' bridge, the shell) are loaded when first called rather
# than before the program's first line runs, which would cost every start
# the time to load them and their own dependencies.
#
# varnello_delay_loaded(dll) makes the target varnello_delayed_<dll> to link
# in place of <dll>. With 64-bit MinGW its import library of that kind is
# made here from the toolchain's own: each function the library exports by a
# call stub gets a stub that loads the DLL on first call (data exports, which
# no stub can load later, stay with the plain library). With MSVC it is the
# plain library, /DELAYLOAD and the helper library.
function(varnello_delay_loaded dll)
  set(target varnello_delayed_${dll})
  add_library(${target} INTERFACE)
  if(MSVC)
    target_link_libraries(${target} INTERFACE ${dll} delayimp "-DELAYLOAD:${dll}.dll")
    return()
  endif()
  # binutils' 32-bit delay-import libraries are unusable: ld leaves each
  # entry of their address table zero, so the first call jumps to address 0.
  # The 32-bit MinGW program loads these DLLs at start, as before.
  if(NOT MINGW OR CMAKE_SIZEOF_VOID_P EQUAL 4)
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
  if(NOT EXISTS ${out} OR ${library} IS_NEWER_THAN ${out})
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
    list(JOIN exports "\n" lines)
    file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${lines}\n")
    execute_process(COMMAND ${VARNELLO_DLLTOOL} --input-def ${def} --dllname ${dll}.dll
                            --output-delaylib ${out}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${VARNELLO_DLLTOOL} could not make ${out}")
    endif()
  endif()
  target_link_libraries(${target} INTERFACE ${out})
endfunction()
