#include "QuorixMacCore/Pairing/PairingService.h"

#include "QuorixMacCore/Pairing/SecureTokenGenerator.h"

#include <QRegularExpression>

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <mutex>
#include <thread>

using namespace quorix;
using namespace std::chrono_literals;

namespace {

const PairingConfiguration& controllerConfiguration = PairingConfiguration::standard;
const Date start = Date{} + 1'800'000'000s;

/// A random source that always yields the same 32-bit value.
SecureRandomSource fixedSource(std::uint32_t value) {
    return [value](std::span<std::uint8_t> bytes) {
        std::memcpy(bytes.data(), &value, std::min(bytes.size(), sizeof value));
        return true;
    };
}

SecureRandomSource failingSource() {
    return [](std::span<std::uint8_t>) { return false; };
}

struct Fixture {
    explicit Fixture(PairingConfiguration configuration = controllerConfiguration,
                     SecureRandomSource source = fixedSource(123))
        : service(
              configuration, store, [this] { return now.load(); },
              [this] { return "token-" + std::to_string(++tokensMade); }, std::move(source)) {}

    void advance(Date::duration by) { now = now.load() + by; }

    std::atomic<Date> now{start};
    std::atomic<int> tokensMade{0};
    std::shared_ptr<InMemoryPairingTokenStore> store =
        std::make_shared<InMemoryPairingTokenStore>();
    PairingService service;
};

std::optional<PairingError> errorOf(const Expected<std::string, PairingError>& result) {
    if (result.hasValue()) {
        return std::nullopt;
    }
    return result.error();
}

} // namespace

TEST(PairingService, codesAreSixDigitsWithLeadingZeros) {
    struct Case {
        std::uint32_t value;
        const char* code;
    };
    const Case cases[] = {{42, "000042"}, {1'000'123, "000123"}, {4'294'967'295U, "967295"}};
    for (const Case& c : cases) {
        Fixture f(controllerConfiguration, fixedSource(c.value));
        EXPECT_EQ(f.service.issueNewCode(), c.code);
    }
    const QRegularExpression sixDigits(QStringLiteral("^[0-9]{6}$"));
    // Without a secure source the general generator stands in.
    Fixture f(controllerConfiguration, failingSource());
    for (int i = 0; i < 50; ++i) {
        const std::string code = f.service.issueNewCode();
        EXPECT_TRUE(sixDigits.match(QString::fromStdString(code)).hasMatch()) << code;
    }
}

TEST(PairingService, rightCodeGivesAStoredTokenOnce) {
    Fixture f;
    EXPECT_EQ(errorOf(f.service.verify("000123")), PairingError::expiredCode()) << "before any";
    ASSERT_EQ(f.service.issueNewCode(), "000123");
    const auto result = f.service.verify("000123");
    ASSERT_TRUE(result.hasValue());
    EXPECT_EQ(result.value(), "token-1");
    EXPECT_TRUE(f.store->contains("token-1"));
    EXPECT_TRUE(f.service.resume("token-1"));
    EXPECT_FALSE(f.service.resume("token-2"));

    EXPECT_EQ(errorOf(f.service.verify("000123")), PairingError::expiredCode());
    EXPECT_EQ(f.tokensMade, 1);
}

TEST(PairingService, comparesCodesExactly) {
    // The last is a full-width zero followed by "00123".
    const char* wrongCodes[] = {"123",      "0001234", "",        "000124",
                                "000123\n", "100123",  "000 123", "\uFF1000123"};
    for (const char* wrong : wrongCodes) {
        Fixture f(PairingConfiguration{600, 100, 300});
        f.service.issueNewCode();
        EXPECT_EQ(errorOf(f.service.verify(wrong)), PairingError::invalidCode()) << wrong;
        EXPECT_TRUE(f.service.verify("000123").hasValue()) << wrong;
    }
}

TEST(PairingService, codeRunsOutExactlyAtItsExpiry) {
    Fixture beforeExpiry;
    beforeExpiry.service.issueNewCode();
    beforeExpiry.advance(600s - 1ns);
    EXPECT_TRUE(beforeExpiry.service.verify("000123").hasValue());

    Fixture atExpiry;
    atExpiry.service.issueNewCode();
    atExpiry.advance(600s);
    EXPECT_EQ(errorOf(atExpiry.service.verify("000123")), PairingError::expiredCode());
    // The run-out code is dropped: turning the clock back does not revive it.
    atExpiry.now = start;
    EXPECT_EQ(errorOf(atExpiry.service.verify("000123")), PairingError::expiredCode());
}

TEST(PairingService, lockOutEndsAtItsDate) {
    Fixture f;
    f.store->save("known");
    f.service.issueNewCode();
    EXPECT_EQ(errorOf(f.service.verify("111111")), PairingError::invalidCode());
    f.advance(10s);
    EXPECT_EQ(errorOf(f.service.verify("222222")), PairingError::invalidCode());
    f.advance(10s);
    const Date thirdAttempt = f.now;
    const PairingError locked = PairingError::locked(thirdAttempt + 300s);
    EXPECT_EQ(errorOf(f.service.verify("333333")), locked);

    // While locked, every code (the right one too) gets the same end date: the count and
    // the lock-out do not grow.
    for (const char* code : {"000123", "444444", "555555", "666666"}) {
        f.advance(30s);
        EXPECT_EQ(errorOf(f.service.verify(code)), locked) << code;
    }
    // A paired phone coming back is not locked out.
    EXPECT_TRUE(f.service.resume("known"));

    f.now = thirdAttempt + 300s - 1ns;
    EXPECT_EQ(errorOf(f.service.verify("000123")), locked);
    f.now = thirdAttempt + 300s;
    EXPECT_EQ(errorOf(f.service.verify("000123")), PairingError::expiredCode());
    EXPECT_EQ(f.tokensMade, 0);
}

TEST(PairingService, issuingACodeEndsALockOut) {
    Fixture f;
    f.service.issueNewCode();
    for (const char* wrong : {"1", "2", "3"}) {
        f.service.verify(wrong);
    }
    ASSERT_EQ(errorOf(f.service.verify("000123"))->kind, PairingError::Kind::locked);

    f.service.issueNewCode();
    // The failure count starts afresh: two more wrong codes do not lock.
    EXPECT_EQ(errorOf(f.service.verify("1")), PairingError::invalidCode());
    EXPECT_EQ(errorOf(f.service.verify("2")), PairingError::invalidCode());
    EXPECT_TRUE(f.service.verify("000123").hasValue());
}

TEST(PairingService, concurrentCallsSeeOneConsistentState) {
    constexpr int threadCount = 16;
    struct Case {
        const char* code;
        int successes;
        int invalid;
        int locked;
        int expired;
    };
    // One phone pairs with the right code; wrong codes lock after exactly three.
    const Case cases[] = {{"000123", 1, 0, 0, threadCount - 1},
                          {"999999", 0, 2, threadCount - 2, 0}};
    for (const Case& c : cases) {
        Fixture f;
        f.service.issueNewCode();
        std::latch ready(threadCount);
        std::mutex mutex;
        std::map<std::optional<PairingError::Kind>, int> outcomes;
        {
            std::vector<std::jthread> threads;
            for (int i = 0; i < threadCount; ++i) {
                threads.emplace_back([&] {
                    ready.arrive_and_wait();
                    const auto result = f.service.verify(c.code);
                    std::scoped_lock lock(mutex);
                    ++outcomes[result.hasValue() ? std::nullopt
                                                 : std::optional(result.error().kind)];
                });
            }
        }
        EXPECT_EQ(outcomes[std::nullopt], c.successes) << c.code;
        EXPECT_EQ(outcomes[PairingError::Kind::invalidCode], c.invalid) << c.code;
        EXPECT_EQ(outcomes[PairingError::Kind::locked], c.locked) << c.code;
        EXPECT_EQ(outcomes[PairingError::Kind::expiredCode], c.expired) << c.code;
        EXPECT_EQ(f.tokensMade, c.successes) << c.code;
    }
}

TEST(SecureTokenGenerator, makesFortyThreeURLSafeCharacters) {
    const QRegularExpression urlSafe(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const std::string token = SecureTokenGenerator::makeToken();
        EXPECT_TRUE(urlSafe.match(QString::fromStdString(token)).hasMatch()) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 100U);

    // Bytes whose standard Base64 holds "+" and "/" and needs padding.
    const SecureRandomSource pattern = [](std::span<std::uint8_t> bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = i % 2 == 0 ? 0xFB : 0xFF;
        }
        return true;
    };
    EXPECT_EQ(SecureTokenGenerator::makeToken(pattern),
              "-__7__v_-__7__v_-__7__v_-__7__v_-__7__v_-_8");
    EXPECT_TRUE(
        urlSafe.match(QString::fromStdString(SecureTokenGenerator::makeToken(failingSource())))
            .hasMatch());
}
