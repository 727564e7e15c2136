#include "QuorixMacCore/Platform/Linux/GioWorkspace.h"

#include "QuorixMacCore/Platform/PlatformLogging.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>

namespace quorix {

namespace {

struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};

// Desktop-entry IDs name a file inside an applications folder; anything that could leave
// the folder or is no name at all is not an ID.
bool isPlausibleApplicationID(const std::string& id) {
    return !id.empty() && id.find('/') == std::string::npos && id.find('\0') == std::string::npos;
}

std::unique_ptr<GDesktopAppInfo, GObjectDeleter> desktopAppInfo(const std::string& id) {
    if (!isPlausibleApplicationID(id)) {
        return nullptr;
    }
    const std::string fileName = id + ".desktop";
    return std::unique_ptr<GDesktopAppInfo, GObjectDeleter>(
        g_desktop_app_info_new(fileName.c_str()));
}

bool launchDefaultForURI(const char* uri) {
    GError* rawError = nullptr;
    const bool launched = g_app_info_launch_default_for_uri(uri, nullptr, &rawError);
    std::unique_ptr<GError, GErrorDeleter> error(rawError);
    if (!launched) {
        qCInfo(lcPlatform) << "No handler opened" << uri << ":"
                           << (error ? error->message : "unknown reason");
    }
    return launched;
}

} // namespace

bool GioWorkspace::openURL(const std::string& url) {
    return launchDefaultForURI(url.c_str());
}

bool GioWorkspace::hasApplication(const std::string& applicationID) {
    return desktopAppInfo(applicationID) != nullptr;
}

bool GioWorkspace::openApplication(const std::string& applicationID) {
    const auto info = desktopAppInfo(applicationID);
    if (!info) {
        return false;
    }
    GError* rawError = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info.get()), nullptr, nullptr, &rawError);
    std::unique_ptr<GError, GErrorDeleter> error(rawError);
    if (!launched) {
        qCWarning(lcPlatform) << "Could not start" << applicationID.c_str() << ":"
                              << (error ? error->message : "unknown reason");
    }
    return launched;
}

bool GioWorkspace::openFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    const std::unique_ptr<GFile, GObjectDeleter> file(g_file_new_for_path(path.c_str()));
    const std::unique_ptr<char, GFreeDeleter> uri(g_file_get_uri(file.get()));
    return launchDefaultForURI(uri.get());
}

} // namespace quorix
