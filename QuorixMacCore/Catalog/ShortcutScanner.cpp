#include "QuorixMacCore/Catalog/ShortcutScanner.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace quorix {

namespace {

// Short enough that the deadline is noticed soon after it passes.
constexpr int pollIntervalMs = 1000;

void stopTool(QProcess& process) {
    process.kill();
    process.waitForFinished(-1);
}

} // namespace

ShortcutScanner::ShortcutScanner(QString toolPath)
    : m_toolPath(std::move(toolPath)) {}

QFuture<std::vector<ShortcutChoice>> ShortcutScanner::scan(QThreadPool* pool) const {
    return QtConcurrent::run(pool ? pool : QThreadPool::globalInstance(),
                             [scanner = *this] { return scanner.scanBlocking(); });
}

std::vector<ShortcutChoice> ShortcutScanner::scanBlocking() const {
    QProcess process;
    process.setProgram(m_toolPath);
    process.setArguments({QStringLiteral("list")});
    process.setStandardInputFile(QProcess::nullDevice());
    // Diagnostics are of no use here, and a pipe no one reads would stall the tool.
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        return {};
    }

    const QDeadlineTimer deadline(toolTimeout);
    QByteArray output;
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            stopTool(process);
            return {};
        }
        const int slice = int(std::min<qint64>(deadline.remainingTime(), pollIntervalMs));
        if (!process.waitForReadyRead(slice)) {
            // The tool was quiet, ended its output or exited. A closed output makes
            // waitForReadyRead return at once, so wait for the exit instead of spinning.
            process.waitForFinished(slice);
        }
        output += process.readAllStandardOutput();
        if (output.size() > maxListingBytes) {
            stopTool(process);
            return {};
        }
    }
    output += process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        output.size() > maxListingBytes) {
        return {};
    }
    return parseListing(output);
}

std::vector<ShortcutChoice> ShortcutScanner::parseListing(QByteArrayView output) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(output);
    if (decoder.hasError()) {
        return {};
    }
    std::vector<ShortcutChoice> choices;
    for (QStringView line : QStringView(text).split(u'\n', Qt::SkipEmptyParts)) {
        line = line.trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const std::string name = line.toString().toStdString();
        choices.push_back(ShortcutChoice{name, name});
    }
    return choices;
}

} // namespace quorix
