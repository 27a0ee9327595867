// Prints the line settings a serial driver holds for a device that another
// program has open: the rate, the frame and flow control, as one line of
// name=value words. Opening a tty that is already open changes none of its
// termios settings, and root passes the holder's TIOCEXCL; it does raise
// DTR and RTS, so the modem lines are read elsewhere, before (the 8250
// driver's /proc/tty/driver/serial).
#include <asm/termbits.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: line-state DEVICE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) {
    perror(argv[1]);
    return 1;
  }
  static const int sizes[] = {5, 6, 7, 8};
  const char* parity = !(t.c_cflag & PARENB)  ? "none"
                       : (t.c_cflag & CMSPAR) ? ((t.c_cflag & PARODD) ? "mark" : "space")
                       : (t.c_cflag & PARODD) ? "odd"
                                              : "even";
  printf("speed=%u bits=%d parity=%s stop=%d rtscts=%d ixon=%d ixoff=%d\n", t.c_ospeed,
         sizes[(t.c_cflag & CSIZE) >> 4], parity, (t.c_cflag & CSTOPB) ? 2 : 1,
         (t.c_cflag & CRTSCTS) ? 1 : 0, (t.c_iflag & IXON) ? 1 : 0, (t.c_iflag & IXOFF) ? 1 : 0);
  close(fd);
  return 0;
}
