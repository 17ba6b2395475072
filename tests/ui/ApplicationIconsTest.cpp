#include "ui/ApplicationIcons.h"
#include "ui/AboutWindow.h"
#include "ui/MainWindow.h"
#include "ui/Symbols.h"
#include "ui/dashboard/EmptyState.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// An icon theme of the test's own, holding only the icons it is given (solid squares), made the
// desktop's theme for as long as it lives; the desktop's own theme and search paths come back
// after.
class IconTheme {
public:
    explicit IconTheme(const QStringList& names, const QColor& colour = Qt::magenta)
        : m_searchPaths(QIcon::themeSearchPaths())
        , m_fallbackPaths(QIcon::fallbackSearchPaths())
        , m_themeName(QIcon::themeName())
    {
        const QString theme = m_folder.filePath(QStringLiteral("zarnel-test"));
        QDir().mkpath(theme + QStringLiteral("/apps"));
        QFile index(theme + QStringLiteral("/index.theme"));
        if (index.open(QIODevice::WriteOnly))
            index.write("[Icon Theme]\nName=Zarnel Test\nDirectories=apps\n\n"
                        "[apps]\nSize=32\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        QImage square(32, 32, QImage::Format_ARGB32);
        square.fill(colour);
        for (const QString& name : names)
            square.save(theme + QStringLiteral("/apps/") + name + QStringLiteral(".png"));
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeSearchPaths({m_folder.path()});
        QIcon::setThemeName(QStringLiteral("zarnel-test"));
    }

    // A desktop with no icon theme at all.
    static IconTheme none() { return IconTheme(); }

    ~IconTheme()
    {
        QIcon::setThemeSearchPaths(m_searchPaths);
        QIcon::setFallbackSearchPaths(m_fallbackPaths);
        QIcon::setThemeName(m_themeName);
    }

private:
    IconTheme()
        : m_searchPaths(QIcon::themeSearchPaths())
        , m_fallbackPaths(QIcon::fallbackSearchPaths())
        , m_themeName(QIcon::themeName())
    {
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeSearchPaths({m_folder.path()});
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
    }

    QTemporaryDir m_folder;
    QStringList m_searchPaths;
    QStringList m_fallbackPaths;
    QString m_themeName;
};

// Whether a picture draws anything: a blank icon gives a null or fully transparent pixmap.
bool hasInk(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

// The colour a picture is drawn in: that of its most opaque pixel.
QColor inkOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QRgb ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > qAlpha(ink))
                ink = image.pixel(x, y);
        }
    }
    return QColor(ink).toRgb();
}

bool near(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 && qAbs(a.blue() - b.blue()) <= 8;
}

QMap<QString, QIcon> sidebarIcons(const MainWindow& window)
{
    QMap<QString, QIcon> icons;
    auto* sidebar = window.findChild<QListWidget*>(QStringLiteral("sidebar"));
    for (int row = 0; row < sidebar->count(); ++row) {
        if (sidebar->item(row)->flags() & Qt::ItemIsSelectable)
            icons.insert(sidebar->item(row)->text(), sidebar->item(row)->icon());
    }
    return icons;
}

} // namespace

TEST(PageIcons, EverySidebarEntryShowsAPictureOnADesktopWithoutAnIconTheme)
{
    const IconTheme theme = IconTheme::none();
    const MainWindow window;
    const QMap<QString, QIcon> icons = sidebarIcons(window);
    ASSERT_EQ(icons.size(), 7);
    for (auto it = icons.cbegin(); it != icons.cend(); ++it)
        EXPECT_TRUE(hasInk(it.value().pixmap(16, 16))) << it.key().toStdString();
}

TEST(PageIcons, StayOurDrawingsWhateverTheThemeHasButCommonActionsTakeTheThemes)
{
    // Names under which themes draw very different things: a knife, a calendar, a download arrow.
    const IconTheme theme({QStringLiteral("preferences-system"), QStringLiteral("x-office-spreadsheet"),
                           QStringLiteral("applications-utilities"), QStringLiteral("help-contents"), QStringLiteral("dialog-information"),
                           QStringLiteral("go-down"), QStringLiteral("go-up"), QStringLiteral("network-server"),
                           QStringLiteral("view-list-details"), QStringLiteral("edit-find")});
    const MainWindow window;
    const QMap<QString, QIcon> icons = sidebarIcons(window);
    ASSERT_EQ(icons.size(), 7);
    for (auto it = icons.cbegin(); it != icons.cend(); ++it) {
        EXPECT_TRUE(it.value().name().isEmpty()) << it.key().toStdString();
        EXPECT_TRUE(hasInk(it.value().pixmap(16, 16))) << it.key().toStdString();
        EXPECT_NE(inkOf(it.value().pixmap(16, 16)), QColor(Qt::magenta)) << it.key().toStdString();
    }
    for (const char* symbol : {"chevron.down", "chevron.up", "wrench.and.screwdriver", "server.rack", "text.bubble"})
        EXPECT_TRUE(Symbols::icon(QString::fromLatin1(symbol)).name().isEmpty()) << symbol;
    EXPECT_EQ(Symbols::icon(QStringLiteral("magnifyingglass")).name(), QStringLiteral("edit-find"));
}

TEST(ApplicationIcon, TheWindowAndTheAboutWindowShowTheIconInstalledUnderTheProgramsName)
{
    const IconTheme theme({QString::fromLatin1(ApplicationIcons::kApplicationIconName)}, Qt::magenta);
    MainWindow window;
    EXPECT_EQ(window.windowIcon().name(), QStringLiteral("com.tarvonic.zarnel"));
    window.showAboutWindow();
    const QPixmap about = window.aboutWindow()->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap();
    ASSERT_FALSE(about.isNull());
    EXPECT_EQ(about.toImage().pixelColor(about.width() / 2, about.height() / 2), QColor(Qt::magenta));
}

TEST(ApplicationIcon, WithoutAnInstalledIconBothShowTheProgramsOwn)
{
    // A theme with a picture under another name than the installed one is no help.
    const IconTheme theme({QStringLiteral("zarnel")}, Qt::magenta);
    MainWindow window;
    EXPECT_TRUE(hasInk(window.windowIcon().pixmap(48, 48)));
    window.showAboutWindow();
    const QPixmap about = window.aboutWindow()->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap();
    EXPECT_TRUE(hasInk(about));
    EXPECT_NE(about.toImage().pixelColor(about.width() / 2, about.height() / 2), QColor(Qt::magenta));
}

TEST(Symbols, FollowASwitchBetweenALightAndADarkPaletteWhileShown)
{
    const IconTheme theme = IconTheme::none();
    const QPalette original = QApplication::palette();
    const QColor lightInk(0x20, 0x20, 0x20);
    const QColor darkInk(0xee, 0xee, 0xee);
    QPalette light = original;
    light.setColor(QPalette::WindowText, lightInk);
    QPalette dark = original;
    dark.setColor(QPalette::WindowText, darkInk);
    QApplication::setPalette(light);

    // An icon handed out once (a sidebar entry's) and a symbol shown as a label (an empty state's).
    const MainWindow window;
    const QIcon settings = sidebarIcons(window).value(QStringLiteral("Settings"));
    const EmptyState empty(QStringLiteral("tray"), QStringLiteral("No Activity Yet"), QString());
    const auto* label = empty.findChild<SymbolLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(near(inkOf(settings.pixmap(32, 32)), lightInk)) << inkOf(settings.pixmap(32, 32)).name().toStdString();
    EXPECT_TRUE(near(inkOf(label->pixmap()), lightInk)) << inkOf(label->pixmap()).name().toStdString();

    QApplication::setPalette(dark);
    QApplication::processEvents();
    EXPECT_TRUE(near(inkOf(settings.pixmap(32, 32)), darkInk)) << inkOf(settings.pixmap(32, 32)).name().toStdString();
    EXPECT_TRUE(near(inkOf(label->pixmap()), darkInk)) << inkOf(label->pixmap()).name().toStdString();
    QApplication::setPalette(original);
}

TEST(Symbols, ATintedSymbolKeepsItsColourAtEverySizeAndIsGreyedWhenDisabled)
{
    const QColor green(0x2e, 0xa0, 0x45);
    const QIcon icon = Symbols::tinted(QStringLiteral("checkmark.circle.fill"), green);
    for (int size : {16, 20, 48, 64, 100}) {
        const QPixmap picture = icon.pixmap(size, size);
        EXPECT_LE(picture.width(), size);
        EXPECT_GE(picture.width(), std::min(size, 64)) << size;
        EXPECT_TRUE(near(inkOf(picture), green)) << size << " " << inkOf(picture).name().toStdString();
    }
    EXPECT_FALSE(near(inkOf(icon.pixmap(QSize(16, 16), QIcon::Disabled)), green));
    EXPECT_TRUE(Symbols::tinted(QStringLiteral("no.such.symbol"), green).isNull());
    EXPECT_TRUE(Symbols::icon(QStringLiteral("no.such.symbol")).isNull());
}

namespace {

double relativeLuminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

double contrast(QRgb a, QRgb b)
{
    const auto [darker, lighter] = std::minmax(relativeLuminance(a), relativeLuminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

// The median contrast with the panel of the picture's outline: the pixels of its shape that
// border on the panel, as a person sees them laid over it.
double outlineContrast(const QImage& picture, const QColor& panel)
{
    const auto solid = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < picture.width() && y < picture.height() && qAlpha(picture.pixel(x, y)) >= 128;
    };
    QImage laid(picture.size(), QImage::Format_ARGB32);
    laid.fill(panel);
    QPainter(&laid).drawImage(0, 0, picture);
    std::vector<double> ratios;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (solid(x, y) && !(solid(x - 1, y) && solid(x + 1, y) && solid(x, y - 1) && solid(x, y + 1)))
                ratios.push_back(contrast(laid.pixel(x, y), panel.rgb()));
        }
    }
    if (ratios.empty())
        return 0;
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    return ratios[ratios.size() / 2];
}

} // namespace

TEST(TrayPicture, StandsOutOnALightAndADarkPanel)
{
    QDir().mkpath(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots"));
    for (const bool running : {true, false}) {
        const QImage picture = ApplicationIcons::trayIcon(running).pixmap(22, 22).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(picture.size(), QSize(22, 22));
        for (const QColor& panel : {QColor(0xf0, 0xf0, 0xf0), QColor(0x22, 0x22, 0x22)}) {
            EXPECT_GE(outlineContrast(picture, panel), 3.0) << (running ? "running on " : "stopped on ") << panel.name().toStdString();
            // For people to look at: the picture on the panel, enlarged without smoothing.
            QImage shown(picture.size() * 4, QImage::Format_ARGB32);
            shown.fill(panel);
            QPainter(&shown).drawImage(shown.rect(), picture);
            shown.save(QStringLiteral(ZARNEL_BUILD_DIR "/screenshots/tray-%1-on-%2.png")
                           .arg(running ? QStringLiteral("running") : QStringLiteral("stopped"), panel.name().mid(1)));
        }
    }
}
