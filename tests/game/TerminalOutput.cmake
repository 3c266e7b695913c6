# What the executable says on the terminal:
#  - started for a window where no display server can be reached: exit 1 and one line naming
#    --headless;
#  - --verbose: the engine's trace lines ("deallocing ...") reach standard error;
#  - --demo with a name no demo has: one line listing every demo there is.
file(MAKE_DIRECTORY ${WORK})

# No display server: the X11 driver pointed at a display nobody serves.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 DISPLAY=:9713
          ${PECKISH} --play --frames 30
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "without a display server: exit ${rc}, expected 1\n${err}")
endif()
string(REGEX MATCHALL "\n" lines "${err}")  # counts newlines (a line may hold a ';')
list(LENGTH lines count)
if(NOT count EQUAL 1 OR NOT err MATCHES "^peckish: [^\n]*--headless")
  message(FATAL_ERROR "without a display server, expected one line naming --headless, got:\n${err}")
endif()

# --verbose: trace lines on standard error.
execute_process(
  COMMAND ${PECKISH} --headless --play --autoplay --seed 7 --fixed-dt 0.0333333 --frames 300 --verbose
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT err MATCHES "deallocing ")
  message(FATAL_ERROR "--verbose: exit ${rc}, expected trace lines on standard error, got:\n${err}")
endif()

# An unknown demo: the line names every demo.
execute_process(
  COMMAND ${PECKISH} --headless --demo nonesuch
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT err MATCHES "peckish: no demo named 'nonesuch' \\(try: transitions, particles\\)\n")
  message(FATAL_ERROR "--demo nonesuch: expected every demo listed, got:\n${err}")
endif()
