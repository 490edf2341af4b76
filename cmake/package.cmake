# `cmake --install` and `cpack -G DEB`: the bundle as lib/quorvel/Quorvel.app,
# bin/quorvel linking to its executable (Quorvel finds its bundle through
# /proc/self/exe, so the link works), and what desktops read under share/.

set(QUORVEL_MAINTAINER "Quorvel maintainers <maintainers@quorvel.app>" CACHE STRING
    "Name and address for the package's Maintainer field and changelog")
# One package per Debian release, built on it: the release goes into the version
# (0.1.0-1~deb12u1, 0.1.0-1~deb13u1), so each names the libraries of its own.
file(STRINGS /etc/os-release QUORVEL_OS_RELEASE REGEX "^(VERSION_ID|VERSION_CODENAME)=")
string(REGEX REPLACE ".*VERSION_ID=\"?([0-9]+).*" "\\1" QUORVEL_DEBIAN_RELEASE "${QUORVEL_OS_RELEASE}")
string(REGEX REPLACE ".*VERSION_CODENAME=([a-z]+).*" "\\1" QUORVEL_DEBIAN_SUITE "${QUORVEL_OS_RELEASE}")
set(QUORVEL_DEB_VERSION "${PROJECT_VERSION}-1~deb${QUORVEL_DEBIAN_RELEASE}u1")
execute_process(COMMAND date -u -R -d "${QUORVEL_RELEASE_DATE}" OUTPUT_VARIABLE QUORVEL_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(data/app.quorvel.Quorvel.metainfo.xml.in app.quorvel.Quorvel.metainfo.xml @ONLY)
configure_file(data/changelog.in changelog @ONLY)

# Debian wants both compressed without a time stamp.
set(QUORVEL_GZIPPED)
foreach(from ${CMAKE_SOURCE_DIR}/data/quorvel.1 ${CMAKE_BINARY_DIR}/changelog)
  get_filename_component(name ${from} NAME)
  set(to ${CMAKE_BINARY_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${to} COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${from} ${to}
                     DEPENDS ${from} VERBATIM)
  list(APPEND QUORVEL_GZIPPED ${to})
endforeach()
add_custom_target(gzipped_docs ALL DEPENDS ${QUORVEL_GZIPPED})

set(app_dir lib/quorvel/Quorvel.app)
install(DIRECTORY ${QUORVEL_APP}/ DESTINATION ${app_dir}
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        PATTERN stamp EXCLUDE
        PATTERN Linux EXCLUDE
        REGEX "/ruby/bin/ruby$" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                            WORLD_READ WORLD_EXECUTE)
# Installed from the target rather than the bundle's copy, so that --strip applies.
install(TARGETS quorvel DESTINATION ${app_dir}/Contents/Linux)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
file(CREATE_LINK ../${app_dir}/Contents/Linux/quorvel ${CMAKE_BINARY_DIR}/bin/quorvel SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/bin/quorvel DESTINATION bin)
install(FILES data/app.quorvel.Quorvel.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/app.quorvel.Quorvel.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${QUORVEL_APP}/Contents/Resources/icons/ DESTINATION share/icons)
install(FILES ${CMAKE_BINARY_DIR}/quorvel.1.gz DESTINATION share/man/man1)
install(FILES data/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION share/doc/quorvel)

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "The Quorvel authors")
set(CPACK_PACKAGE_CONTACT "${QUORVEL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "local web application as a desktop program")
set(CPACK_PACKAGE_DESCRIPTION "Quorvel starts the web application shipped inside its bundle (Ruby and
Puma) as a server on 127.0.0.1 and shows its pages in one window, with a
menu bar, remembered window size and an update check. Quitting Quorvel
stops the server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvel.app/)
set(CPACK_DEBIAN_PACKAGE_RELEASE "1~deb${QUORVEL_DEBIAN_RELEASE}u1")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the bundled sample application loads besides the interpreter's own library. Rack 3
# (Debian 13) keeps the session cookie in ruby-rack-session; Rack 2 (Debian 12) has it inside.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ruby, puma, ruby-rack, ruby-rack-session | ruby-rack (<< 3), ruby-sqlite3")
# Spell checking needs a dictionary; other languages' hunspell dictionaries work when installed.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hunspell-en-us")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
