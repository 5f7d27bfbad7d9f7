// SPDX-License-Identifier: GPL-3.0-or-later
// The port link <config>/rotor/ports/comN through which the tool finds the device of port N.
#pragma once

#include <string>
#include <sys/types.h>

namespace cbox {

class SimLog;

class PortLink {
public:
    explicit PortLink(SimLog& log) : log_(log) {}
    ~PortLink() { remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // The folder that holds the tool's configuration: `config_dir` when given, else $XDG_CONFIG_HOME,
    // else ~/.config.
    static std::string config_folder(const std::string& config_dir);

    // Creates the link for port `port` pointing at `device`; missing folders are created. Whatever is
    // already there is left alone and plugging fails: in the operator's own folder it is likely the
    // link to the real box. Only in a folder named with `config_dir` (a private one, as the scripts
    // and tests make) is an existing link taken as stale and replaced, and put back on removal; a
    // `config_dir` that resolves to the operator's own folder is no private one.
    bool plug(const std::string& config_dir, int port, const std::string& device, std::string& error);
    // Points the link at another device (a fresh line after a hang-up).
    bool repoint(const std::string& device, std::string& error);
    // Removes the link if it is still the one we made, pointing at our device, or puts back the one
    // it replaced; something else put there is left alone.
    void remove();

    const std::string& path() const { return path_; }

private:
    bool place(const std::string& device, std::string& error);
    bool ours() const;

    SimLog& log_;
    std::string path_;
    std::string device_;
    // The target of the link replaced in a private folder, put back on removal.
    std::string previous_;
    // The link we made, told apart from one that merely points at the same device.
    dev_t link_dev_ = 0;
    ino_t link_ino_ = 0;
};

}  // namespace cbox
