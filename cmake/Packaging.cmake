# Installing and packaging: the programs, the HEIF module, the desktop entry,
# icons, AppStream metadata and manual pages (cmake --install), and a Debian
# package of them (cpack, made by scripts/package). The packaging files are in
# packaging/.

# Where the project lives on the web, and who answers for the package: overridden
# when configuring, e.g. -DCHARCOLINO_HOMEPAGE=https://...
set(CHARCOLINO_HOMEPAGE "https://charcolino.example.org" CACHE STRING "The project's home page")
set(CHARCOLINO_PACKAGE_MAINTAINER "Charcolino developers <charcolino@example.org>" CACHE STRING
  "The Debian package's maintainer")
set(CHARCOLINO_APPSTREAM_ID "org.example.charcolino" CACHE STRING "The AppStream component's identifier")

set(PACKAGING_DIR ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(PACKAGING_BUILD_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# Both commands say their version.
foreach(program charcolino charcolino-sketch)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE CHARCOLINO_VERSION="${PROJECT_VERSION}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
# Loaded, not run: no executable bit.
install(TARGETS charcolino-heif LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/charcolino
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The manual pages and the package's change log, compressed as Debian keeps them
# (gzip -9n: no name or time inside, the same bytes at every build). Made with
# the programs they describe.
set(PACKAGING_GZIPPED)
foreach(file charcolino.1 charcolino-sketch.1 changelog)
  add_custom_command(OUTPUT ${PACKAGING_BUILD_DIR}/${file}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKAGING_BUILD_DIR}
    COMMAND gzip -9n -c ${PACKAGING_DIR}/${file} > ${PACKAGING_BUILD_DIR}/${file}.gz
    DEPENDS ${PACKAGING_DIR}/${file}
    VERBATIM)
  list(APPEND PACKAGING_GZIPPED ${PACKAGING_BUILD_DIR}/${file}.gz)
endforeach()
add_custom_target(charcolino-packaging-files DEPENDS ${PACKAGING_GZIPPED})
add_dependencies(charcolino-sketch charcolino-packaging-files)
install(FILES ${PACKAGING_BUILD_DIR}/charcolino-sketch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_BUILD_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/charcolino)

# The screenshot's size, for the AppStream metadata.
file(READ ${PACKAGING_DIR}/screenshot.png SCREENSHOT_HEADER LIMIT 24 HEX)
string(SUBSTRING ${SCREENSHOT_HEADER} 32 8 width_hex)
string(SUBSTRING ${SCREENSHOT_HEADER} 40 8 height_hex)
math(EXPR CHARCOLINO_SCREENSHOT_WIDTH "0x${width_hex}")
math(EXPR CHARCOLINO_SCREENSHOT_HEIGHT "0x${height_hex}")
set(CHARCOLINO_SCREENSHOT_URL "${CHARCOLINO_HOMEPAGE}/screenshots/main-window.png")
configure_file(${PACKAGING_DIR}/charcolino.metainfo.xml.in
  ${PACKAGING_BUILD_DIR}/${CHARCOLINO_APPSTREAM_ID}.metainfo.xml @ONLY)

if(TARGET charcolino)
  add_dependencies(charcolino charcolino-packaging-files)
  install(FILES ${PACKAGING_BUILD_DIR}/charcolino.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # The desktop's menu entry with the photo types it opens, its icon in every
  # size and the software centres' description.
  install(FILES resources/charcolino.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  foreach(size 16 22 24 32 48 64 128)
    install(FILES ${PACKAGING_DIR}/icons/${size}.png DESTINATION ${icons}/${size}x${size}/apps
      RENAME charcolino.png)
  endforeach()
  install(FILES resources/charcolino.png DESTINATION ${icons}/256x256/apps)
  install(FILES ${PACKAGING_DIR}/icons/charcolino.svg DESTINATION ${icons}/scalable/apps)
  install(FILES ${PACKAGING_BUILD_DIR}/${CHARCOLINO_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package: cpack in the build folder, or scripts/package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME charcolino)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Charcolino developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "painting program that mixes pencil sketches of a photo")
set(CPACK_PACKAGE_DESCRIPTION [=[Charcolino turns a photo into two pencil drawings, a black pencil sketch and
a colour pencil sketch, and lets you mix them by hand: the brush does not lay
colour down, it reveals one rendering, or the photo itself, over another.
It reads JPEG, PNG, HEIC, AVIF, WebP, TIFF, GIF and BMP photos, keeps ten
project slots, and exports the drawing at the photo's own resolution.

The command charcolino-sketch makes the same sketches without a window.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CHARCOLINO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${CHARCOLINO_HOMEPAGE})
# The libraries the programs and the module link, found by dpkg-shlibdeps; beside
# them what they load by name: Qt's WebP and TIFF readers, and Mesa's drivers
# (its software renderer when there is no GPU).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, libgl1-mesa-dri")
# Wayland's platform plugin; the program runs through XWayland without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins")
# Qt's own texts (standard buttons, the file dialogs) in the user's language.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The packaging checked: the desktop entry and the AppStream metadata by their
# validators, the package by lintian and by what it holds, the commands' help,
# version and manual pages; and the compiler launcher that keeps warnings.
if(CHARCOLINO_BUILD_TESTS)
  add_test(NAME Packaging.DesktopEntry
    COMMAND desktop-file-validate ${CMAKE_CURRENT_SOURCE_DIR}/resources/charcolino.desktop)
  add_test(NAME Packaging.AppStream
    COMMAND appstreamcli validate --no-net --pedantic
      ${PACKAGING_BUILD_DIR}/${CHARCOLINO_APPSTREAM_ID}.metainfo.xml)
  if(NOT CHARCOLINO_SANITIZE)
    # (A package is made of the plain build only.)
    add_test(NAME Packaging.DebianPackage
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/packaging/package-test
        ${CMAKE_CURRENT_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    # It packs the whole build folder; lintian is its slowest part.
    set_tests_properties(Packaging.DebianPackage PROPERTIES TIMEOUT 600)
  endif()
  add_test(NAME Packaging.CommandsAndManuals
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/packaging/commands-test ${CMAKE_CURRENT_BINARY_DIR} ${PROJECT_VERSION})
  add_test(NAME Scripts.KeepWarnings
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/scripts/keep-warnings-test ${CMAKE_CURRENT_SOURCE_DIR})
endif()
