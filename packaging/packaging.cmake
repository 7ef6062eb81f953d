# What an installed copy holds beyond the programs (manual pages, shell
# completion, AppStream metadata, the manual and its pictures, the package's
# documents), and the Debian package made from the install rules:
#   cmake --build build && (cd build && cpack -G DEB)
# gives build/lumigal_<version>_amd64.deb, whose Depends are computed from the
# programs' shared libraries (dpkg-shlibdeps, package dpkg-dev).
include(GNUInstallDirs)

set(LUMIGAL_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(LUMIGAL_PACKAGING_BUILD "${PROJECT_BINARY_DIR}/packaging")
set(LUMIGAL_MAN_PAGES
  "${PROJECT_SOURCE_DIR}/docs/man/lumigal-batch.1"
  "${PROJECT_SOURCE_DIR}/docs/man/Lumigal.1"
  "${PROJECT_SOURCE_DIR}/docs/man/lumigal-setup.1")
set(LUMIGAL_METAINFO "${LUMIGAL_PACKAGING_DIR}/org.example.lumigal.Lumigal.metainfo.xml")
set(LUMIGAL_COMPLETION "${LUMIGAL_PACKAGING_DIR}/lumigal-batch.bash")
find_program(GZIP_PROGRAM gzip REQUIRED)

# Manual pages and the changelog are installed compressed (gzip -9n: the
# same bytes at every build).
set(compressed)
foreach(source ${LUMIGAL_MAN_PAGES} "${LUMIGAL_PACKAGING_DIR}/changelog")
  get_filename_component(name "${source}" NAME)
  set(output "${LUMIGAL_PACKAGING_BUILD}/${name}.gz")
  add_custom_command(OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${LUMIGAL_PACKAGING_BUILD}"
    COMMAND sh -c "${GZIP_PROGRAM} -9n -c \"$1\" > \"$2\"" sh "${source}" "${output}"
    DEPENDS "${source}"
    COMMENT "Compression de ${name}"
    VERBATIM)
  list(APPEND compressed "${output}")
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${compressed})

foreach(page ${LUMIGAL_MAN_PAGES})
  get_filename_component(name "${page}" NAME)
  install(FILES "${LUMIGAL_PACKAGING_BUILD}/${name}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES "${LUMIGAL_COMPLETION}" RENAME lumigal-batch
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES "${LUMIGAL_METAINFO}" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${LUMIGAL_PACKAGING_DIR}/copyright" "${LUMIGAL_PACKAGING_BUILD}/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumigal)

# The Debian package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_NAME lumigal)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Lumigal")
set(CPACK_PACKAGE_CONTACT "Lumigal developers <lumigal@lumigal.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a set of images into an HTML album page")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-utils opens the pages; Qt's own French texts for its standard dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
# The summary above is the first line; this is the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Lumigal turns image files (BMP, DIB, GIF, JPEG, PNG, XBM, WebP, HEIC,
AVIF, TIFF) into one HTML album page: a table of thumbnails linked to the
full images, a detail block per image (file size, dimensions, colours,
interlace mode, folder, in four layouts), or the bare images one after the
other.
.
The desktop program Lumigal has a file browser window; lumigal-batch makes
the same pages from the command line. All its texts are French.]])
include(CPack)
