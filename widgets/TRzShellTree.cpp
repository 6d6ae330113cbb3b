#include "TRzShellTree.h"

TRzShellTree::TRzShellTree(QWidget *parent) : TRzCustomShellTree(parent) {}
