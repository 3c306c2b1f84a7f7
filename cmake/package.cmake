# What a cockpit builder unpacks: the programs, sample configurations, the
# sample flight plans and a README.txt. VERSION is the project's version.
# The tarball and the zip hold them side by side in one folder (component
# "node"); the Debian package (component "debian") puts them where Debian
# keeps such things, with manual pages, copyright, changelog and a systemd
# unit.
install(TARGETS zemsim simstub commgr fgbridge zemrec RUNTIME DESTINATION . COMPONENT node)
if(WIN32)
  # Only beside a simulator's server window is there anything to bridge.
  install(TARGETS simbridge RUNTIME DESTINATION . COMPONENT node)
endif()

# The text files as the platform reads them: CRLF line ends in the Windows
# package, so that Notepad shows them; README.txt keeps the lines of its
# package ({windows}: the zip, {tar}: the tarball, {deb}: the Debian
# package, {linux}: both Linux packages, {flat}: the zip and the tarball)
# and names the version.
set(package_text ${CMAKE_BINARY_DIR}/package)
function(package_text_file source destination)
  set(variant tar)
  if(WIN32)
    set(variant windows)
  endif()
  package_text_variant(${source} ${destination} node ${variant})
endfunction()
function(package_text_variant source destination component variant)
  get_filename_component(name ${source} NAME)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/data ${source})
  file(READ ${source} text)
  if(name STREQUAL "README.txt")
    string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
    set(kept_windows windows flat)
    set(kept_tar tar linux flat)
    set(kept_deb deb linux)
    foreach(marker windows tar deb linux flat)
      if(marker IN_LIST kept_${variant})
        string(REPLACE "{${marker}}" "" text "${text}")
      else()
        string(REGEX REPLACE "(^|\n)\\{${marker}\\}[^\n]*" "" text "${text}")
      endif()
    endforeach()
  endif()
  if(variant STREQUAL "windows")
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  file(WRITE ${package_text}/${variant}/${relative} "${text}")
  install(FILES ${package_text}/${variant}/${relative} DESTINATION ${destination} COMPONENT ${component})
endfunction()

package_text_file(${PROJECT_SOURCE_DIR}/data/package/README.txt .)
package_text_file(${PROJECT_SOURCE_DIR}/data/package/ZemSim.cfg .)
package_text_file(${PROJECT_SOURCE_DIR}/data/package/FgBridge.cfg .)
if(WIN32)
  package_text_file(${PROJECT_SOURCE_DIR}/data/package/SimBridge.cfg .)
endif()
file(GLOB plans ${PROJECT_SOURCE_DIR}/data/flightplans/*.pln)
foreach(plan ${plans})
  package_text_file(${plan} flightplans)
endforeach()
# The Wireshark dissector, written by the native build (the Windows build
# takes the one beside it).
if(CMAKE_CROSSCOMPILING)
  set(dissector ${PROJECT_SOURCE_DIR}/build/linux/wireshark/zemsim.lua)
else()
  set(dissector ${ZEMSIM_DISSECTOR})
endif()
install(CODE "
  set(lua \"${dissector}\")
  if(EXISTS \${lua})
    file(READ \${lua} text)
    if(${WIN32})
      string(REPLACE \"\\n\" \"\\r\\n\" text \"\${text}\")
    endif()
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/zemsim.lua\" \"\${text}\")
  endif()" COMPONENT node)

if(NOT WIN32)
  # Debian's layout: relative destinations fall under /usr.
  set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(deb ${PROJECT_SOURCE_DIR}/data/package/deb)
  install(TARGETS zemsim simstub commgr fgbridge zemrec RUNTIME DESTINATION bin COMPONENT debian)
  install(FILES ${PROJECT_SOURCE_DIR}/data/package/ZemSim.cfg DESTINATION /etc/zemsim COMPONENT debian)
  install(FILES ${PROJECT_SOURCE_DIR}/data/package/FgBridge.cfg DESTINATION share/zemsim COMPONENT debian)
  install(FILES ${plans} DESTINATION share/zemsim/flightplans COMPONENT debian)
  install(FILES ${dissector} DESTINATION share/zemsim COMPONENT debian)
  package_text_variant(${PROJECT_SOURCE_DIR}/data/package/README.txt share/doc/zemsim debian deb)
  install(FILES ${deb}/copyright DESTINATION share/doc/zemsim COMPONENT debian)
  install(FILES ${deb}/zemsim.service DESTINATION /lib/systemd/system COMPONENT debian)
  # The manual pages and the changelog compressed as Debian ships them
  # (gzip -9n: no name, no time stamp), whenever the node is built.
  set(compressed)
  foreach(source ${PROJECT_SOURCE_DIR}/docs/man/zemsim.1 ${PROJECT_SOURCE_DIR}/docs/man/simstub.1
                 ${PROJECT_SOURCE_DIR}/docs/man/commgr.1 ${PROJECT_SOURCE_DIR}/docs/man/fgbridge.1
                 ${PROJECT_SOURCE_DIR}/docs/man/zemrec.1 ${deb}/changelog)
    get_filename_component(name ${source} NAME)
    set(output ${package_text}/deb/${name}.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${package_text}/deb
      COMMAND sh -c "gzip -9n -c '${source}' > '${output}'"
      DEPENDS ${source} VERBATIM)
    list(APPEND compressed ${output})
  endforeach()
  add_custom_target(debian_documents ALL DEPENDS ${compressed})
  list(FILTER compressed EXCLUDE REGEX "changelog")
  install(FILES ${compressed} DESTINATION share/man/man1 COMPONENT debian)
  install(FILES ${package_text}/deb/changelog.gz DESTINATION share/doc/zemsim COMPONENT debian)
endif()

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR "TGZ;DEB")
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_generators.cmake)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZemSim developers <support@zemsim.example>")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "simulator-interface node of a home-cockpit network\nThe node runs beside the flight simulator as node 14 of the cockpit's UDP\nnetwork, with a systemd unit to run it as a service, a stand-in simulator,\na stand-in communications manager, a bridge to FlightGear and a tool\nfor the node's recordings.")
  set(CPACK_DEBIAN_PACKAGE_SECTION net)
  # The libraries the programs link, as dpkg-shlibdeps finds them; adduser
  # for the service's account.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${deb}/postinst ${deb}/prerm ${deb}/postrm ${deb}/conffiles)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
set(CPACK_PACKAGE_NAME zemsim)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "support@zemsim.example")
set(CPACK_PACKAGE_FILE_NAME zemsim-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
include(CPack)
