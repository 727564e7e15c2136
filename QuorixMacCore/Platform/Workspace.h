#pragma once

#include <string>

namespace quorix {

/// The desktop's ways of opening things: addresses, installed applications, files.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Opens the address with the desktop's default handler for its scheme; whether a
    /// handler was started.
    virtual bool openURL(const std::string& url) = 0;
    /// Whether an installed application has this identifier (the desktop entry's file name
    /// without ".desktop").
    virtual bool hasApplication(const std::string& applicationID) = 0;
    /// Starts the application with this identifier; an already running one is brought
    /// forward by the desktop if it supports that. Whether it was started.
    virtual bool openApplication(const std::string& applicationID) = 0;
    /// Opens the file or folder at the path with its default handler; a relative path is
    /// taken from the working directory. Whether a handler was started.
    virtual bool openFile(const std::string& path) = 0;
};

} // namespace quorix
