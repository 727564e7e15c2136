#include "QuorixMacCore/Transport/BonjourTXTRecord.h"

#include "QuorixMacCore/Support/WebSocketServerHarness.h"

#include <gtest/gtest.h>

namespace quorix {
namespace {

// The server announces only once its listener is bound, so this record is never seen
// through it.
TEST(BonjourTXTRecord, namesTheDefaultPortBeforeTheListenerIsBound) {
    using namespace BonjourTXTRecord;
    EXPECT_EQ(entries({macDeviceType, protocolVersion, std::nullopt, securityPlain, std::nullopt,
                       std::nullopt, QString()}),
              testing::txtRecord({{"deviceType", u"mac"},
                                  {"version", u"m1"},
                                  {"fingerprint", u""},
                                  {"security", u"plain"},
                                  {"host", u""},
                                  {"port", u"47532"}}));
}

} // namespace
} // namespace quorix
