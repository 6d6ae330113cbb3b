#include "TRzButtonEdit.h"

#include <QAction>
#include <QStyle>

TRzButtonEdit::TRzButtonEdit(QWidget *parent) : QLineEdit(parent)
{
    QAction *browse = addAction(style()->standardIcon(QStyle::SP_DirOpenIcon),
                                QLineEdit::TrailingPosition);
    browse->setObjectName(QStringLiteral("browseAction"));
    connect(browse, &QAction::triggered, this, &TRzButtonEdit::OnButtonClick);
}
