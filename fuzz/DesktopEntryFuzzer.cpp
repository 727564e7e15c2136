#include "FuzzSupport.h"
#include "QuorixMacCore/Platform/Linux/DesktopEntry.h"

#include <array>

namespace {

using namespace quorix;
using fuzz::require;

// Locales as the environment gives them, odd ones included.
constexpr std::array<QStringView, 7> locales{
    u"ja_JP.UTF-8", u"sr@latin", u"de_CH@euro", u"C", u"", u"_@", u"en_US.UTF-8@x.y",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<DesktopEntry> entry =
        DesktopEntry::parse(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!entry) {
        return 0;
    }
    for (const QStringView key : {QStringView(u"Name"), QStringView(u"Icon")}) {
        const std::optional<QString> plain = entry->value(key);
        require(entry->localizedValue(key, u"C") == plain, "the C locale reads the plain key");
        for (const QStringView locale : locales) {
            const std::optional<QString> localized = entry->localizedValue(key, locale);
            require(localized.has_value() || !plain.has_value(),
                    "a localised lookup falls back to the plain key");
        }
    }
    require(!entry->booleanValue(u"NoDisplay") ||
                entry->value(u"NoDisplay") == QLatin1String("true"),
            "only \"true\" is true");
    return 0;
}
