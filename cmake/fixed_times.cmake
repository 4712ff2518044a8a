# Run by cpack once the files are staged, in its own process: the archive's
# entries then carry SOURCE_DATE_EPOCH (2000-01-01 unless set) as every one
# of their times, rather than when the files were made, read and staged.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} 946684800)
endif()
