#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quorix::test {

/// A temporary XDG data and configuration tree with made-up desktop entries, which GLib
/// reads instead of the user's. Each entry runs a script that writes what it was opened
/// with to a marker file named after the entry:
/// - "org.kestrane.TestApp": an application; marker "app";
/// - "org.kestrane.TestURLHandler": handles the scheme "x-kestrane-test"; marker "url";
/// - "org.kestrane.TestFolderHandler": opens folders; marker "folder".
///
/// GLib reads the XDG folders once per process, so there is one tree per process, made
/// before anything else asks GLib for them. The environment is left as it was.
class DesktopEntryFolder {
public:
    static DesktopEntryFolder& shared();

    /// Empty when GLib reads this tree; otherwise why not.
    const std::string& failure() const { return m_failure; }
    const std::string& root() const { return m_root; }

    void removeMarker(const std::string& marker) const;
    /// The marker's text once it was written, or nothing when the time is up first.
    std::optional<std::string>
    waitForMarker(const std::string& marker,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    DesktopEntryFolder();
    ~DesktopEntryFolder();

    std::string m_root;
    std::string m_failure;
};

} // namespace quorix::test
