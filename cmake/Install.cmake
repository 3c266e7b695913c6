# Install rules and the Debian package.
#   make install DESTDIR=...   stages an install under CMAKE_INSTALL_PREFIX (default /usr/local)
#   make package               a Release build in build-release/ packed by CPack as a .deb for /usr
# Layout: games/peckish (where Debian keeps games) and bin/peckish beside the other programs (a
# link to it), share/peckish/ (resources), share/applications/<app id>.desktop,
# share/icons/hicolor/, share/metainfo/<app id>.metainfo.xml, share/man/man6/peckish.6.gz,
# share/doc/peckish/ (copyright, changelog.gz).
set(PECKISH_DATA ${CMAKE_SOURCE_DIR}/data)
find_program(GZIP_PROGRAM gzip REQUIRED)

install(TARGETS peckish RUNTIME DESTINATION games)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/links)
file(CREATE_LINK ../games/peckish ${CMAKE_BINARY_DIR}/links/peckish SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/links/peckish DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/peckish)
install(FILES ${PECKISH_DATA}/${PECKISH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PECKISH_DATA}/${PECKISH_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
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
  COMMAND ${CMAKE_COMMAND} -E copy ${PECKISH_DATA}/changelog ${changelog}
  COMMAND ${GZIP_PROGRAM} -9nf ${changelog}
  DEPENDS ${PECKISH_DATA}/changelog)
add_custom_target(peckish_docs ALL DEPENDS ${man}.gz ${changelog}.gz)
install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PECKISH_DATA}/copyright ${changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/peckish)

# CPack: a Debian package with the dependencies dpkg-shlibdeps finds, plus what it cannot see:
# the fonts the text is drawn with and Mesa's drivers behind EGL.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME peckish)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Peckish developers")
set(CPACK_PACKAGE_CONTACT "The Peckish developers <developers@peckish.org>")
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
