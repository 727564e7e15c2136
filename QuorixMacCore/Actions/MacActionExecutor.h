#pragma once

#include "QuorixMacCore/Actions/ActionExecuting.h"

#include <chrono>
#include <memory>

namespace quorix {

class AppLauncher;
class KeyboardExecutor;
class URLOpener;

/// Carries out actions on this desktop: shortcuts through the keyboard executor,
/// applications through the launcher, addresses through the opener, macros step by step.
/// Shell commands are never run.
///
/// Steps run on a pool of its own, so a slow step of one phone does not hold up another's;
/// a macro's delays wait on a timer, not on a thread. An execution still under way when the
/// executor is destroyed ends cancelled; destroy it from a thread that is not running one
/// of its steps.
class MacActionExecutor final : public ActionExecuting {
public:
    /// The longest wait after one macro step. Longer delays, or ones too long to count in
    /// nanoseconds, wait this long.
    static constexpr std::chrono::hours maxMacroDelay{1};
    /// Steps that can run at once; more wait for a free thread.
    static constexpr int maxConcurrentSteps = 16;

    MacActionExecutor(std::shared_ptr<KeyboardExecutor> keyboardExecutor,
                      std::shared_ptr<AppLauncher> appLauncher,
                      std::shared_ptr<URLOpener> urlOpener);
    ~MacActionExecutor() override;
    MacActionExecutor(const MacActionExecutor&) = delete;
    MacActionExecutor& operator=(const MacActionExecutor&) = delete;

    QFuture<ExecuteOutcome> execute(const ActionSpec& action) override;

    /// How long a macro waits for a delay entry of this many seconds: none for negative or
    /// non-numeric entries, at most `maxMacroDelay`.
    static std::chrono::nanoseconds macroDelay(double seconds);

private:
    struct Engine;
    struct MacroRun;

    std::unique_ptr<Engine> m_engine;
};

} // namespace quorix
