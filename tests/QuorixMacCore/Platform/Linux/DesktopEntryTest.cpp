#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

DesktopEntry parsed(const char* text) {
    auto entry = DesktopEntry::parse(QByteArrayView(text));
    EXPECT_TRUE(entry.has_value()) << text;
    return entry.value_or(*DesktopEntry::parse("[Desktop Entry]"));
}

TEST(DesktopEntry, readsOnlyTheDesktopEntryGroup) {
    const auto entry = parsed("# comment\n"
                              "[Other]\nName=Other group\n"
                              "[Desktop Entry]\r\n"
                              "  Name = Spaced Out \r\n"
                              "Icon=first\nIcon=second\n"
                              "Exec=run\\sme \\\\ \\;\n"
                              "[Desktop Action new]\nName=Action\n");
    EXPECT_EQ(entry.value(u"Name"), QStringLiteral("Spaced Out"));
    EXPECT_EQ(entry.value(u"Icon"), QStringLiteral("first"));
    EXPECT_EQ(entry.value(u"Exec"), QStringLiteral("run me \\ \\;"));
    EXPECT_EQ(entry.value(u"Comment"), std::nullopt);
}

TEST(DesktopEntry, withoutItsGroupIsNotAnEntry) {
    EXPECT_FALSE(DesktopEntry::parse("Name=Loose\n[Other]\nType=Application\n"));
    EXPECT_FALSE(DesktopEntry::parse(""));
}

TEST(DesktopEntry, booleansAreOnlyTheWordTrue) {
    const auto entry = parsed("[Desktop Entry]\nA=true\nB=True\nC=1\nD=false\n");
    EXPECT_TRUE(entry.booleanValue(u"A"));
    for (const char16_t* key : {u"B", u"C", u"D", u"Missing"}) {
        EXPECT_FALSE(entry.booleanValue(key)) << QString::fromUtf16(key).toStdString();
    }
}

TEST(DesktopEntry, localizedValueFollowsTheLocaleMatchingOrder) {
    const char* all = "[Desktop Entry]\nName=Plain\nName[sr]=sr\nName[sr_YU]=sr_YU\n"
                      "Name[sr@Latn]=sr@Latn\nName[sr_YU@Latn]=sr_YU@Latn\nName[ja]=\n";
    const char* partial = "[Desktop Entry]\nName=Plain\nName[sr]=sr\nName[sr@Latn]=sr@Latn\n";
    struct Case {
        const char* text;
        const char* locale;
        QString expected;
    };
    const Case cases[] = {
        {all, "sr_YU.UTF-8@Latn", QStringLiteral("sr_YU@Latn")},
        {all, "sr_YU", QStringLiteral("sr_YU")},
        {all, "sr_ME@Latn", QStringLiteral("sr@Latn")},
        {partial, "sr_YU@Latn", QStringLiteral("sr@Latn")},
        {partial, "sr_YU", QStringLiteral("sr")},
        {all, "de_DE.UTF-8", QStringLiteral("Plain")},
        {all, "C", QStringLiteral("Plain")},
        {all, "", QStringLiteral("Plain")},
        {all, "ja_JP.UTF-8", QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parsed(c.text).localizedValue(u"Name", QString::fromLatin1(c.locale)), c.expected)
            << c.locale;
    }
}

} // namespace
} // namespace quorix
