// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_link.h"

#include "sim_log.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cbox {

namespace {

bool make_folders(const std::string& path, std::string& error)
{
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "mkdir " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    return true;
}

std::string link_target(const std::string& path)
{
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

// The folder with links followed and "." and ".." resolved, or as given when it does not exist.
std::string resolved(const std::string& folder)
{
    char buffer[PATH_MAX];
    if (::realpath(folder.c_str(), buffer))
        return buffer;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace

std::string PortLink::config_folder(const std::string& config_dir)
{
    if (!config_dir.empty())
        return config_dir;
    // As the tool itself: a relative $XDG_CONFIG_HOME is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return xdg;
    std::string home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        home = pw->pw_dir;
    return home + "/.config";
}

bool PortLink::plug(const std::string& config_dir, int port, const std::string& device, std::string& error)
{
    // A --config-dir that names the operator's own folder (by another spelling or through a link)
    // is no private one.
    const bool private_folder = !config_dir.empty() && resolved(config_dir) != resolved(config_folder({}));
    const std::string folder = config_folder(private_folder ? config_dir : std::string()) + "/rotor/ports";
    if (!make_folders(folder, error))
        return false;
    const std::string path = folder + "/com" + std::to_string(port);
    const auto taken = [&] {
        return path + " already exists (-> " + link_target(path)
               + "), perhaps the link to a real CBOX; left alone. Plug in as another port, or give a private "
                 "configuration folder with --config-dir";
    };
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a link; left alone";
            return false;
        }
        if (!private_folder) {
            error = taken();
            return false;
        }
        previous_ = link_target(path);
        log_.note("replacing the link " + path + " -> " + previous_);
    }
    path_ = path;
    if (private_folder) {
        if (place(device, error))
            return true;
        path_.clear();
        return false;
    }

    // Made in one step where it must not replace anything: a link that appeared since the look above
    // makes it fail rather than be overwritten.
    if (::symlink(device.c_str(), path_.c_str()) != 0 || ::lstat(path_.c_str(), &st) != 0) {
        error = errno == EEXIST ? taken() : "symlink " + path_ + ": " + std::strerror(errno);
        path_.clear();
        return false;
    }
    device_ = device;
    link_dev_ = st.st_dev;
    link_ino_ = st.st_ino;
    log_.note("plugged in: " + path_ + " -> " + device);
    return true;
}

bool PortLink::repoint(const std::string& device, std::string& error)
{
    if (path_.empty())
        return true;
    if (!ours()) {
        log_.note("the link " + path_ + " was changed by someone else; not touched");
        return true;
    }
    return place(device, error);
}

bool PortLink::place(const std::string& device, std::string& error)
{
    // Made beside it and renamed over it, so the tool never finds the link missing.
    const std::string temporary = path_ + ".cbox-sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    struct stat st {};
    if (::symlink(device.c_str(), temporary.c_str()) != 0 || ::lstat(temporary.c_str(), &st) != 0) {
        error = "symlink " + temporary + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) {
        error = "rename to " + path_ + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    device_ = device;
    link_dev_ = st.st_dev;
    link_ino_ = st.st_ino;
    log_.note("plugged in: " + path_ + " -> " + device);
    return true;
}

bool PortLink::ours() const
{
    struct stat st {};
    return ::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_dev == link_dev_ && st.st_ino == link_ino_
           && link_target(path_) == device_;
}

void PortLink::remove()
{
    if (path_.empty())
        return;
    if (ours()) {
        std::string error;
        if (!previous_.empty() && place(previous_, error)) {
            log_.note("unplugged: " + path_ + " points again at " + previous_);
        } else {
            if (!previous_.empty())
                log_.note("the link replaced could not be put back: " + error);
            ::unlink(path_.c_str());
            log_.note("unplugged: removed " + path_);
        }
    } else {
        log_.note("the link " + path_ + " is no longer the one made for " + device_ + "; left alone");
    }
    path_.clear();
}

}  // namespace cbox
