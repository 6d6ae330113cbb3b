#include "ShellTestSupport.h"

#include "widgets/shell/TRzCustomShellTree.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

#include <functional>

NoBoxGuard::NoBoxGuard()
{
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_seen = box->text();
            box->reject();
        }
        if (QWidget *popup = QApplication::activePopupWidget()) {
            m_seen = QStringLiteral("a popup menu");
            popup->close();
        }
    });
    m_timer.start();
}

NoBoxGuard::~NoBoxGuard() = default;

std::shared_ptr<SeenMenu> ChooseFromNextMenu(const QString &caption)
{
    auto seen = std::make_shared<SeenMenu>();
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [seen, caption, timer, poll]() {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (menu && menu->isVisible()) {
            seen->seen = true;
            QAction *wanted = nullptr;
            for (QAction *action : menu->actions()) {
                seen->captions << action->text();
                if (!action->isEnabled())
                    seen->disabled << action->text();
                if (action->text() == caption)
                    wanted = action;
            }
            if (wanted && wanted->isEnabled())
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(wanted).center());
            else
                menu->close();
            *poll = nullptr;
            return;
        }
        if (timer->elapsed() > 10000) {
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
    return seen;
}

TRzShellTreeNode *FindNode(TRzCustomShellTree *tree, const TRzShellAbsId &item)
{
    TRzShellTreeNode *node = tree->RootNode();
    if (!node)
        return nullptr;
    const TRzShellAbsId base = node->Record().AbsoluteId();
    for (qsizetype i = base.size(); i < item.size(); ++i) {
        TRzShellTreeNode *next = nullptr;
        for (int c = 0; c < node->childCount(); ++c) {
            if (node->ChildNode(c)->Record().RelativeId() == item.at(i))
                next = node->ChildNode(c);
        }
        if (!next)
            return nullptr;
        node = next;
    }
    return node;
}

QStringList ChildLabels(QTreeWidgetItem *node)
{
    QStringList labels;
    for (int i = 0; node && i < node->childCount(); ++i)
        labels << node->child(i)->text(0);
    return labels;
}

void RightClick(TRzCustomShellTree *tree, QTreeWidgetItem *node)
{
    const QPoint where = tree->visualItemRect(node).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, where, tree->viewport()->mapToGlobal(where));
    QApplication::sendEvent(tree->viewport(), &event);
}

void ClickNode(TRzCustomShellTree *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}
