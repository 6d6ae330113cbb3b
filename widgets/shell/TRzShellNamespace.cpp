#include "widgets/shell/TRzShellNamespace.h"

#include <algorithm>

TRzShellNamespace::~TRzShellNamespace() = default;

int TRzShellNamespace::CompareIds(const TRzShellAbsId &a, const TRzShellAbsId &b)
{
    TRzShellAbsId folder;
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const int order = CompareItems(folder, a.at(i), b.at(i));
        if (order != 0)
            return order;
        folder.append(a.at(i));
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool TRzShellNamespace::IsWithin(const TRzShellAbsId &item, const TRzShellAbsId &ancestor)
{
    if (ancestor.size() > item.size())
        return false;
    return CompareIds(item.mid(0, ancestor.size()), ancestor) == 0;
}

// FileSystem() is made in TRzFileSystemNamespace.cpp.
