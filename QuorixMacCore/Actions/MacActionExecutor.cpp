#include "QuorixMacCore/Actions/MacActionExecutor.h"

#include "QuorixMacCore/Actions/AppLauncher.h"
#include "QuorixMacCore/Actions/KeyboardExecutor.h"
#include "QuorixMacCore/Actions/URLOpener.h"

#include <QObject>
#include <QPromise>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <cmath>
#include <functional>
#include <optional>

namespace quorix {

namespace {

/// The error that stopped a step, or nothing when it succeeded.
using StepResult = std::optional<ExecError>;

} // namespace

struct MacActionExecutor::Engine {
    std::shared_ptr<KeyboardExecutor> keyboard;
    std::shared_ptr<AppLauncher> appLauncher;
    std::shared_ptr<URLOpener> urlOpener;
    QThreadPool pool;
    QThread delayThread;
    QObject* delayContext = nullptr;
    std::atomic<bool> stopping = false;

    Engine(std::shared_ptr<KeyboardExecutor> keyboardExecutor,
           std::shared_ptr<AppLauncher> launcher, std::shared_ptr<URLOpener> opener)
        : keyboard(std::move(keyboardExecutor))
        , appLauncher(std::move(launcher))
        , urlOpener(std::move(opener)) {
        pool.setMaxThreadCount(maxConcurrentSteps);
        delayThread.setObjectName(QStringLiteral("quorix.mac.actions.delays"));
        delayContext = new QObject;
        delayContext->moveToThread(&delayThread);
        delayThread.start();
    }

    ~Engine() {
        stopping = true;
        delayThread.quit();
        delayThread.wait();
        pool.waitForDone();
        // Timers that had not fired and callbacks still queued go with their context; the
        // macros they would have continued end cancelled.
        delete delayContext;
    }

    QFuture<StepResult> run(const ActionSpec& action);

    void schedule(std::chrono::nanoseconds delay, std::function<void()> continuation) {
        if (stopping) {
            return;
        }
        const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(delay);
        QObject* context = delayContext;
        QMetaObject::invokeMethod(
            context,
            [context, milliseconds, continuation = std::move(continuation)] {
                QTimer::singleShot(milliseconds, Qt::PreciseTimer, context, continuation);
            },
            Qt::QueuedConnection);
    }
};

// Steps through one macro. Consecutive steps that finish at once are taken in a loop rather
// than by recursion, so a wide macro of empty macros cannot exhaust the stack.
struct MacActionExecutor::MacroRun : std::enable_shared_from_this<MacroRun> {
    Engine* engine = nullptr;
    ActionSpec::Macro macro;
    std::size_t next = 0;
    QPromise<StepResult> promise;

    void advance() {
        while (next < macro.actions.size()) {
            QFuture<StepResult> step = engine->run(macro.actions[next]);
            if (!step.isFinished()) {
                step.then(QtFuture::Launch::Sync,
                          [self = shared_from_this()](const StepResult& result) {
                              if (self->stepFinished(result)) {
                                  self->advance();
                              }
                          });
                return;
            }
            if (!stepFinished(step.result())) {
                return;
            }
        }
        finish(std::nullopt);
    }

    // Whether to go on with the next step at once.
    bool stepFinished(const StepResult& result) {
        if (result) {
            finish(result);
            return false;
        }
        const std::size_t finished = next++;
        if (finished >= macro.delays.size()) {
            return true;
        }
        const auto delay = macroDelay(macro.delays[finished]);
        if (delay <= std::chrono::nanoseconds::zero()) {
            return true;
        }
        engine->schedule(delay, [self = shared_from_this()] { self->advance(); });
        return false;
    }

    void finish(const StepResult& result) {
        promise.addResult(result);
        promise.finish();
    }
};

QFuture<StepResult> MacActionExecutor::Engine::run(const ActionSpec& action) {
    return std::visit(
        Overloaded{
            [this](const ActionSpec::KeyboardShortcut& shortcut) {
                return QtConcurrent::run(
                    &pool, [keyboardExecutor = keyboard, combo = shortcut.combo]() -> StepResult {
                        return keyboardExecutor->execute(combo);
                    });
            },
            [this](const ActionSpec::LaunchApp& launch) {
                return QtConcurrent::run(&pool, [launcher = appLauncher, launch]() -> StepResult {
                    return launcher->launch(launch.bundleID, launch.fallbackPath);
                });
            },
            [this](const ActionSpec::OpenURL& open) {
                return QtConcurrent::run(&pool,
                                         [opener = urlOpener, url = open.url]() -> StepResult {
                                             opener->open(url);
                                             return std::nullopt;
                                         });
            },
            [this](const ActionSpec::Macro& macro) {
                auto macroRun = std::make_shared<MacroRun>();
                macroRun->engine = this;
                macroRun->macro = macro;
                QFuture<StepResult> future = macroRun->promise.future();
                macroRun->promise.start();
                macroRun->advance();
                return future;
            },
            [](const ActionSpec::ShellCommand&) {
                return QtFuture::makeReadyFuture(StepResult(ExecError::shellCommandDisabled()));
            },
        },
        action.value);
}

MacActionExecutor::MacActionExecutor(std::shared_ptr<KeyboardExecutor> keyboardExecutor,
                                     std::shared_ptr<AppLauncher> appLauncher,
                                     std::shared_ptr<URLOpener> urlOpener)
    : m_engine(std::make_unique<Engine>(std::move(keyboardExecutor), std::move(appLauncher),
                                        std::move(urlOpener))) {}

MacActionExecutor::~MacActionExecutor() = default;

QFuture<ExecuteOutcome> MacActionExecutor::execute(const ActionSpec& action) {
    return m_engine->run(action).then(QtFuture::Launch::Sync, [](const StepResult& result) {
        return result ? ExecuteOutcome::failed(*result) : ExecuteOutcome::succeeded();
    });
}

std::chrono::nanoseconds MacActionExecutor::macroDelay(double seconds) {
    if (std::isnan(seconds) || seconds <= 0) {
        return std::chrono::nanoseconds::zero();
    }
    constexpr double maxSeconds = std::chrono::duration<double>(maxMacroDelay).count();
    if (seconds >= maxSeconds) {
        return maxMacroDelay;
    }
    return std::chrono::nanoseconds(std::llround(seconds * 1e9));
}

} // namespace quorix
