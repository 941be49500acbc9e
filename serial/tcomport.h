#pragma once

#include "tcustomcomport.h"

// The port component the program places on its windows: TCustomComPort with all its
// properties and events published. Adds nothing else.
class TComPort : public TCustomComPort
{
    Q_OBJECT

public:
    explicit TComPort(QObject *parent = nullptr);
};
