#pragma once

#include "QuorixMacCore/Platform/Workspace.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace quorix::test {

/// A workspace that opens nothing: it knows the applications it was given and records
/// every request as "kind:argument" ("url:https://...", "app:org.example", "file:/x").
class RecordingWorkspace final : public Workspace {
public:
    explicit RecordingWorkspace(std::set<std::string> installed = {})
        : m_installed(std::move(installed)) {}

    bool openURL(const std::string& url) override { return record("url:" + url, false); }
    bool hasApplication(const std::string& id) override {
        std::scoped_lock lock(m_mutex);
        return m_installed.contains(id);
    }
    bool openApplication(const std::string& id) override { return record("app:" + id, true); }
    bool openFile(const std::string& path) override { return record("file:" + path, false); }

    std::vector<std::string> requests() const {
        std::scoped_lock lock(m_mutex);
        return m_requests;
    }

private:
    bool record(std::string request, bool result) {
        std::scoped_lock lock(m_mutex);
        m_requests.push_back(std::move(request));
        return result;
    }

    mutable std::mutex m_mutex;
    std::set<std::string> m_installed;
    std::vector<std::string> m_requests;
};

} // namespace quorix::test
