#include "QuorixMacEditorWindow/Support/EditorRendering.h"

#include "QuorixMacCore/Editor/ShortcutsRunURL.h"
#include "QuorixMacCore/EditorWindow/DeleteConfirmation.h"
#include "QuorixMacCore/EditorWindow/EditorCanvasView.h"
#include "QuorixMacCore/EditorWindow/EditorWindow.h"
#include "QuorixMacEditorWindow/Support/EditorFixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QBuffer>
#include <QDir>
#include <QGlyphRun>
#include <QImage>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <QTextLayout>
#include <QToolTip>

#include <iostream>

namespace quorix::test {

namespace {

Bytes gradientPNG() {
    QImage image(256, 256, QImage::Format_ARGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 256, 256);
    gradient.setColorAt(0, QColor(0xf9, 0x73, 0x16));
    gradient.setColorAt(1, QColor(0xdb, 0x27, 0x77));
    painter.fillRect(image.rect(), gradient);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(128, 128), 60, 60);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return Bytes(png.begin(), png.end());
}

LayoutRecord fullLayout() {
    const auto opening = [](const char* address) { return ActionSpec::openURL(url(address)); };
    const auto site = [](const char* address) { return IconRef::favicon(url(address)); };
    std::vector<QuorixButtonRecord> buttons{
        button(0, IconRef::sfSymbol("mic.slash.fill"),
               ActionSpec::keyboardShortcut({{Modifier::command, Modifier::shift}, "a"})),
        button(1, site("https://www.youtube.com"), opening("https://www.youtube.com")),
        button(2, site("https://x.com"), opening("https://x.com/home")),
        button(3, IconRef::custom(gradientPNG()), ActionSpec::launchApp("org.example.Paint")),
        button(4, IconRef::appIcon("org.example.Missing"),
               ActionSpec::launchApp("org.example.Missing")),
        button(5, site("https://claude.ai"), opening("https://claude.ai")),
        button(6, site("https://www.amazon.co.jp"), opening("https://www.amazon.co.jp")),
        button(7, site("https://example.org"), opening("https://example.org/news")),
        button(8, IconRef::sfSymbol("play.fill"),
               ActionSpec::macro({ActionSpec::keyboardShortcut({{}, "space"})}, {0.5})),
        button(9, IconRef::appIcon("com.apple.shortcuts"),
               ActionSpec::openURL(shortcutsRunURL("朝の準備"))),
    };
    return layoutOf({page(0, std::move(buttons)), page(1), page(2)});
}

QStringList glyphProblems(const QWidget& root) {
    QStringList problems;
    for (const ShownText& shown : shownTexts(root)) {
        const QString missing = charactersWithoutGlyph(shown.text, shown.font);
        if (!missing.isEmpty()) {
            problems << QStringLiteral("no glyph for \"%1\" in \"%2\" (%3)")
                            .arg(missing, shown.text, shown.font.family());
        }
    }
    return problems;
}

/// Shows the editor, lets every picture arrive (site icons fail, so the globe shows) and
/// the scroll to the selected row finish; the problems found.
QStringList showAndCheck(EditorFixture& fixture, EditorWindow& window) {
    window.resize(QSize(980, 620).expandedTo(window.minimumSizeHint()));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return {QStringLiteral("the window was not shown")};
    }
    QStringList problems;
    if (!QTest::qWaitFor([&] {
            fixture.resolver.answerAll(std::nullopt);
            return !fixture.artwork.isBusy();
        })) {
        problems << QStringLiteral("pictures did not arrive");
    }
    QTest::qWait(2 * ButtonListView::scrollDurationMilliseconds);
    return problems << glyphProblems(window);
}

} // namespace

std::vector<ShownText> shownTexts(const QWidget& root) {
    std::vector<ShownText> texts;
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(const_cast<QWidget*>(&root));
    for (const QWidget* widget : widgets) {
        if (!widget->isVisible()) {
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            texts.push_back({label->text(), label->font()});
        }
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            texts.push_back({button->text(), button->font()});
        }
        if (!widget->toolTip().isEmpty()) {
            texts.push_back({widget->toolTip(), QToolTip::font()});
        }
        if (const auto* view = qobject_cast<const QAbstractItemView*>(widget)) {
            const QAbstractItemModel* model = view->model();
            for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
                for (int role : {int(Qt::DisplayRole), int(ButtonListModel::captionRole)}) {
                    texts.push_back({model->index(row, 0).data(role).toString(), view->font()});
                }
            }
        }
    }
    return texts;
}

QString charactersWithoutGlyph(const QString& text, const QFont& font) {
    QString missing;
    for (const char32_t character : text.toUcs4()) {
        const QString alone = QString::fromUcs4(&character, 1);
        if (alone.trimmed().isEmpty()) {
            continue;
        }
        QTextLayout layout(alone, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        // Glyph 0 is a font's stand-in box: what is drawn when neither the font nor any
        // fallback has the character.
        for (const QGlyphRun& run : layout.glyphRuns()) {
            if (run.glyphIndexes().contains(0U)) {
                missing += alone;
                break;
            }
        }
    }
    return missing;
}

int renderEditorScreens(const QString& directory) {
    // A check that finds nothing missing proves nothing unless it can find something.
    if (charactersWithoutGlyph(QString(QChar(0x0378)), QFont()).isEmpty()) {
        std::cerr << "cannot tell a missing glyph on this system\n";
        return 3;
    }
    QStringList problems;
    {
        EditorFixture empty;
        EditorWindow window(empty.state, {}, {});
        problems << showAndCheck(empty, window);
        window.grab().save(QDir(directory).filePath(QLatin1StringView(emptyLayoutScreenshot)));
    }
    {
        EditorFixture full(fullLayout());
        full.state.selectButton(full.state.selectedPage()->buttons[1].id);
        EditorWindow window(full.state, {}, {});
        problems << showAndCheck(full, window);
        window.grab().save(QDir(directory).filePath(QLatin1StringView(fullPageScreenshot)));

        QMessageBox* confirmation = DeleteConfirmation::ask(
            &window, DeleteConfirmation::pageTitle.toString(),
            DeleteConfirmation::pageMessage(
                full.state.pageNumberTitle(full.state.layout().pages[0].id)),
            [] {}, [] {});
        if (!QTest::qWaitForWindowExposed(confirmation)) {
            problems << QStringLiteral("the confirmation was not shown");
        }
        problems << glyphProblems(*confirmation);
        confirmation->close();
    }
    for (const QString& problem : problems) {
        std::cerr << problem.toStdString() << '\n';
    }
    return problems.isEmpty() ? 0 : 1;
}

} // namespace quorix::test
