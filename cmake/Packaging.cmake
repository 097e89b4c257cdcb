# Installation (GNUInstallDirs) and the Debian package (CPack), of both programs. Included
# after the programs are defined.
set(MAROVIND_ID io.github.marovind.Marovind)
set(RES ${PROJECT_SOURCE_DIR}/res)

install(TARGETS marovind RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${RES}/${MAROVIND_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RES}/${MAROVIND_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 48 64 128 256)
    install(FILES ${RES}/icons/marovind-${size}.png RENAME ${MAROVIND_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${RES}/marovind.png RENAME ${MAROVIND_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)
install(FILES ${RES}/marovind.html DESTINATION ${CMAKE_INSTALL_DATADIR}/marovind)

# Manual pages and the changelog go compressed, as Debian keeps them.
find_program(GZIP gzip REQUIRED)
set(compressed)
foreach(page marovind.1 marovindd.8 changelog)
    if(page STREQUAL changelog)
        set(source ${RES}/debian/changelog)
    else()
        set(source ${RES}/${page})
    endif()
    set(output ${CMAKE_BINARY_DIR}/package-files/${page}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package-files
        COMMAND ${GZIP} -9nc ${source} > ${output}
        DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${output})
endforeach()
add_custom_target(package_files ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/package-files/marovind.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/package-files/changelog.gz ${RES}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/marovind)

install(TARGETS marovindd RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(FILES ${CMAKE_BINARY_DIR}/package-files/marovindd.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
# Installed, not enabled: the operator decides whether it takes port 514.
set(MAROVIND_UNIT_DIR lib/systemd/system CACHE STRING "Where the systemd unit goes")
install(FILES ${RES}/marovindd.service DESTINATION ${MAROVIND_UNIT_DIR})
configure_file(${RES}/debian/postinst.in ${CMAKE_BINARY_DIR}/package-files/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# ./package builds what goes in; installing does not build everything else first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marovind)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small desktop syslog server")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Marovind listens for syslog datagrams on UDP port 514, decodes each
message's priority into a facility and a severity, shows every accepted
message at the top of a live list and appends it to a log file chosen by
a naming scheme: one file, one per severity, per facility or per sender.
An optional permit list admits only the senders you name, and a viewer
window reads, searches and prints stored log files.")
set(CPACK_PACKAGE_CONTACT "Marovind developers <marovind@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libcap2-bin)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/marovind/marovind)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package-files/postinst)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
