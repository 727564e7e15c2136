#include "QuorixMacCore/Catalog/ShortcutScanner.h"

#include "QuorixMacCore/Support/TestFiles.h"

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

class ShortcutScannerTest : public ::testing::Test {
protected:
    QString tool(const QByteArray& script) {
        return test::writeFile(directory.filePath(QStringLiteral("shortcuts")),
                               "#!/bin/sh\n[ \"$*\" = list ] || exit 64\n" + script, true);
    }

    QTemporaryDir directory;
};

// Every script must finish without help: a scanner that stops draining a pipe hangs here
// instead of failing.
TEST_F(ShortcutScannerTest, listsTheLinesOfAToolThatSucceeds) {
    std::vector<ShortcutChoice> beyondAPipe(20'000, choices({"S"})[0]);
    beyondAPipe.push_back(choices({"Last"})[0]);
    const std::tuple<const char*, QByteArray, std::vector<ShortcutChoice>> cases[] = {
        {"blank lines", "printf 'A\\n\\n  B  \\n \\t \\n'\n", choices({"A", "B"})},
        {"line ends and duplicates", "printf 'Same\\r\\nSame\\n朝のルーティン'\n",
         choices({"Same", "Same", "朝のルーティン"})},
        {"more than a pipe holds", "yes S | head -n 20000\necho Last\n", beyondAPipe},
        {"not UTF-8", "printf 'Fine\\n\\377 broken\\n'\n", {}},
        {"non-zero exit", "echo A\nexit 3\n", {}},
        {"killed", "echo A\nkill -9 $$\n", {}},
        {"megabytes on standard error",
         "head -c 8000000 /dev/zero | tr '\\0' x >&2\necho Survivor\n", choices({"Survivor"})},
        {"output closed early", "echo Early\nexec >&-\nsleep 1\n", choices({"Early"})},
        {"listing beyond the limit", "head -c 20000000 /dev/zero | tr '\\0' x\necho\necho A\n", {}},
    };
    for (const auto& [what, script, expected] : cases) {
        EXPECT_EQ(ShortcutScanner(tool(script)).scanBlocking(), expected) << what;
    }
    EXPECT_EQ(ShortcutScanner(directory.filePath(QStringLiteral("absent"))).scan().result(),
              choices({}));
}

} // namespace
} // namespace quorix
