#include "platform/DesktopLibrary.h"

#include "platform/OnDemand.h"
#include "platform/PrivateLibrary.h"
#include "platform/session/ActiveWindow.h"
#include "platform/session/Clipboard.h"
#include "platform/session/DisplayEnvironment.h"
#include "platform/session/ScreenGrabber.h"

#include <QCoreApplication>

namespace DesktopLibrary {

namespace {

constexpr const char* kFileName = "libzarnel-desktop.so";

const PrivateLibrary::Loaded<DesktopLibraryFunctions>& state()
{
    return PrivateLibrary::loadOnce<DesktopLibraryFunctions>(kFileName, ZARNEL_DESKTOP_LIBRARY_ENTRY, kDesktopLibraryVersion);
}

// The real service, made by the library on first use; none when it cannot be loaded.
template <typename Service> OnDemand<Service> madeByLibrary(Service* (*DesktopLibraryFunctions::*factory)())
{
    return OnDemand<Service>([factory]() -> std::shared_ptr<Service> {
        const DesktopLibraryFunctions* table = functions();
        return table ? std::shared_ptr<Service>((table->*factory)()) : nullptr;
    });
}

// A process with neither a display in its environment nor a GUI application of its own has no
// display to reach: the library would only say so, and is not loaded for that.
bool displayOutOfReach()
{
    const QCoreApplication* application = QCoreApplication::instance();
    return (!DisplayEnvironment::hasDisplaySession() || DisplayEnvironment::qtPlatformDrawsNowhere())
        && !(application && application->inherits("QGuiApplication"));
}

QString unavailable()
{
    if (displayOutOfReach())
        return QStringLiteral("no display");
    return QStringLiteral("the display library cannot be loaded: ") + loadError();
}

class LazyClipboard : public Clipboard {
public:
    QCoro::Task<std::optional<QString>> unavailableReason() override
    {
        if (Clipboard* clipboard = loaded())
            return clipboard->unavailableReason();
        return ready<std::optional<QString>>(unavailable());
    }
    QCoro::Task<std::optional<QString>> text() override
    {
        if (Clipboard* clipboard = loaded())
            return clipboard->text();
        return ready<std::optional<QString>>(std::nullopt);
    }
    QCoro::Task<std::optional<QByteArray>> imagePng() override
    {
        if (Clipboard* clipboard = loaded())
            return clipboard->imagePng();
        return ready<std::optional<QByteArray>>(std::nullopt);
    }
    QCoro::Task<std::optional<QStringList>> filePaths() override
    {
        if (Clipboard* clipboard = loaded())
            return clipboard->filePaths();
        return ready<std::optional<QStringList>>(std::nullopt);
    }
    QCoro::Task<ClipboardWrite> setText(QString text) override
    {
        if (Clipboard* clipboard = loaded())
            return clipboard->setText(std::move(text));
        return ready(ClipboardWrite{false, unavailable()});
    }

private:
    template <typename T> static QCoro::Task<T> ready(T value) { co_return value; }
    Clipboard* loaded() const { return displayOutOfReach() ? nullptr : m_clipboard.get().get(); }

    OnDemand<Clipboard> m_clipboard = madeByLibrary(&DesktopLibraryFunctions::createClipboard);
};

class LazyScreenGrabber : public ScreenGrabber {
public:
    bool hasScreen() const override
    {
        const ScreenGrabber* grabber = loaded();
        return grabber && grabber->hasScreen();
    }
    QCoro::Task<ScreenCapture> captureToFile(QString path) override
    {
        if (ScreenGrabber* grabber = loaded())
            return grabber->captureToFile(std::move(path));
        ScreenCapture refusal;
        refusal.status = displayOutOfReach() ? ScreenCapture::Status::NoScreen : ScreenCapture::Status::CouldNotCapture;
        refusal.error = unavailable();
        return ready(std::move(refusal));
    }

private:
    // Made outside: g++ 12 loses a QString member of an aggregate brace-initialised in a coroutine.
    static QCoro::Task<ScreenCapture> ready(ScreenCapture capture) { co_return capture; }
    ScreenGrabber* loaded() const { return displayOutOfReach() ? nullptr : m_grabber.get().get(); }

    OnDemand<ScreenGrabber> m_grabber = madeByLibrary(&DesktopLibraryFunctions::createScreenGrabber);
};

class LazyActiveWindow : public ActiveWindow {
public:
    std::optional<qint64> owningProcess() const override
    {
        // The focused window is read from an X display only: without one, listing applications
        // need not load the library.
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return std::nullopt;
        return m_window.get() ? m_window.get()->owningProcess() : std::nullopt;
    }

private:
    OnDemand<ActiveWindow> m_window = madeByLibrary(&DesktopLibraryFunctions::createActiveWindow);
};

} // namespace

const DesktopLibraryFunctions* functions()
{
    return state().table;
}

QString loadError()
{
    return state().error;
}

bool isLoaded()
{
    return PrivateLibrary::isLoaded(kFileName);
}

std::shared_ptr<Clipboard> clipboard()
{
    return std::make_shared<LazyClipboard>();
}

std::shared_ptr<ScreenGrabber> screenGrabber()
{
    return std::make_shared<LazyScreenGrabber>();
}

std::shared_ptr<const ActiveWindow> activeWindow()
{
    return std::make_shared<LazyActiveWindow>();
}

} // namespace DesktopLibrary
