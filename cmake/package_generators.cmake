# Per generator, when CPack runs: the tarball unpacks into a folder of its
# own and holds the programs side by side; the Debian package installs in
# Debian's layout under /usr, with /etc/zemsim and the unit in
# /lib/systemd/system.
if(CPACK_GENERATOR STREQUAL "TGZ")
  # Only the flat component, in one archive: a monolithic install would
  # take every component, the Debian layout's absolute paths among them.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL node)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
elseif(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Only the Debian layout's component, in one package of the project's name.
  set(CPACK_COMPONENTS_ALL debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
endif()
