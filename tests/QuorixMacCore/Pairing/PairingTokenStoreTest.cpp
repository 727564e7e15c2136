#include "QuorixMacCore/Pairing/FilePairingTokenStore.h"
#include "QuorixMacCore/Pairing/PairingTokenStores.h"
#include "QuorixMacCore/Pairing/UserDefaultsPairingTokenStore.h"
#include "QuorixMacCore/Platform/Linux/SettingsUserDefaults.h"
#include "QuorixMacCore/Support/InMemoryUserDefaults.h"
#include "QuorixMacCore/Support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quorix;
using quorix::test::modeOf;
using quorix::test::readFile;
using quorix::test::writeFile;

namespace {

constexpr unsigned ownerOnlyFile = 0600;
constexpr unsigned ownerOnlyDirectory = 0700;

const std::string tokenA = "Aq3Lr0v6Xh9sTq2Wc5Yb8Nd1Fg4Jk7Mp0Rs3Uv6Xy9Z";
const std::string tokenB = "Bx_7-kP2mQ9rS4tU1vW8xY5zA3bC6dE0fG2hJ4kL6mN";

/// A user's directories below a temporary root: defaults in <root>/config, files in
/// <root>/home.
struct RedirectedUser {
    RedirectedUser() { EXPECT_TRUE(root.isValid()); }

    QString configDirectory() const {
        return root.filePath(QStringLiteral("config/QuorixMacHelper"));
    }
    RootedApplicationDirectories directories() const {
        return RootedApplicationDirectories(root.filePath(QStringLiteral("home")));
    }
    QString tokenFile() const { return FilePairingTokenStore::defaultFilePath(directories()); }

    /// What a new run of the program gets.
    std::shared_ptr<PairingTokenStore> persistentStore() const {
        SettingsUserDefaultsDomains domains(configDirectory());
        return PairingTokenStores::persistent(domains, directories());
    }

    QTemporaryDir root;
};

} // namespace

TEST(PairingTokenStores, aRestartFindsTokensThroughTheFileAlone) {
    RedirectedUser user;
    // Looking creates nothing.
    EXPECT_FALSE(user.persistentStore()->contains(tokenA));
    EXPECT_TRUE(
        QDir(user.root.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    for (const std::string& token : {tokenB, tokenA, tokenB}) {
        user.persistentStore()->save(token);
    }

    // Each store holds each token once, in order.
    SettingsUserDefaultsDomains domains(user.configDirectory());
    EXPECT_EQ(domains.standard()->stringArray(QStringLiteral("quorix.pairing.tokens")),
              (QStringList{QString::fromStdString(tokenA), QString::fromStdString(tokenB)}));
    for (const QLatin1StringView suite : PairingTokenStores::suiteNames) {
        EXPECT_TRUE(QFile::exists(user.configDirectory() + u'/' + suite)) << suite.data();
        domains.suite(suite)->remove(PairingTokenStores::defaultsKey);
    }
    domains.standard()->remove(PairingTokenStores::defaultsKey);
    EXPECT_EQ(readFile(user.tokenFile()), "[\"" + QByteArray::fromStdString(tokenA) + "\",\"" +
                                              QByteArray::fromStdString(tokenB) + "\"]");
    // The atomic writer leaves no temporary files behind.
    EXPECT_EQ(QDir(QFileInfo(user.tokenFile()).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("pairing-tokens.json")});

    const auto restarted = user.persistentStore();
    EXPECT_TRUE(restarted->contains(tokenA));
    EXPECT_TRUE(restarted->contains(tokenB));
    EXPECT_FALSE(restarted->contains(tokenA.substr(1)));
}

TEST(PairingTokenStores, aRefusedSuiteFallsBackToTheStandardDefaults) {
    testsupport::InMemoryUserDefaultsDomains domains({QStringLiteral("quorix-mac-app")});
    RedirectedUser user;
    PairingTokenStores::persistent(domains, user.directories())->save(tokenA);
    EXPECT_EQ(domains.domain(QString())->stringArray(PairingTokenStores::defaultsKey),
              QStringList{QString::fromStdString(tokenA)});
    EXPECT_FALSE(domains.domain(QStringLiteral("quorix-mac-app"))
                     ->stringArray(PairingTokenStores::defaultsKey));
}

TEST(PairingTokenStores, keepsTokensReadableByTheirOwnerOnly) {
    RedirectedUser user;
    user.persistentStore()->save(tokenA);
    const QString tokenFolder = QFileInfo(user.tokenFile()).path();
    const QString standardFile = user.configDirectory() + QStringLiteral("/standard");
    const auto expectPrivate = [&] {
        for (const QString& file : {user.tokenFile(), standardFile}) {
            EXPECT_EQ(modeOf(file), ownerOnlyFile) << file.toStdString();
        }
        for (const QString& folder : {tokenFolder, user.configDirectory()}) {
            EXPECT_EQ(modeOf(folder), ownerOnlyDirectory) << folder.toStdString();
        }
    };
    expectPrivate();

    // What another program left readable is closed at the next save.
    for (const QString& path : {user.tokenFile(), standardFile, user.configDirectory()}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    }
    user.persistentStore()->save(tokenB);
    expectPrivate();
}

TEST(UserDefaultsPairingTokenStore, keepsASortedArrayWithEachTokenOnce) {
    const QString key = QStringLiteral("quorix.pairing.tokens");
    const auto list = [](const char* words) {
        return QString::fromLatin1(words).split(u' ', Qt::SkipEmptyParts);
    };
    // What another program left is tidied; a value that is not a string array counts as empty.
    const std::vector<std::pair<QVariant, QStringList>> cases{
        {list("c a c B"), list("B a b c")},
        {QStringLiteral("b"), list("b")},
        {QByteArray("b"), list("b")},
        {42, list("b")},
    };
    for (const auto& [stored, expected] : cases) {
        const auto defaults = std::make_shared<testsupport::InMemoryUserDefaults>();
        defaults->setRaw(key, stored);
        UserDefaultsPairingTokenStore store(defaults, key);
        EXPECT_FALSE(store.contains("b")) << "tokens differ by case";
        store.save("b");
        store.save("b");
        EXPECT_EQ(defaults->stringArray(key), expected);
        EXPECT_EQ(defaults->synchronizations(), 2);
    }
}

TEST(FilePairingTokenStore, replacesAMalformedFileWhole) {
    const QByteArray token = QByteArray::fromStdString(tokenA);
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"object", "{\"" + token + "\":true}"},
        {"a non-string among strings", "[\"" + token + "\",3]"},
        {"not JSON", "not json " + token},
        {"truncated", "[\"" + token + "\""},
        {"invalid UTF-8", "[\"" + token + "\",\"\xC3\x28\"]"},
        {"empty file", ""},
    };
    for (const Case& c : cases) {
        QTemporaryDir root;
        const QString path = root.filePath(QStringLiteral("pairing-tokens.json"));
        writeFile(path, c.content);
        FilePairingTokenStore store(path);
        EXPECT_FALSE(store.contains(tokenA)) << c.name;
        store.save(tokenB);
        EXPECT_EQ(readFile(path), "[\"" + QByteArray::fromStdString(tokenB) + "\"]") << c.name;
    }
}

TEST(FilePairingTokenStore, skipsTheSaveWhenItsFolderCannotBeMade) {
    QTemporaryDir root;
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    writeFile(blocker, "a file where a folder should be");
    FilePairingTokenStore store(blocker + QStringLiteral("/pairing-tokens.json"));
    store.save(tokenA);
    EXPECT_FALSE(store.contains(tokenA));
    EXPECT_EQ(readFile(blocker), "a file where a folder should be");
}
