# Installation on Linux and the Debian package made from it by CPack:
#   cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build-package && (cd build-package && cpack -G DEB)
# The programs' own install rules live beside their targets; the desktop integration (udev rule,
# desktop and autostart entries, icons, AppStream metadata, manual pages, the systemd user unit of
# verada-rede-cli watch) is installed here.
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR NOT TARGET verada-rede)
    return()
endif()

include(GNUInstallDirs)

set(VR_APP_ID com.zorvik.VeradaRede)
set(VR_LINUX_DIR ${PROJECT_SOURCE_DIR}/packaging/linux)
set(VR_PACKAGE_DIR ${PROJECT_BINARY_DIR}/packaging)
set(VR_ICON_SIZES 16 22 24 32 48 64 128 256)

# The icon theme's pictures, drawn at build time from the program's artwork.
find_package(Qt6 COMPONENTS Gui REQUIRED)
add_executable(verada-rede-icons ${VR_LINUX_DIR}/icons/WriteIcons.cpp)
target_link_libraries(verada-rede-icons PRIVATE verada_artwork verada_core Qt6::Gui)
vr_warnings(verada-rede-icons)

set(VR_ICON_FILES)
foreach(size IN LISTS VR_ICON_SIZES)
    list(APPEND VR_ICON_FILES ${VR_PACKAGE_DIR}/icons/${size}x${size}/verada-rede.png)
endforeach()
add_custom_command(
    OUTPUT ${VR_ICON_FILES}
    COMMAND verada-rede-icons ${VR_PACKAGE_DIR}/icons verada-rede ${VR_ICON_SIZES}
    DEPENDS verada-rede-icons
    COMMENT "Drawing the theme icons")

# The changelog and the AppStream releases are records of past releases, written by hand; their
# newest entry must be the project's version, so that a new version is not packaged without one.
file(STRINGS ${VR_LINUX_DIR}/changelog VR_CHANGELOG_TOP LIMIT_COUNT 1)
file(STRINGS ${VR_LINUX_DIR}/${VR_APP_ID}.metainfo.xml VR_RELEASE_TOP REGEX "<release " LIMIT_COUNT 1)
if(NOT VR_CHANGELOG_TOP MATCHES "\\(${PROJECT_VERSION}\\)" OR
   NOT VR_RELEASE_TOP MATCHES "version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/linux: the newest changelog entry and AppStream release must be "
                        "version ${PROJECT_VERSION}")
endif()

# Manual pages (which name the project's version) and the changelog go compressed, without a time
# stamp so that builds repeat.
set(VR_COMPRESSED_FILES)
configure_file(${VR_LINUX_DIR}/verada-rede.1 ${VR_PACKAGE_DIR}/verada-rede.1 @ONLY)
configure_file(${VR_LINUX_DIR}/verada-rede-cli.1 ${VR_PACKAGE_DIR}/verada-rede-cli.1 @ONLY)
foreach(file ${VR_PACKAGE_DIR}/verada-rede.1 ${VR_PACKAGE_DIR}/verada-rede-cli.1
             ${VR_LINUX_DIR}/changelog)
    cmake_path(GET file FILENAME name)
    add_custom_command(
        OUTPUT ${VR_PACKAGE_DIR}/${name}.gz
        COMMAND gzip -9nc ${file} > ${VR_PACKAGE_DIR}/${name}.gz
        DEPENDS ${file}
        VERBATIM)
    list(APPEND VR_COMPRESSED_FILES ${VR_PACKAGE_DIR}/${name}.gz)
endforeach()

add_custom_target(verada_desktop_files ALL DEPENDS ${VR_ICON_FILES} ${VR_COMPRESSED_FILES})

foreach(size IN LISTS VR_ICON_SIZES)
    install(FILES ${VR_PACKAGE_DIR}/icons/${size}x${size}/verada-rede.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${VR_LINUX_DIR}/${VR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VR_LINUX_DIR}/verada-rede-autostart.desktop
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart
        RENAME ${VR_APP_ID}.desktop)
install(FILES ${VR_LINUX_DIR}/${VR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VR_LINUX_DIR}/70-verada-rede.rules
        DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
install(FILES ${VR_PACKAGE_DIR}/verada-rede.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET verada-rede-cli)
    install(FILES ${VR_PACKAGE_DIR}/verada-rede-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # Shipped, not enabled: the user chooses it in place of the tray program.
    configure_file(${VR_LINUX_DIR}/verada-rede-watch.service
                   ${VR_PACKAGE_DIR}/verada-rede-watch.service @ONLY)
    install(FILES ${VR_PACKAGE_DIR}/verada-rede-watch.service
            DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/user)
endif()
install(FILES ${VR_PACKAGE_DIR}/changelog.gz ${VR_LINUX_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/verada-rede)

# The Debian package.
configure_file(${VR_LINUX_DIR}/conffiles.in ${VR_PACKAGE_DIR}/conffiles @ONLY)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verada-rede)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zorvik Technologies")
set(CPACK_PACKAGE_CONTACT "Verada Rede developers <verada-rede@zorvik.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "receives a Verada docking station's data log and saves it as CSV
Verada Rede waits in the notification area for the Verada infrared USB
adapter (HID, vendor 0x11D2, product 0x0001). When the docking station sends
its data log through the adapter, the program receives it and brings its
window up so that the data can be saved as a CSV file.
.
The package includes the command-line tool verada-rede-cli, a udev rule that
gives the user at the seat access to the adapter, and an autostart entry that
starts the program with the desktop session. For unattended collection it
ships a systemd user unit, verada-rede-watch, not enabled by default, that
saves every transfer by itself as a new CSV file.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${VR_LINUX_DIR}/postinst ${VR_LINUX_DIR}/postrm ${VR_PACKAGE_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
