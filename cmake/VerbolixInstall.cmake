# Where `cmake --install` puts the program, the local service with its sample data and the
# desktop integration, and how CPack turns that into a Debian package (scripts/package).
include(GNUInstallDirs)

set(VERBOLIX_APP_ID si.verbolix.Verbolix)

if(TARGET verbolix)
    install(TARGETS verbolix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS verbolix-service RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The service looks for its config in ../share/verbolix-service beside its own binary, so the
# bundled sample keeps its layout there (the config names the other files relative to itself).
# The build stages exactly those files in the same place of the build tree.
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/verbolix-service DESTINATION ${CMAKE_INSTALL_DATADIR})

set(desktop_dir ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${desktop_dir}/${VERBOLIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/${VERBOLIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The application icon is the one the program shows in its own window.
set(app_icon ${PROJECT_SOURCE_DIR}/resources/icons/verbolix.svg)
if(EXISTS ${app_icon})
    install(FILES ${app_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${VERBOLIX_APP_ID}.svg)
endif()

# Debian package. Library dependencies come from dpkg-shlibdeps; the rest are what the
# program loads at run time without linking it: the browser's helper process, the SVG
# plugins for the icons, and the icon theme the menu entry's icon lives in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verbolix)
set(CPACK_PACKAGE_VENDOR "Dravik")
set(CPACK_PACKAGE_CONTACT "Verbolix <info@verbolix.si>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Multi-dictionary client with a local dictionary service")
set(CPACK_PACKAGE_DESCRIPTION
    "Verbolix looks words up in many dictionaries at once through an online dictionary\n\
service: one long list of headwords across the dictionaries of a filter, the selected entry\n\
beside it, named dictionary filters, clipboard monitoring and an always-on-top window.\n\
The user interface is Slovenian. The package also contains verbolix-service, a local\n\
dictionary service with sample dictionaries, which the client starts on demand.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${VERBOLIX_WEBSITE})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libqt6svg6, hicolor-icon-theme, fonts-liberation2, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_STRIP_FILES ON)
include(CPack)
