#include "ui/dashboard/SettingsPage.h"

#include "platform/store/QSettingsPreferencesStore.h"
#include "state/SettingsManager.h"
#include "ui/dashboard/Dialogs.h"
#include "ui/dashboard/FolderListEditor.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

namespace {

class SettingsPageTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettingsPreferencesStore store{dir.filePath("zarnel.conf")};
    SettingsManager settings{store};
    QList<std::pair<QString, QVariant>> written;
    int probes = 0;
    QList<CapabilityStatus> capabilities{{"Clipboard", true, "xclip", {}},
                                         {"Screenshots", false, "No screenshot tool found", "gnome-screenshot"}};
    std::unique_ptr<SettingsPage> page;

    void SetUp() override
    {
        page = std::make_unique<SettingsPage>(
            settings,
            [this](const QString& key, const QVariant& value) {
                written.append({key, value});
                SettingsPage::localWriter(settings)(key, value);
            },
            [this] {
                ++probes;
                return capabilities;
            });
    }
    template <typename T> T* control(const char* name) const { return page->findChild<T*>(QString::fromLatin1(name)); }
};

TEST_F(SettingsPageTest, HasItsSectionsWithTheStepperRanges)
{
    QStringList sections;
    for (const QGroupBox* box : page->findChildren<QGroupBox*>())
        sections << box->title();
    EXPECT_EQ(sections, (QStringList{"Server Configuration", "Security", "Folders", "Permissions", "System Integration", "About"}));
    auto* entries = control<QSpinBox>("maxLogEntries");
    EXPECT_EQ(entries->minimum(), 100);
    EXPECT_EQ(entries->maximum(), 10000);
    EXPECT_EQ(entries->singleStep(), 100);
    auto* timeout = control<QSpinBox>("commandTimeout");
    EXPECT_EQ(timeout->minimum(), 5);
    EXPECT_EQ(timeout->maximum(), 300);
    EXPECT_EQ(timeout->singleStep(), 5);
    EXPECT_EQ(control<QLabel>("version")->text(), "1.0.1");
    QStringList levels;
    for (int i = 0; i < control<QComboBox>("logLevel")->count(); ++i)
        levels << control<QComboBox>("logLevel")->itemText(i);
    EXPECT_EQ(levels, (QStringList{"Debug (Verbose)", "Info (Normal)", "Warning (Important)", "Error (Critical Only)"}));
}

TEST_F(SettingsPageTest, ShowsChangesMadeElsewhereAtOnceWithoutWritingThemBack)
{
    settings.setAutoStartServer(true);
    settings.setLogLevel(LogLevel::Warning);
    settings.setMaxLogEntries(250);   // not on the stepper's grid
    settings.setCommandTimeout(1000); // beyond its range
    EXPECT_TRUE(control<QCheckBox>("autoStartServer")->isChecked());
    EXPECT_EQ(control<QComboBox>("logLevel")->currentText(), "Warning (Important)");
    EXPECT_EQ(control<QSpinBox>("maxLogEntries")->value(), 250);
    EXPECT_TRUE(page->findChildren<QLabel*>().contains(nullptr) == false);
    const auto labelTexts = [&] {
        QStringList texts;
        for (const QLabel* label : page->findChildren<QLabel*>())
            texts << label->text();
        return texts;
    }();
    // The label names the setting; the stepper shows the value, even one beyond its range.
    EXPECT_TRUE(labelTexts.contains("Max log entries"));
    EXPECT_TRUE(labelTexts.contains("Command timeout"));
    EXPECT_TRUE(labelTexts.filter(QRegularExpression("(log entries|timeout).*[0-9]")).isEmpty()) << labelTexts.join(" / ").toStdString();
    EXPECT_EQ(control<QSpinBox>("commandTimeout")->text(), "1000 s");
    EXPECT_TRUE(written.isEmpty()) << "showing a value must not store it again";
    EXPECT_EQ(settings.commandTimeout(), 1000);

    // A step from there stores the nearest value the page offers.
    control<QSpinBox>("commandTimeout")->stepDown();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written.last().second.toLongLong(), 300);
}

TEST_F(SettingsPageTest, ChangesHereGoToTheWriter)
{
    QTest::mouseClick(control<QCheckBox>("launchAtLogin"), Qt::LeftButton);
    auto* level = control<QComboBox>("logLevel");
    level->setFocus();
    QTest::keyClick(level, Qt::Key_Down); // from Info to Warning
    auto* timeout = control<QSpinBox>("commandTimeout");
    timeout->setFocus();
    QTest::keyClick(timeout, Qt::Key_Up);
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(written.at(0), (std::pair<QString, QVariant>{"launchAtLogin", true}));
    EXPECT_EQ(written.at(1).first, "logLevel");
    EXPECT_EQ(written.at(1).second.toString(), "warning");
    EXPECT_EQ(written.at(2).first, "commandTimeout");
    EXPECT_EQ(written.at(2).second.toLongLong(), 35);
    EXPECT_TRUE(settings.launchAtLogin());
    EXPECT_EQ(settings.logLevel(), LogLevel::Warning);
    EXPECT_EQ(settings.commandTimeout(), 35);
    EXPECT_EQ(store.readString("logLevel"), "warning");
}

TEST_F(SettingsPageTest, FoldersAreAddedAndRemovedAndSayHowCommandsAreConfined)
{
    auto* allowed = page->findChild<FolderListEditor*>(QStringLiteral("allowedFolders"));
    auto* confinement = control<QLabel>("commandConfinement");
    EXPECT_EQ(confinement->text(), "Commands are not confined.");
    Dialogs::answerNextFolder(dir.path());
    QTest::mouseClick(allowed->findChild<QPushButton*>(QStringLiteral("add")), Qt::LeftButton);
    EXPECT_EQ(settings.allowedFolders(), QStringList{dir.path()});
    EXPECT_EQ(written.last(), (std::pair<QString, QVariant>{"allowedFolders", QStringList{dir.path()}}));
    EXPECT_EQ(allowed->findChild<QListWidget*>()->count(), 1);
    EXPECT_TRUE(confinement->text() == "Commands are confined by the kernel."
                || confinement->text().startsWith("Commands cannot be confined on this system ("))
        << confinement->text().toStdString();

    auto* list = allowed->findChild<QListWidget*>();
    list->setCurrentRow(0);
    QTest::mouseClick(allowed->findChild<QPushButton*>(QStringLiteral("remove")), Qt::LeftButton);
    EXPECT_TRUE(settings.allowedFolders().isEmpty());
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(confinement->text(), "Commands are not confined.");
}

TEST_F(SettingsPageTest, PermissionsShowEachCapabilityAndRefreshLooksAgain)
{
    EXPECT_EQ(probes, 1);
    auto* missing = page->findChild<QWidget*>("Screenshots");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->findChild<QLabel*>("state")->text(), "Missing");
    EXPECT_EQ(missing->findChild<QLabel*>("detail")->text(), "No screenshot tool found\nTo install: gnome-screenshot");
    EXPECT_EQ(page->findChild<QWidget*>("Clipboard")->findChild<QLabel*>("state")->text(), "Available");

    capabilities[1].available = true;
    QSignalSpy refreshRequested(page.get(), &SettingsPage::capabilitiesRefreshRequested);
    QTest::mouseClick(page->findChild<QPushButton*>("refreshStatus"), Qt::LeftButton);
    EXPECT_EQ(refreshRequested.count(), 1);
    EXPECT_EQ(probes, 2);
    EXPECT_EQ(page->findChild<QWidget*>("Screenshots")->findChild<QLabel*>("state")->text(), "Available");
}

} // namespace
