#include "QuorixMacCore/Transport/BonjourService.h"

#include <gtest/gtest.h>

using namespace quorix;

TEST(BonjourService, sanitizedServiceNameTrimsAndCutsByUserPerceivedCharacters) {
    const QString flag = QStringLiteral("\U0001F1EF\U0001F1F5"); // two code points
    const QString accented = QStringLiteral("e\u0301");          // letter + combining mark
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");

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
        {"70 letters", QStringLiteral("a").repeated(70), QStringLiteral("a").repeated(63)},
        {"exactly 63", QStringLiteral("b").repeated(63), QStringLiteral("b").repeated(63)},
        {"70 flags", flag.repeated(70), flag.repeated(63)},
        {"70 accented letters", accented.repeated(70), accented.repeated(63)},
        {"70 joined emoji", family.repeated(70), family.repeated(63)},
        {"cut after trimming", QStringLiteral("   ") + QStringLiteral("c").repeated(64),
         QStringLiteral("c").repeated(63)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BonjourService::sanitizedServiceName(c.input), c.expected) << c.name;
    }
}
