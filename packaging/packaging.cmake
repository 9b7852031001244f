# Install rules and the Debian package.
#
# `cmake --install <build> --prefix P` installs the component "runtime": P/bin/varnex, the
# commented example settings and the README under P/share/doc/varnex/, and P/bin/varnex.ini
# from the example when none is there yet. The component "deb" is excluded from that
# installation; CPack installs only it, in the layout a Debian system expects:
#   /usr/lib/varnex/varnex            the executable
#   /usr/lib/varnex/varnex.ini        -> /etc/varnex/varnex.ini (a conffile)
#   /usr/bin/varnex                   -> ../lib/varnex/varnex
#   /usr/lib/systemd/system/          varnex.service, varnex.path, varnex.timer
#   /usr/share/man/man1/varnex.1.gz   the manual page
#   /usr/share/lintian/overrides/varnex
#   /usr/share/doc/varnex/            copyright, changelog.Debian.gz, README.md, example
# The maintainer scripts create the system user varnex and the data directories.
include(GNUInstallDirs)

set(VARNEX_DEB_MAINTAINER "varnex maintainers <varnex@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(VARNEX_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")

set(varnexPackaging ${PROJECT_SOURCE_DIR}/packaging)
set(varnexGenerated ${PROJECT_BINARY_DIR}/packaging)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${varnexPackaging}/varnex.ini.example ${varnexPackaging}/debian/changelog.in
  ${varnexPackaging}/varnex.1)

# --- cmake --install

install(TARGETS varnex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${varnexPackaging}/varnex.ini.example README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
install(FILES ${varnexPackaging}/varnex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT runtime)
# The settings are the administrator's: installed from the example only when missing.
install(CODE "set(varnexIniExample \"${varnexPackaging}/varnex.ini.example\")
set(varnexBinDir \"${CMAKE_INSTALL_BINDIR}\")" COMPONENT runtime)
install(CODE [[
  set(varnexIni "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${varnexBinDir}/varnex.ini")
  if(EXISTS "${varnexIni}" OR IS_SYMLINK "${varnexIni}")
    message(STATUS "Kept existing: ${varnexIni}")
  else()
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${varnexBinDir}" TYPE FILE
      RENAME varnex.ini FILES "${varnexIniExample}")
  endif()
]] COMPONENT runtime)

# --- Debian package

# The conffile: the example with the directories of the package.
file(READ ${varnexPackaging}/varnex.ini.example varnexIni)
foreach(pair "InputPath=/var/lib/varnex/input/" "OutputPath=/var/lib/varnex/output/"
             "BackupPath=/var/lib/varnex/backup/" "LogPath=/var/log/varnex/" "MinFileAge=30")
  string(REGEX MATCH "^[^=]+" key "${pair}")
  string(REGEX REPLACE "\n${key}=[^\n]*" "\n${pair}" replaced "${varnexIni}")
  if(replaced STREQUAL varnexIni)
    message(FATAL_ERROR "packaging/varnex.ini.example has no line ${key}=")
  endif()
  set(varnexIni "${replaced}")
endforeach()
file(WRITE ${varnexGenerated}/varnex.ini
  "; Settings of the varnex package. After naming other directories here, allow the service\n"
  "; to write there: systemctl edit varnex.service (ReadWritePaths=).\n;\n${varnexIni}")

set(VARNEX_DEB_VERSION ${PROJECT_VERSION}-${VARNEX_DEB_RELEASE})
configure_file(${varnexPackaging}/debian/changelog.in ${varnexGenerated}/changelog @ONLY)
find_program(VARNEX_GZIP gzip)
if(VARNEX_GZIP)
  execute_process(COMMAND ${VARNEX_GZIP} -9n -c ${varnexGenerated}/changelog
    OUTPUT_FILE ${varnexGenerated}/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${VARNEX_GZIP} -9n -c ${varnexPackaging}/varnex.1
    OUTPUT_FILE ${varnexGenerated}/varnex.1.gz COMMAND_ERROR_IS_FATAL ANY)
endif()

install(TARGETS varnex RUNTIME DESTINATION lib/varnex COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${varnexGenerated}/varnex.ini DESTINATION /etc/varnex COMPONENT deb
  EXCLUDE_FROM_ALL)
install(FILES ${varnexPackaging}/systemd/varnex.service ${varnexPackaging}/systemd/varnex.path
  ${varnexPackaging}/systemd/varnex.timer DESTINATION lib/systemd/system COMPONENT deb
  EXCLUDE_FROM_ALL)
install(FILES ${varnexGenerated}/varnex.1.gz DESTINATION share/man/man1 COMPONENT deb
  EXCLUDE_FROM_ALL)
install(FILES ${varnexPackaging}/debian/lintian-overrides DESTINATION share/lintian/overrides
  RENAME varnex COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${varnexPackaging}/debian/copyright ${varnexGenerated}/changelog.Debian.gz
  README.md ${varnexPackaging}/varnex.ini.example
  DESTINATION share/doc/varnex COMPONENT deb EXCLUDE_FROM_ALL)
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin")
  file(CREATE_LINK ../lib/varnex/varnex "${root}/bin/varnex" SYMBOLIC)
  file(CREATE_LINK /etc/varnex/varnex.ini "${root}/lib/varnex/varnex.ini" SYMBOLIC)
]] COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnex)
set(CPACK_PACKAGE_VENDOR "varnex")
set(CPACK_PACKAGE_CONTACT "${VARNEX_DEB_MAINTAINER}")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};varnex;deb;/")
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARNEX_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VARNEX_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "converter of payment-order files to ISO 20022 credit transfers
varnex reads HUA (domestic) and INT (international) payment-order files of
SWIFT-MT-style messages, decides for each order whether it is a SEPA credit
transfer, and writes the SEPA orders as ISO 20022 pain.001.001.03 documents
(urgent ones apart) and the other orders as HUA or INT files. Each input file
is converted as a whole or not at all and then moved to a backup directory;
every step is logged to a daily log file.
.
The package runs it as the system user varnex on /var/lib/varnex when a file
arrives (a systemd path unit) and every hour (a timer); both are installed but
not enabled.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${varnexPackaging}/debian/conffiles ${varnexPackaging}/debian/postinst
  ${varnexPackaging}/debian/prerm ${varnexPackaging}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
