#include "QuorixMacCore/Catalog/AppChoices.h"
#include "QuorixMacCore/Platform/Linux/X11RunningApplications.h"
#include "QuorixMacCore/Support/TestFiles.h"
#include "QuorixMacCore/Support/XvfbServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace quorix {
namespace {

using Entry = DesktopEntryApplications::Entry;

Entry entry(const char* id, std::optional<QString> startupWMClass = {},
            std::optional<QString> program = {}) {
    const QString name = QString::fromLatin1(id);
    return {name,
            QStringLiteral("/apps/") + name + QStringLiteral(".desktop"),
            name.toUpper(),
            QStringLiteral("icon-") + name,
            std::move(startupWMClass),
            std::move(program)};
}

ClientWindow window(const char* instance, const char* className, std::optional<qint64> pid = {},
                    bool normal = true, std::optional<QString> executable = {}) {
    return {pid, QString::fromLatin1(instance), QString::fromLatin1(className), normal,
            std::move(executable)};
}

RunningApplication described(const Entry& e, bool regular) {
    return {e.name, e.id, e.path, e.icon, regular};
}

TEST(RunningApplications, matchWindowsToEntriesByClassThenStartupClassThenProgram) {
    const std::vector<Entry> entries{
        entry("org.example.Editor"),
        entry("viewer", QStringLiteral("PhotoView")),
        entry("tool", std::nullopt, QStringLiteral("tool-wrapper")),
    };
    const auto resolve = [](const QString& program) -> std::optional<QString> {
        if (program == QLatin1String("tool-wrapper")) {
            return QStringLiteral("/opt/tool/bin/tool");
        }
        return std::nullopt;
    };
    const std::tuple<const char*, std::vector<ClientWindow>, std::vector<RunningApplication>>
        cases[] = {
            {"the entry ID is the class, in any letter case",
             {window("editor", "Org.Example.Editor", 10)},
             {described(entries[0], true)}},
            {"or the instance name",
             {window("org.example.editor", "Editor", 10)},
             {described(entries[0], true)}},
            {"StartupWMClass names the class",
             {window("photoview", "PhotoView", 11)},
             {described(entries[1], true)}},
            {"the process runs the entry's program",
             {window("t", "T", 12, true, QStringLiteral("/opt/tool/bin/tool"))},
             {described(entries[2], true)}},
            {"one application for all its windows, regular when any window is ordinary",
             {window("editor", "org.example.Editor", 10, false),
              window("editor", "org.example.Editor", 10, true)},
             {described(entries[0], true)}},
            {"a dock or panel window alone is not regular",
             {window("photoview", "PhotoView", 11, false)},
             {described(entries[1], false)}},
            {"windows of no entry are listed, one per process, never regular",
             {window("x", "Stranger", 20, true, QStringLiteral("/usr/bin/stranger")),
              window("y", "Stranger", 20)},
             {{QStringLiteral("Stranger"), {}, QStringLiteral("/usr/bin/stranger"), {}, false}}},
        };
    for (const auto& [what, windows, expected] : cases) {
        EXPECT_EQ(applicationsOfWindows(windows, entries, resolve), expected) << what;
    }
}

TEST(RunningApplications, choicesAreRegularNamedTargetsSortedByName) {
    const std::vector<RunningApplication> running{
        {QStringLiteral("cherry"),
         QStringLiteral("org.cherry"),
         QStringLiteral("/a/cherry"),
         {},
         true},
        {QStringLiteral("Banana"), {}, QStringLiteral("/usr/bin/banana"), {}, true},
        {QStringLiteral("apple"), QStringLiteral("org.apple"), std::nullopt,
         QStringLiteral("apple-icon"), true},
        {QStringLiteral("agent"),
         QStringLiteral("org.agent"),
         QStringLiteral("/a/agent"),
         {},
         false},
        {QString(), QStringLiteral("org.nameless"), QStringLiteral("/a/nameless"), {}, true},
        {QStringLiteral("Ghost"), {}, std::nullopt, {}, true},
    };
    EXPECT_EQ(runningAppChoices(running, QStringLiteral("en_US.UTF-8")),
              (std::vector<RunningAppChoice>{
                  {"org.apple", "apple", "org.apple", std::nullopt, QStringLiteral("apple-icon")},
                  {"/usr/bin/banana", "Banana", "", "/usr/bin/banana", std::nullopt},
                  {"org.cherry", "cherry", "org.cherry", "/a/cherry", std::nullopt},
              }));
}

class DesktopEntryFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("applications")));
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("elsewhere")));
    }
    QString write(const QString& relative, const QByteArray& contents) {
        return test::writeFile(root.filePath(relative), contents);
    }
    DesktopEntryApplications catalogue() const {
        return DesktopEntryApplications(
            {{root.filePath(QStringLiteral("applications"))}, QStringLiteral("ja_JP.UTF-8")});
    }

    QTemporaryDir root;
};

TEST_F(DesktopEntryFiles, entriesNameTheProgramTheyStart) {
    const std::pair<QByteArray, std::optional<QString>> cases[] = {
        {"Exec=firefox %u", QStringLiteral("firefox")},
        {"Exec=env GDK_BACKEND=x11 A=1 /opt/app/bin/app --flag",
         QStringLiteral("/opt/app/bin/app")},
        {R"(Exec="/opt/My App/run" %F)", QStringLiteral("/opt/My App/run")},
        {R"(Exec="/opt/quote\\"d/run")", QStringLiteral("/opt/quote\"d/run")},
        {"Exec=env", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [exec, program] : cases) {
        write(QStringLiteral("applications/app.desktop"),
              "[Desktop Entry]\nType=Application\nName=App\n" + exec + "\n");
        const auto entries = catalogue().offeredEntries();
        ASSERT_EQ(entries.size(), 1u) << exec.constData();
        EXPECT_EQ(entries[0].program, program) << exec.constData();
    }
}

TEST_F(DesktopEntryFiles, describeChosenFilesByEntryOrByName) {
    const QByteArray notes = "[Desktop Entry]\nType=Application\nName=Notes\nName[ja]=メモ\n"
                             "Icon=accessories-text-editor\n";
    const QString installed =
        write(QStringLiteral("applications/org.example.Notes.desktop"), notes);
    const QString copy = write(QStringLiteral("elsewhere/org.example.Notes.desktop"), notes);
    const QString nameless =
        write(QStringLiteral("elsewhere/bare.desktop"), "[Desktop Entry]\nType=Application\n");
    const QString broken = write(QStringLiteral("elsewhere/broken.desktop"), "not an entry");
    const QString program = write(QStringLiteral("elsewhere/run-me"), "#!/bin/sh\n");
    const std::pair<QString, ApplicationFile> cases[] = {
        {installed,
         {QStringLiteral("メモ"), QStringLiteral("org.example.Notes"),
          QStringLiteral("accessories-text-editor")}},
        {copy, {QStringLiteral("メモ"), QString(), QStringLiteral("accessories-text-editor")}},
        {nameless, {QStringLiteral("bare"), QString(), std::nullopt}},
        {broken, {QStringLiteral("broken"), QString(), QStringLiteral("application-x-executable")}},
        {program,
         {QStringLiteral("run-me"), QString(), QStringLiteral("application-x-executable")}},
        {root.filePath(QStringLiteral("elsewhere")),
         {QStringLiteral("elsewhere"), QString(), QStringLiteral("folder")}},
    };
    for (const auto& [path, expected] : cases) {
        EXPECT_EQ(catalogue().describe(path), expected) << path.toStdString();
    }
}

// A client of the private display that makes windows and sets their properties the way
// applications and a window manager would.
class FakeDesktop {
public:
    explicit FakeDesktop(const std::string& display)
        : m_connection(xcb_connect(display.c_str(), nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~FakeDesktop() { xcb_disconnect(m_connection); }

    bool isConnected() const { return xcb_connection_has_error(m_connection) == 0; }

    xcb_window_t addWindow(const std::string& instance, const std::string& className,
                           std::optional<std::uint32_t> pid, const char* type = nullptr) {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const std::string classes = instance + '\0' + className + '\0';
        set(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, classes.size(), classes.data());
        if (pid) {
            set(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &*pid);
        }
        if (type) {
            const xcb_atom_t value = atom(type);
            set(window, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &value);
        }
        m_windows.push_back(window);
        return window;
    }
    /// Lists the windows on the root window, as a window manager does, plus one that does
    /// not exist.
    void publishClientList() {
        std::vector<xcb_window_t> listed = m_windows;
        listed.push_back(xcb_generate_id(m_connection));
        set(m_root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32, listed.size(), listed.data());
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    }
    void set(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, std::uint8_t format,
             std::size_t count, const void* data) {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, property, type, format,
                            static_cast<std::uint32_t>(count), data);
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    std::vector<xcb_window_t> m_windows;
};

TEST_F(DesktopEntryFiles, listTheApplicationsOfTheWindowsOnTheDisplay) {
    test::XvfbServer server;
    ASSERT_TRUE(server.isRunning()) << server.failure();
    write(QStringLiteral("applications/org.kestrane.Notes.desktop"),
          "[Desktop Entry]\nType=Application\nName=Notes\nIcon=/icons/notes.png\n");
    write(QStringLiteral("applications/panel.desktop"),
          "[Desktop Entry]\nType=Application\nName=Panel\nStartupWMClass=KestranePanel\n");
    // This test program itself stands for an application found by its executable.
    write(QStringLiteral("applications/self.desktop"),
          "[Desktop Entry]\nType=Application\nName=alpha\nExec=" +
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath().toUtf8() +
              " --flag\n");
    FakeDesktop desktop(server.displayName());
    ASSERT_TRUE(desktop.isConnected());
    const auto self = static_cast<std::uint32_t>(getpid());
    desktop.addWindow("notes", "org.kestrane.Notes", std::nullopt);
    desktop.addWindow("panel", "KestranePanel", std::nullopt, "_NET_WM_WINDOW_TYPE_DOCK");
    desktop.addWindow("whatever", "Whatever", self, "_NET_WM_WINDOW_TYPE_NORMAL");

    const X11RunningApplications applications(
        std::make_shared<DesktopEntryApplications>(catalogue()), server.displayName());
    EXPECT_TRUE(applications.runningApplications().empty()) << "no window manager lists yet";
    desktop.publishClientList();
    const auto running = applications.runningApplications();
    ASSERT_EQ(running.size(), 3u);
    EXPECT_EQ(running[1],
              (RunningApplication{QStringLiteral("Panel"), QStringLiteral("panel"),
                                  root.filePath(QStringLiteral("applications/panel.desktop")),
                                  std::nullopt, false}));
    const auto choices = runningAppChoices(running, applications.messagesLocale());
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0].name, "alpha");
    EXPECT_EQ(choices[0].bundleID, "self");
    EXPECT_EQ(choices[1].name, "Notes");
    EXPECT_EQ(choices[1].iconName, QStringLiteral("/icons/notes.png"));
    EXPECT_EQ(
        choices[1].fallbackPath,
        root.filePath(QStringLiteral("applications/org.kestrane.Notes.desktop")).toStdString());
}

} // namespace
} // namespace quorix
