# Per generator, when CPack runs: the tarball unpacks into a folder of its
# own and holds no service; the Debian package installs into /opt/zemsim,
# with the unit in /lib/systemd/system.
if(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL node)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
elseif(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /opt/zemsim)
  set(CPACK_COMPONENTS_ALL node service)
  set(CPACK_DEB_COMPONENT_INSTALL OFF)
endif()
