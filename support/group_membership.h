#pragma once
// Whether joining a group would give this user access, or has done so
// already: a user added to a group only gets it in sessions begun afterwards.

#include <string>

enum class GroupMembership {
  kNotListed,     // the user is not a member: join it (usermod -aG)
  kNotInSession,  // listed as a member, but this session began before
  kInSession,     // this process has the group already
};

// The membership of the user running this program in group (POSIX; on
// Windows, where devices have no groups, always kNotListed).
GroupMembership UserGroupMembership(const std::string& group);
