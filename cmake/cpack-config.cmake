# Read by CPack before each generator runs: the packers it starts (dpkg, makensis) and its own
# archive writers see the commit's time.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QUIETWATCH_SOURCE_DATE_EPOCH})
