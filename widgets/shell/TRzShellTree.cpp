#include "widgets/shell/TRzShellTree.h"

TRzShellTree::TRzShellTree(QWidget *parent) : TRzCustomShellTree(parent) {}
