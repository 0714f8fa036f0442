# Lays out the medium in the build tree (build/medium) and for `cmake --install`:
# the program, its language and help files, and the filter files of the video engine.
file(GLOB_RECURSE KANVIO_MEDIUM_FILES CONFIGURE_DEPENDS
    RELATIVE ${CMAKE_SOURCE_DIR}/medium ${CMAKE_SOURCE_DIR}/medium/*)
set(KANVIO_MEDIUM_OUTPUTS)
foreach(file IN LISTS KANVIO_MEDIUM_FILES)
    set(out ${CMAKE_BINARY_DIR}/medium/${file})
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/medium/${file} ${out}
        DEPENDS ${CMAKE_SOURCE_DIR}/medium/${file}
        COMMENT "Medium: ${file}" VERBATIM)
    list(APPEND KANVIO_MEDIUM_OUTPUTS ${out})
endforeach()
add_custom_target(kanvio_medium_files ALL DEPENDS ${KANVIO_MEDIUM_OUTPUTS})
add_dependencies(kanvio kanvio_medium_files)
if(TARGET kanvio_filters)
    add_dependencies(kanvio kanvio_filters)
endif()

install(TARGETS kanvio RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/medium/ DESTINATION .)
