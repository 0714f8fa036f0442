# The Debian package (cpack -G DEB in the build folder): the program folder as
# /usr/lib/kanvio with /usr/bin/kanvio a relative link to the program, the menu entry,
# icons, AppStream data, the manual page and the package's documents. Its files belong to
# the component "package", left out of a plain `cmake --install`, which lays out a medium.
set(KANVIO_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(KANVIO_APP_ID de.orbelin.Kanvio)
set(KANVIO_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
string(TIMESTAMP KANVIO_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KANVIO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

macro(kanvio_package_install kind)
    install(${kind} ${ARGN} COMPONENT package EXCLUDE_FROM_ALL)
endmacro()

# The program folder.
kanvio_package_install(TARGETS kanvio RUNTIME DESTINATION lib/kanvio)
kanvio_package_install(DIRECTORY ${CMAKE_SOURCE_DIR}/medium/ DESTINATION lib/kanvio)
file(MAKE_DIRECTORY ${KANVIO_PACKAGE_FILES})
file(CREATE_LINK ../lib/kanvio/kanvio ${KANVIO_PACKAGE_FILES}/kanvio SYMBOLIC)
kanvio_package_install(FILES ${KANVIO_PACKAGE_FILES}/kanvio DESTINATION bin)

# Desktop integration.
configure_file(${KANVIO_PACKAGE_DIR}/${KANVIO_APP_ID}.metainfo.xml.in
    ${KANVIO_PACKAGE_FILES}/${KANVIO_APP_ID}.metainfo.xml @ONLY)
kanvio_package_install(FILES ${KANVIO_PACKAGE_DIR}/${KANVIO_APP_ID}.desktop
    DESTINATION share/applications)
kanvio_package_install(FILES ${KANVIO_PACKAGE_FILES}/${KANVIO_APP_ID}.metainfo.xml
    DESTINATION share/metainfo)
kanvio_package_install(FILES ${KANVIO_PACKAGE_DIR}/${KANVIO_APP_ID}.svg
    DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 128)
    kanvio_package_install(FILES ${KANVIO_PACKAGE_DIR}/${KANVIO_APP_ID}-${size}.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${KANVIO_APP_ID}.png)
endforeach()

# The manual page from the README's command-line section, and the package's documents.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_custom_command(OUTPUT ${KANVIO_PACKAGE_FILES}/kanvio.1.gz
        COMMAND Python3::Interpreter ${KANVIO_PACKAGE_DIR}/readme_to_man.py
                ${CMAKE_SOURCE_DIR}/README.md ${KANVIO_PACKAGE_FILES}/kanvio.1.gz
                ${PROJECT_VERSION} ${KANVIO_RELEASE_DATE}
        DEPENDS ${CMAKE_SOURCE_DIR}/README.md ${KANVIO_PACKAGE_DIR}/readme_to_man.py
        COMMENT "Manual page kanvio.1 from README.md" VERBATIM)
    add_custom_target(kanvio_manual ALL DEPENDS ${KANVIO_PACKAGE_FILES}/kanvio.1.gz)
    kanvio_package_install(FILES ${KANVIO_PACKAGE_FILES}/kanvio.1.gz DESTINATION share/man/man1)
else()
    message(WARNING "python3 not found: the package would lack the manual page")
endif()
configure_file(${KANVIO_PACKAGE_DIR}/changelog.in ${KANVIO_PACKAGE_FILES}/changelog @ONLY)
# Compressed without a time stamp, so that the same sources give the same package.
add_custom_command(OUTPUT ${KANVIO_PACKAGE_FILES}/changelog.gz
    COMMAND sh -c "gzip -9nc changelog > changelog.gz"
    DEPENDS ${KANVIO_PACKAGE_FILES}/changelog
    WORKING_DIRECTORY ${KANVIO_PACKAGE_FILES} VERBATIM)
add_custom_target(kanvio_changelog ALL DEPENDS ${KANVIO_PACKAGE_FILES}/changelog.gz)
kanvio_package_install(FILES ${KANVIO_PACKAGE_DIR}/copyright ${KANVIO_PACKAGE_FILES}/changelog.gz
    DESTINATION share/doc/kanvio)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kanvio)
set(CPACK_PACKAGE_VENDOR Orbelin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for sewer inspection deliveries")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
# Only the package's component, as one package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Kanvio;package;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orbelin <kanvio@orbelin.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kanvio.orbelin.example/")
set(CPACK_PACKAGE_DESCRIPTION "Kanvio plays the results of a sewer inspection: the reaches and house
connections with their observations, from ISYBAU files or a project database,
and the MPEG inspection films, each played from the part that shows the
chosen structure or observation. Deliveries are opened from anywhere and
never changed.")
# The libraries the program links are found by dpkg-shlibdeps; what it loads at run
# time is named here: the GStreamer elements of the films, and the embedded Firebird
# engine that opens a project database.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-x, gstreamer1.0-gl, libfbclient2, firebird3.0-server-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-ugly")
include(CPack)
