# Install rules and the Debian package.
#   make install DESTDIR=...   stages an install under CMAKE_INSTALL_PREFIX (default /usr/local)
#   make package               a Release build in build-release/ packed by CPack as a .deb for /usr
# Layout: games/peckish (where Debian keeps games) and bin/peckish beside the other programs (a
# link to it), share/peckish/ (resources), share/applications/<app id>.desktop,
# share/icons/hicolor/, share/metainfo/<app id>.metainfo.xml, share/man/man6/peckish.6.gz,
# share/doc/peckish/ (copyright, changelog.gz).
# The copyright file, the changelog and the metainfo are written from data/*.in with the
# maintainer and home-page settings of the top CMakeLists.txt.
set(PECKISH_DATA ${CMAKE_SOURCE_DIR}/data)
find_program(GZIP_PROGRAM gzip REQUIRED)

if(NOT PECKISH_MAINTAINER_EMAIL MATCHES "^[^@<> ]+@[^@<> ]+$")
  message(FATAL_ERROR "PECKISH_MAINTAINER_EMAIL is not an e-mail address: '${PECKISH_MAINTAINER_EMAIL}'")
endif()
if(PECKISH_MAINTAINER_NAME STREQUAL "" OR PECKISH_MAINTAINER_NAME MATCHES "[<>\n]")
  message(FATAL_ERROR "PECKISH_MAINTAINER_NAME must be a name on one line without < or >")
endif()
set(PECKISH_MAINTAINER "${PECKISH_MAINTAINER_NAME} <${PECKISH_MAINTAINER_EMAIL}>")
# The developer's reverse-DNS id: the app id without its last part.
string(REGEX REPLACE "\\.[^.]*$" "" PECKISH_DEVELOPER_ID "${PECKISH_APP_ID}")
set(PECKISH_GENERATED_DATA ${CMAKE_BINARY_DIR}/data)

set(PECKISH_COPYRIGHT_SOURCE "")
if(NOT PECKISH_HOMEPAGE STREQUAL "")
  set(PECKISH_COPYRIGHT_SOURCE "\nSource: ${PECKISH_HOMEPAGE}")
endif()
configure_file(${PECKISH_DATA}/copyright.in ${PECKISH_GENERATED_DATA}/copyright @ONLY)
configure_file(${PECKISH_DATA}/changelog.in ${PECKISH_GENERATED_DATA}/changelog @ONLY)

# The metainfo is XML: the settings go in escaped.
function(peckish_configure_metainfo)
  foreach(var PECKISH_MAINTAINER_NAME PECKISH_MAINTAINER_EMAIL PECKISH_HOMEPAGE)
    string(REPLACE "&" "&amp;" value "${${var}}")
    string(REPLACE "<" "&lt;" value "${value}")
    string(REPLACE ">" "&gt;" value "${value}")
    set(${var} "${value}")
  endforeach()
  set(PECKISH_METAINFO_URLS "")
  if(NOT PECKISH_HOMEPAGE STREQUAL "")
    set(PECKISH_METAINFO_URLS "\n  <url type=\"homepage\">${PECKISH_HOMEPAGE}</url>")
  endif()
  configure_file(${PECKISH_DATA}/${PECKISH_APP_ID}.metainfo.xml.in
                 ${PECKISH_GENERATED_DATA}/${PECKISH_APP_ID}.metainfo.xml @ONLY)
endfunction()
peckish_configure_metainfo()

install(TARGETS peckish RUNTIME DESTINATION games)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/links)
file(CREATE_LINK ../games/peckish ${CMAKE_BINARY_DIR}/links/peckish SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/links/peckish DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/peckish)
install(FILES ${PECKISH_DATA}/${PECKISH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PECKISH_GENERATED_DATA}/${PECKISH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PECKISH_DATA}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The manual page from `peckish --help`, and the changelog, compressed as Debian wants them.
set(man ${CMAKE_BINARY_DIR}/man/peckish.6)
add_custom_command(OUTPUT ${man}.gz
  COMMAND ${CMAKE_COMMAND} -DPECKISH=$<TARGET_FILE:peckish> -DOUTPUT=${man} -DVERSION=${PROJECT_VERSION}
          -DDATE=${PECKISH_RELEASE_DATE} -P ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  COMMAND ${GZIP_PROGRAM} -9nf ${man}
  DEPENDS peckish ${CMAKE_SOURCE_DIR}/cmake/ManPage.cmake
  COMMENT "Writing the manual page from peckish --help")
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PECKISH_GENERATED_DATA}/changelog ${changelog}
  COMMAND ${GZIP_PROGRAM} -9nf ${changelog}
  DEPENDS ${PECKISH_GENERATED_DATA}/changelog)
add_custom_target(peckish_docs ALL DEPENDS ${man}.gz ${changelog}.gz)
install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PECKISH_GENERATED_DATA}/copyright ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/peckish)

# CPack: a Debian package with the dependencies dpkg-shlibdeps finds, plus what it cannot see:
# the fonts the text is drawn with and Mesa's drivers behind EGL.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME peckish)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${PECKISH_MAINTAINER_NAME}")
set(CPACK_PACKAGE_CONTACT "${PECKISH_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PECKISH_MAINTAINER}")
# No Homepage field while the home page is unset (CPack would otherwise take the project's).
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PECKISH_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game of roosters rising out of their holes")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Roosters rise out of nine holes in a farmyard. Tap them before they sink
again: a streak of hits scores more, two roosters hit at once count double
and add time to the clock. Never tap the girl. A game lasts two minutes and
every ten hits raise the level; at the end a score may be sent to the
high-score table.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-liberation, fonts-comic-neue, libgl1-mesa-dri")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR OFF)
include(CPack)
