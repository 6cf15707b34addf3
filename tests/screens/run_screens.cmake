# Runs brelvo-screens in a fresh home. With EXPECT_WRONG, against a service
# that is not there: the overlay's pictures then show the lock screen instead,
# and the run must say so and fail.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/home)
set(ENV{HOME} ${WORK_DIR}/home)
set(args ${WORK_DIR}/pictures)
if(EXPECT_WRONG)
  set(args --service http://127.0.0.1:9/ ${args})
endif()
execute_process(COMMAND ${SCREENS} ${args} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${err}")
if(EXPECT_WRONG)
  if(result EQUAL 0 OR NOT err MATCHES "overlay-closed.png does not show")
    message(FATAL_ERROR "brelvo-screens took the lock screen for the overlay (exit ${result})")
  endif()
elseif(NOT result EQUAL 0)
  message(FATAL_ERROR "brelvo-screens failed (exit ${result})")
endif()
