# Helpers shared by every folder of the project.

# Compile options for the project's own targets (not applied to third-party code).
function(lumesk_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(LUMESK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE
    QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

# lumesk_add_library(<name> [LIBS <libs>...])
# One static library holding every .cpp/.h/.qrc of the calling folder and of its subfolders, except
# subfolders that have a CMakeLists.txt of their own (they build their own targets).
function(lumesk_add_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/*.qrc")
  file(GLOB_RECURSE own_lists CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt")
  foreach(list_path IN LISTS own_lists)
    cmake_path(GET list_path PARENT_PATH own_dir)
    set(kept "")
    foreach(source IN LISTS sources)
      cmake_path(IS_PREFIX own_dir "${source}" NORMALIZE inside)
      if(NOT inside)
        list(APPEND kept "${source}")
      endif()
    endforeach()
    set(sources ${kept})
  endforeach()
  add_library(${name} STATIC ${sources})
  # With Ninja, moc reruns only when a file it read last time changed, and the
  # folder's CMake files are among them. Keep the globbed list in a CMake file of
  # its own (rewritten only when the list changes) so a new header reruns moc.
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.cmake")
  list(JOIN sources "\n# " listing)
  file(CONFIGURE OUTPUT "${list_file}" CONTENT "# ${listing}\n" @ONLY)
  include("${list_file}")
  target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  lumesk_target_defaults(${name})
endfunction()

# lumesk_add_plugin(<name> OUTPUT <file name> SOURCES <files>... [LIBS <libs>...])
# A module the program loads at run time (platform/meskplugins.h), written as <file name>.so next to
# the program (the folder of app/). It holds its own sources only: the classes of the project's
# static libraries that it uses come from the program, which exports its symbols (ENABLE_EXPORTS;
# app/ links each plugin to it). Linking a static library of the project here would give the plugin
# a second copy of its statics and meta-objects, and qobject_cast across the two would fail.
function(lumesk_add_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME "${ARG_OUTPUT}"
    LIBRARY_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/app")
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/platform" "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  lumesk_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY LUMESK_PLUGINS ${name})
endfunction()

# lumesk_application_key(TARGET <lib> NAME <variable> DEFAULT <value> DOC <text>)
# One application key or secret of a service: a CMake cache value (the default is never a real key),
# given to the provider library and to everything linking it as the compile definition <variable>.
# The stand-in services (the fakes of tests/support and the stand-in program) read the same cache value
# (every key is listed in the global property LUMESK_APPLICATION_KEYS), so they accept whatever key the
# program was built with.
function(lumesk_application_key)
  cmake_parse_arguments(ARG "" "TARGET;NAME;DEFAULT;DOC" "" ${ARGN})
  set(${ARG_NAME} "${ARG_DEFAULT}" CACHE STRING "${ARG_DOC}")
  target_compile_definitions(${ARG_TARGET} PUBLIC ${ARG_NAME}="$CACHE{${ARG_NAME}}")
  set_property(GLOBAL APPEND PROPERTY LUMESK_APPLICATION_KEYS ${ARG_NAME})
endfunction()

# lumesk_lsan_options(<variable>)
# Sets <variable> to the LSAN_OPTIONS assignment every sanitized program of the build and the tests runs
# with: the tests' leak suppressions (caches of system libraries that live until the process ends). The
# sanitizers' option parser ends a value at a space, a colon or a comma unless the value is in single or
# double quotes, so the file's path is quoted (with a quote character the path does not hold): a checkout
# at a path with a space still works.
function(lumesk_lsan_options variable)
  set(supp "${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  string(FIND "${supp}" "'" single)
  string(FIND "${supp}" "\"" double)
  if(single EQUAL -1)
    set(quoted "'${supp}'")
  elseif(double EQUAL -1)
    set(quoted "\"${supp}\"")
  else()
    message(FATAL_ERROR "The sanitizers cannot read a path holding both kinds of quotes: ${supp}")
  endif()
  set(${variable} "LSAN_OPTIONS=suppressions=${quoted}:print_suppressions=0" PARENT_SCOPE)
endfunction()

# lumesk_add_test(<name> SOURCES <files>... [LIBS <libs>...] [LABELS <labels>...]
#                 [RESOURCE_LOCK <resources>...] [TIMEOUT <seconds>] [ASAN_OPTIONS <options>...])
# A Qt Test executable registered with ctest under its own name (see lumesk_register_test).
function(lumesk_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK;ASAN_OPTIONS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # A test in a subfolder reaches the helpers its folder shares by their bare names.
  target_include_directories(${name} PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  lumesk_target_defaults(${name})
  set(extra "")
  if(ARG_TIMEOUT)
    list(APPEND extra TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_LABELS)
    list(APPEND extra LABELS ${ARG_LABELS})
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND extra RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  if(ARG_ASAN_OPTIONS)
    list(APPEND extra ASAN_OPTIONS ${ARG_ASAN_OPTIONS})
  endif()
  lumesk_register_test(${name} TARGET ${name} ${extra})
endfunction()

# lumesk_register_test(<entry> TARGET <exe> [ARGS <args>...] [LABELS <labels>...]
#                      [RESOURCE_LOCK <resources>...] [TIMEOUT <seconds>] [ASAN_OPTIONS <options>...])
# One ctest entry running a program of the project with arguments. Labels: unit (the default),
# gui, xvfb, webengine, bench. Entries labelled xvfb run on the X display that test.sh provides; every other
# entry runs on the offscreen platform and never opens that display (QT_QPA_OFFSCREEN_NO_GLX: otherwise
# the offscreen plugin makes its GL contexts through GLX on $DISPLAY and loads the machine's GL driver).
# A program with an X entry keeps the GL driver loaded until it ends (tests/support/gldriver). Entries
# that share a resource lock never run at the same time (x-display: the test changes what every window
# on the display sees, e.g. starts a compositing manager). Every bench entry runs alone (RUN_SERIAL):
# two benchmarks at once skew each other. No entry reaches the machine's ModemManager: the modem layer
# is pointed at a bus that does not exist unless the test starts one of its own. Every entry runs in a
# temporary folder of its own (cmake/run-in-own-tmpdir.sh), removed when it ends; what it leaves there
# besides Qt's runtime folder fails it. ASAN_OPTIONS adds to the AddressSanitizer options every entry gets
# (an entry's own ASAN_OPTIONS variable would replace them).
function(lumesk_register_test entry)
  cmake_parse_arguments(ARG "" "TARGET;TIMEOUT" "ARGS;LABELS;RESOURCE_LOCK;ASAN_OPTIONS" ${ARGN})
  if(NOT ARG_TARGET)
    message(FATAL_ERROR "lumesk_register_test: TARGET is missing")
  endif()
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_test(NAME ${entry} COMMAND "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run-in-own-tmpdir.sh"
    "$<TARGET_FILE:${ARG_TARGET}>" ${ARG_ARGS})
  lumesk_lsan_options(lsan)
  set(env
    "${lsan}"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "LUMESK_MODEMMANAGER_BUS=unix:path=/nonexistent/lumesk-no-modem-bus")
  if("xvfb" IN_LIST ARG_LABELS)
    list(APPEND env QT_QPA_PLATFORM=xcb)
    if(TARGET lumesk_gldriverpin)
      target_link_libraries(${ARG_TARGET} PRIVATE lumesk_gldriverpin)
    endif()
  else()
    list(APPEND env QT_QPA_PLATFORM=offscreen QT_QPA_OFFSCREEN_NO_GLX=1)
  endif()
  # Every entry keeps test.sh's checks but these, each for a library outside the project:
  set(asan detect_leaks=1 strict_string_checks=1 detect_stack_use_after_return=1)
  # GCC 12's runtime takes a dynamic TLS block (a thread's block of a library loaded at run time) that
  # starts 16 bytes into a page for one with the header of glibc 2.19, which later glibcs no longer write,
  # and records bounds read from the 16 bytes before it: garbage. LeakSanitizer scans that range at exit,
  # and its tracer dies ("Tracer caught signal 11", "LeakSanitizer has encountered a fatal error") after
  # every test function passed; QtWebEngine's many threads meet such a block now and then. Without the
  # interception nothing is recorded; glibc allocates those blocks on the heap, where the scan reaches them.
  list(APPEND asan intercept_tls_get_addr=0)
  if("xvfb" IN_LIST ARG_LABELS)
    # libxkbcommon-x11 (loaded by the X platform plugin) calls strndup on keymap names that are not
    # NUL-terminated, which is legal with a length; strict_string_checks reports it anyway.
    list(TRANSFORM asan REPLACE "^strict_string_checks=1$" "strict_string_checks=0")
  endif()
  if("webengine" IN_LIST ARG_LABELS)
    # QtWebEngine 6.4 frees an object with a size that does not match its allocation when a page
    # goes away.
    list(APPEND asan new_delete_type_mismatch=0)
  endif()
  list(APPEND asan ${ARG_ASAN_OPTIONS})
  list(JOIN asan ":" asan)
  list(APPEND env "ASAN_OPTIONS=${asan}")
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${entry} PROPERTIES
    LABELS "${ARG_LABELS}"
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "${env}")
  # Every entry on the shared X display takes its lock: a window one of them shows (a full-screen
  # black browser, a compositing manager) would reach another one's screen grabs.
  if("xvfb" IN_LIST ARG_LABELS AND NOT "x-display" IN_LIST ARG_RESOURCE_LOCK)
    list(APPEND ARG_RESOURCE_LOCK x-display)
  endif()
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${entry} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  if("bench" IN_LIST ARG_LABELS)
    set_tests_properties(${entry} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# lumesk_offscreen_screens(<entry> <file>)
# Runs the ctest entry on offscreen screens described by <file> (a screen file of Qt's offscreen platform,
# relative to the calling folder). Qt reads the platform string (QT_QPA_PLATFORM) as Latin-1, so a path in
# it holding any other letter ("ü" in the checkout's path) names a file that does not exist. The file is
# copied into the calling folder's build folder, the entry's working folder, and named relative to it.
function(lumesk_offscreen_screens entry file)
  configure_file("${CMAKE_CURRENT_SOURCE_DIR}/${file}" "${CMAKE_CURRENT_BINARY_DIR}/${file}" COPYONLY)
  set_tests_properties(${entry} PROPERTIES WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  set_property(TEST ${entry} APPEND PROPERTY ENVIRONMENT "QT_QPA_PLATFORM=offscreen:configfile=${file}")
endfunction()

# lumesk_add_image_table(TARGET <lib> TABLE <file> PREFIX <prefix> SHEET <png>)
# Draws every image of an image table with tools/artgen, at 1x and at 2x ("name@2x.png", not for
# .ico rows), compiles both into the target's resources under PREFIX, and writes the table's
# contact sheet to SHEET. A relative TABLE is read below PROJECT_SOURCE_DIR, a relative SHEET is
# written below PROJECT_BINARY_DIR. The resource and the sheet's target are named after the table
# ("<table>_images", "<table>_sheet"), so one library can hold several tables.
function(lumesk_add_image_table)
  cmake_parse_arguments(ARG "" "TARGET;TABLE;PREFIX;SHEET" "" ${ARGN})
  foreach(required TARGET TABLE PREFIX SHEET)
    if(NOT ARG_${required})
      message(FATAL_ERROR "lumesk_add_image_table: ${required} is missing")
    endif()
  endforeach()
  cmake_path(ABSOLUTE_PATH ARG_TABLE BASE_DIRECTORY "${PROJECT_SOURCE_DIR}" NORMALIZE OUTPUT_VARIABLE table)
  cmake_path(ABSOLUTE_PATH ARG_SHEET BASE_DIRECTORY "${PROJECT_BINARY_DIR}" NORMALIZE OUTPUT_VARIABLE sheet)
  cmake_path(GET table STEM table_stem)
  string(MAKE_C_IDENTIFIER "${table_stem}" table_name)
  set(image_dir "${CMAKE_CURRENT_BINARY_DIR}/${table_name}")

  # The first column of every line that is not a comment is an image path.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${table}")
  file(STRINGS "${table}" image_lines REGEX "^[^#]")
  set(image_files "")
  foreach(line IN LISTS image_lines)
    string(REGEX MATCH "^[^ \t]+" image_path "${line}")
    if(NOT image_path)
      continue()
    endif()
    list(APPEND image_files "${image_dir}/${image_path}")
    if(NOT image_path MATCHES "\\.[iI][cC][oO]$")
      string(REGEX REPLACE "(\\.[^./]+)$" "@2x\\1" high_path "${image_path}")
      list(APPEND image_files "${image_dir}/${high_path}")
    endif()
  endforeach()

  # artgen is built with the project's sanitizers; it runs with the tests' leak suppressions
  # (caches of system libraries that live until the process ends).
  lumesk_lsan_options(lsan)
  set(artgen_env QT_QPA_PLATFORM=offscreen "${lsan}")
  add_custom_command(
    OUTPUT ${image_files}
    COMMAND ${CMAKE_COMMAND} -E rm -rf "${image_dir}"
    COMMAND ${CMAKE_COMMAND} -E env ${artgen_env}
            $<TARGET_FILE:artgen> --table "${table}" --out "${image_dir}"
    DEPENDS artgen "${table}"
    COMMENT "Drawing the images of ${table_stem}"
    VERBATIM)
  qt_add_resources(${ARG_TARGET} ${table_name}_images
    PREFIX "${ARG_PREFIX}"
    BASE "${image_dir}"
    FILES ${image_files})

  # The contact sheet of every image, kept next to the build for review (CI keeps it as an artifact).
  cmake_path(GET sheet PARENT_PATH sheet_dir)
  add_custom_command(
    OUTPUT "${sheet}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${sheet_dir}"
    COMMAND ${CMAKE_COMMAND} -E env ${artgen_env}
            $<TARGET_FILE:artgen> --table "${table}" --sheet "${sheet}"
    DEPENDS artgen "${table}"
    COMMENT "Drawing the contact sheet of ${table_stem}"
    VERBATIM)
  add_custom_target(${table_name}_sheet ALL DEPENDS "${sheet}")
endfunction()
