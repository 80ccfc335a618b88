/* Keeps quorvel on glibc 2.31 (Debian 11) and later, wherever it is built.

   The linker binds every call to the newest version of a glibc symbol, so a build on glibc
   2.36 asks for versions up to 2.36, even for functions far older than that. The link
   option --wrap=NAME (cmake/GlibcCompat.cmake lists the names) sends each reference to
   NAME, from our code, the static libstdc++ and libgcc alike, to __wrap_NAME here, which
   reaches what glibc 2.31 already has:

   - the pthread functions moved into libc.so.6 (2.32, 2.34) and kept their old version
     there; glibc 2.31 has that version in libpthread.so.0, which the program therefore
     names as needed (newer glibc keeps an empty libpthread.so.0);
   - stat and its kin are functions of their own since 2.33; before, they were calls of
     __xstat and its kin with the version number of struct stat's layout;
   - __libc_start_main@GLIBC_2.34 runs the program's constructors itself; the older one is
     handed a function that runs them, as glibc 2.31's start files did;
   - _dl_find_object (2.35, the unwinder's way to find a program's frame tables) is answered
     from dl_iterate_phdr, which the unwinder used before;
   - arc4random (2.36, behind std::random_device) is read from getrandom (2.25);
   - __libc_single_threaded (2.32) lets libstdc++ skip atomic operations while the process
     has one thread; ours always says that it may have more: a little slower, always safe.

   tests/install/check-glibc.sh fails when the program asks for a newer version, so that a
   new reference shows up at once: its name then goes here and into the list. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>

/* OLD(RESULT, NAME, VERSION, (PARAMETERS)): quorvel_old_NAME is NAME@VERSION. */
#define OLD(result, name, version, parameters) \
  result quorvel_old_##name parameters;        \
  __asm__(".symver quorvel_old_" #name ", " #name "@" version)

/* FORWARD(RESULT, NAME, VERSION, (PARAMETERS), (ARGUMENTS)): __wrap_NAME calls NAME@VERSION. */
#define FORWARD(result, name, version, parameters, arguments) \
  OLD(result, name, version, parameters);                      \
  result __wrap_##name parameters { return quorvel_old_##name arguments; }

typedef void *(*ThreadStart)(void *);
typedef void (*KeyDestructor)(void *);
FORWARD(int, pthread_create, "GLIBC_2.2.5",
        (pthread_t *thread, const pthread_attr_t *attributes, ThreadStart start, void *argument),
        (thread, attributes, start, argument))
FORWARD(int, pthread_join, "GLIBC_2.2.5", (pthread_t thread, void **result), (thread, result))
FORWARD(int, pthread_detach, "GLIBC_2.2.5", (pthread_t thread), (thread))
FORWARD(int, pthread_once, "GLIBC_2.2.5", (pthread_once_t *once, void (*run)(void)), (once, run))
FORWARD(int, pthread_key_create, "GLIBC_2.2.5", (pthread_key_t *key, KeyDestructor destructor),
        (key, destructor))
FORWARD(int, __pthread_key_create, "GLIBC_2.2.5", (pthread_key_t *key, KeyDestructor destructor),
        (key, destructor))
FORWARD(int, pthread_key_delete, "GLIBC_2.2.5", (pthread_key_t key), (key))
FORWARD(void *, pthread_getspecific, "GLIBC_2.2.5", (pthread_key_t key), (key))
FORWARD(int, pthread_setspecific, "GLIBC_2.2.5", (pthread_key_t key, const void *value), (key, value))
FORWARD(int, pthread_mutex_trylock, "GLIBC_2.2.5", (pthread_mutex_t *mutex), (mutex))
FORWARD(int, pthread_sigmask, "GLIBC_2.2.5", (int how, const sigset_t *set, sigset_t *old), (how, set, old))

/* _STAT_VER on x86_64: struct stat as the kernel lays it out. */
enum { kStatLayout = 1 };
OLD(int, __xstat, "GLIBC_2.2.5", (int layout, const char *path, struct stat *status));
OLD(int, __lxstat, "GLIBC_2.2.5", (int layout, const char *path, struct stat *status));
OLD(int, __fxstat, "GLIBC_2.2.5", (int layout, int file, struct stat *status));
OLD(int, __fxstat64, "GLIBC_2.2.5", (int layout, int file, struct stat64 *status));
OLD(int, __fxstatat, "GLIBC_2.4", (int layout, int folder, const char *path, struct stat *status, int flags));
int __wrap_stat(const char *path, struct stat *status) { return quorvel_old___xstat(kStatLayout, path, status); }
int __wrap_lstat(const char *path, struct stat *status) { return quorvel_old___lxstat(kStatLayout, path, status); }
int __wrap_fstat(int file, struct stat *status) { return quorvel_old___fxstat(kStatLayout, file, status); }
int __wrap_fstat64(int file, struct stat64 *status) { return quorvel_old___fxstat64(kStatLayout, file, status); }
int __wrap_fstatat(int folder, const char *path, struct stat *status, int flags) {
  return quorvel_old___fxstatat(kStatLayout, folder, path, status, flags);
}

/* The program's constructors, as glibc 2.31's start files ran them: _init, then the
   .init_array in order. */
typedef void (*Constructor)(int, char **, char **);
extern void _init(void);
extern const Constructor __init_array_start[] __attribute__((visibility("hidden")));
extern const Constructor __init_array_end[] __attribute__((visibility("hidden")));
static void RunConstructors(int argc, char **argv, char **environment) {
  _init();
  for (const Constructor *constructor = __init_array_start; constructor != __init_array_end; ++constructor)
    (*constructor)(argc, argv, environment);
}

/* Newer start files pass no init function; the old __libc_start_main then runs none. */
typedef int (*MainFunction)(int, char **, char **);
OLD(int, __libc_start_main, "GLIBC_2.2.5", (MainFunction main_function, int argc, char **argv, Constructor init,
                                           void (*fini)(void), void (*loader_fini)(void), void *stack_end));
int __wrap___libc_start_main(MainFunction main_function, int argc, char **argv, Constructor init,
                             void (*fini)(void), void (*loader_fini)(void), void *stack_end) {
  return quorvel_old___libc_start_main(main_function, argc, argv, init ? init : RunConstructors, fini,
                                       loader_fini, stack_end);
}

char __wrap___libc_single_threaded = 0;

#ifdef DLFO_STRUCT_HAS_EH_DBASE
/* Fills what the unwinder reads of a found object: where it is mapped and its
   PT_GNU_EH_FRAME segment. The link map is left out: the unwinder does not read it. */
struct ObjectSearch {
  uintptr_t address;
  struct dl_find_object *found;
};
static int FindObjectHolding(struct dl_phdr_info *object, size_t info_size, void *context) {
  (void)info_size;
  struct ObjectSearch *search = context;
  uintptr_t start = UINTPTR_MAX, end = 0;
  void *frame_tables = NULL;
  int holds_address = 0;
  for (ElfW(Half) i = 0; i < object->dlpi_phnum; ++i) {
    const ElfW(Phdr) *segment = &object->dlpi_phdr[i];
    uintptr_t segment_start = object->dlpi_addr + segment->p_vaddr;
    if (segment->p_type == PT_LOAD) {
      if (segment_start < start) start = segment_start;
      if (segment_start + segment->p_memsz > end) end = segment_start + segment->p_memsz;
      if (search->address - segment_start < segment->p_memsz) holds_address = 1;
    } else if (segment->p_type == PT_GNU_EH_FRAME) {
      frame_tables = (void *)segment_start;
    }
  }
  if (!holds_address) return 0;
  memset(search->found, 0, sizeof *search->found);
  search->found->dlfo_map_start = (void *)start;
  search->found->dlfo_map_end = (void *)end;
  search->found->dlfo_eh_frame = frame_tables;
  return 1;
}
int __wrap__dl_find_object(void *address, struct dl_find_object *found) {
  struct ObjectSearch search = {(uintptr_t)address, found};
  return dl_iterate_phdr(FindObjectHolding, &search) ? 0 : -1;
}
#endif

/* arc4random cannot fail: it waits for the kernel's generator, and ends the program where
   there is none. */
uint32_t __wrap_arc4random(void) {
  uint32_t value;
  ssize_t got;
  while ((got = getrandom(&value, sizeof value, 0)) != (ssize_t)sizeof value)
    if (got >= 0 || errno != EINTR) abort();
  return value;
}
