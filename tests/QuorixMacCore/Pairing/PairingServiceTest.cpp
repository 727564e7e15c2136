#include "QuorixMacCore/Pairing/PairingService.h"

#include "QuorixMacCore/Pairing/SecureTokenGenerator.h"
#include "QuorixMacCore/Support/Waiting.h"

#include <QRegularExpression>

#include <atomic>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <mutex>
#include <semaphore>
#include <thread>

using namespace quorix;
using quorix::testing::hangLimit;
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
    return result.hasValue() ? std::nullopt : std::optional(result.error());
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

TEST(PairingService, followsItsCodeThroughExpiryAndLockOut) {
    const char* const issue = nullptr;
    const PairingError expired = PairingError::expiredCode();
    const PairingError invalid = PairingError::invalidCode();
    const auto lockedUntil = [](Date::duration at) { return PairingError::locked(start + at); };
    // At each time a code is issued or one is verified; no error means success. Every code
    // issued is "000123".
    struct Step {
        Date::duration at;
        const char* verify;
        std::optional<PairingError> expected = std::nullopt;
    };
    const Step script[] = {
        {0s, "000123", expired},
        {0s, issue},
        {600s - 1ns, "000123"},
        {600s - 1ns, "000123", expired},
        // A code runs out at its expiry, and for good.
        {1000s, issue},
        {1600s, "000123", expired},
        {1000s, "000123", expired},
        // The third wrong code locks until a date no attempt moves; the code goes with it.
        {2000s, issue},
        {2000s, "111111", invalid},
        {2010s, "222222", invalid},
        {2020s, "333333", lockedUntil(2320s)},
        {2050s, "000123", lockedUntil(2320s)},
        {2320s - 1ns, "444444", lockedUntil(2320s)},
        {2320s, "000123", expired},
        // Issuing a code ends a lock-out, and the count starts afresh.
        {3000s, issue},
        {3000s, "1", invalid},
        {3000s, "2", invalid},
        {3000s, "3", lockedUntil(3300s)},
        {3000s, issue},
        {3000s, "1", invalid},
        {3000s, "2", invalid},
        {3000s, "000123"},
    };
    Fixture f;
    f.store->save("known");
    int successes = 0;
    for (const Step& step : script) {
        const auto at = std::chrono::duration_cast<std::chrono::seconds>(step.at).count();
        f.now = start + step.at;
        if (step.verify == issue) {
            f.service.issueNewCode();
            continue;
        }
        const auto result = f.service.verify(step.verify);
        EXPECT_EQ(errorOf(result), step.expected) << step.verify << " at " << at;
        successes += result.hasValue() ? 1 : 0;
        EXPECT_TRUE(!result.hasValue() || f.service.resume(result.value())) << at;
        // A paired phone coming back is never locked out.
        EXPECT_TRUE(f.service.resume("known")) << at;
    }
    EXPECT_EQ(f.tokensMade, successes);
    EXPECT_FALSE(f.service.resume("token-0"));
}

TEST(PairingService, comparesCodesExactly) {
    // The last is a full-width zero followed by "00123".
    const char* wrongCodes[] = {"123",      "0001234", "",        "000124",
                                "000123\n", "100123",  "000 123", "\uFF1000123"};
    Fixture f(PairingConfiguration{600, 100, 300});
    f.service.issueNewCode();
    for (const char* wrong : wrongCodes) {
        EXPECT_EQ(errorOf(f.service.verify(wrong)), PairingError::invalidCode()) << wrong;
    }
    EXPECT_TRUE(f.service.verify("000123").hasValue());
}

namespace {

/// A store whose saves wait until the test lets them go.
class BlockingStore final : public PairingTokenStore {
public:
    void save(std::string_view token) override {
        entered.release();
        proceed.acquire();
        m_tokens.save(token);
    }
    bool contains(std::string_view token) const override { return m_tokens.contains(token); }

    std::binary_semaphore entered{0};
    std::binary_semaphore proceed{0};

private:
    InMemoryPairingTokenStore m_tokens;
};

} // namespace

TEST(PairingService, savesATokenWithoutHoldingUpCodesButBeforeAnswering) {
    const auto store = std::make_shared<BlockingStore>();
    PairingService service(
        controllerConfiguration, store, currentDate,
        [] { return SecureTokenGenerator::makeToken(); }, fixedSource(123));
    service.issueNewCode();
    auto pairing = std::async(std::launch::async, [&] { return service.verify("000123"); });
    ASSERT_TRUE(store->entered.try_acquire_for(hangLimit));

    // The same code racing in finds it used up, and a new code is issued at once.
    auto racer = std::async(std::launch::async, [&] { return service.verify("000123"); });
    const bool racerWaited = racer.wait_for(hangLimit) != std::future_status::ready;
    auto issued = std::async(std::launch::async, [&] { return service.issueNewCode(); });
    const bool issueWaited = issued.wait_for(hangLimit) != std::future_status::ready;
    const bool answeredBeforeSaving = pairing.wait_for(0s) == std::future_status::ready;
    store->proceed.release();
    EXPECT_FALSE(racerWaited);
    EXPECT_FALSE(issueWaited);
    EXPECT_FALSE(answeredBeforeSaving);
    EXPECT_EQ(errorOf(racer.get()), PairingError::expiredCode());

    const auto token = pairing.get();
    ASSERT_TRUE(token.hasValue());
    EXPECT_TRUE(service.resume(token.value()));
}

TEST(PairingService, wrongCodesAtOnceLockAfterExactlyThree) {
    constexpr int threadCount = 16;
    Fixture f;
    f.service.issueNewCode();
    std::latch ready(threadCount);
    std::mutex mutex;
    std::map<PairingError::Kind, int> outcomes;
    {
        std::vector<std::jthread> threads;
        for (int i = 0; i < threadCount; ++i) {
            threads.emplace_back([&] {
                ready.arrive_and_wait();
                const auto result = f.service.verify("999999");
                std::scoped_lock lock(mutex);
                ++outcomes[result.error().kind];
            });
        }
    }
    EXPECT_EQ(outcomes,
              (std::map<PairingError::Kind, int>{{PairingError::Kind::invalidCode, 2},
                                                 {PairingError::Kind::locked, threadCount - 2}}));
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
