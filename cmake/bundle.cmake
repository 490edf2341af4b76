# build/Quorvel.app: the executable, Info.plist, the sample server application,
# the icon and a copy (not a link) of the system's Ruby interpreter, whose real
# path the stale server check reads.

set(QUORVEL_APP "${CMAKE_BINARY_DIR}/Quorvel.app")
set(QUORVEL_SAMPLE "${CMAKE_SOURCE_DIR}/examples/sample")
configure_file(${CMAKE_SOURCE_DIR}/cmake/Info.plist.in ${CMAKE_BINARY_DIR}/Info.plist @ONLY)

find_program(SYSTEM_RUBY ruby REQUIRED)
file(REAL_PATH "${SYSTEM_RUBY}" SYSTEM_RUBY_REAL)

# The icon sits in the bundle in icon-theme layout, found by an uninstalled copy
# and installed from there. The PNG is for desktops that do not draw SVG icons.
set(QUORVEL_ICON ${CMAKE_SOURCE_DIR}/data/app.quorvel.Quorvel.svg)
set(QUORVEL_ICONS ${QUORVEL_APP}/Contents/Resources/icons/hicolor)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(QUORVEL_RENDER_ICON
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_ICONS}/128x128/apps
      COMMAND ${RSVG_CONVERT} -w 128 -h 128 -o ${QUORVEL_ICONS}/128x128/apps/app.quorvel.Quorvel.png ${QUORVEL_ICON})
else()
  message(STATUS "rsvg-convert not found: the bundle gets the scalable icon only")
endif()

file(GLOB_RECURSE QUORVEL_SAMPLE_FILES CONFIGURE_DEPENDS "${QUORVEL_SAMPLE}/*")

add_custom_command(
  OUTPUT ${QUORVEL_APP}/Contents/stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUORVEL_APP}/Contents/Resources/app ${QUORVEL_APP}/Contents/Resources/icons
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_APP}/Contents/Linux
          ${QUORVEL_APP}/Contents/Resources/ruby/bin ${QUORVEL_ICONS}/scalable/apps
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/Info.plist ${QUORVEL_APP}/Contents/Info.plist
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quorvel> ${QUORVEL_APP}/Contents/Linux/quorvel
  COMMAND ${CMAKE_COMMAND} -E copy ${QUORVEL_SAMPLE}/server.rb ${QUORVEL_APP}/Contents/Resources/server.rb
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${QUORVEL_SAMPLE}/app ${QUORVEL_APP}/Contents/Resources/app
  COMMAND ${CMAKE_COMMAND} -E copy ${SYSTEM_RUBY_REAL} ${QUORVEL_APP}/Contents/Resources/ruby/bin/ruby
  COMMAND ${CMAKE_COMMAND} -E copy ${QUORVEL_ICON} ${QUORVEL_ICONS}/scalable/apps/
  ${QUORVEL_RENDER_ICON}
  COMMAND ${CMAKE_COMMAND} -E touch ${QUORVEL_APP}/Contents/stamp
  DEPENDS quorvel ${CMAKE_BINARY_DIR}/Info.plist ${QUORVEL_SAMPLE_FILES} ${QUORVEL_ICON}
  COMMENT "Assembling Quorvel.app"
  VERBATIM)
add_custom_target(bundle ALL DEPENDS ${QUORVEL_APP}/Contents/stamp)
