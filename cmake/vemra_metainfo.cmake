# The AppStream description software centres show, made from
# desktop/vemra.metainfo.xml.in.
#
# The component id is a reverse domain name. Vemra has no domain of its own
# yet, so the default lies under ".invalid", which names no real domain and
# never will; a published build sets its own.
set(VEMRA_APPSTREAM_ID "invalid.vemra.Vemra" CACHE STRING
    "AppStream component id (reverse domain name of the publisher)")
# AppStream takes screenshots only as web addresses. The screenshot of the
# grid is desktop/screenshots/grid.png; where the project publishes it, this
# names its https address and the description shows it. Empty: no
# screenshot is named rather than an address that does not exist.
set(VEMRA_SCREENSHOT_URL "" CACHE STRING
    "https address of desktop/screenshots/grid.png where it is published")

# The release date follows SOURCE_DATE_EPOCH when it is set, so rebuilding
# the same source gives the same file.
string(TIMESTAMP VEMRA_RELEASE_DATE "%Y-%m-%d" UTC)
# The <screenshots> element naming the grid's screenshot at `url`, in `out`.
function(vemra_appstream_screenshots url out)
    set(${out} "  <screenshots>
    <screenshot type=\"default\">
      <caption>The thumbnail grid on a folder of sample pictures</caption>
      <caption xml:lang=\"ja\">サンプル画像フォルダのサムネイル一覧</caption>
      <image type=\"source\">${url}</image>
    </screenshot>
  </screenshots>" PARENT_SCOPE)
endfunction()

set(VEMRA_APPSTREAM_SCREENSHOTS "")
if(VEMRA_SCREENSHOT_URL)
    if(NOT VEMRA_SCREENSHOT_URL MATCHES "^https://")
        message(FATAL_ERROR "VEMRA_SCREENSHOT_URL must be an https address")
    endif()
    vemra_appstream_screenshots(${VEMRA_SCREENSHOT_URL} VEMRA_APPSTREAM_SCREENSHOTS)
endif()
set(VEMRA_METAINFO_FILE ${CMAKE_BINARY_DIR}/desktop/${VEMRA_APPSTREAM_ID}.metainfo.xml)
configure_file(desktop/vemra.metainfo.xml.in ${VEMRA_METAINFO_FILE} @ONLY)
