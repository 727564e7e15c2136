#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

TEST(DesktopEntry, readsTheFirstValuesOfItsOwnGroup) {
    const auto entry = DesktopEntry::parse("# comment\n[Other]\nName=Other group\n"
                                           "[Desktop Entry]\r\n  Name = Spaced Out \r\n"
                                           "Icon=first\nIcon=second\nExec=run\\sme \\\\ \\;\n"
                                           "A=true\nB=True\n[Desktop Action new]\nName=Action\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->value(u"Name"), QStringLiteral("Spaced Out"));
    EXPECT_EQ(entry->value(u"Icon"), QStringLiteral("first"));
    EXPECT_EQ(entry->value(u"Exec"), QStringLiteral("run me \\ \\;"));
    EXPECT_EQ(entry->value(u"Comment"), std::nullopt);
    EXPECT_TRUE(entry->booleanValue(u"A"));
    EXPECT_FALSE(entry->booleanValue(u"B"));
    EXPECT_FALSE(DesktopEntry::parse("Name=Loose\n[Other]\nType=Application\n"));
}

TEST(DesktopEntry, localizedValueFollowsTheLocaleMatchingOrder) {
    const char* all = "[Desktop Entry]\nName=Plain\nName[sr]=sr\nName[sr_YU]=sr_YU\n"
                      "Name[sr@Latn]=sr@Latn\nName[sr_YU@Latn]=sr_YU@Latn\nName[ja]=\n";
    const char* partial = "[Desktop Entry]\nName=Plain\nName[sr]=sr\nName[sr@Latn]=sr@Latn\n";
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {all, "sr_YU.UTF-8@Latn", "sr_YU@Latn"},
        {all, "sr_YU", "sr_YU"},
        {all, "sr_ME@Latn", "sr@Latn"},
        {partial, "sr_YU@Latn", "sr@Latn"},
        {partial, "sr_YU", "sr"},
        {all, "de_DE.UTF-8", "Plain"},
        {all, "C", "Plain"},
        {all, "ja_JP.UTF-8", ""},
    };
    for (const auto& [text, locale, expected] : cases) {
        EXPECT_EQ(DesktopEntry::parse(text)->localizedValue(u"Name", QString::fromLatin1(locale)),
                  QString::fromUtf8(expected))
            << locale;
    }
}

} // namespace
} // namespace quorix
