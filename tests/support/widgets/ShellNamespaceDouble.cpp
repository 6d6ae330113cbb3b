#include "ShellNamespaceDouble.h"

#include <QFile>

// The double's commands: "delete" removes at once; every command is recorded.
class DoubleCommands : public TRzShellCommands
{
public:
    DoubleCommands(ShellNamespaceDouble &owner, QByteArray key, bool offerRename)
        : m_owner(owner), m_key(std::move(key))
    {
        Add(TRzShellVerb::Open, QStringLiteral("&Open"));
        Add(TRzShellVerb::CopyPath, QStringLiteral("&Copy Path"));
        if (offerRename)
            Add(TRzShellVerb::Rename, QStringLiteral("Rena&me"));
        Add(TRzShellVerb::Delete, QStringLiteral("&Delete"));
    }

protected:
    Outcome Run(const QString &verb, QWidget *) override
    {
        m_owner.m_invoked.append(verb + QLatin1Char(' ') + QFile::decodeName(m_key));
        if (SameVerb(verb, TRzShellVerb::Delete))
            m_owner.Remove(m_key);
        return Outcome::Done;
    }

private:
    ShellNamespaceDouble &m_owner;
    QByteArray m_key;
};

ShellNamespaceDouble::ShellNamespaceDouble()
{
    m_items.insert(QByteArray(""), Item{});
}

QByteArray ShellNamespaceDouble::Key(const TRzShellAbsId &item)
{
    return item.isEmpty() ? QByteArray() : QByteArray("/") + item.join('/');
}

TRzShellAbsId ShellNamespaceDouble::Id(const QByteArray &path)
{
    TRzShellAbsId id;
    for (const QByteArray &part : path.split('/')) {
        if (!part.isEmpty())
            id.append(part);
    }
    return id;
}

void ShellNamespaceDouble::Add(const QByteArray &path, const Item &item)
{
    const TRzShellAbsId id = Id(path);
    for (qsizetype depth = 1; depth < id.size(); ++depth) {
        const QByteArray parent = Key(id.mid(0, depth));
        if (!m_items.contains(parent)) {
            m_items.insert(parent, Item{});
            m_order.append(parent);
        }
    }
    const QByteArray key = Key(id);
    if (!m_items.contains(key))
        m_order.append(key);
    m_items.insert(key, item);
}

void ShellNamespaceDouble::AddFolder(const QByteArray &path)
{
    Add(path, Item{});
}

void ShellNamespaceDouble::AddFile(const QByteArray &path)
{
    Item item;
    item.folder = false;
    Add(path, item);
}

void ShellNamespaceDouble::AddVirtual(const QByteArray &path, bool ancestor)
{
    Item item;
    item.virtualItem = true;
    item.ancestor = ancestor;
    Add(path, item);
}

void ShellNamespaceDouble::Remove(const QByteArray &path)
{
    const QByteArray key = Key(Id(path));
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it.key() == key || it.key().startsWith(QByteArray(key + '/'))) {
            m_order.removeAll(it.key());
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
}

void ShellNamespaceDouble::SetOutcome(const QByteArray &path, TRzShellListing::Outcome outcome,
                                      const QString &message)
{
    Item &item = m_items[Key(Id(path))];
    item.outcome = outcome;
    item.message = message;
}

void ShellNamespaceDouble::SetCanRename(const QByteArray &path, bool canRename)
{
    m_items[Key(Id(path))].canRename = canRename;
}

void ShellNamespaceDouble::SetProtected(const QByteArray &path)
{
    m_items[Key(Id(path))].protectedItem = true;
}

int ShellNamespaceDouble::TotalListCount() const
{
    int total = 0;
    for (int count : m_listCounts)
        total += count;
    return total;
}

QList<QByteArray> ShellNamespaceDouble::ChildrenOf(const QByteArray &key) const
{
    QList<QByteArray> names;
    for (const QByteArray &each : m_order) {
        if (each.startsWith(QByteArray(key + '/')) && each.indexOf('/', key.size() + 1) < 0)
            names.append(each.mid(key.size() + 1));
    }
    return names;
}

std::optional<TRzShellAbsId> ShellNamespaceDouble::ParsePath(const QByteArray &path)
{
    if (!path.startsWith('/'))
        return std::nullopt;
    const TRzShellAbsId id = Id(path);
    if (!m_items.contains(Key(id)))
        return std::nullopt;
    return id;
}

QByteArray ShellNamespaceDouble::ItemPath(const TRzShellAbsId &item)
{
    for (qsizetype depth = 1; depth <= item.size(); ++depth) {
        if (m_items.value(Key(item.mid(0, depth))).virtualItem)
            return QByteArray();
    }
    return item.isEmpty() ? QByteArray("/") : Key(item);
}

TRzShellListing ShellNamespaceDouble::ListChildren(const TRzShellAbsId &folder,
                                                   TRzShellListFlags request)
{
    const QByteArray key = Key(folder);
    m_listCounts[key.isEmpty() ? QByteArray("/") : key] += 1;
    TRzShellListing listing;
    if (!m_items.contains(key) || m_items.value(key).outcome == TRzShellListing::NotStarted) {
        listing.outcome = TRzShellListing::NotStarted;
        return listing;
    }
    const Item &self = m_items.value(key);
    for (const QByteArray &name : ChildrenOf(key)) {
        const Item &item = m_items.value(key + '/' + name);
        if (name.startsWith('.') && !(request & slHidden))
            continue;
        if (!item.folder && !(request & slNonFolders))
            continue;
        listing.children.append(name);
        if (self.outcome != TRzShellListing::Complete)
            break;
    }
    listing.outcome = self.outcome;
    listing.message = self.message;
    return listing;
}

std::optional<TRzShellAttributes> ShellNamespaceDouble::ItemAttributes(const TRzShellAbsId &folder,
                                                                       const TRzShellRelId &child)
{
    const QByteArray key = Key(folder) + '/' + child;
    if (!m_items.contains(key))
        return std::nullopt;
    const Item &item = m_items.value(key);
    TRzShellAttributes attributes;
    if (!item.virtualItem)
        attributes |= saFileSystem;
    if (item.folder && (!item.virtualItem || item.ancestor))
        attributes |= saFileSystemAncestor;
    if (item.folder)
        attributes |= saFolder;
    for (const QByteArray &name : ChildrenOf(key)) {
        if (m_items.value(key + '/' + name).folder)
            attributes |= saHasSubfolders;
    }
    if (child.startsWith('.'))
        attributes |= saHidden;
    if (item.canRename)
        attributes |= saCanRename;
    return attributes;
}

QString ShellNamespaceDouble::DisplayName(const TRzShellAbsId &folder, const TRzShellRelId &child,
                                          TRzShellNamePurpose)
{
    if (!child.isEmpty())
        return QString::fromUtf8(child);
    return folder.isEmpty() ? QStringLiteral("Double Root") : QString::fromUtf8(folder.last());
}

int ShellNamespaceDouble::CompareItems(const TRzShellAbsId &, const TRzShellRelId &a,
                                       const TRzShellRelId &b)
{
    const int folded =
        QString::compare(QString::fromUtf8(a), QString::fromUtf8(b), Qt::CaseInsensitive);
    if (folded != 0)
        return folded;
    return a == b ? 0 : (a < b ? -1 : 1);
}

TRzShellIcons ShellNamespaceDouble::ItemIcons(const TRzShellAbsId &)
{
    return {0, 0};
}

TRzShellRenameResult ShellNamespaceDouble::RenameItem(const TRzShellAbsId &folder,
                                                      const TRzShellRelId &child,
                                                      const QString &newName)
{
    TRzShellRenameResult result;
    const QByteArray from = Key(folder) + '/' + child;
    const QByteArray to = Key(folder) + '/' + newName.toUtf8();
    if (newName.contains(QLatin1Char('/')) || m_items.contains(to)) {
        result.message = QStringLiteral("refused");
        return result;
    }
    QMap<QByteArray, Item> moved;
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it.key() == from || it.key().startsWith(QByteArray(from + '/'))) {
            const QByteArray newKey = to + it.key().mid(from.size());
            moved.insert(newKey, it.value());
            m_order.replace(m_order.indexOf(it.key()), newKey);
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    m_items.insert(moved);
    result.ok = true;
    result.newId = newName.toUtf8();
    return result;
}

TRzShellCreateResult ShellNamespaceDouble::CreateFolder(const TRzShellAbsId &folder,
                                                        const QString &name)
{
    TRzShellCreateResult result;
    const QByteArray key = Key(folder);
    const QByteArray created = key + '/' + name.toUtf8();
    if (!m_items.contains(key)) {
        result.message = QStringLiteral("no such folder");
    } else if (m_items.contains(created)) {
        result.outcome = TRzShellCreateResult::Exists;
        result.message = QStringLiteral("taken");
    } else {
        AddFolder(created);
        result.outcome = TRzShellCreateResult::Created;
    }
    return result;
}

bool ShellNamespaceDouble::IsProtected(const TRzShellAbsId &item, const QByteArrayList &kept)
{
    const QByteArray key = Key(item);
    if (key.isEmpty() || m_items.value(key).protectedItem)
        return true;
    for (const QByteArray &each : kept) {
        const QByteArray keptKey = Key(Id(each));
        if (keptKey == key || keptKey.startsWith(QByteArray(key + '/')))
            return true;
    }
    return false;
}

std::unique_ptr<TRzShellCommands> ShellNamespaceDouble::ItemCommands(const TRzShellAbsId &folder,
                                                                     const TRzShellRelId &child,
                                                                     bool offerRename,
                                                                     QString *error)
{
    const QByteArray key = Key(folder) + '/' + child;
    if (!m_items.contains(key)) {
        if (error)
            *error = QStringLiteral("gone");
        return nullptr;
    }
    return std::make_unique<DoubleCommands>(*this, key, offerRename);
}
