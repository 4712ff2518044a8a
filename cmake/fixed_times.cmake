# Run by cpack once the files are staged: every file and folder gets the
# same time (SOURCE_DATE_EPOCH where set, else 2000-01-01), which the archive
# keeps.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(stamp "@$ENV{SOURCE_DATE_EPOCH}")
else()
  set(stamp "2000-01-01 00:00:00 UTC")
endif()
execute_process(COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -exec touch -h -d "${stamp}" {} +
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the staged files' times could not be set")
endif()
