#include "support/group_membership.h"

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <vector>
#endif

GroupMembership UserGroupMembership(const std::string& group) {
#ifdef _WIN32
  (void)group;
  return GroupMembership::kNotListed;
#else
  const struct group* entry = getgrnam(group.c_str());
  if (entry == nullptr) return GroupMembership::kNotListed;
  const gid_t gid = entry->gr_gid;
  if (getegid() == gid) return GroupMembership::kInSession;
  const int count = getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
      if (groups[static_cast<size_t>(i)] == gid) return GroupMembership::kInSession;
  }
  // getgrnam's entry is overwritten by the next look-up: test the members first.
  const passwd* user = getpwuid(geteuid());
  if (user == nullptr) return GroupMembership::kNotListed;
  const std::string name = user->pw_name;
  const gid_t primary = user->pw_gid;
  entry = getgrnam(group.c_str());
  if (entry == nullptr) return GroupMembership::kNotListed;
  for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member)
    if (name == *member) return GroupMembership::kNotInSession;
  return primary == gid ? GroupMembership::kNotInSession : GroupMembership::kNotListed;
#endif
}
