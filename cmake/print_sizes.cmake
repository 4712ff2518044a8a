# Prints the size of each program in FILES (a list), and of its stripped copy
# where the build keeps symbols (STRIP names the strip tool). Fails when the
# program LIMITED, stripped, is larger than LIMIT bytes (0: no limit).
#   cmake "-DFILES=a.exe;b.exe" -DSTRIP=strip -DLIMITED=a.exe -DLIMIT=n -P print_sizes.cmake
foreach(path IN LISTS FILES)
  file(SIZE "${path}" bytes)
  get_filename_component(name "${path}" NAME)
  set(copy "${path}.stripped")
  execute_process(COMMAND "${STRIP}" --strip-all -o "${copy}" "${path}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${STRIP} could not strip ${name}")
  endif()
  file(SIZE "${copy}" stripped)
  file(REMOVE "${copy}")
  if(stripped EQUAL bytes)
    message(STATUS "${name}: ${bytes} bytes")
  else()
    message(STATUS "${name}: ${bytes} bytes, ${stripped} stripped")
  endif()
  if(path STREQUAL LIMITED AND LIMIT GREATER 0 AND stripped GREATER LIMIT)
    message(FATAL_ERROR "${name} is larger than ${LIMIT} bytes stripped")
  endif()
endforeach()
