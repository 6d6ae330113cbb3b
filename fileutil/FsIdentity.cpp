#include "fileutil/FsIdentity.h"

#include "fileutil/Exception.h"

#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace FileUtil {

namespace {

// This thread's groups only; see FsIdentityScope.
bool SetThreadGroups(const std::vector<gid_t> &groups)
{
    return ::syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

std::vector<gid_t> ThreadGroups()
{
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(size_t(qMax(count, 0)));
    if (count > 0 && ::getgroups(count, groups.data()) != count)
        groups.clear();
    return groups;
}

} // namespace

FsIdentity IdentityOfOwner(const struct stat &owned)
{
    FsIdentity identity;
    identity.Uid = owned.st_uid;
    identity.Gid = owned.st_gid;
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    if (::getpwuid_r(owned.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        int count = 64;
        std::vector<gid_t> groups(64);
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
            groups.resize(size_t(count));
            ::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count);
        }
        groups.resize(size_t(qMax(count, 0)));
        identity.Groups = groups;
    }
    return identity;
}

FsIdentityScope::FsIdentityScope(const FsIdentity &identity)
    : m_uid(uid_t(::setfsuid(uid_t(-1)))), m_gid(gid_t(::setfsgid(gid_t(-1)))),
      m_groups(ThreadGroups())
{
    // Groups and group first: once the uid is the user's, root's right to
    // change them may be gone.
    const bool groups = SetThreadGroups(identity.Groups);
    const int groupsError = errno;
    ::setfsgid(identity.Gid);
    ::setfsuid(identity.Uid);
    // setfsuid and setfsgid report no failure but give back the identity
    // in force: asking again tells whether the change took.
    if (!groups || gid_t(::setfsgid(gid_t(-1))) != identity.Gid ||
        uid_t(::setfsuid(uid_t(-1))) != identity.Uid) {
        const int error = groups ? EPERM : groupsError;
        Restore();
        throw Exception(QStringLiteral("Cannot read the data folder as its owner (%1)")
                            .arg(SystemErrorText(error)));
    }
}

FsIdentityScope::~FsIdentityScope()
{
    Restore();
}

void FsIdentityScope::Restore()
{
    ::setfsuid(m_uid);
    ::setfsgid(m_gid);
    SetThreadGroups(m_groups);
}

} // namespace FileUtil
