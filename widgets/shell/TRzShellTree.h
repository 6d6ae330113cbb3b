#pragma once

#include "widgets/shell/TRzCustomShellTree.h"

// The shell folder tree with its settings published as properties.
class TRzShellTree : public TRzCustomShellTree
{
    Q_OBJECT
    Q_PROPERTY(TRzShellTreeOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool ShowRoot READ ShowRoot WRITE SetShowRoot)

public:
    explicit TRzShellTree(QWidget *parent = nullptr);
};
