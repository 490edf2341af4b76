# build/Quorvel.app: the executable, Info.plist, the sample server application and
# a copy (not a link) of the system's Ruby interpreter, whose real path the stale
# server check reads.

set(QUORVEL_APP "${CMAKE_BINARY_DIR}/Quorvel.app")
set(QUORVEL_SAMPLE "${CMAKE_SOURCE_DIR}/examples/sample")
configure_file(${CMAKE_SOURCE_DIR}/cmake/Info.plist.in ${CMAKE_BINARY_DIR}/Info.plist @ONLY)

find_program(SYSTEM_RUBY ruby REQUIRED)
file(REAL_PATH "${SYSTEM_RUBY}" SYSTEM_RUBY_REAL)

file(GLOB_RECURSE QUORVEL_SAMPLE_FILES CONFIGURE_DEPENDS "${QUORVEL_SAMPLE}/*")

add_custom_command(
  OUTPUT ${QUORVEL_APP}/Contents/stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUORVEL_APP}/Contents/Resources/app
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_APP}/Contents/Linux
          ${QUORVEL_APP}/Contents/Resources/ruby/bin
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/Info.plist ${QUORVEL_APP}/Contents/Info.plist
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quorvel> ${QUORVEL_APP}/Contents/Linux/quorvel
  COMMAND ${CMAKE_COMMAND} -E copy ${QUORVEL_SAMPLE}/server.rb ${QUORVEL_APP}/Contents/Resources/server.rb
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUORVEL_SAMPLE}/app ${QUORVEL_APP}/Contents/Resources/app
  COMMAND ${CMAKE_COMMAND} -E copy ${SYSTEM_RUBY_REAL} ${QUORVEL_APP}/Contents/Resources/ruby/bin/ruby
  COMMAND ${CMAKE_COMMAND} -E touch ${QUORVEL_APP}/Contents/stamp
  DEPENDS quorvel ${CMAKE_BINARY_DIR}/Info.plist ${QUORVEL_SAMPLE_FILES}
  COMMENT "Assembling Quorvel.app"
  VERBATIM)
add_custom_target(bundle ALL DEPENDS ${QUORVEL_APP}/Contents/stamp)
