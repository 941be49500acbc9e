#pragma once

#include "publishedports.h"

#include <QString>
#include <QStringList>

// The machine's serial ports, as names that TComPort's Port accepts: the ports found in sysfs
// under sysfsRoot ("ttyS0", "ttyUSB0", opened as /dev/<name>) and the ports published in
// publishedFolder (absolute link paths, see PublishedPorts). No port is opened.
//
// Sorted as text, ignoring letter case, in the default locale's order (so "ttyS10" comes before
// "ttyS2"). A machine without a serial port gives an empty list. Throws EComPort code 23 with
// the errno when the sysfs tree cannot be read. Both roots are parameters so that tests build
// their own trees.
QStringList ListSerialPorts(const QString &sysfsRoot = QStringLiteral("/sys/class/tty"),
                            const QString &publishedFolder
                            = QString::fromStdString(PublishedPorts::defaultFolder()));
