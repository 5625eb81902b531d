# SPDX-License-Identifier: GPL-3.0-or-later
# Every source, build and tool file names the licence of the whole tree in its first lines, so a
# file copied out of the tree still says under which terms.
#   cmake -DSOURCE_DIR=<tree> -P check_licence_lines.cmake

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/src/*.h"
     "${SOURCE_DIR}/tests/*.cpp" "${SOURCE_DIR}/tests/*.h" "${SOURCE_DIR}/tests/*.cmake"
     "${SOURCE_DIR}/bench/*.cpp" "${SOURCE_DIR}/bench/*.h"
     "${SOURCE_DIR}/fuzz/*.cpp" "${SOURCE_DIR}/fuzz/*.h"
     "${SOURCE_DIR}/dist/*.cmake" "${SOURCE_DIR}/*CMakeLists.txt")
file(GLOB tools RELATIVE "${SOURCE_DIR}" LIST_DIRECTORIES false "${SOURCE_DIR}/tools/*")
list(APPEND sources ${tools} .ci/run dist/systemd/vekanto-run.service.in dist/systemd/vekanto-run.timer)
list(FILTER sources EXCLUDE REGEX "^(build|fuzz/corpus)")

set(missing "")
foreach(source ${sources})
  file(STRINGS "${SOURCE_DIR}/${source}" head LIMIT_COUNT 2)
  if(NOT head MATCHES "SPDX-License-Identifier: GPL-3\\.0-or-later")
    list(APPEND missing "${source}")
  endif()
endforeach()
list(LENGTH sources count)
if(count LESS 150)
  message(FATAL_ERROR "only ${count} files found under ${SOURCE_DIR}")
endif()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "no SPDX-License-Identifier line in the first two lines of:\n  ${missing}")
endif()
message(STATUS "${count} files name their licence")
