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
             share/man/man1/vekanto.1)
  if(NOT EXISTS "${PREFIX}/${path}")
    fail("not installed: ${path}")
  endif()
endforeach()
execute_process(COMMAND test -x "${PREFIX}/bin/vekanto" RESULT_VARIABLE rc)
if(rc)
  fail("bin/vekanto is not executable")
endif()

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
