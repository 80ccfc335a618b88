# The Expander: built for size, without exceptions, RTTI or libstdc++, then padded to exactly
# StubSize bytes. The build fails when the linked program is larger.

set(QUORVEL_STUB_SIZE 20480)

set(QUORVEL_STUB_COMPILE_OPTIONS
  -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fno-stack-protector -fno-threadsafe-statics
  -fomit-frame-pointer -fno-ident -fno-plt)

# The few loops extraction spends its time in are built for speed; everything else for size.
set(QUORVEL_STUB_HOT_SOURCES src/format/code_tree.cpp src/expander/extract/decode_entry.cpp)
set(QUORVEL_STUB_HOT_OPTIONS -O2 -fno-align-functions -fno-align-jumps -fno-align-loops -fno-align-labels)
set_source_files_properties(${QUORVEL_STUB_HOT_SOURCES} PROPERTIES COMPILE_OPTIONS
  "$<$<BOOL:$<TARGET_PROPERTY:QUORVEL_STUB>>:${QUORVEL_STUB_HOT_OPTIONS}>")
# The tree builds' loops over all leaves and table entries run on several at once only under
# the full cost model.
set_property(SOURCE src/format/code_tree.cpp APPEND PROPERTY COMPILE_OPTIONS
  "$<$<BOOL:$<TARGET_PROPERTY:QUORVEL_STUB>>:-fvect-cost-model=dynamic>")

function(quorvel_add_expander target output_path)
  add_executable(${target} ${QUORVEL_EXPANDER_SOURCES} ${QUORVEL_FORMAT_SOURCES} ${ARGN})
  quorvel_stub_program(${target} ${output_path} ${QUORVEL_STUB_SIZE})
endfunction()

# Test programs built exactly like the Expander, from its console and platform layers:
# fault_probe faults on purpose; rename_probe (Windows only) renames a folder, as another
# program would while the Expander runs.
function(quorvel_add_probe name output_path)
  add_executable(${name} tests/expander/${name}.cpp src/expander/console/console.cpp src/expander/console/text.cpp ${ARGN})
  quorvel_stub_program(${name} ${output_path} ${QUORVEL_STUB_SIZE})
endfunction()

function(quorvel_stub_program target output_path size)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${QUORVEL_STUB_COMPILE_OPTIONS})
  target_link_libraries(${target} PRIVATE quorvel_warnings)
  # Linked by the C driver, so that no C++ runtime library comes in.
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C OUTPUT_NAME ${target}.linked QUORVEL_STUB ON)
  if(WIN32)
    # The entry symbol carries a leading underscore on i686 only.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(entry _ExpanderStart)
    else()
      set(entry ExpanderStart)
    endif()
    # No -fdata-sections here: on PE it would put zero-filled storage into .data, where it
    # takes room in the file.
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
    target_link_options(${target} PRIVATE
      -nostdlib -nostartfiles -Wl,-e,${entry} -Wl,--subsystem,console
      -Wl,--stack,0x500000 -Wl,--gc-sections -s -Wl,--no-insert-timestamp)
    target_link_libraries(${target} PRIVATE kernel32 user32 shell32 msvcrt gcc)
  else()
    target_compile_options(${target} PRIVATE -fno-pie -fdata-sections)
    # On x86_64 the program brings its own start-up code (src/expander/platform/posix/entry.cpp), so
    # that it runs on older C libraries than the compiler's start files ask for.
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
      target_compile_definitions(${target} PRIVATE QUORVEL_OWN_START_CODE)
      target_link_options(${target} PRIVATE -nostartfiles)
    endif()
    target_link_options(${target} PRIVATE
      -no-pie -Wl,--gc-sections -s -Wl,-z,norelro -Wl,-z,noseparate-code -Wl,-z,common-page-size=16
      -Wl,--build-id=none -Wl,--hash-style=gnu -Wl,--as-needed)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/pad-stub.sh $<TARGET_FILE:${target}> ${output_path}
            ${size}
    BYPRODUCTS ${output_path}
    VERBATIM)
endfunction()

# quorvel_add_cross_build(TARGET TOOLCHAIN SUFFIX): the Windows Expander and its probes,
# cross-compiled in a build tree of their own into bin/expanderSUFFIX.exe,
# bin/fault_probeSUFFIX.exe and bin/rename_probeSUFFIX.exe. The sub-build runs only when one
# of the Expander's sources changed.
function(quorvel_add_cross_build target toolchain suffix)
  set(dir "${CMAKE_BINARY_DIR}/${target}")
  set(outputs "${QUORVEL_BIN_DIR}/expander${suffix}.exe" "${QUORVEL_BIN_DIR}/fault_probe${suffix}.exe"
    "${QUORVEL_BIN_DIR}/rename_probe${suffix}.exe")
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS
    "${PROJECT_SOURCE_DIR}/src/expander/*" "${PROJECT_SOURCE_DIR}/src/format/*"
    "${PROJECT_SOURCE_DIR}/src/decoder/*")
  list(APPEND inputs "${PROJECT_SOURCE_DIR}/tests/expander/fault_probe.cpp" "${PROJECT_SOURCE_DIR}/tests/expander/rename_probe.cpp"
    "${PROJECT_SOURCE_DIR}/CMakeLists.txt" "${PROJECT_SOURCE_DIR}/cmake/Sources.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/Expander.cmake" "${PROJECT_SOURCE_DIR}/cmake/${toolchain}.cmake"
    "${PROJECT_SOURCE_DIR}/cmake/pad-stub.sh")
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -S "${PROJECT_SOURCE_DIR}" -B "${dir}" -G "${CMAKE_GENERATOR}"
            "-DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}"
            "-DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}.cmake"
            -DCMAKE_BUILD_TYPE=Release -DQUORVEL_STUB_ONLY=ON "-DQUORVEL_STUB_SUFFIX=${suffix}"
            "-DQUORVEL_WERROR=${QUORVEL_WERROR}" "-DQUORVEL_BIN_DIR=${QUORVEL_BIN_DIR}"
            --log-level=WARNING
    COMMAND ${CMAKE_COMMAND} --build "${dir}"
    # The programs may not have needed relinking; their time stamps say they are current.
    COMMAND ${CMAKE_COMMAND} -E touch ${outputs}
    DEPENDS ${inputs}
    COMMENT "Cross-compiling the Windows Expander (${toolchain})"
    USES_TERMINAL
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

# The native Expander under AddressSanitizer and UBSan, for the end-to-end tests of the
# sanitizer build: the same sources, not built for size, not padded, not shipped. Far larger
# than StubSize, it cannot stand in front of an archive itself; bin/expander_asan.stub does,
# a shell script of exactly StubSize bytes that runs it with the self-extracting file open as
# descriptor 3, where it reads its archive (tests/expander/sanitized_expander.cpp). The archive
# keeps its offset and the file its length, so every test's file is laid out as for the
# shipped Expander.
function(quorvel_add_sanitized_expander)
  add_executable(expander_asan ${QUORVEL_EXPANDER_SOURCES} ${QUORVEL_FORMAT_SOURCES}
    ${QUORVEL_POSIX_PLATFORM_SOURCES} ${QUORVEL_POSIX_ENTRY_SOURCE} tests/expander/sanitized_expander.cpp)
  target_include_directories(expander_asan PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(expander_asan PRIVATE quorvel_warnings)
  set_target_properties(expander_asan PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QUORVEL_BIN_DIR})
  set(script "#!/bin/sh\n# Runs the sanitizer build of the Expander on the archive behind these ${QUORVEL_STUB_SIZE} bytes.\nexec '${QUORVEL_BIN_DIR}/expander_asan' \"$@\" 3<\"$0\"\n")
  string(LENGTH "${script}" length)
  math(EXPR padding "${QUORVEL_STUB_SIZE} - ${length}")
  string(REPEAT "\n" ${padding} blank_lines)
  file(WRITE "${QUORVEL_BIN_DIR}/expander_asan.stub" "${script}${blank_lines}")
endfunction()
