# shellcheck shell=bash disable=SC2034
# What the project's scripts share; sourced, never run. It sets
#
#   script   the name a script's lines start with: its file name without .sh
#   sudo     "sudo" for a user who is not root, empty for root
#   pids     the processes the script started and ends with it (stop_pids)
#
# and gives
#
#   note TEXT...      "SCRIPT: TEXT" on standard output, or on standard error
#                     where the script sets note_fd=2 (its standard output is
#                     its result)
#   fail TEXT...      "SCRIPT: FAILED: TEXT" on standard error, then exit 1
#   at_exit COMMAND [ARGUMENT...]
#                     the command run when the script ends, however it ends,
#                     after the ones given before it, its failure ignored;
#                     exit_status holds the script's exit status meanwhile
#   stop_pids         every process in pids ended and waited for
#   free_display      a number of an X display that nothing holds
#   apt_binary_sources  the system's apt source files that hold binary entries

script=${script:-$(basename "$0" .sh)}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
pids=()

note() { printf '%s: %s\n' "$script" "$*" >&"${note_fd:-1}"; }

fail() {
  printf '%s: FAILED: %s\n' "$script" "$*" >&2
  exit 1
}

exit_steps=()
exit_status=0
run_exit_steps() {
  exit_status=$?
  local step
  for step in "${exit_steps[@]}"; do
    eval "$step" || true
  done
}
at_exit() {
  [ ${#exit_steps[@]} -gt 0 ] || trap run_exit_steps EXIT
  exit_steps+=("$(printf '%q ' "$@")")
}

stop_pids() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}

# Lock files in /tmp are all that xvfb-run -a and Xvfb look at, and a
# container or chroot does not share them with its host, while the X
# sockets' abstract names are shared by everything on the network namespace:
# a display whose lock file is missing can still be taken. The first number
# from FROM (default 99) that neither kind holds.
free_display() {
  local n=${1:-99}
  while [ -e "/tmp/.X$n-lock" ] ||
    awk -v s="@/tmp/.X11-unix/X$n" '$NF == s { found = 1 } END { exit !found }' /proc/net/unix 2>/dev/null; do
    n=$((n + 1))
  done
  echo "$n"
}

# The files of the system's own apt sources that hold binary ("deb")
# entries, one a line: a deb-src file (Qt's source for Windows) is not one.
apt_binary_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && grep -Eq '^[[:space:]]*(deb[[:space:]]|Types:(.*[[:space:]])?deb([[:space:]]|$))' "$f" && echo "$f"
  done
  return 0
}
