# The Debian package (`make package`): cpack -G DEB over the install rules,
# its shared-library dependencies computed by dpkg-shlibdeps.

set(VEMRA_PACKAGE_MAINTAINER "Vemra maintainers <maintainers@users.noreply.c-seed-7f156aae.example>"
    CACHE STRING "The package's Maintainer field")

# Debian keeps a copyright file and a compressed change log beside every
# package's documents.
set(debian_docs ${CMAKE_BINARY_DIR}/debian-docs)
configure_file(${PROJECT_SOURCE_DIR}/desktop/debian/copyright ${debian_docs}/copyright COPYONLY)
string(TIMESTAMP VEMRA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/desktop/debian/changelog.in ${debian_docs}/changelog @ONLY)
add_custom_command(OUTPUT ${debian_docs}/changelog.gz
    COMMAND gzip -9 -n -c ${debian_docs}/changelog > ${debian_docs}/changelog.gz
    DEPENDS ${debian_docs}/changelog
    VERBATIM)
add_custom_target(vemra_debian_docs ALL DEPENDS ${debian_docs}/changelog.gz)
install(FILES ${debian_docs}/copyright ${debian_docs}/changelog.gz
        DESTINATION ${VEMRA_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vemra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_CONTACT "${VEMRA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEMRA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The interface is Japanese: without a Japanese font its texts are boxes.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
# FFmpeg is loaded only when a video is opened, so dpkg-shlibdeps cannot
# see it: its runtime packages are named here (libavformat59 and so on).
find_package(PkgConfig REQUIRED)
pkg_check_modules(VEMRA_VIDEO_RUNTIME REQUIRED libavformat libavcodec libavutil libswscale)
foreach(video_library avformat avcodec avutil swscale)
    string(REGEX MATCH "^[0-9]+" video_major "${VEMRA_VIDEO_RUNTIME_lib${video_library}_VERSION}")
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", lib${video_library}${video_major}")
endforeach()
# Help and "open with the associated application" go through xdg-open;
# Wayland sessions need Qt's Wayland platform; Qt's own dialogs (printing,
# files) speak Japanese with its translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "picture browser and organiser with a Japanese interface
Vemra shows the pictures of a folder, also those inside archives and
sub-folders, as a thumbnail grid beside a folder tree and a details list.
Thumbnails are made in idle time and cached, so a folder opens fast the
second time.
.
It reads BMP, JPEG, PNG, TIFF, GIF, WebP, HEIF and AVIF pictures and zip,
7z, rar, lzh, tar, cab, iso and cpio archives, and loads Susie plug-ins
for more. Pictures open in a viewer or a full-screen slide show, keep
notes, are copied, moved and deleted with them, and are published as HTML
catalogs, contact sheets and reports. vemra-cli does the same from
scripts.")
include(CPack)
