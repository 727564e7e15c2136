#include "QuorixMacCore/Editor/ShortcutScanner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quorix {
namespace {

std::vector<ShortcutChoice> choices(std::initializer_list<const char*> names) {
    std::vector<ShortcutChoice> result;
    for (const char* name : names) {
        result.push_back({name, name});
    }
    return result;
}

TEST(ShortcutScanner, parsesOneChoicePerNonBlankLine) {
    struct Case {
        QByteArray output;
        std::vector<ShortcutChoice> expected;
    };
    const Case cases[] = {
        {"A\n\n  B  \n", choices({"A", "B"})},
        {"Windows\r\nLines\r\n", choices({"Windows", "Lines"})},
        {"\t \n \n", {}},
        {"Same\nSame\nNo newline at end", choices({"Same", "Same", "No newline at end"})},
        {"朝のルーティン\n 翻訳 \n", choices({"朝のルーティン", "翻訳"})},
        {"Fine\n\xff\xfe broken\n", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortcutScanner::parseListing(c.output), c.expected) << c.output.toStdString();
    }
}

class ShortcutToolTest : public ::testing::Test {
protected:
    QString tool(const QByteArray& script) {
        const QString path = directory.filePath(QStringLiteral("shortcuts"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("#!/bin/sh\n[ \"$*\" = list ] || exit 64\n" + script);
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        return path;
    }

    QTemporaryDir directory;
};

// Every script must finish without help: a scanner that stops draining a pipe hangs here
// instead of failing.
TEST_F(ShortcutToolTest, onlyAToolThatSucceedsListsAnything) {
    struct Case {
        const char* what;
        QByteArray script;
        std::vector<ShortcutChoice> expected;
    };
    const Case cases[] = {
        {"blank lines", "printf 'A\\n\\n  B  \\n'\n", choices({"A", "B"})},
        {"non-zero exit", "echo A\nexit 3\n", {}},
        {"killed", "echo A\nkill -9 $$\n", {}},
        {"megabytes on standard error",
         "head -c 8000000 /dev/zero | tr '\\0' x >&2\necho Survivor\n", choices({"Survivor"})},
        {"output closed early", "echo Early\nexec >&-\nsleep 1\n", choices({"Early"})},
        {"listing beyond the limit", "head -c 20000000 /dev/zero | tr '\\0' x\necho\necho A\n", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortcutScanner(tool(c.script)).scanBlocking(), c.expected) << c.what;
    }
}

TEST_F(ShortcutToolTest, readsAListingLargerThanAPipeHolds) {
    const auto result =
        ShortcutScanner(tool("i=0\nwhile [ $i -lt 20000 ]; do echo \"Shortcut $i\"; i=$((i+1)); "
                             "done\necho Last\n"))
            .scanBlocking();
    ASSERT_EQ(result.size(), 20001u);
    EXPECT_EQ(result.front(), choices({"Shortcut 0"})[0]);
    EXPECT_EQ(result.back(), choices({"Last"})[0]);
}

TEST_F(ShortcutToolTest, runsAsATaskAndAMissingToolListsNothing) {
    auto listed = ShortcutScanner(tool("echo Morning\necho Evening\n")).scan();
    auto missing = ShortcutScanner(directory.filePath(QStringLiteral("absent"))).scan();
    EXPECT_EQ(listed.result(), choices({"Morning", "Evening"}));
    EXPECT_EQ(missing.result(), choices({}));
}

} // namespace
} // namespace quorix
