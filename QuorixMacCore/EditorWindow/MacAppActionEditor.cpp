#include "QuorixMacCore/EditorWindow/MacAppActionEditor.h"

#include "QuorixMacCore/Artwork/SymbolGlyphs.h"
#include "QuorixMacCore/Editor/MacEditorState.h"
#include "QuorixMacCore/EditorWindow/EditorStyle.h"
#include "QuorixMacCore/EditorWindow/IconArtwork.h"
#include "QuorixMacCore/EditorWindow/InspectorRules.h"
#include "QuorixMacCore/EditorWindow/InspectorWidgets.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quorix {

namespace {

const QString pickerTitle = QStringLiteral("アプリを選ぶ");
constexpr int pickerSymbolSize = 12;
constexpr int pickerHorizontalInset = 10;
constexpr int pickerVerticalInset = 6;
constexpr int pickerSpacing = 5;
// How far the emphasised background fades at the far end of a pulse.
constexpr qreal pulseFade = 0.35;

QFont pickerFont(const QFont& base) {
    QFont font = EditorStyle::captionFont(base);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

AppPickerCallToActionLabel::AppPickerCallToActionLabel(QWidget* parent)
    : QToolButton(parent) {
    setText(pickerTitle);
    setAccessibleName(pickerTitle);
    setPopupMode(QToolButton::InstantPopup);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    m_pulse.setStartValue(0.0);
    m_pulse.setEndValue(1.0);
    m_pulse.setDuration(pulseMilliseconds);
    m_pulse.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_pulse, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_pulse, &QAbstractAnimation::finished, this, [this] {
        m_pulse.setDirection(m_pulse.direction() == QAbstractAnimation::Forward
                                 ? QAbstractAnimation::Backward
                                 : QAbstractAnimation::Forward);
        m_pulse.start();
    });
}

void AppPickerCallToActionLabel::setEmphasized(bool emphasized) {
    m_emphasized = emphasized;
    if (emphasized) {
        m_pulse.setDirection(QAbstractAnimation::Forward);
        m_pulse.start();
    } else {
        m_pulse.stop();
    }
    update();
}

QSize AppPickerCallToActionLabel::sizeHint() const {
    const QFontMetrics metrics(pickerFont(font()));
    return {metrics.horizontalAdvance(pickerTitle) + 2 * pickerSymbolSize + 2 * pickerSpacing +
                2 * pickerHorizontalInset,
            std::max(metrics.height(), pickerSymbolSize) + 2 * pickerVerticalInset};
}

void AppPickerCallToActionLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = EditorStyle::accent(palette());
    const qreal pulse = isPulsing() ? m_pulse.currentValue().toReal() : 0;
    QColor background = m_emphasized ? EditorStyle::withOpacity(accent, 1 - pulseFade * pulse)
                                     : EditorStyle::withOpacity(accent, 0.12);
    if (isDown()) {
        background = background.darker(115);
    }
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(hasFocus() ? QPen(accent, 1.5) : Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(frame, frame.height() / 2, frame.height() / 2);

    const QColor foreground = m_emphasized ? QColor(Qt::white) : accent;
    const QFont font = pickerFont(this->font());
    const int textWidth = QFontMetrics(font).horizontalAdvance(pickerTitle);
    qreal x = (width() - (textWidth + 2 * pickerSymbolSize + 2 * pickerSpacing)) / 2.0;
    const qreal symbolTop = (height() - pickerSymbolSize) / 2.0;
    SymbolGlyphs::paintSymbol(painter, QRectF(x, symbolTop, pickerSymbolSize, pickerSymbolSize),
                              "plus.circle.fill", foreground);
    x += pickerSymbolSize + pickerSpacing;
    painter.setFont(font);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, 0, textWidth, height()), Qt::AlignVCenter, pickerTitle);
    x += textWidth + pickerSpacing;
    SymbolGlyphs::paintSymbol(painter, QRectF(x, symbolTop, pickerSymbolSize, pickerSymbolSize),
                              "chevron.down", foreground);
}

MacAppActionEditor::MacAppActionEditor(ButtonEditing editing, const InspectorServices& services,
                                       QWidget* parent)
    : QWidget(parent)
    , m_editing(std::move(editing))
    , m_services(services)
    , m_picker(new AppPickerCallToActionLabel(this))
    , m_runningMenu(nullptr)
    , m_search(new MacSearchField(QStringLiteral("アプリ名で検索"), this))
    , m_spinner(new SpinnerView(this))
    , m_list(new ChoiceListView(IconArtworkCache::of(m_editing.state()), maxListHeight, 0, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* pickerRow = new QHBoxLayout();
    m_picker->setObjectName(QStringLiteral("appPicker"));
    pickerRow->addWidget(m_picker);
    m_spinner->setObjectName(QStringLiteral("appEditorBusy"));
    m_spinner->hide();
    pickerRow->addWidget(m_spinner);
    pickerRow->addStretch();
    layout->addLayout(pickerRow);

    auto* menu = new QMenu(m_picker);
    menu->setObjectName(QStringLiteral("appPickerMenu"));
    const QColor symbolColor = palette().color(QPalette::Text);
    m_runningMenu =
        menu->addMenu(SymbolGlyphs::symbolIcon("play.rectangle.on.rectangle", symbolColor),
                      QStringLiteral("起動中のアプリから選ぶ"));
    m_runningMenu->setObjectName(QStringLiteral("runningAppsMenu"));
    QAction* fromFile = menu->addAction(SymbolGlyphs::symbolIcon("folder", symbolColor),
                                        QStringLiteral("ファイル / フォルダから選ぶ"));
    fromFile->setObjectName(QStringLiteral("chooseAppFileAction"));
    m_picker->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &MacAppActionEditor::listRunningApps);
    connect(fromFile, &QAction::triggered, this, [this] {
        if (!m_services.chooseFile) {
            return;
        }
        QPointer<MacAppActionEditor> self(this);
        m_services.chooseFile(this, FileChoice::application,
                              [self](const std::optional<QString>& path) {
                                  if (self && path) {
                                      self->chooseApplicationFile(*path);
                                  }
                              });
    });

    m_search->setObjectName(QStringLiteral("appSearchField"));
    layout->addWidget(m_search);
    m_list->setObjectName(QStringLiteral("installedAppList"));
    layout->addWidget(m_list);

    MacEditorState& state = m_editing.state();
    connect(m_search, &QLineEdit::textChanged, this, &MacAppActionEditor::refreshRows);
    connect(&state, &MacEditorState::installedAppsChanged, this, &MacAppActionEditor::refreshRows);
    connect(&state, &MacEditorState::isLoadingInstalledAppsChanged, this,
            &MacAppActionEditor::refreshLoading);
    connect(m_list, &ChoiceListView::chosen, this, [this](int row) {
        if (row < 0 || static_cast<std::size_t>(row) >= m_shown.size()) {
            return;
        }
        const AppInfo app = m_shown[static_cast<std::size_t>(row)];
        m_editing.selectInstalledApp(app, InspectorRules::cleanedFallbackPath(m_fallbackPath));
    });

    if (const QuorixButtonRecord* button = state.selectedButton()) {
        showAction(button->action);
    }
}

void MacAppActionEditor::showAction(const ActionSpec& action) {
    if (const auto* launch = std::get_if<ActionSpec::LaunchApp>(&action.value)) {
        m_bundleID = launch->bundleID;
        m_fallbackPath = launch->fallbackPath;
    }
    const bool emphasized = !InspectorRules::namesApplication(action);
    if (emphasized != m_picker->isEmphasized()) {
        m_picker->setEmphasized(emphasized);
    }
    refreshRows();
}

void MacAppActionEditor::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (std::exchange(m_hasAppeared, true)) {
        return;
    }
    m_editing.state().loadInstalledAppsIfNeeded();
    refreshLoading();
    if (m_picker->isEmphasized()) {
        m_picker->setFocus(Qt::OtherFocusReason);
    }
}

void MacAppActionEditor::chooseRunningApp(const RunningAppChoice& app) {
    applyLater([app] {
        return InspectorRules::chosenAppUpdate(app.bundleID, app.fallbackPath,
                                               runningAppIconData(app));
    });
}

void MacAppActionEditor::chooseApplicationFile(const QString& path) {
    applyLater([path, files = m_services.applicationFiles] {
        const FileSystemAppChoice choice = FileSystemAppChoice::fromPath(path, *files);
        return InspectorRules::chosenAppUpdate(choice.bundleID, choice.fallbackPath,
                                               choice.iconData);
    });
}

void MacAppActionEditor::applyLater(std::function<InspectorRules::ButtonUpdate()> work) {
    ++m_renders;
    refreshLoading();
    QThreadPool* pool = m_services.taskPool ? m_services.taskPool : QThreadPool::globalInstance();
    // Bound to this editor: once the user moved on to another kind or button, a late
    // result must not undo that choice.
    whenFinished<InspectorRules::ButtonUpdate>(this, QtConcurrent::run(pool, std::move(work)),
                                               [this](const InspectorRules::ButtonUpdate& update) {
                                                   --m_renders;
                                                   refreshLoading();
                                                   m_editing.apply(update);
                                               });
}

void MacAppActionEditor::listRunningApps() {
    fillRunningAppsMenu();
    if (m_isListingRunningApps) {
        return;
    }
    m_isListingRunningApps = true;
    QThreadPool* pool = m_services.taskPool ? m_services.taskPool : QThreadPool::globalInstance();
    whenFinished<std::vector<RunningAppChoice>>(
        this,
        QtConcurrent::run(pool,
                          [applications = m_services.runningApplications] {
                              return runningAppChoices(applications->runningApplications(),
                                                       applications->messagesLocale());
                          }),
        [this](const std::vector<RunningAppChoice>& apps) {
            m_isListingRunningApps = false;
            m_runningApps = apps;
            fillRunningAppsMenu();
        });
}

void MacAppActionEditor::fillRunningAppsMenu() {
    m_runningMenu->clear();
    if (m_isListingRunningApps && m_runningApps.empty()) {
        m_runningMenu->addAction(QStringLiteral("読み込み中…"))->setEnabled(false);
        return;
    }
    for (const RunningAppChoice& app : m_runningApps) {
        QAction* action = m_runningMenu->addAction(QString::fromStdString(app.name));
        connect(action, &QAction::triggered, this, [this, app] { chooseRunningApp(app); });
    }
}

void MacAppActionEditor::refreshRows() {
    m_shown =
        InspectorRules::matchingInstalledApps(m_editing.state().installedApps(), m_search->text());
    std::vector<ChoiceRow> rows;
    for (const AppInfo& app : m_shown) {
        rows.push_back({QString::fromStdString(app.name), app.bundleID, "app.fill",
                        !app.bundleID.empty() && app.bundleID == m_bundleID});
    }
    m_list->choices().setRows(std::move(rows));
}

void MacAppActionEditor::refreshLoading() {
    m_spinner->setVisible(m_editing.state().isLoadingInstalledApps() || m_renders > 0);
}

} // namespace quorix
