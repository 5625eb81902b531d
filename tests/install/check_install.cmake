# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix, as a packager does, and checks what a desktop finds
# there: every file in its place, and the .desktop file and metainfo clean under their
# validators.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -DAPP_ID=<id> -P check_install.cmake

function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  fail("cmake --install failed: ${out}")
endif()

set(desktop_file "${PREFIX}/share/applications/${APP_ID}.desktop")
set(metainfo "${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml")
foreach(path bin/vekanto share/applications/${APP_ID}.desktop
             share/icons/hicolor/scalable/apps/${APP_ID}.svg share/metainfo/${APP_ID}.metainfo.xml
             share/man/man1/vekanto.1 share/man/ja/man1/vekanto.1 share/doc/vekanto/copyright
             lib/systemd/user/vekanto-run.service lib/systemd/user/vekanto-run.timer)
  if(NOT EXISTS "${PREFIX}/${path}")
    fail("not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND test -x "${PREFIX}/bin/vekanto" RESULT_VARIABLE rc)
if(rc)
  fail("bin/vekanto is not executable")
endif()

# The timer's service starts the program where this install put it, not where the build was
# configured to install it; a staged install (DESTDIR, as a package is built) names the final
# place.
function(check_exec_start service expected)
  file(READ "${service}" text)
  if(NOT text MATCHES "\nExecStart=([^\n]*)\n")
    fail("${service} has no ExecStart")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL "${expected}/bin/vekanto --run-all")
    fail("${service} starts '${CMAKE_MATCH_1}', not ${expected}/bin/vekanto --run-all")
  endif()
endfunction()
load_cache("${BUILD_DIR}" READ_WITH_PREFIX configured_ CMAKE_INSTALL_PREFIX)
if(configured_CMAKE_INSTALL_PREFIX STREQUAL PREFIX)
  fail("the build was configured for ${PREFIX}: the test needs another prefix")
endif()
check_exec_start("${PREFIX}/lib/systemd/user/vekanto-run.service" "${PREFIX}")
set(staging "${PREFIX}-staged")
file(REMOVE_RECURSE "${staging}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${staging}"
                        "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /opt/vekanto
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc)
  fail("cmake --install with DESTDIR failed: ${out}")
endif()
check_exec_start("${staging}/opt/vekanto/lib/systemd/user/vekanto-run.service" /opt/vekanto)
file(REMOVE_RECURSE "${staging}")

# The licence in Debian's machine-readable form, naming the one licence of the whole tree.
file(READ "${PREFIX}/share/doc/vekanto/copyright" copyright)
if(NOT copyright MATCHES "^Format: https://www\\.debian\\.org/doc/packaging-manuals/copyright-format/1\\.0/\n"
   OR NOT copyright MATCHES "\nFiles: \\*\nCopyright: [^\n]+\nLicense: GPL-3\\.0\\+\n"
   OR NOT copyright MATCHES "/usr/share/common-licenses/GPL-3")
  fail("share/doc/vekanto/copyright is not a DEP-5 file of GPL-3.0+ for every file:\n${copyright}")
endif()

# The Japanese man page tells of every option and every rule token that the English one does.
file(READ "${PREFIX}/share/man/man1/vekanto.1" man_en)
file(READ "${PREFIX}/share/man/ja/man1/vekanto.1" man_ja)
string(REGEX MATCHALL "\\\\-\\\\-[a-z\\\\-]+|%0?[dmy]" terms "${man_en}")
list(REMOVE_DUPLICATES terms)
list(LENGTH terms term_count)
if(term_count LESS 9)
  fail("the English man page names only ${terms}")
endif()
foreach(term ${terms})
  string(FIND "${man_ja}" "${term}" at)
  if(at LESS 0)
    fail("the Japanese man page does not name ${term}")
  endif()
endforeach()

# The desktop file, the icon and the metainfo name each other by the one id.
file(READ "${desktop_file}" desktop_text)
if(NOT desktop_text MATCHES "\nIcon=${APP_ID}\n")
  fail("the .desktop file does not name the icon ${APP_ID}")
endif()
file(READ "${metainfo}" metainfo_text)
if(NOT metainfo_text MATCHES "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>")
  fail("the metainfo does not launch ${APP_ID}.desktop")
endif()

# desktop-file-validate exits 0 on hints too; a clean file gives no output at all.
execute_process(COMMAND desktop-file-validate "${desktop_file}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  fail("desktop-file-validate (${rc}): ${out}")
endif()
execute_process(COMMAND appstreamcli validate --no-net "${metainfo}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  fail("appstreamcli validate (${rc}): ${out}")
endif()
message(STATUS "installed and valid under ${PREFIX}")
