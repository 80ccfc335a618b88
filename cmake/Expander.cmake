# The Expander: built for size, without exceptions, RTTI or libstdc++, then padded to exactly
# StubSize bytes. The build fails when the linked program is larger.

set(QUORVEL_STUB_SIZE 20480)

set(QUORVEL_STUB_COMPILE_OPTIONS
  -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
  -ffunction-sections -fno-stack-protector -fno-threadsafe-statics
  -fomit-frame-pointer -fno-ident -fno-plt -Wall -Wextra)

function(quorvel_add_expander target output_path)
  add_executable(${target} ${QUORVEL_EXPANDER_SOURCES} ${QUORVEL_FORMAT_SOURCES} ${ARGN})
  quorvel_stub_program(${target} ${output_path} ${QUORVEL_STUB_SIZE})
endfunction()

# A test program built exactly like the Expander, from its console and platform layers,
# that faults on purpose.
function(quorvel_add_fault_probe output_path)
  add_executable(fault_probe tests/e2e/fault_probe.cpp src/console/console.cpp src/console/text.cpp ${ARGN})
  quorvel_stub_program(fault_probe ${output_path} ${QUORVEL_STUB_SIZE})
endfunction()

function(quorvel_stub_program target output_path size)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${QUORVEL_STUB_COMPILE_OPTIONS})
  # Linked by the C driver, so that no C++ runtime library comes in.
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE C OUTPUT_NAME ${target}.linked)
  if(WIN32)
    # No -fdata-sections here: on PE it would put zero-filled storage into .data, where it
    # takes room in the file.
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
    target_link_options(${target} PRIVATE
      -nostdlib -nostartfiles -Wl,-e,_ExpanderStart -Wl,--subsystem,console
      -Wl,--stack,0x500000 -Wl,--gc-sections -s -Wl,--no-insert-timestamp)
    target_link_libraries(${target} PRIVATE kernel32 user32 shell32 msvcrt gcc)
  else()
    target_compile_options(${target} PRIVATE -fno-pie -fdata-sections)
    target_link_options(${target} PRIVATE
      -no-pie -Wl,--gc-sections -s -Wl,-z,norelro -Wl,-z,noseparate-code
      -Wl,--build-id=none -Wl,--hash-style=gnu -Wl,--as-needed)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/pad-stub.sh $<TARGET_FILE:${target}> ${output_path}
            ${size}
    VERBATIM)
endfunction()
