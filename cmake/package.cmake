# What a cockpit builder unpacks: the programs, sample configurations, the
# sample flight plans and a README.txt. VERSION is the project's version.
# On Linux also a Debian package: the same files in /opt/zemsim and a
# systemd unit (component "service", which the tarball leaves out).
install(TARGETS zemsim simstub commgr RUNTIME DESTINATION . COMPONENT node)
if(WIN32)
  # Only beside a simulator's server window is there anything to bridge.
  install(TARGETS simbridge RUNTIME DESTINATION . COMPONENT node)
endif()

# The text files as the platform reads them: CRLF line ends in the Windows
# package, so that Notepad shows them; README.txt keeps the lines of its
# platform ({windows} or {linux} in front) and names the version.
set(package_text ${CMAKE_BINARY_DIR}/package)
function(package_text_file source destination)
  get_filename_component(name ${source} NAME)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/data ${source})
  file(READ ${source} text)
  if(name STREQUAL "README.txt")
    string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
    if(WIN32)
      string(REGEX REPLACE "(^|\n)\\{linux\\}[^\n]*" "" text "${text}")
      string(REPLACE "{windows}" "" text "${text}")
    else()
      string(REGEX REPLACE "(^|\n)\\{windows\\}[^\n]*" "" text "${text}")
      string(REPLACE "{linux}" "" text "${text}")
    endif()
  endif()
  if(WIN32)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  file(WRITE ${package_text}/${relative} "${text}")
  install(FILES ${package_text}/${relative} DESTINATION ${destination} COMPONENT node)
endfunction()

package_text_file(${PROJECT_SOURCE_DIR}/data/package/README.txt .)
package_text_file(${PROJECT_SOURCE_DIR}/data/package/ZemSim.cfg .)
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

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(FILES ${PROJECT_SOURCE_DIR}/data/package/deb/zemsim.service DESTINATION /lib/systemd/system
          COMPONENT service)
  set(CPACK_GENERATOR "TGZ;DEB")
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_generators.cmake)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZemSim developers <support@zemsim.example>")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "simulator-interface node of a home-cockpit network\nThe node runs beside the flight simulator as node 14 of the cockpit's UDP\nnetwork, with a systemd unit to run it as a service.")
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${PROJECT_SOURCE_DIR}/data/package/deb/postinst ${PROJECT_SOURCE_DIR}/data/package/deb/prerm
      ${PROJECT_SOURCE_DIR}/data/package/deb/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
set(CPACK_PACKAGE_NAME zemsim)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "support@zemsim.example")
set(CPACK_PACKAGE_FILE_NAME zemsim-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_STRIP_FILES ON)
include(CPack)
