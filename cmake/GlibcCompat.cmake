# quorvel runs on glibc 2.31 (Debian 11) and later, wherever it is built: every reference to
# a symbol named here goes to its stand-in in glibc_compat.c (which says why each is there),
# and libpthread.so.0 is named as needed, where glibc 2.31 keeps the pthread functions.
# tests/install/check-glibc.sh checks the result.
# Only where the C library is a newer glibc: on 2.31 itself nothing needs doing.
include(CheckSourceCompiles)
check_source_compiles(C "#include <features.h>
#if !__GLIBC_PREREQ(2, 32)
#error older
#endif
int main(void) { return 0; }" QUORVEL_GLIBC_NEWER_THAN_2_31)
if(NOT QUORVEL_GLIBC_NEWER_THAN_2_31 OR NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  return()
endif()
set(QUORVEL_GLIBC_WRAPPED
  __libc_start_main __libc_single_threaded _dl_find_object arc4random
  stat lstat fstat fstat64 fstatat
  pthread_create pthread_join pthread_detach pthread_once pthread_key_create __pthread_key_create
  pthread_key_delete pthread_getspecific pthread_setspecific pthread_mutex_trylock pthread_sigmask)
list(TRANSFORM QUORVEL_GLIBC_WRAPPED PREPEND "LINKER:--wrap=")
set(QUORVEL_GLIBC_FLOOR 2.31)
target_sources(quorvel PRIVATE ${PROJECT_SOURCE_DIR}/cmake/glibc_compat.c)
target_link_options(quorvel PRIVATE ${QUORVEL_GLIBC_WRAPPED}
  "LINKER:--push-state,--no-as-needed,-l:libpthread.so.0,--pop-state")
