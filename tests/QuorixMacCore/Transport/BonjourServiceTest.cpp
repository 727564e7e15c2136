#include "QuorixMacCore/Transport/BonjourService.h"

#include <gtest/gtest.h>

using namespace quorix;

namespace {

QString repeated(const QString& character, qsizetype count) {
    return character.repeated(count);
}

} // namespace

TEST(BonjourService, advertisesItsType) {
    EXPECT_EQ(BonjourService::type, QLatin1StringView("_quorix._tcp"));
}

TEST(BonjourService, sanitizedServiceNameTrimsAndCutsByUserPerceivedCharacters) {
    const QString flag = QStringLiteral("\U0001F1EF\U0001F1F5"); // two code points
    const QString accented = QStringLiteral("e\u0301");          // letter + combining mark
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString kanji = QStringLiteral("\u5C71");

    struct Case {
        const char* name;
        QString input;
        QString expected;
    };
    const Case cases[] = {
        {"empty", QString(), QStringLiteral("Kestrane Mac")},
        {"only blanks and line breaks", QStringLiteral(" \t\r\n\u3000 "),
         QStringLiteral("Kestrane Mac")},
        {"surrounding blanks", QStringLiteral("\n  Taro's Mac \r\n"), QStringLiteral("Taro's Mac")},
        {"inner blanks kept", QStringLiteral("My  Mac\tmini"), QStringLiteral("My  Mac\tmini")},
        {"70 letters", repeated(QStringLiteral("a"), 70), repeated(QStringLiteral("a"), 63)},
        {"exactly 63", repeated(QStringLiteral("b"), 63), repeated(QStringLiteral("b"), 63)},
        {"70 flags", repeated(flag, 70), repeated(flag, 63)},
        {"70 accented letters", repeated(accented, 70), repeated(accented, 63)},
        {"70 joined emoji", repeated(family, 70), repeated(family, 63)},
        {"70 kanji", repeated(kanji, 70), repeated(kanji, 63)},
        {"cut after trimming", QStringLiteral("   ") + repeated(QStringLiteral("c"), 64),
         repeated(QStringLiteral("c"), 63)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BonjourService::sanitizedServiceName(c.input), c.expected) << c.name;
    }
}
