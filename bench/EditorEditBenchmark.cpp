// One edit of a large layout, as the editor makes it: undo snapshot, change, new
// timestamp, pending copy, and the save (icon check, JSON, defaults write).

#include "NoWebIcons.h"
#include "QuorixMacCore/Catalog/InstalledAppsScanner.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntryApplications.h"
#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"
#include "QuorixMacCore/Storage/MacEditorLayoutStore.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <map>
#include <mutex>

namespace {

using namespace quorix;

constexpr int iconCount = 200;
constexpr int iconSide = 512;

// An icon-like picture: a diagonal gradient with a rounded shape, different for each index.
Bytes iconPNG(int index) {
    QImage image(iconSide, iconSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, iconSide, iconSide);
    gradient.setColorAt(0, QColor::fromHsv((index * 37) % 360, 200, 250));
    gradient.setColorAt(1, QColor::fromHsv((index * 37 + 90) % 360, 255, 160));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(16, 16, iconSide - 32, iconSide - 32, 96, 96);
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawEllipse(QPointF(iconSide / 2.0, iconSide / 2.0), 60.0 + index % 90,
                        120.0 - index % 50);
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return Bytes(png.begin(), png.end());
}

LayoutRecord largeLayout() {
    LayoutRecord layout{UUID::random(), {}, Theme::liquidGlass, currentDate()};
    constexpr int buttonsPerPage = 18;
    for (int index = 0; index < iconCount; ++index) {
        if (index % buttonsPerPage == 0) {
            layout.pages.push_back(
                {UUID::random(), "Page", index / buttonsPerPage, GradientPreset::custom, {}, 6, 3});
        }
        PageRecord& page = layout.pages.back();
        page.buttons.push_back({UUID::random(),
                                static_cast<std::int64_t>(page.buttons.size()),
                                IconRef::custom(iconPNG(index)),
                                {"#ffffff", "#e5e7eb", 135},
                                ActionSpec::launchApp("org.example.App" + std::to_string(index))});
    }
    return layout;
}

const LayoutRecord& sharedLayout() {
    static const LayoutRecord layout = largeLayout();
    return layout;
}

/// A defaults domain in memory: the model's own cost without the disk.
class MemoryDefaults final : public UserDefaults {
public:
    std::optional<QString> string(const QString&) const override { return std::nullopt; }
    std::optional<QStringList> stringArray(const QString&) const override { return std::nullopt; }
    std::optional<QByteArray> data(const QString& key) const override {
        std::scoped_lock lock(m_mutex);
        const auto found = m_data.find(key);
        return found == m_data.end() ? std::nullopt : std::optional(found->second);
    }
    void setString(const QString&, const QString&) override {}
    void setStringArray(const QString&, const QStringList&) override {}
    void setData(const QString& key, const QByteArray& value) override {
        std::scoped_lock lock(m_mutex);
        m_data[key] = value;
    }
    void remove(const QString& key) override {
        std::scoped_lock lock(m_mutex);
        m_data.erase(key);
    }
    bool synchronize() override { return true; }

private:
    mutable std::mutex m_mutex;
    std::map<QString, QByteArray> m_data;
};

void runEdits(benchmark::State& state, std::shared_ptr<UserDefaults> defaults,
              const QString& root) {
    MacEditorLayoutStore store(defaults, QString(MacEditorLayoutStore::defaultKey),
                               std::make_shared<RootedApplicationDirectories>(root));
    MacEditorState editor(
        sharedLayout(), QStringLiteral("スマホ未同期"),
        std::make_shared<InstalledAppsScanner>(std::make_shared<DesktopEntryApplications>(
            DesktopEntryApplications::Configuration{{}, QStringLiteral("C")})),
        store, std::make_shared<bench::NoWebIcons>());
    // The selected button is the first one, which has a custom icon; edit its gradient the
    // way the colour picker does.
    int edit = 0;
    for (auto _ : state) {
        ++edit;
        editor.updateSelectedButton(
            std::nullopt, ColorGradient{edit % 2 == 0 ? "#ffffff" : "#fefefe", "#e5e7eb", 135},
            std::nullopt);
    }
    state.counters["storedMB"] =
        static_cast<double>(defaults->data(store.key()).value_or(QByteArray()).size()) / 1e6;
}

void BM_EditWithInMemoryDefaults(benchmark::State& state) {
    QTemporaryDir root;
    runEdits(state, std::make_shared<MemoryDefaults>(), root.path());
}

void BM_EditWithDefaultsFile(benchmark::State& state) {
    QTemporaryDir root;
    runEdits(
        state,
        std::make_shared<SettingsUserDefaults>(root.filePath(QStringLiteral("defaults/standard"))),
        root.path());
}

BENCHMARK(BM_EditWithInMemoryDefaults)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_EditWithDefaultsFile)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
