#pragma once

#include "QuorixMacCore/Catalog/AppChoices.h"
#include "QuorixMacCore/EditorWindow/InspectorServices.h"

#include <QToolButton>
#include <QVariantAnimation>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QMenu;

namespace quorix {

class ChoiceListView;
class MacSearchField;
class SpinnerView;

/// The app picker's menu button: "アプリを選ぶ" between a plus and a chevron. Emphasised it
/// sits on the accent colour and pulses, for a button that opens no application yet.
class AppPickerCallToActionLabel final : public QToolButton {
    Q_OBJECT

public:
    /// One half of a pulse; it repeats, running back and forth.
    static constexpr int pulseMilliseconds = 550;

    explicit AppPickerCallToActionLabel(QWidget* parent = nullptr);

    void setEmphasized(bool emphasized);
    bool isEmphasized() const { return m_emphasized; }
    bool isPulsing() const { return m_pulse.state() == QAbstractAnimation::Running; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_emphasized = false;
    QVariantAnimation m_pulse;
};

/// The open-application action's editor: pick a running application or an application
/// file from the menu, or search the installed applications.
class MacAppActionEditor final : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxListHeight = 180;

    MacAppActionEditor(ButtonEditing editing, const InspectorServices& services,
                       QWidget* parent = nullptr);

    /// The button's action, for the check mark and the emphasis.
    void showAction(const ActionSpec& action);

    /// Whether an icon is being rendered for a choice.
    bool isRendering() const { return m_renders > 0; }

    /// Makes the button open the running application.
    void chooseRunningApp(const RunningAppChoice& app);
    /// Makes the button open the application file at the path.
    void chooseApplicationFile(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void listRunningApps();
    void fillRunningAppsMenu();
    void refreshRows();
    void refreshLoading();
    /// Runs `work` off the main thread and applies its update if the button is still
    /// selected then.
    void applyLater(std::function<InspectorRules::ButtonUpdate()> work);

    ButtonEditing m_editing;
    InspectorServices m_services;
    AppPickerCallToActionLabel* m_picker;
    QMenu* m_runningMenu;
    MacSearchField* m_search;
    SpinnerView* m_spinner;
    ChoiceListView* m_list;
    std::string m_bundleID;
    std::optional<std::string> m_fallbackPath;
    std::vector<AppInfo> m_shown;
    std::vector<RunningAppChoice> m_runningApps;
    bool m_isListingRunningApps = false;
    bool m_hasAppeared = false;
    int m_renders = 0;
};

} // namespace quorix
