# What a cockpit builder unpacks: the programs, sample configurations, the
# sample flight plans and a README.txt. VERSION is the project's version.
install(TARGETS zemsim simstub commgr RUNTIME DESTINATION .)
if(WIN32)
  # Only beside a simulator's server window is there anything to bridge.
  install(TARGETS simbridge RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/data/package/SimBridge.cfg DESTINATION .)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/flightplans DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/data/package/ZemSim.cfg DESTINATION .)
# The Wireshark dissector, written by the native build (the Windows build
# takes the one beside it).
if(CMAKE_CROSSCOMPILING)
  install(FILES ${PROJECT_SOURCE_DIR}/build/linux/wireshark/zemsim.lua DESTINATION . OPTIONAL)
else()
  install(FILES ${ZEMSIM_DISSECTOR} DESTINATION .)
endif()

# README.txt: CRLF line ends in the Windows package, so that Notepad shows it.
set(readme ${CMAKE_BINARY_DIR}/package/README.txt)
file(READ ${PROJECT_SOURCE_DIR}/data/package/README.txt text)
string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
if(WIN32)
  string(REPLACE "\n" "\r\n" text "${text}")
endif()
file(WRITE ${readme} "${text}")
install(FILES ${readme} DESTINATION .)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_NAME zemsim)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zemsim-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
