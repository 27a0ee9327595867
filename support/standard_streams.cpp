#include "support/standard_streams.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

void OpenClosedStandardDescriptors() {
#ifndef _WIN32
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is fd itself. Opened the
    // wrong way round, so that using it still fails as on a closed one: the
    // output of "cmd >&-" is lost, and must not be reported as written.
    const int opened = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (opened != fd && opened >= 0) close(opened);
  }
#endif
}
