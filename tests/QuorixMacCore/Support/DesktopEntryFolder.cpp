#include "QuorixMacCore/Support/DesktopEntryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <sstream>
#include <thread>
#include <vector>

namespace quorix::test {

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Sets the variables for as long as it lives and restores them after.
class ScopedEnvironment {
public:
    void set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

} // namespace

DesktopEntryFolder& DesktopEntryFolder::shared() {
    static DesktopEntryFolder folder;
    return folder;
}

DesktopEntryFolder::DesktopEntryFolder() {
    std::string pattern = (fs::temp_directory_path() / "kestrane-xdg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        m_failure = "cannot make a temporary folder";
        return;
    }
    m_root = pattern;
    const fs::path root(m_root);
    const fs::path data = root / "data";
    const fs::path applications = data / "applications";
    fs::create_directories(applications);
    fs::create_directories(root / "config");
    fs::create_directories(root / "markers");

    const fs::path script = root / "record.sh";
    writeFile(script, "#!/bin/sh\nprintf '%s' \"$2\" > \"" + (root / "markers").string() +
                          "/$1.tmp\" && mv \"" + (root / "markers").string() + "/$1.tmp\" \"" +
                          (root / "markers").string() + "/$1\"\n");
    fs::permissions(script, fs::perms::owner_all);

    const auto entry = [&](const std::string& id, const std::string& exec,
                           const std::string& extra) {
        writeFile(applications / (id + ".desktop"),
                  "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + script.string() +
                      " " + exec + "\n" + extra);
    };
    entry("org.kestrane.TestApp", "app launched", "");
    entry("org.kestrane.TestURLHandler", "url %u",
          "NoDisplay=true\nMimeType=x-scheme-handler/x-kestrane-test;\n");
    entry("org.kestrane.TestFolderHandler", "folder %f",
          "NoDisplay=true\nMimeType=inode/directory;\n");

    // The index that update-desktop-database would write; GIO finds handlers through it.
    writeFile(applications / "mimeinfo.cache",
              "[MIME Cache]\n"
              "x-scheme-handler/x-kestrane-test=org.kestrane.TestURLHandler.desktop;\n"
              "inode/directory=org.kestrane.TestFolderHandler.desktop;\n");

    ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", data.string());
    environment.set("XDG_DATA_DIRS", (root / "no-system-data").string());
    environment.set("XDG_CONFIG_HOME", (root / "config").string());
    environment.set("XDG_CONFIG_DIRS", (root / "no-system-config").string());
    // GLib keeps what it reads first; asking now fixes the tree for this process.
    if (g_get_user_data_dir() != data.string() ||
        g_get_user_config_dir() != (root / "config").string()) {
        m_failure = "GLib read the XDG folders before this tree was made; run the test in a "
                    "process of its own (ctest does)";
    }
    g_get_system_data_dirs();
    g_get_system_config_dirs();
}

DesktopEntryFolder::~DesktopEntryFolder() {
    if (!m_root.empty()) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

void DesktopEntryFolder::removeMarker(const std::string& marker) const {
    std::error_code ignored;
    fs::remove(fs::path(m_root) / "markers" / marker, ignored);
}

std::optional<std::string>
DesktopEntryFolder::waitForMarker(const std::string& marker,
                                  std::chrono::milliseconds timeout) const {
    const fs::path path = fs::path(m_root) / "markers" / marker;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path)) {
            std::ifstream file(path, std::ios::binary);
            std::ostringstream text;
            text << file.rdbuf();
            return text.str();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

} // namespace quorix::test
