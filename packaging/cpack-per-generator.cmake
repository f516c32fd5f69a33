# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack once per generator. The Debian package is one package of all the components,
# its own copyright and changelog among them; the tarball has no use for those two.
if(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_COMPONENTS_ALL debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
endif()
