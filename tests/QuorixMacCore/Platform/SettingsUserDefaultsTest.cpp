#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"

#include "QuorixMacCore/Support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quorix;
using quorix::test::modeOf;
using quorix::test::readFile;
using quorix::test::writeFile;

namespace {

/// What another program reading the file finds.
QVariant valueOnDisk(const QString& path, const QString& key) {
    return QSettings(path, QSettings::IniFormat).value(key);
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

TEST(SettingsUserDefaults, reportsAWriteThatCannotReachTheDisk) {
    QTemporaryDir root;
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "not a folder");
    SettingsUserDefaults defaults(blocker + QStringLiteral("/standard"));
    defaults.setString(QStringLiteral("key"), QStringLiteral("value"));
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_FALSE(defaults.synchronize());
    // The process keeps working with the value, and writes it once the disk allows.
    EXPECT_EQ(defaults.string(QStringLiteral("key")), QStringLiteral("value"));
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(valueOnDisk(blocker + QStringLiteral("/standard"), QStringLiteral("key")),
              QStringLiteral("value"));
}

TEST(SettingsUserDefaults, writesPrivateFilesThatOtherReadersSeeAfterSynchronize) {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("defaults"));
    const QString path = folder + QStringLiteral("/standard");
    SettingsUserDefaults defaults(path);
    defaults.setString(QStringLiteral("key"), QStringLiteral("value"));
    EXPECT_EQ(defaults.string(QStringLiteral("key")), QStringLiteral("value"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(valueOnDisk(path, QStringLiteral("key")), QStringLiteral("value"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(folder), 0700u);

    // A later run rewrites the file without widening it.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    defaults.setString(QStringLiteral("key"), QStringLiteral("again"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(SettingsUserDefaults, coalescesABurstOfChangesAndWritesTheLast) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("standard"));
    SettingsUserDefaults defaults(path);
    // A large value makes each write slow, as the stored editor layout does.
    defaults.setData(QStringLiteral("layout"), QByteArray(2 * 1024 * 1024, 'x'));
    constexpr int changes = 1000;
    for (int index = 0; index < changes; ++index) {
        defaults.setString(QStringLiteral("counter"), QString::number(index));
    }
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_LE(defaults.fileWrites(), std::uint64_t{changes / 10});
    EXPECT_GE(defaults.fileWrites(), 1u);
    EXPECT_TRUE(readFile(path).contains("\ncounter=999\n"));
    EXPECT_EQ(valueOnDisk(path, QStringLiteral("layout")).toByteArray().size(), 2 * 1024 * 1024);
}

TEST(SettingsUserDefaults, readsOtherProgramsChangesOnlyWhenSynchronizing) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("standard"));
    SettingsUserDefaults defaults(path);
    defaults.setString(QStringLiteral("mine"), QStringLiteral("kept"));
    ASSERT_TRUE(defaults.synchronize());

    // Another program writes, short lists included in the form QSettings gives them.
    writeFile(path, "[General]\nmine=kept\ntheirs=external\nboth=external\n"
                    "empty=@Invalid()\none=solo\nthree=a, b, c\n");
    EXPECT_EQ(defaults.string(QStringLiteral("theirs")), std::nullopt);
    defaults.setString(QStringLiteral("both"), QStringLiteral("local"));
    ASSERT_TRUE(defaults.synchronize());

    for (const auto& [key, expected] :
         {std::pair{"mine", "kept"}, std::pair{"theirs", "external"}, std::pair{"both", "local"}}) {
        const QString name = QString::fromUtf8(key);
        EXPECT_EQ(defaults.string(name), QString::fromUtf8(expected)) << key;
        EXPECT_EQ(valueOnDisk(path, name), QString::fromUtf8(expected)) << key;
    }
    EXPECT_EQ(defaults.stringArray(QStringLiteral("empty")), QStringList{});
    EXPECT_EQ(defaults.stringArray(QStringLiteral("one")), QStringList{QStringLiteral("solo")});
    EXPECT_EQ(defaults.stringArray(QStringLiteral("three")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
}

TEST(SettingsUserDefaults, writesWhatIsPendingWhenTheLastUserGoesOrOnRequest) {
    QTemporaryDir root;
    const QString destroyed = root.filePath(QStringLiteral("destroyed"));
    {
        SettingsUserDefaults defaults(destroyed);
        defaults.setString(QStringLiteral("key"), QStringLiteral("on destruction"));
    }
    EXPECT_TRUE(readFile(destroyed).contains("key=on destruction"));
    EXPECT_EQ(SettingsUserDefaults(destroyed).string(QStringLiteral("key")),
              QStringLiteral("on destruction"));

    const QString flushed = root.filePath(QStringLiteral("flushed"));
    SettingsUserDefaults defaults(flushed);
    defaults.setString(QStringLiteral("key"), QStringLiteral("flushed"));
    EXPECT_TRUE(flushAllUserDefaults());
    EXPECT_TRUE(readFile(flushed).contains("key=flushed"));
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

TEST(SettingsUserDefaultsDomains, shareValuesWithEveryOtherUserOfTheSameFile) {
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("defaults"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString link = root.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(folder, link));

    SettingsUserDefaultsDomains first(folder);
    first.standard()->setString(QStringLiteral("key"), QStringLiteral("value"));
    first.suite(QStringLiteral("suite"))->setString(QStringLiteral("key"), QStringLiteral("s"));
    for (const QString& directory : {folder, folder + QStringLiteral("/./"),
                                     root.filePath(QStringLiteral("defaults/../defaults")), link}) {
        SettingsUserDefaultsDomains second(directory);
        EXPECT_EQ(second.standard()->string(QStringLiteral("key")), QStringLiteral("value"))
            << directory.toStdString();
        EXPECT_EQ(second.suite(QStringLiteral("suite"))->string(QStringLiteral("key")),
                  QStringLiteral("s"))
            << directory.toStdString();
        second.standard()->remove(QStringLiteral("key"));
        EXPECT_EQ(first.standard()->string(QStringLiteral("key")), std::nullopt);
        first.standard()->setString(QStringLiteral("key"), QStringLiteral("value"));
    }
}

TEST(SettingsUserDefaults, removesAKeyWithTheKeysBelowItAsTheFileDoes) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("standard"));
    SettingsUserDefaults defaults(path);
    for (const char* key : {"group", "group/a", "group/b/c", "group.d", "groupie"}) {
        defaults.setString(QString::fromUtf8(key), QStringLiteral("x"));
    }
    defaults.remove(QStringLiteral("group"));
    ASSERT_TRUE(defaults.synchronize());
    for (const auto& [key, kept] :
         {std::pair{"group", false}, std::pair{"group/a", false}, std::pair{"group/b/c", false},
          std::pair{"group.d", true}, std::pair{"groupie", true}}) {
        const QString name = QString::fromUtf8(key);
        EXPECT_EQ(defaults.string(name).has_value(), kept) << key;
        EXPECT_EQ(valueOnDisk(path, name).isValid(), kept) << key;
    }
}
