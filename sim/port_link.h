// The port link <config>/rotor/ports/comN through which the tool finds the device of port N.
#pragma once

#include <string>

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

    // Creates (or replaces) the link for port `port` pointing at `device`; missing folders are created.
    bool plug(const std::string& config_dir, int port, const std::string& device, std::string& error);
    // Points the link at another device (a fresh line after a hang-up).
    bool repoint(const std::string& device, std::string& error);
    // Removes the link if it still points at our device; something else put there is left alone.
    void remove();

    const std::string& path() const { return path_; }

private:
    bool place(const std::string& device, std::string& error);

    SimLog& log_;
    std::string path_;
    std::string device_;
};

} // namespace cbox
