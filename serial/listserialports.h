#pragma once

#include "registryports.h"

#include <QString>
#include <QStringList>

#ifdef _WIN32
// The machine's serial ports, as names that TComPort's Port accepts: the data of the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM ("COM1", "COM10"). No port is opened.
//
// Sorted as text, ignoring letter case, in the user's locale's order (so "COM10" comes before
// "COM3"). A machine without a serial port has no such key: an empty list. Any other registry
// failure throws EComPort code 23 with the registry status.
QStringList ListSerialPorts();
#else
#include "publishedports.h"

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
#endif

// The port list of a registry listing (Windows): its names as they come, read as Windows-1252.
// A listing that a registry status stopped throws EComPort code 23 with that status.
QStringList PortListFromRegistry(const SerialPlatform::RegistryPortList &listing);
