# The Debian package, built by CPack: `make package` (see the README), or
# `cpack -G DEB` in a build folder. It holds everything `cmake --install`
# puts under the prefix, plus the package's own copyright and changelog.

set(QUORVALE_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quorvale)

# Debian wants the changelog compressed, and the same bytes from every build.
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}.gz
        DESTINATION ${QUORVALE_PACKAGE_DOCDIR})

# The changelog's newest entry names the version the package gets.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^quorvale \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog starts with '${newest}', not version ${PROJECT_VERSION}: "
                  "add an entry for it")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Quorvale team <quorvale@tessaly.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "trim and reduce folders of JPEG photos to print sizes")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvale prepares folders of JPEG photographs for printing at the usual
Japanese print sizes (L, postcard, 2L, A4 and others, at 150 to 400 dpi) or
for delivery at fixed pixel sizes (VGA to 3072 x 2048). Every photo under an
input folder is trimmed about its centre to the aspect of the chosen size,
optionally reduced to it (never enlarged) and written as a new baseline JPEG
at the same relative place under an output folder.

The package holds the desktop program quorvale, whose window is in Japanese,
and quorvale-batch, the same conversion from the command line for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessaly.example/")
# Depends comes from the libraries the two programs link (dpkg-shlibdeps:
# libjpeg, libpng, lcms2 and libheif, whose HEVC decoder Debian 12 builds in),
# and from what the window needs but does not link: a Japanese font (without
# one its labels are cut off) and Qt's own Japanese texts for the stock
# buttons and the folder dialog. CPack appends the computed list to this one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
