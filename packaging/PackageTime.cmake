# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE). Debian expects
# a package to come out byte for byte the same from the same sources: the
# DEB generator writes SOURCE_DATE_EPOCH, when set, as the time of every
# file and archive member in place of the packing time. Unless the caller
# pins a time of its own, it is the time of the last commit, so every
# packing of one commit agrees, whoever packs it and when.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  return()
endif()
execute_process(COMMAND git -C "${CPACK_MEMBER_SOURCE_DIR}" log -1 --format=%ct
  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_result ERROR_QUIET)
if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
else()
  message(WARNING "No commit time in ${CPACK_MEMBER_SOURCE_DIR} and no SOURCE_DATE_EPOCH: "
    "the packages carry the packing time and differ from one packing to the next")
endif()
