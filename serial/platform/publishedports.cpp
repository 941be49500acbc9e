#include "publishedports.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace PublishedPorts {

std::string defaultFolder()
{
    return "/tmp/zephul-ports";
}

std::string publish(const std::string &folder, const std::string &alias,
                    const std::string &devicePath)
{
    if (::mkdir(folder.c_str(), 01777) == 0)
        ::chmod(folder.c_str(), 01777); // mkdir applies the umask
    else if (errno != EEXIST)
        throw std::system_error(errno, std::generic_category(), "mkdir " + folder);
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
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        struct stat target;
        if (::stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode))
            names.push_back(path);
    }
    ::closedir(dir);
    return names;
}

} // namespace PublishedPorts
