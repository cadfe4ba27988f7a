# Install rules: `cmake --install build --prefix DIR` (or `make install
# PREFIX=DIR`). The programs find their plug-ins, definitions and guide from
# their own folder, so the installed tree works wherever it is put.

install(TARGETS vemra vemra-cli RUNTIME DESTINATION ${VEMRA_INSTALL_BINDIR})

# Plug-ins are loaded, never run: no executable bit.
install(TARGETS vemra_plugin_archive vemra_plugin_webp vemra_plugin_heif
        LIBRARY DESTINATION ${VEMRA_INSTALL_PLUGINDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# The process plug-ins run in, once it is built; asked when the whole
# project has been read, so the folder that defines it may come later.
function(vemra_install_plugin_host)
    if(TARGET vemra-spi-host)
        install(TARGETS vemra-spi-host RUNTIME DESTINATION ${VEMRA_INSTALL_HELPERDIR})
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vemra_install_plugin_host)

# The definitions a user starts from.
install(DIRECTORY samples/catalogs/ DESTINATION ${VEMRA_INSTALL_DATADIR}/catalogs
        FILES_MATCHING PATTERN "*.kpm")
if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/samples/print)
    install(DIRECTORY samples/print/ DESTINATION ${VEMRA_INSTALL_DATADIR}/print
            FILES_MATCHING PATTERN "*.dps")
endif()

# The manual the about box names and the user guide ヘルプ opens.
install(FILES README.md DESTINATION ${VEMRA_INSTALL_DOCDIR})
install(FILES docs/guide/index.html DESTINATION ${VEMRA_INSTALL_DOCDIR}/guide)

# Desktop integration: the menu entry, the icon in every size, the software
# centres' description.
install(FILES desktop/vemra.desktop DESTINATION share/applications)
install(DIRECTORY desktop/icons/hicolor/ DESTINATION share/icons/hicolor
        FILES_MATCHING PATTERN "*.png")
install(FILES desktop/icons/vemra.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${VEMRA_METAINFO_FILE} DESTINATION share/metainfo)

# Manual pages, compressed as Debian keeps them; `man` reads either form.
foreach(page vemra.1 vemra-cli.1)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${compressed}
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}
        VERBATIM)
    list(APPEND VEMRA_MAN_PAGES ${compressed})
endforeach()
add_custom_target(vemra_man_pages ALL DEPENDS ${VEMRA_MAN_PAGES})
install(FILES ${VEMRA_MAN_PAGES} DESTINATION share/man/man1)

install(FILES tools/cli/vemra-cli.bash-completion DESTINATION share/bash-completion/completions
        RENAME vemra-cli)
