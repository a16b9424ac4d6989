# voxa_qt_free(target): the target's folder holds Qt-free code. Every build checks each of
# the folder's sources and headers, and one that includes a Qt header fails the build,
# naming the file and the line.
function(voxa_qt_free target)
    get_target_property(folder ${target} SOURCE_DIR)
    file(GLOB files CONFIGURE_DEPENDS ${folder}/*.h ${folder}/*.cpp)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_qt_free.stamp)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} "-DFILES=${files}" -P ${PROJECT_SOURCE_DIR}/cmake/CheckQtFree.cmake
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckQtFree.cmake
        COMMENT "Checking that ${target} includes no Qt header"
        VERBATIM)
    add_custom_target(${target}_qt_free DEPENDS ${stamp})
    add_dependencies(${target} ${target}_qt_free)
endfunction()
