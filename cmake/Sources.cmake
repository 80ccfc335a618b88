# Source lists shared by every build of the project.

# Platform-free format code, shared by the Expander, the packer and the tools.
set(QUORVEL_FORMAT_SOURCES
  src/format/code_tree.cpp
  src/decoder/sliding_window.cpp
  src/format/window_preset.cpp
)

# The Expander proper, without its platform layer.
set(QUORVEL_EXPANDER_SOURCES
  src/driver/driver.cpp
  src/console/console.cpp
  src/console/text.cpp
  src/archive/open_archive.cpp
  src/archive/block_stream.cpp
  src/archive/password.cpp
  src/extract/extract_entries.cpp
  src/extract/decode_entry.cpp
  src/extract/overwrite.cpp
  src/extract/paths.cpp
)

set(QUORVEL_POSIX_PLATFORM_SOURCES
  src/platform/posix/console.cpp
  src/platform/posix/files.cpp
  src/platform/posix/process.cpp
  src/platform/posix/system_names.cpp
)
set(QUORVEL_POSIX_ENTRY_SOURCE src/platform/posix/entry.cpp)

set(QUORVEL_WIN32_PLATFORM_SOURCES
  src/platform/win32/console.cpp
  src/platform/win32/files.cpp
  src/platform/win32/process.cpp
)
