# Read by CPack before each generator runs: the packers it starts (dpkg, makensis) and its own
# archive writers see SOURCE_DATE_EPOCH; the time found when the tree was configured unless
# the caller gives one (the scripts give the commit's time as it is now).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QUIETWATCH_SOURCE_DATE_EPOCH})
endif()
