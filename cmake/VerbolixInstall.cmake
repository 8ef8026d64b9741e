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

# Manual pages and the changelog go in gzipped with -n (no name or time in the header), as
# Debian wants them, so that two builds of one version give the same files; copyright plain.
find_program(VERBOLIX_GZIP gzip REQUIRED)
set(verbolix_gz_dir ${CMAKE_BINARY_DIR}/share-gz)
set(verbolix_gz_files)
function(verbolix_gzip source name destination)
    set(out ${verbolix_gz_dir}/${destination}/${name})
    add_custom_command(OUTPUT ${out}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${out}
        COMMAND ${VERBOLIX_GZIP} -9nf ${out}
        DEPENDS ${source} VERBATIM)
    set(verbolix_gz_files ${verbolix_gz_files} ${out}.gz PARENT_SCOPE)
    install(FILES ${out}.gz DESTINATION ${destination})
endfunction()

set(man_dir ${PROJECT_SOURCE_DIR}/resources/man)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/verbolix)
verbolix_gzip(${man_dir}/verbolix-service.1 verbolix-service.1 ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET verbolix)
    verbolix_gzip(${man_dir}/verbolix.1 verbolix.1 ${CMAKE_INSTALL_MANDIR}/man1)
    verbolix_gzip(${man_dir}/sl/verbolix.1 verbolix.1 ${CMAKE_INSTALL_MANDIR}/sl/man1)
endif()
# A native package: its Debian changelog is changelog.gz.
verbolix_gzip(${PROJECT_SOURCE_DIR}/resources/debian/changelog changelog ${doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${doc_dir})
add_custom_target(verbolix-docs ALL DEPENDS ${verbolix_gz_files})

# Debian package. Library dependencies come from dpkg-shlibdeps; the rest are what the
# program loads at run time without linking it: the browser's helper process, the SVG
# plugins for the icons, and the icon theme the menu entry's icon lives in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verbolix)
set(CPACK_PACKAGE_VENDOR "Dravik")
set(CPACK_PACKAGE_CONTACT "Verbolix <info@verbolix.si>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Multi-dictionary client with a local dictionary service")
# CPack puts the summary first and indents the lines; Debian wants them at most 80 long.
set(CPACK_PACKAGE_DESCRIPTION
    "Verbolix looks words up in many dictionaries at once. Type a word and
press Enter: the hits of every dictionary of the current filter come as
one long list of headwords, each with its dictionary's icon, that loads
further hits as you scroll, and the selected entry is shown beside it.
Named dictionary filters (Ctrl+1 to Ctrl+9), clipboard monitoring and an
always-on-top window complete it. The user interface is Slovenian.

The package also contains verbolix-service, a dictionary service with
sample dictionaries that serves dictd files over the same web API. The
client starts it on demand; several of its replicas can run behind a load
balancer such as nginx.")
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
