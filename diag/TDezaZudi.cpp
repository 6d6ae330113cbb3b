#include "TDezaZudi.h"

TDezaZudi::TDezaZudi(QObject *parent) : QObject(parent) {}

void TDezaZudi::SendNamedValue(const QByteArray &, const QByteArray &) {}

void TDezaZudi::SendNamedList(const QByteArray &, const QByteArrayList &) {}
