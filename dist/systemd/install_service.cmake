# SPDX-License-Identifier: GPL-3.0-or-later
# Run by `cmake --install` (install(CODE) in dist/CMakeLists.txt): writes the timer's service
# with ExecStart naming the program where this install puts it, under the prefix given at
# install time (--prefix, CPack's /usr) rather than the one the build was configured with.
#   VEKANTO_UNIT_TEMPLATE  vekanto-run.service.in
#   VEKANTO_UNIT_OUTPUT    where the service is written before it is installed
#   VEKANTO_BINDIR         the program's folder, relative to the prefix or absolute
#   VEKANTO_UNIT_DIR       the units' folder, relative to the prefix

if(IS_ABSOLUTE "${VEKANTO_BINDIR}")
  set(CMAKE_INSTALL_FULL_BINDIR "${VEKANTO_BINDIR}")
else()
  # systemd takes only an absolute ExecStart; a relative --prefix is taken from here.
  get_filename_component(vekanto_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
  set(CMAKE_INSTALL_FULL_BINDIR "${vekanto_prefix}/${VEKANTO_BINDIR}")
endif()
configure_file("${VEKANTO_UNIT_TEMPLATE}" "${VEKANTO_UNIT_OUTPUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VEKANTO_UNIT_DIR}" TYPE FILE FILES "${VEKANTO_UNIT_OUTPUT}")
