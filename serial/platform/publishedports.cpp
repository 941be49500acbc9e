#include "publishedports.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PublishedPorts {

namespace {

// A real folder (not a link to one) owned by the user.
bool isOwnFolder(const struct stat &st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace

std::string defaultFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/')
        return std::string(runtime) + "/zephul-ports";
    return "/tmp/zephul-ports-" + std::to_string(::geteuid());
}

std::string publish(const std::string &folder, const std::string &alias,
                    const std::string &devicePath)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "mkdir " + folder);
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0)
        throw std::system_error(errno, std::generic_category(), "lstat " + folder);
    if (!isOwnFolder(st))
        throw std::system_error(EPERM, std::generic_category(),
                                folder + " is not a folder of this user's");
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        throw std::system_error(errno, std::generic_category(), "chmod " + folder);
    const std::string link = folder + "/" + alias;
    ::unlink(link.c_str());
    if (::symlink(devicePath.c_str(), link.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(), "symlink " + link);
    return link;
}

void unpublish(const std::string &portName) noexcept
{
    ::unlink(portName.c_str());
}

std::vector<std::string> list(const std::string &folder)
{
    std::vector<std::string> names;
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0 || !isOwnFolder(st))
        return names;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat link;
        struct stat target;
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid == ::geteuid()
            && ::stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode))
            names.push_back(path);
    }
    ::closedir(dir);
    return names;
}

} // namespace PublishedPorts
