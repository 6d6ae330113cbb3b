#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

void Record(QMessageBox *box, SeenBox &seen)
{
    seen.seen = true;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    const auto *buttonBox = box->findChild<QDialogButtonBox *>();
    const QList<QAbstractButton *> ordered =
        buttonBox ? buttonBox->findChildren<QAbstractButton *>() : box->buttons();
    QList<QAbstractButton *> sorted = ordered;
    std::sort(sorted.begin(), sorted.end(), [](QAbstractButton *a, QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    for (QAbstractButton *button : sorted)
        seen.buttons << button->text();
    seen.standardButtons = box->standardButtons() != QMessageBox::NoButton;
    if (box->defaultButton())
        seen.defaultButton = box->defaultButton()->text();
    if (box->escapeButton())
        seen.escapeButton = box->escapeButton()->text();
}

// Polls for the modal box instead of assuming when it opens: the box may be
// shown from deep inside a handler that is still running.
void WhenBoxShows(const std::shared_ptr<SeenBox> &seen,
                  const std::function<void(QMessageBox *)> &act)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<SeenBox> watched = seen;
    *poll = [act, timer, poll, watched]() {
        const auto alive = watched.lock();
        if (!alive || alive->cancelled) {
            poll->operator=(nullptr);
            return;
        }
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible()) {
            act(box);
            poll->operator=(nullptr); // break the self-reference
            return;
        }
        if (timer->elapsed() > 10000) {
            poll->operator=(nullptr);
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

} // namespace

std::shared_ptr<SeenBox> AnswerNextBox(const QString &buttonText)
{
    auto seen = std::make_shared<SeenBox>();
    WhenBoxShows(seen, [seen, buttonText](QMessageBox *box) {
        Record(box, *seen);
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == buttonText) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        box->reject(); // the asked-for button is missing: the test sees the texts
    });
    return seen;
}

std::shared_ptr<SeenBox> AnswerNextBoxWithKey(Qt::Key key)
{
    auto seen = std::make_shared<SeenBox>();
    WhenBoxShows(seen, [seen, key](QMessageBox *box) {
        Record(box, *seen);
        QTest::keyClick(box, key);
    });
    return seen;
}

std::shared_ptr<SeenBox> CloseNextBox()
{
    auto seen = std::make_shared<SeenBox>();
    WhenBoxShows(seen, [seen](QMessageBox *box) {
        Record(box, *seen);
        box->close();
    });
    return seen;
}

bool OnlyTheseWindowsOpen(const QList<QWidget *> &allowed)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->isVisible() && !allowed.contains(window))
            return false;
    }
    return true;
}
