/* Modem lines for pseudo-terminals, for the Windows tests under Wine.
 *
 * Wine's WaitCommEvent reads the modem lines (TIOCMGET) before it waits and
 * each time the line wakes it; a pseudo-terminal has no modem lines, the
 * kernel answers ENOTTY, and Wine then fails the wait, so the serial event
 * thread could never be tested on one. Preloaded into Wine
 * (LD_PRELOAD=wine-modem-shim.so), this answers the four modem-line calls on
 * pseudo-terminal slaves only, from lines kept here: DTR and RTS as last set,
 * the input lines (CTS, DSR, carrier, ring) always off, so no line event is
 * ever reported. Every other call, and every call on any other device,
 * reaches the kernel unchanged.
 *
 * Built by scripts/test-windows.sh: cc -shared -fPIC -o wine-modem-shim.so
 * scripts/wine-modem-shim.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143. */
static int IsPtySlave(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

static int IsModemLineCall(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

/* Only the output lines can be set; the input lines stay off. Wine calls
 * from several threads. */
static int output_lines = TIOCM_DTR | TIOCM_RTS;

static int AnswerModemLineCall(unsigned long request, int* lines) {
  const int settable = TIOCM_DTR | TIOCM_RTS;
  if (lines == 0) {
    errno = EFAULT;
    return -1;
  }
  switch (request) {
    case TIOCMGET:
      *lines = __atomic_load_n(&output_lines, __ATOMIC_RELAXED);
      break;
    case TIOCMSET:
      __atomic_store_n(&output_lines, *lines & settable, __ATOMIC_RELAXED);
      break;
    case TIOCMBIS:
      __atomic_fetch_or(&output_lines, *lines & settable, __ATOMIC_RELAXED);
      break;
    default: /* TIOCMBIC */
      __atomic_fetch_and(&output_lines, ~*lines, __ATOMIC_RELAXED);
      break;
  }
  return 0;
}

typedef int (*IoctlFunction)(int, unsigned long, ...);

int ioctl(int fd, unsigned long request, ...) {
  static IoctlFunction real_ioctl;
  va_list args;
  void* argument;
  int result;
  int saved_errno;

  va_start(args, request);
  argument = va_arg(args, void*);
  va_end(args);
  if (real_ioctl == 0) real_ioctl = (IoctlFunction)dlsym(RTLD_NEXT, "ioctl");
  if (real_ioctl == 0) {
    errno = ENOSYS;
    return -1;
  }
  result = real_ioctl(fd, request, argument);
  if (result == 0 || !IsModemLineCall(request)) return result;
  saved_errno = errno;
  if ((saved_errno != ENOTTY && saved_errno != EINVAL) || !IsPtySlave(fd)) {
    errno = saved_errno;
    return result;
  }
  return AnswerModemLineCall(request, (int*)argument);
}
