#pragma once

#include "platform/session/Clipboard.h"

// A clipboard in memory; `available` false behaves like a session without a display.
class FakeClipboard final : public Clipboard {
public:
    std::optional<QString> storedText;
    std::optional<QByteArray> storedPng;
    std::optional<QStringList> storedPaths;
    bool available = true;

    QCoro::Task<std::optional<QString>> unavailableReason() override
    {
        co_return available ? std::nullopt : std::optional<QString>(QStringLiteral("no display"));
    }
    QCoro::Task<std::optional<QString>> text() override { co_return storedText; }
    QCoro::Task<std::optional<QByteArray>> imagePng() override { co_return storedPng; }
    QCoro::Task<std::optional<QStringList>> filePaths() override { co_return storedPaths; }
    QCoro::Task<ClipboardWrite> setText(QString text) override
    {
        if (!available)
            co_return ClipboardWrite{false, QStringLiteral("no display")};
        storedText = text;
        co_return ClipboardWrite{true, {}};
    }
};
