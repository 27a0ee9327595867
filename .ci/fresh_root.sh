# Fresh Debian 12 roots for .ci/run: made from a cached bare root, entered
# with chroot, and removed with everything mounted into them when CI ends,
# however it ends. Sourced, not run.

cache=${ORVEX_CI_CACHE:-/var/cache/orvex-ci}
work=$(mktemp -d /var/tmp/orvex-ci.XXXXXX)
suite=bookworm
variant=apt
# A new user's machine: the bare system and git, which brought the tree.
base_packages=git
# Inside the root, where the tree is cloned to and where the user's cache is.
tree=/root/orvex-gsm
user_cache=/root/.cache/orvex-gsm

fail() {
  printf 'ci: FAILED: %s\n' "$*" >&2
  exit 1
}

host_needs() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# Prints the bare root's tarball, made when it is not in the cache.
base_root_tarball() {
  local key
  key=$(printf '%s\n' "$suite" "$variant" "$base_packages" "$(mmdebstrap --version)" |
    sha256sum | cut -c1-12)
  local tarball=$cache/base-$suite-$key.tar
  if [ ! -f "$tarball" ]; then
    mkdir -p "$cache"
    # A directory or a half-made tarball left by an earlier run is no base.
    rm -rf "$cache"/base-"$suite"-*.tar "$cache"/.base-*.partial.tar
    # mmdebstrap takes its output format from the file name unless told, so
    # the temporary name ends in .tar and the format is said as well; the
    # tarball gets its real name only once it is whole.
    local partial=$cache/.base-$suite-$key.partial.tar
    mmdebstrap --quiet --format=tar --variant="$variant" --include="$base_packages" \
      "$suite" "$partial" >&2 || { rm -rf "$partial"; fail "mmdebstrap"; }
    mv "$partial" "$tarball"
  fi
  echo "$tarball"
}

# Unpacks a new root from the tarball, mounts what programs expect and clones
# this tree's HEAD into it; prints the root's path.
new_root() {
  local root
  root=$(mktemp -d "$work/root.XXXXXX")
  tar -C "$root" -xf "$1"
  cat -- /etc/resolv.conf >"$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
  mount --rbind /sys "$root/sys" && mount --make-rslave "$root/sys"
  mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
  git clone --quiet --no-hardlinks "$PWD" "$root$tree"
  echo "$root"
}

# The user's cache folder from CI's cache, read-only (ro) or not (rw).
mount_cache() {
  local root=$1 mode=$2
  mkdir -p "$cache/orvex-gsm" "$root$user_cache"
  mount --bind "$cache/orvex-gsm" "$root$user_cache"
  [ "$mode" = rw ] || mount -o remount,bind,ro "$root$user_cache"
}

# A command in the root's tree, as root with a plain login environment.
root_environment=(HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 CI=true
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
run_in_root() {
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i "${root_environment[@]}" \
    bash -c 'cd "$0" && exec "$@"' "$tree" "$@" </dev/null
}

# Whether the root's virtual display shows a window named "Confirm" (the
# window's question), looked at from the host through the display's socket.
question_on_screen() {
  local root=$1 lock auth
  for lock in "$root"/tmp/.X*-lock; do
    [ -f "$lock" ] || continue
    local display=${lock##*/.X}
    display=${display%-lock}
    for auth in "$root"/tmp/xvfb-run.*/Xauthority; do
      DISPLAY=:$display XAUTHORITY=$auth xwininfo -root -tree 2>/dev/null |
        grep -q '^ *0x[0-9a-f]* "Confirm":' && return 0
    done
  done
  return 1
}

# README's run command, on a virtual display since the root has none, until
# the window asks whether to read the simulated panel; then it is ended. The
# window traces its exchanges (Config.ini beside the program turns that on),
# so the question is known to follow the panel's answer and not the scan's
# "no connection".
prove_run_command() {
  local root=$1 log=$work/run.log
  mkdir -p "$root$tree/build/app"
  printf '[Main]\r\nDebug=TRUE\r\n' >"$root$tree/build/app/Config.ini"
  setsid chroot "$root" /usr/bin/env -i "${root_environment[@]}" \
    bash -c 'cd "$0" && exec bash scripts/run.sh --xvfb' "$tree" </dev/null >"$log" 2>&1 &
  local pid=$! deadline=$((SECONDS + 2700))
  local answered
  answered=$(printf '%s' 'Успешно отправили команду { +T01 }' | iconv -f UTF-8 -t CP1251)
  until question_on_screen "$root" && grep -qF "$answered" "$root$tree/log.txt" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null; then
      tail -n 40 "$log"
      wait "$pid" && fail "run.sh ended before the window asked" ||
        fail "run.sh ended with status $? before the window asked"
    fi
    [ "$SECONDS" -lt "$deadline" ] || { tail -n 40 "$log"; fail "no question within 45 minutes"; }
    sleep 3
  done
  grep '^run.sh:' "$log" || true
  echo "ci: the window asks whether to read the panel that answered +T01; ending run.sh"
  kill -TERM -- "-$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  kill_processes_in "$root"
  rm -f "$root$tree/build/app/Config.ini" "$root$tree/log.txt"
}

kill_processes_in() {
  local root=$1 proc
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null
  done
  sleep 1
}

# Unmounts everything below the root, then removes it; a root that still
# has a mount is left alone, since removing it would reach into the mount.
drop_root() {
  local root=$1 mounts
  kill_processes_in "$root"
  mounts=$(awk -v r="$root/" 'index($5, r) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
  for m in $mounts; do umount -R "$m" 2>/dev/null || umount -R -l "$m" 2>/dev/null || true; done
  if awk -v r="$root/" 'index($5, r) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
    echo "ci: $root keeps a mount and is left in place" >&2
    return
  fi
  rm -rf --one-file-system "$root"
}

drop_every_root() {
  local root
  for root in "$work"/root.*; do [ -d "$root" ] && drop_root "$root"; done
  rm -rf --one-file-system "$work" 2>/dev/null || true
}
trap drop_every_root EXIT
trap 'exit 130' INT TERM HUP
