# Installation and the Debian package.
#
#   cmake --install build --prefix /usr/local        (make install PREFIX=...)
#   DESTDIR=/tmp/stage cmake --install build        (staging)
#   cmake --build build --target package             (make package: a .deb)
#
# Installed tree:
#   bin/orvex-studio, bin/orvex-camsim
#   share/orvex-studio/          shaders, camera model files, fonts: the
#                                resource folder the Studio finds from
#                                <executable dir>/../share/orvex-studio
#   share/applications/          the desktop entry
#   share/icons/hicolor/         the application icon, cut from the icon atlas
#                                (the same square as the window icon)
#   share/metainfo/              AppStream metainfo
#   share/man/man1/              manual pages of both programs
# The bin/ and share/ names are fixed: the Studio looks for its resources
# relative to its own executable.

include(GNUInstallDirs)

set(ORVEX_APP_ID com.kavor.OrvexStudio)
# Date of this version's release in the metainfo; bump with the version.
set(ORVEX_RELEASE_DATE 2026-12-10)
set(ORVEX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/Packaging)
set(ORVEX_PACKAGING_BUILD ${CMAKE_BINARY_DIR}/packaging)

# ---- application icon: hicolor PNGs and the scalable SVG --------------------
set(ORVEX_ICON_SIZES 16 24 32 48 64 128 256 512)
set(ORVEX_ICON_SVG ${ORVEX_PACKAGING_BUILD}/icons/hicolor/scalable/apps/${ORVEX_APP_ID}.svg)
# kAppIconX, kAppIconY, kAppIconSize of the built-in images
set(ORVEX_APP_ICON_X 384)
set(ORVEX_APP_ICON_Y 384)
set(ORVEX_APP_ICON_SIZE 128)
add_custom_command(OUTPUT ${ORVEX_ICON_SVG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVEX_PACKAGING_BUILD}/icons/hicolor/scalable/apps
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/Data/art/icons.svg -DOUT=${ORVEX_ICON_SVG}
    -DX=${ORVEX_APP_ICON_X} -DY=${ORVEX_APP_ICON_Y} -DSIZE=${ORVEX_APP_ICON_SIZE}
    -P ${CMAKE_SOURCE_DIR}/cmake/CropSvg.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/Data/art/icons.svg ${CMAKE_SOURCE_DIR}/cmake/CropSvg.cmake
  COMMENT "Cutting the application icon out of the icon atlas")
set(ORVEX_ICON_FILES ${ORVEX_ICON_SVG})
foreach(size ${ORVEX_ICON_SIZES})
  set(dir ${ORVEX_PACKAGING_BUILD}/icons/hicolor/${size}x${size}/apps)
  add_custom_command(OUTPUT ${dir}/${ORVEX_APP_ID}.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${dir}/${ORVEX_APP_ID}.png ${ORVEX_ICON_SVG}
    DEPENDS ${ORVEX_ICON_SVG}
    COMMENT "Rendering the ${size}x${size} application icon")
  list(APPEND ORVEX_ICON_FILES ${dir}/${ORVEX_APP_ID}.png)
endforeach()

# ---- desktop entry, metainfo, manual pages ------------------------------------
configure_file(${ORVEX_PACKAGING_DIR}/orvex-studio.desktop.in
  ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.desktop @ONLY)
configure_file(${ORVEX_PACKAGING_DIR}/orvex-studio.metainfo.xml.in
  ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.metainfo.xml @ONLY)

find_program(GZIP_PROGRAM gzip REQUIRED)
set(ORVEX_MAN_PAGES "")
foreach(page orvex-studio.1 orvex-camsim.1)
  set(gz ${ORVEX_PACKAGING_BUILD}/man/${page}.gz)
  # -n: no name or time stamp inside, so the package is reproducible
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVEX_PACKAGING_BUILD}/man
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${ORVEX_PACKAGING_DIR}/${page} > ${gz}
    DEPENDS ${ORVEX_PACKAGING_DIR}/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND ORVEX_MAN_PAGES ${gz})
endforeach()

add_custom_target(orvex_install_files ALL DEPENDS ${ORVEX_ICON_FILES} ${ORVEX_MAN_PAGES})

# ---- install rules ---------------------------------------------------------------
foreach(program orvex-studio orvex-camsim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(DIRECTORY ${ORVEX_RESOURCE_DIR}/ DESTINATION share/orvex-studio
  PATTERN .stamp EXCLUDE
  PATTERN art EXCLUDE)
install(FILES ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${ORVEX_PACKAGING_BUILD}/icons/ DESTINATION share/icons)
install(FILES ${ORVEX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- checks run by ctest ---------------------------------------------------------
find_program(APPSTREAMCLI appstreamcli REQUIRED)
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED)
add_test(NAME Packaging.MetainfoValidates
  COMMAND ${APPSTREAMCLI} validate --no-net --strict --explain ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.metainfo.xml)
add_test(NAME Packaging.DesktopEntryValidates
  COMMAND ${DESKTOP_FILE_VALIDATE} ${ORVEX_PACKAGING_BUILD}/${ORVEX_APP_ID}.desktop)
set_tests_properties(Packaging.MetainfoValidates Packaging.DesktopEntryValidates PROPERTIES LABELS unit)

# ---- the Debian package (make package) ------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex-studio)
set(CPACK_PACKAGE_VENDOR "KAVOR Industries")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ORVEX inspection camera desktop program and camera unit simulator")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ORVEX inspection camera desktop program and camera unit simulator
 ORVEX Studio finds an ORVEX camera unit on the local network, shows and
 records the live video of its PRIMARY and SATELLITE cameras, saves stills,
 keeps the media of every job in sessions, plays them back and updates the
 unit's firmware.
 .
 orvex-camsim simulates a camera unit on loopback addresses, so that the
 Studio can be tried without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KAVOR Industries")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Run-time libraries by their Debian package names, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# SDL opens libGL.so.1 (the GLX context) at run time, out of dpkg-shlibdeps'
# sight; the program itself links only libOpenGL.so.0.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1")
# OpenGL through Mesa (software rendering when there is no GPU driver).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
# The folder picker runs one of these when installed; otherwise the program
# shows its own folder browser.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity | kdialog")
include(CPack)

# The install test stages this tree and builds the package from it.
if(TARGET test_Install)
  target_compile_definitions(test_Install PRIVATE
    ORVEX_APP_ID="${ORVEX_APP_ID}"
    ORVEX_CMAKE_COMMAND="${CMAKE_COMMAND}"
    ORVEX_CPACK_COMMAND="${CMAKE_CPACK_COMMAND}")
  add_dependencies(test_Install orvex_install_files)
endif()
