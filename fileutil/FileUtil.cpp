#include "FileUtil.h"

#include <QByteArrayList>

#include <algorithm>
#include <dirent.h>
#include <limits.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileUtil {

QByteArray WithTrailingSeparator(const QByteArray &path)
{
    if (path.endsWith(Separator))
        return path;
    return path + Separator;
}

QByteArray FolderOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf(Separator);
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

QByteArray NameOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf(Separator);
    return slash < 0 ? path : path.mid(slash + 1);
}

QByteArray ProgramFolder()
{
    // /proc/self/exe names the running binary even when it was started
    // through a symlink or a relative path.
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return QByteArray();
    buffer.truncate(length);
    return FolderOfPath(buffer);
}

bool IsExistingFile(const QByteArray &path)
{
    // Any last-write time counts: files restored from archives often carry
    // dates before 1980, and they are still the user's files.
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return false;
    return !S_ISDIR(st.st_mode);
}

bool IsExistingFolder(const QByteArray &path)
{
    return HasAttributes(path, faDirectory);
}

int FileAttributes(const QByteArray &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return -1;
    int attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= faDirectory;
    if (!(st.st_mode & S_IWUSR))
        attributes |= faReadOnly;
    QByteArray name = path;
    while (name.size() > 1 && name.endsWith(Separator))
        name.chop(1);
    if (NameOfPath(name).startsWith('.') && NameOfPath(name) != "." && NameOfPath(name) != "..")
        attributes |= faHidden;
    return attributes;
}

bool HasAttributes(const QByteArray &path, unsigned bits)
{
    const int attributes = FileAttributes(path);
    return attributes >= 0 && (unsigned(attributes) & bits) == bits;
}

QByteArray ResolveNameIgnoringCase(const QByteArray &folder, const QByteArray &name)
{
    const QByteArray exact = folder + name;
    struct stat st;
    if (::stat(exact.constData(), &st) == 0 && !S_ISDIR(st.st_mode))
        return exact;

    std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.isEmpty() ? "." : folder.constData()),
                                             &::closedir);
    if (!dir)
        return exact;
    QByteArrayList matches;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, name.constData()) != 0)
            continue;
        const QByteArray candidate = folder + entry->d_name;
        if (::stat(candidate.constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            matches.append(candidate);
    }
    if (matches.isEmpty())
        return exact;
    // Several spellings of one name: take a fixed one, not the directory's order.
    std::sort(matches.begin(), matches.end());
    return matches.first();
}

} // namespace FileUtil
