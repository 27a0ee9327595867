// The holders of a device, read from /proc/PID/fd.

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>

#include "serial/device_holders.h"

namespace {

// Unix98 pseudo-terminal slaves: majors 136 to 143, 256 minors each.
constexpr unsigned kPtySlaveMajor = 136;
constexpr unsigned kPtySlaveMajors = 8;
// /dev/ptmx and /dev/pts/ptmx.
const dev_t kPtmx = makedev(5, 2);

// The pseudo-terminal index of a slave device, or -1 for any other device.
long PtyIndex(dev_t rdev) {
  const unsigned m = major(rdev);
  if (m < kPtySlaveMajor || m >= kPtySlaveMajor + kPtySlaveMajors) return -1;
  return static_cast<long>((m - kPtySlaveMajor) * 256 + minor(rdev));
}

bool AllDigits(const char* name) {
  if (*name == '\0') return false;
  for (; *name; ++name)
    if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
  return true;
}

// The pseudo-terminal a master descriptor stands for ("tty-index:" of its
// fdinfo), or -1.
long MasterIndex(const std::string& pid, const char* fd) {
  std::ifstream info("/proc/" + pid + "/fdinfo/" + fd);
  std::string line;
  while (std::getline(info, line)) {
    long index = -1;
    if (std::sscanf(line.c_str(), "tty-index: %ld", &index) == 1) return index;
  }
  return -1;
}

std::string ProgramName(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// Whether the process holds the device and is not its far end.
bool Holds(const std::string& pid, dev_t rdev, long ptyIndex) {
  const std::string fdPath = "/proc/" + pid + "/fd";
  DIR* fds = opendir(fdPath.c_str());
  if (fds == nullptr) return false;  // gone, or another user's
  bool holds = false;
  bool farEnd = false;
  while (const dirent* entry = readdir(fds)) {
    // Sockets, pipes and anonymous inodes link to no path; only paths can be
    // devices, and reading the link is cheaper than asking for its status.
    char target[2];
    if (readlinkat(dirfd(fds), entry->d_name, target, sizeof target) <= 0 || target[0] != '/')
      continue;
    struct stat st {};
    if (fstatat(dirfd(fds), entry->d_name, &st, 0) != 0 || !S_ISCHR(st.st_mode)) continue;
    if (st.st_rdev == rdev) holds = true;
    if (ptyIndex >= 0 && st.st_rdev == kPtmx && MasterIndex(pid, entry->d_name) == ptyIndex)
      farEnd = true;
  }
  closedir(fds);
  return holds && !farEnd;
}

}  // namespace

std::vector<PortHolder> FindDeviceHolders(uint64_t rdev) {
  std::vector<PortHolder> holders;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return holders;
  const std::string self = std::to_string(getpid());
  const long ptyIndex = PtyIndex(static_cast<dev_t>(rdev));
  while (const dirent* entry = readdir(proc)) {
    if (!AllDigits(entry->d_name) || self == entry->d_name) continue;
    const std::string pid = entry->d_name;
    if (Holds(pid, static_cast<dev_t>(rdev), ptyIndex))
      holders.push_back(PortHolder{std::stoi(pid), ProgramName(pid)});
  }
  closedir(proc);
  return holders;
}

std::string GroupName(uint32_t gid) {
  group entry{};
  group* found = nullptr;
  char buffer[4096];
  if (getgrgid_r(static_cast<gid_t>(gid), &entry, buffer, sizeof buffer, &found) == 0 && found)
    return found->gr_name;
  return std::to_string(gid);
}
