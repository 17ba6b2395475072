#pragma once

#include "platform/session/Clipboard.h"

// A clipboard in memory; `available` false behaves like a session without a display.
class FakeClipboard final : public Clipboard {
public:
    std::optional<QString> storedText;
    std::optional<QByteArray> storedPng;
    std::optional<QStringList> storedPaths;
    bool available = true;

    std::optional<QString> unavailableReason() const override
    {
        return available ? std::nullopt : std::optional<QString>(QStringLiteral("no display"));
    }
    std::optional<QString> text() const override { return storedText; }
    std::optional<QByteArray> imagePng() const override { return storedPng; }
    std::optional<QStringList> filePaths() const override { return storedPaths; }
    ClipboardWrite setText(const QString& text) override
    {
        if (!available)
            return {false, QStringLiteral("no display")};
        storedText = text;
        return {true, {}};
    }
};
