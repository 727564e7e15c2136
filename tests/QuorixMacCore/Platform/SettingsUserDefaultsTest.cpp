#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorix;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

TEST(SettingsUserDefaults, keepsEachKindOfValueAcrossARead) {
    QTemporaryDir root;
    const QString written = root.filePath(QStringLiteral("defaults/written"));
    const QString japanese = QStringLiteral("\u30B9\u30DE\u30DB\u3068\u63A5\u7D9A");
    const QStringList list{QStringLiteral("a,b"), QStringLiteral("@x"), QStringLiteral("\"q\""),
                           japanese, QString()};
    const QByteArray bytes("\x00\x01{\"json\":true}\xFF", 17);
    {
        SettingsUserDefaults defaults(written);
        defaults.setString(QStringLiteral("quorix.mac.quickPanel.triggerMode"), japanese);
        defaults.setStringArray(QStringLiteral("quorix.pairing.tokens"), list);
        defaults.setData(QStringLiteral("quorix.mac.editor.layout"), bytes);
        defaults.setString(QStringLiteral("gone"), QStringLiteral("x"));
        defaults.remove(QStringLiteral("gone"));
        EXPECT_TRUE(defaults.synchronize());
    }
    // A copy under a new name is parsed from disk, as a later run of the program would.
    const QString copy = root.filePath(QStringLiteral("defaults/copy"));
    ASSERT_TRUE(QFile::copy(written, copy));
    SettingsUserDefaults reread(copy);
    EXPECT_EQ(reread.string(QStringLiteral("quorix.mac.quickPanel.triggerMode")), japanese);
    EXPECT_EQ(reread.stringArray(QStringLiteral("quorix.pairing.tokens")), list);
    EXPECT_EQ(reread.data(QStringLiteral("quorix.mac.editor.layout")), bytes);
    EXPECT_EQ(reread.string(QStringLiteral("gone")), std::nullopt);

    // A getter of another kind gives nothing.
    EXPECT_EQ(reread.data(QStringLiteral("quorix.mac.quickPanel.triggerMode")), std::nullopt);
    EXPECT_EQ(reread.string(QStringLiteral("quorix.mac.editor.layout")), std::nullopt);
    EXPECT_EQ(reread.stringArray(QStringLiteral("quorix.mac.editor.layout")), std::nullopt);
    EXPECT_EQ(reread.stringArray(QStringLiteral("missing")), std::nullopt);
}

TEST(SettingsUserDefaults, readsShortListsAsTheINIFormWritesThem) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("standard"));
    writeFile(path, "[General]\nempty=@Invalid()\none=solo\nthree=a, b, c\n");
    SettingsUserDefaults defaults(path);
    EXPECT_EQ(defaults.stringArray(QStringLiteral("empty")), QStringList{});
    EXPECT_EQ(defaults.stringArray(QStringLiteral("one")), QStringList{QStringLiteral("solo")});
    EXPECT_EQ(defaults.stringArray(QStringLiteral("three")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

TEST(SettingsUserDefaults, reportsAWriteThatCannotReachTheDisk) {
    QTemporaryDir root;
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "not a folder");
    SettingsUserDefaults defaults(blocker + QStringLiteral("/standard"));
    defaults.setString(QStringLiteral("key"), QStringLiteral("value"));
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.string(QStringLiteral("key")), std::nullopt);
}

TEST(SettingsUserDefaultsDomains, namesOneFilePerDomain) {
    QTemporaryDir root;
    SettingsUserDefaultsDomains domains(root.path());

    const auto standard = std::dynamic_pointer_cast<SettingsUserDefaults>(domains.standard());
    ASSERT_TRUE(standard);
    EXPECT_EQ(standard->filePath(), root.filePath(QStringLiteral("standard")));
    EXPECT_EQ(domains.standard(), domains.standard());

    const auto suite = std::dynamic_pointer_cast<SettingsUserDefaults>(
        domains.suite(QStringLiteral("app.quorix.mac.helper")));
    ASSERT_TRUE(suite);
    EXPECT_EQ(suite->filePath(), root.filePath(QStringLiteral("app.quorix.mac.helper")));
    EXPECT_EQ(domains.suite(QStringLiteral("app.quorix.mac.helper")), suite);

    for (const QString& refused : {QString(), QStringLiteral("."), QStringLiteral(".."),
                                   QStringLiteral("a/b"), QStringLiteral("standard")}) {
        EXPECT_EQ(domains.suite(refused), nullptr) << refused.toStdString();
    }

    suite->setString(QStringLiteral("k"), QStringLiteral("suite"));
    EXPECT_EQ(domains.standard()->string(QStringLiteral("k")), std::nullopt);
}
