#pragma once

#include <QAccessibleWidget>
#include <QString>
#include <QStringList>

#include <span>

class QLabel;
class QWidget;

// How a window's controls present themselves to screen readers and other
// assistive technology; nothing here changes how a control looks.
namespace Accessibility {

enum class Kind
{
    Named,     // gets the name of its entry
    OwnText,   // keeps its own text as its name: a label's text, a button's caption
    Decorative // hidden from assistive technology
};

// One control of a window, found by its object name.
struct Entry
{
    const char *objectName;
    Kind kind;
    const char *name;        // Named only
    const char *description; // every kind but Decorative
};

// Names and describes the window's controls by the table. A button of kind
// OwnText is named by its caption without the mnemonic marks; labels keep
// their changing text. Returns the object names of the table that were not
// found, so that a caller can notice a control that was renamed.
QStringList Apply(QWidget *window, std::span<const Entry> entries);

// Hides a purely decorative control (a picture that tells nothing) from
// assistive technology: its accessible interface reports it invisible, it
// has no children to reach, and its showing and hiding send no events.
void MarkDecorative(QWidget *widget);
bool IsDecorative(const QWidget *widget);

// A top-level window that is the application's main window: a frame to
// assistive technology, where a plain widget would be a filler.
void MarkFrame(QWidget *window);

// A label that reports what a window is doing: a status bar to assistive
// technology, with its text readable as text. AnnounceStatus tells listeners
// that the label now reads its text, as a text change; call it when the new
// text is on screen, so that listeners hear what the user sees.
void MarkStatusLine(QLabel *label);
void AnnounceStatus(QLabel *label);

// A status bar whose text is read, never edited nor selected: the text
// interface is what lets a screen reader hear the text and its changes,
// which Qt's AT-SPI bridge passes on for text but not for a value.
class StatusBarInterface : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit StatusBarInterface(QWidget *widget) : QAccessibleWidget(widget, QAccessible::StatusBar)
    {}

    void *interface_cast(QAccessible::InterfaceType type) override;
    void selection(int, int *startOffset, int *endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override { return int(StatusText().size()); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override;

    using QAccessibleWidget::text;

protected:
    virtual QString StatusText() const = 0;
};

// A caption as it reads: "&Next" gives "Next", "A && B" gives "A & B".
QString WithoutMnemonic(const QString &caption);

// The folder dialog's controls.
void NameSelectFolderForm(QWidget *form);

} // namespace Accessibility
