// The Windows port list from the registry, no Qt. Runs under wine (scripts/wine-tests): the real
// SERIALCOMM key, which wine fills from its COM port mappings (ZEPHUL_TEST_MAPPED names them),
// and keys that the test writes under HKEY_LOCAL_MACHINE itself.
#include "registryports.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>

namespace {

int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: CHECK(%s) failed\n", __FILE__, __LINE__, #cond);          \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

using namespace SerialPlatform;
using Names = std::vector<std::string>;

const std::string TestRoot = "Software\\Zephul port list test";

std::string join(const Names &names)
{
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

// Creates HKLM\TestRoot\subKey with the given values (name, string data).
void writeKey(const std::string &subKey,
              const std::vector<std::pair<std::string, std::string>> &values)
{
    HKEY key = nullptr;
    const std::string path = TestRoot + "\\" + subKey;
    CHECK(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr)
          == ERROR_SUCCESS);
    for (const auto &[name, data] : values) {
        CHECK(::RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(data.c_str()), DWORD(data.size() + 1))
              == ERROR_SUCCESS);
    }
    ::RegCloseKey(key);
}

void mappedPortsAreListedInTextOrder()
{
    const char *mapped = std::getenv("ZEPHUL_TEST_MAPPED");
    Names expected;
    std::istringstream words(mapped ? mapped : "");
    for (std::string name; words >> name;)
        expected.push_back(name);
    if (expected.empty()) {
        std::fprintf(stderr,
                     "ZEPHUL_TEST_MAPPED must name the mapped COM ports "
                     "(run scripts/wine-tests)\n");
        ++failures;
        return;
    }
    const RegistryPortList list = listRegistryPorts();
    CHECK(list.status == 0);
    // Wine may list ports of its own besides ours; ours come in this order among them.
    Names ours;
    for (const std::string &name : list.names) {
        for (const std::string &port : expected) {
            if (name == port)
                ours.push_back(name);
        }
    }
    if (ours != expected) {
        std::fprintf(stderr, "listed: %s; expected among them, in order: %s\n",
                     join(list.names).c_str(), join(expected).c_str());
        ++failures;
    }
}

void keysOfPorts()
{
    struct Row
    {
        const char *key; // nullptr: the key is not there
        std::vector<std::pair<std::string, std::string>> values;
        Names expected;
    };
    const Row rows[] = {
        { "any order",
          { { "\\Device\\Serial2", "COM3" },
            { "\\Device\\Serial9", "COM10" },
            { "\\Device\\Serial0", "COM1" } },
          { "COM1", "COM10", "COM3" } },
        { "letter case",
          { { "a", "com2" }, { "b", "COM1" }, { "c", "Com3" } },
          { "COM1", "com2", "Com3" } },
        { "longest that fit",
          { { std::string(255, 'n'), std::string(255, 'd') } },
          { std::string(255, 'd') } },
        { "no values", {}, {} },
    };
    for (const Row &row : rows) {
        writeKey(row.key, row.values);
        const RegistryPortList list = listRegistryPorts((TestRoot + "\\" + row.key).c_str());
        if (list.status != 0 || list.names != row.expected) {
            std::fprintf(stderr, "%s: status %ld, names %s\n", row.key, list.status,
                         join(list.names).c_str());
            ++failures;
        }
    }
}

// A machine without any serial port has no SERIALCOMM key: that is an empty list, not an error.
void missingKeyIsAnEmptyList()
{
    const RegistryPortList list = listRegistryPorts((TestRoot + "\\not there").c_str());
    CHECK(list.status == 0);
    CHECK(list.names.empty());
}

void failingStatusesStopTheListing()
{
    struct Row
    {
        const char *key;
        std::vector<std::pair<std::string, std::string>> values;
        long status;
    };
    const Row rows[] = {
        { "data too long", { { "a", "COM1" }, { "b", std::string(256, 'd') } }, ERROR_MORE_DATA },
        { "name too long", { { std::string(256, 'n'), "COM1" } }, ERROR_MORE_DATA },
    };
    for (const Row &row : rows) {
        writeKey(row.key, row.values);
        const RegistryPortList list = listRegistryPorts((TestRoot + "\\" + row.key).c_str());
        CHECK(list.status == row.status);
        CHECK(list.names.empty());
    }
    // A key that cannot be opened for another reason than its absence still fails.
    const std::string badName = TestRoot + "\\" + std::string(300, 'x');
    const RegistryPortList list = listRegistryPorts(badName.c_str());
    CHECK(list.status != 0 && list.status != ERROR_FILE_NOT_FOUND);
    CHECK(list.names.empty());
}

} // namespace

int main()
{
    const std::vector<std::pair<const char *, void (*)()>> tests = {
        { "mappedPortsAreListedInTextOrder", mappedPortsAreListedInTextOrder },
        { "keysOfPorts", keysOfPorts },
        { "missingKeyIsAnEmptyList", missingKeyIsAnEmptyList },
        { "failingStatusesStopTheListing", failingStatusesStopTheListing },
    };
    for (const auto &[name, test] : tests) {
        const int before = failures;
        test();
        std::printf("%s %s\n", failures == before ? "PASS" : "FAIL", name);
        std::fflush(stdout);
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, TestRoot.c_str());
    return failures == 0 ? 0 : 1;
}
