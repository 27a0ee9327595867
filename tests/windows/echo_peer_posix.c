/* The far end of the Windows tests' echo port: a pseudo-terminal that sends
 * back every byte it receives, unchanged, NUL bytes included.
 *
 *   echo_peer LINK
 *
 * makes LINK a symlink to the terminal (for Wine: $WINEPREFIX/dosdevices/com12),
 * prints the terminal's path on standard output once it is ready, and runs
 * until SIGTERM or SIGINT, then removes LINK. It holds its own descriptor of
 * the terminal's slave side, so the port may be opened and closed as often as
 * the tests like without the terminal ever hanging up.
 *
 * Built natively by scripts/test-windows.sh: cc -o echo_peer echo_peer_posix.c
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

static volatile sig_atomic_t stop_requested;

static void OnSignal(int sig) {
  (void)sig;
  stop_requested = 1;
}

/* Raw bytes both ways: no echo by the terminal itself, no line editing, no
 * CR/LF translation, no flow control characters. */
static int MakeRaw(int fd) {
  struct termios t;
  if (tcgetattr(fd, &t) != 0) return -1;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  return tcsetattr(fd, TCSANOW, &t);
}

static int Fail(const char* what) {
  fprintf(stderr, "echo_peer: %s: %s\n", what, strerror(errno));
  return 1;
}

/* Writes all of data to fd, waiting while the terminal's queue is full. */
static int WriteAll(int fd, const char* data, size_t count) {
  while (count > 0 && !stop_requested) {
    ssize_t n = write(fd, data, count);
    if (n > 0) {
      data += n;
      count -= (size_t)n;
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return -1;
    } else {
      struct pollfd out = {fd, POLLOUT, 0};
      poll(&out, 1, 100);
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: echo_peer LINK\n");
    return 2;
  }
  const char* link_path = argv[1];
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master < 0) return Fail("posix_openpt");
  const char* slave_path;
  if (grantpt(master) != 0 || unlockpt(master) != 0 || (slave_path = ptsname(master)) == NULL)
    return Fail("pseudo-terminal");
  int held_slave = open(slave_path, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (held_slave < 0) return Fail(slave_path);
  if (MakeRaw(held_slave) != 0) return Fail("terminal settings");

  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, NULL);
  sigaction(SIGINT, &action, NULL);
  signal(SIGPIPE, SIG_IGN);

  unlink(link_path); /* left behind by an earlier run */
  if (symlink(slave_path, link_path) != 0) return Fail(link_path);
  printf("%s\n", slave_path);
  fflush(stdout);

  int status = 0;
  char buffer[4096];
  while (!stop_requested) {
    struct pollfd in = {master, POLLIN, 0};
    if (poll(&in, 1, 200) < 0) {
      if (errno == EINTR) continue;
      status = Fail("poll");
      break;
    }
    if (!(in.revents & POLLIN)) continue;
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0 || WriteAll(master, buffer, (size_t)n) != 0) {
      status = Fail("terminal");
      break;
    }
  }
  unlink(link_path);
  close(held_slave);
  close(master);
  return status;
}
