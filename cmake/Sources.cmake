# Source lists shared by every build of the project.

# Platform-free format code, shared by the Expander, the packer and the tools.
set(QUORVEL_FORMAT_SOURCES
  src/format/code_tree.cpp
  src/decoder/sliding_window.cpp
  src/format/window_preset.cpp
)

# The Expander proper, without its platform layer.
set(QUORVEL_EXPANDER_SOURCES
  src/expander/driver/driver.cpp
  src/expander/console/console.cpp
  src/expander/console/text.cpp
  src/expander/archive/open_archive.cpp
  src/expander/archive/block_stream.cpp
  src/expander/archive/password.cpp
  src/expander/extract/extract_entries.cpp
  src/expander/extract/decode_entry.cpp
  src/expander/extract/overwrite.cpp
  src/expander/extract/paths.cpp
)

set(QUORVEL_POSIX_PLATFORM_SOURCES
  src/expander/platform/posix/console.cpp
  src/expander/platform/posix/files.cpp
  src/expander/platform/posix/process.cpp
  src/expander/platform/posix/system_names.cpp
)
set(QUORVEL_POSIX_ENTRY_SOURCE src/expander/platform/posix/entry.cpp)

set(QUORVEL_WIN32_PLATFORM_SOURCES
  src/expander/platform/win32/console.cpp
  src/expander/platform/win32/files.cpp
  src/expander/platform/win32/process.cpp
)
