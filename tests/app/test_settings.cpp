#include "AppTestSupport.h"
#include "app/AppSettings.h"
#include "app/CommandHistory.h"
#include "app/RecentFileList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarsion {
namespace {

QSettings Raw() {
    return QSettings(QStringLiteral("Tessaric"), QStringLiteral("Tarsion"));
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { test::ClearSettings(); }
};

TEST_F(SettingsTest, StepsReadBackAsTheSameDoubles) {
    StepSettings steps;
    steps.loopFilterStepLead = 4.768371582031e-07;
    steps.loopFilterStepFreq = 1e-9;
    steps.iScaleFactorStep = 0.000244140625;
    steps.postShappingFilterStep = 0.1 + 0.2;
    {
        CAppSettings settings;
        settings.SaveSteps(steps, 123456789.123);
    }
    StepSettings loaded;
    loaded.loopFilterStepLead = loaded.loopFilterStepFreq = loaded.iScaleFactorStep = -1;
    double clockPin = 0;
    CAppSettings settings;
    settings.LoadSteps(loaded, clockPin);
    EXPECT_EQ(loaded.loopFilterStepLead, 4.768371582031e-07);
    EXPECT_EQ(loaded.loopFilterStepFreq, 1e-9);
    EXPECT_EQ(loaded.iScaleFactorStep, 0.000244140625);
    EXPECT_EQ(loaded.postShappingFilterStep, 0.1 + 0.2);
    EXPECT_EQ(clockPin, 123456789.123);
}

TEST_F(SettingsTest, NonFiniteValuesAreRefusedForTheDefaultAndReported) {
    struct Row {
        const char* key;
        const char* text;
        bool refused;
    };
    const Row rows[] = {
        {"ClockPin", "nan", true},
        {"LoopFilterStepLead", "-nan", true},
        {"CarrierFrequencyStep", "inf", true},
        {"SymbolFrequencyStep", "-Infinity", true},
        {"IDcOffsetStep", " NaN(1)", true},
        // Too large for a double: unparsable, the default without a report.
        {"QDcOffsetStep", "1e999", false},
        {"IScaleFactorStep", "0.5", false},
    };
    {
        QSettings raw = Raw();
        for (const Row& row : rows)
            raw.setValue(QStringLiteral("Settings/") + QString::fromLatin1(row.key),
                         QString::fromLatin1(row.text));
    }
    StepSettings steps;
    double clockPin = 0;
    CAppSettings settings;
    const QStringList refused = settings.LoadSteps(steps, clockPin);
    QStringList expected;
    for (const Row& row : rows) {
        if (row.refused)
            expected.append(QString::fromLatin1(row.key) + u'=' + QString::fromLatin1(row.text) +
                            QStringLiteral(" is not a finite number"));
    }
    EXPECT_EQ(refused.size(), expected.size()) << refused.join(u',').toStdString();
    for (const QString& line : expected)
        EXPECT_TRUE(refused.contains(line)) << line.toStdString();
    const StepSettings defaults;
    EXPECT_EQ(clockPin, 80e6);
    EXPECT_EQ(steps.loopFilterStepLead, defaults.loopFilterStepLead);
    EXPECT_EQ(steps.carrierFrequencyStep, defaults.carrierFrequencyStep);
    EXPECT_EQ(steps.symbolFrequencyStep, defaults.symbolFrequencyStep);
    EXPECT_EQ(steps.iDcOffsetStep, defaults.iDcOffsetStep);
    EXPECT_EQ(steps.qDcOffsetStep, defaults.qDcOffsetStep);
    EXPECT_EQ(steps.iScaleFactorStep, 0.5);
}

TEST_F(SettingsTest, EmptyMissingAndUnparsableTextGiveDefaults) {
    {
        QSettings raw = Raw();
        raw.setValue(QStringLiteral("Settings/LoopFilterStepLag"), QStringLiteral("EMPTY"));
        raw.setValue(QStringLiteral("Settings/CarrierFrequencyStep"), QStringLiteral("fast"));
        raw.setValue(QStringLiteral("Settings/SymbolFrequencyStep"), QStringLiteral("  2500.5kHz"));
        raw.setValue(QStringLiteral("Settings/ClockPin"), QStringLiteral("1e8"));
    }
    StepSettings steps;
    steps.loopFilterStepLag = steps.carrierFrequencyStep = steps.qDcOffsetStep = 7;
    double clockPin = 0;
    CAppSettings settings;
    settings.LoadSteps(steps, clockPin);
    EXPECT_EQ(steps.loopFilterStepLag, 4.768371582031e-07);
    EXPECT_EQ(steps.carrierFrequencyStep, 1000000.0);
    EXPECT_EQ(steps.qDcOffsetStep, 0.000244140625);
    // "%lf" takes the number at the start and ignores what follows.
    EXPECT_EQ(steps.symbolFrequencyStep, 2500.5);
    EXPECT_EQ(clockPin, 1e8);
}

TEST_F(SettingsTest, IntegersStoredAsTextAreRead) {
    {
        QSettings raw = Raw();
        raw.setValue(QStringLiteral("Settings/BaseAddress"), QStringLiteral("632"));
        raw.setValue(QStringLiteral("Settings/x"), QStringLiteral("left"));
    }
    CAppSettings settings;
    EXPECT_EQ(settings.ReadInt(QStringLiteral("BaseAddress"), 888), 632);
    EXPECT_EQ(settings.ReadInt(QStringLiteral("x"), 0), 0);
    EXPECT_EQ(settings.ReadInt(QStringLiteral("y"), 5), 5);
}

TEST_F(SettingsTest, RecentFilesKeepFourNewestFirst) {
    CRecentFileList list;
    for (const char* file : {"/a.js", "/b.js", "/c.js", "/d.js", "/e.js", "/c.js"})
        list.Add(QString::fromLatin1(file));
    const QStringList expected{"/c.js", "/e.js", "/d.js", "/b.js"};
    EXPECT_EQ(list.Files(), expected);
    {
        CAppSettings settings;
        settings.SaveRecentFiles(list.Files());
    }
    EXPECT_EQ(Raw().value(QStringLiteral("Recent File List/File1")).toString(), QStringLiteral("/c.js"));
    EXPECT_EQ(Raw().value(QStringLiteral("Recent File List/File4")).toString(), QStringLiteral("/b.js"));
    CAppSettings settings;
    EXPECT_EQ(settings.RecentFiles(), expected);
}

TEST(CommandHistoryTest, EmptyHistoryGivesEmptyEntries) {
    CCommandHistory history;
    EXPECT_EQ(history.Back(), QString());
    EXPECT_EQ(history.Forward(), QString());
    EXPECT_EQ(history.Back(), QString());
}

TEST(CommandHistoryTest, UpShowsNewestFirstAndDownTheOldest) {
    CCommandHistory history;
    for (const char* command : {"one", "two", "three"})
        history.Add(QString::fromLatin1(command));
    EXPECT_EQ(history.Back(), QStringLiteral("three"));
    EXPECT_EQ(history.Back(), QStringLiteral("two"));
    EXPECT_EQ(history.Back(), QStringLiteral("one"));
    // From the oldest, Up wraps to the newest.
    EXPECT_EQ(history.Back(), QStringLiteral("three"));

    history.Add(QStringLiteral("four"));
    EXPECT_EQ(history.Forward(), QStringLiteral("one"));
    EXPECT_EQ(history.Forward(), QStringLiteral("two"));
    EXPECT_EQ(history.Forward(), QStringLiteral("three"));
    EXPECT_EQ(history.Forward(), QStringLiteral("four"));
    // Past the newest, Down wraps to the oldest.
    EXPECT_EQ(history.Forward(), QStringLiteral("one"));
}

TEST(CommandHistoryTest, TwentyFirstCommandOverwritesTheFirst) {
    CCommandHistory history;
    for (int i = 1; i <= 21; ++i)
        history.Add(QStringLiteral("cmd%1").arg(i));
    for (int expected = 21; expected >= 2; --expected)
        EXPECT_EQ(history.Back(), QStringLiteral("cmd%1").arg(expected));
    EXPECT_EQ(history.Back(), QStringLiteral("cmd21"));

    history.Add(QStringLiteral("cmd22"));
    // Down from the fresh position after a wrap stays on the slot of the oldest command.
    EXPECT_EQ(history.Forward(), QStringLiteral("cmd3"));
    EXPECT_EQ(history.Forward(), QStringLiteral("cmd3"));
}

// A FIFO as a settings file would block start-up for good: the settings stay in memory, with their
// defaults, and the FIFO is neither read nor replaced.
TEST_F(SettingsTest, AFifoAsASettingsFileIsNeitherReadNorWritten) {
    // The settings and the configuration folder both in a folder of this test.
    QTemporaryDir folder;
    const QString previous = QFileInfo(QFileInfo(Raw().fileName()).path()).path();
    const QByteArray previousConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("Tessaric")));
    for (const char* name : {"Tessaric/Tarsion.conf", "Tessaric.conf"}) {
        const QString fifo = folder.filePath(QLatin1String(name));
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0) << name;
        ::alarm(60);
        {
            CAppSettings settings;
            EXPECT_EQ(settings.BaseAddress(), CAppSettings::kDefaultBaseAddress) << name;
            settings.WriteInt(QStringLiteral("BaseAddress"), 632);
            EXPECT_EQ(settings.BaseAddress(), 632);
            settings.Sync();
        }
        ::alarm(0);
        EXPECT_TRUE(std::filesystem::is_fifo(fifo.toStdString())) << name;
        QFile::remove(fifo);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previous);
    if (previousConfig.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previousConfig);
}

} // namespace
} // namespace tarsion
