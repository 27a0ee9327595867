#!/bin/bash
# The scenarios on real drivers, run in the guest by guest-init.sh. Each
# reports "pass NAME" or "fail NAME" to the host; its log is out/NAME.log.
cd "$(dirname "$0")" || exit 1
. ./lib.sh
files=(scenarios-*.sh)
# The Windows half, when the host gave the guest the Windows programs.
[ -f windows-scenarios.sh ] && files+=(windows-scenarios.sh)
for file in "${files[@]}"; do . "./$file"; done

scenario() {
  local name=$1
  shift
  to_host start "$name"
  # The user is in dialout for all but the scenario of joining it.
  [ "$name" = ports_as_a_user_meets_them ] || usermod -aG dialout "$user"
  if "$@" >"$out/$name.log" 2>&1; then to_host pass "$name"; else to_host fail "$name"; fi
}

await present "$adapter" 30 && await present "$uart" 5 && udevadm settle --timeout=20
# In the order of the files and of the scenarios in them: the ports first,
# while the user is still outside dialout.
all=$(grep -ho '^scenario_[a-z_]*' "${files[@]}" | sed 's/^scenario_//')
for name in ${ORVEX_SCENARIOS:-$all}; do
  scenario "$name" "scenario_$name"
done
