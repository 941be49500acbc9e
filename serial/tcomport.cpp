#include "tcomport.h"

TComPort::TComPort(QObject *parent)
    : TCustomComPort(parent)
{ }
