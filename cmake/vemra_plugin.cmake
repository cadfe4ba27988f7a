# vemra_add_plugin(target NAME name DIRECTORY dir SOURCES ... [LIBRARIES ...])
# builds a plug-in: a loadable module named <name>.spi in <dir>, exporting only
# the functions its sources mark with SPI_EXPORT.
function(vemra_add_plugin target)
    cmake_parse_arguments(ARG "" "NAME;DIRECTORY" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} MODULE ${ARG_SOURCES})
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        SUFFIX ".spi"
        OUTPUT_NAME ${ARG_NAME}
        LIBRARY_OUTPUT_DIRECTORY ${ARG_DIRECTORY}
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        AUTOMOC OFF)
    target_link_libraries(${target} PRIVATE vemra_spi_support ${ARG_LIBRARIES})
endfunction()
