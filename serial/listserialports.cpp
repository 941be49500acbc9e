#include "listserialports.h"

#include "ecomport.h"

#include <string>

#ifndef _WIN32
#include <QCollator>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>
#endif

namespace {

constexpr int kEnumerationError = 23;

} // namespace

QStringList PortListFromRegistry(const SerialPlatform::RegistryPortList &listing)
{
    if (listing.status != 0)
        throw EComPort(kEnumerationError, int(listing.status));
    QStringList ports;
    for (const std::string &name : listing.names)
        ports.append(QString::fromLatin1(name.data(), qsizetype(name.size())));
    return ports;
}

#ifdef _WIN32

QStringList ListSerialPorts()
{
    return PortListFromRegistry(SerialPlatform::listRegistryPorts());
}

#else

namespace {

// Serial core reports a port type of 0 for the 8250 ports that a PC announces whether or not a
// UART answers there; listing them would offer ports that never receive anything.
bool isPhantomUart(const std::string &entryPath)
{
    std::FILE *file = std::fopen((entryPath + "/type").c_str(), "r");
    if (!file)
        return false; // not a serial-core port (USB, ACM, ...): its device is real
    int type = -1;
    const bool read = std::fscanf(file, "%d", &type) == 1;
    std::fclose(file);
    return read && type == 0;
}

// The tty class entries that belong to a device and are not phantom UARTs. Reads only
// attributes: no device is opened, so ports in use by another program are left alone.
std::vector<std::string> sysfsPorts(const std::string &root)
{
    DIR *dir = ::opendir(root.c_str());
    if (!dir)
        throw EComPort(kEnumerationError, errno);
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            const int error = errno;
            ::closedir(dir);
            if (error != 0)
                throw EComPort(kEnumerationError, error);
            break;
        }
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        const std::string path = root + "/" + name;
        struct stat device;
        if (::lstat((path + "/device").c_str(), &device) != 0)
            continue; // virtual consoles, pseudo-terminals, ...
        if (isPhantomUart(path))
            continue;
        names.push_back(name);
    }
    return names;
}

} // namespace

QStringList ListSerialPorts(const QString &sysfsRoot, const QString &publishedFolder)
{
    QStringList ports;
    for (const std::string &name : sysfsPorts(QFile::encodeName(sysfsRoot).toStdString()))
        ports.append(QFile::decodeName(QByteArray::fromStdString(name)));
    for (const std::string &name :
         PublishedPorts::list(QFile::encodeName(publishedFolder).toStdString()))
        ports.append(QFile::decodeName(QByteArray::fromStdString(name)));

    QCollator collator { QLocale() };
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    // Names equal but for case keep a fixed order, whatever order the folder gave them in.
    std::sort(ports.begin(), ports.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    return ports;
}

#endif
