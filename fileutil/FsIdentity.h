#pragma once

#include <sys/types.h>

#include <vector>

struct stat;

namespace FileUtil {

// Who a file is opened as: a user, a group and that user's other groups.
struct FsIdentity
{
    uid_t Uid = 0;
    gid_t Gid = 0;
    std::vector<gid_t> Groups;
};

// The identity of the user who owns a file or folder: its owner, its group,
// and the groups of the owner's account (none when the owner has no
// account).
FsIdentity IdentityOfOwner(const struct stat &owned);

// Root opening a user's files as that user, on the calling thread only and
// for as long as this lives: a link the user planted then reaches only what
// the user may read. The file-system uid and gid are thread-local already;
// the groups are set with the raw system call, because the C library's
// setgroups changes every thread of the process. Raises Exception when the
// identity cannot be taken on; the old one comes back on destruction.
class FsIdentityScope
{
public:
    explicit FsIdentityScope(const FsIdentity &identity);
    ~FsIdentityScope();
    FsIdentityScope(const FsIdentityScope &) = delete;
    FsIdentityScope &operator=(const FsIdentityScope &) = delete;

private:
    void Restore();

    uid_t m_uid;
    gid_t m_gid;
    std::vector<gid_t> m_groups;
};

} // namespace FileUtil
