#include "registryports.h"

#include <algorithm>
#include <windows.h>

namespace SerialPlatform {

namespace {

// The text order of the user's locale, ignoring case: COM1, COM10, COM3.
bool textBefore(const std::string &a, const std::string &b)
{
    const int order = ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                                       int(a.size()), b.data(), int(b.size()));
    if (order != CSTR_EQUAL)
        return order == CSTR_LESS_THAN;
    return a < b; // names equal but for case keep a fixed order
}

} // namespace

RegistryPortList listRegistryPorts(const char *keyPath)
{
    RegistryPortList result;
    HKEY key = nullptr;
    const LONG opened = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    // Windows creates the key with the first serial port: without one there is no key, and
    // that is an empty list, not a failure.
    if (opened == ERROR_FILE_NOT_FOUND)
        return result;
    if (opened != ERROR_SUCCESS) {
        result.status = opened;
        return result;
    }
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        BYTE data[256];
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        const LONG status
            = ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            result.status = status;
            break;
        }
        // The data is a NUL-terminated string; the port name is what comes before the NUL.
        std::size_t length = std::min<std::size_t>(dataLength, sizeof data);
        if (length > 0 && data[length - 1] == 0)
            --length;
        names.emplace_back(reinterpret_cast<const char *>(data), length);
    }
    ::RegCloseKey(key);
    if (result.status != ERROR_SUCCESS)
        return result;
    std::stable_sort(names.begin(), names.end(), textBefore);
    result.names = std::move(names);
    return result;
}

} // namespace SerialPlatform
