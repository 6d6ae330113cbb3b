#pragma once

#include "widgets/shell/TRzShellNamespace.h"

#include <QByteArray>
#include <QStringList>
#include <QTimer>

#include <memory>

class QTreeWidgetItem;
class TRzCustomShellTree;
class TRzShellTreeNode;

// Fails the running test if a modal box or menu opens while it lives; the
// box is closed so that the test cannot hang on it.
class NoBoxGuard
{
public:
    NoBoxGuard();
    ~NoBoxGuard();
    bool SawBox() const { return !m_seen.isEmpty(); }
    QString Seen() const { return m_seen; }

private:
    QTimer m_timer;
    QString m_seen;
};

// What a test saw of a context menu before it chose from it.
struct SeenMenu
{
    bool seen = false;
    QStringList captions;
    QStringList disabled;
};

// Waits for the next popup menu, records it and clicks the entry with the
// caption (or closes the menu when there is none, or it is disabled).
std::shared_ptr<SeenMenu> ChooseFromNextMenu(const QString &caption);

// The node of an item, found by its absolute identifier; nullptr if absent.
TRzShellTreeNode *FindNode(TRzCustomShellTree *tree, const TRzShellAbsId &item);
// The labels of a node's children, in their order.
QStringList ChildLabels(QTreeWidgetItem *node);
// Opens a context menu on the node, as a right click does.
void RightClick(TRzCustomShellTree *tree, QTreeWidgetItem *node);
// Clicks the node's label.
void ClickNode(TRzCustomShellTree *tree, QTreeWidgetItem *node);
