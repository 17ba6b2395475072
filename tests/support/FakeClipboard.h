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
    // Copies: QCoro 0.8 moves from an lvalue given to co_return, which would empty the fields.
    QCoro::Task<std::optional<QString>> text() override { co_return std::optional<QString>(storedText); }
    QCoro::Task<std::optional<QByteArray>> imagePng() override { co_return std::optional<QByteArray>(storedPng); }
    QCoro::Task<std::optional<QStringList>> filePaths() override { co_return std::optional<QStringList>(storedPaths); }
    QCoro::Task<ClipboardWrite> setText(QString text) override
    {
        if (!available)
            co_return ClipboardWrite{false, QStringLiteral("no display")};
        storedText = text;
        co_return ClipboardWrite{true, {}};
    }
};
