#include "zephulerror.h"

ZephulError::ZephulError(const QString &message)
    : std::runtime_error(message.toStdString())
{ }
