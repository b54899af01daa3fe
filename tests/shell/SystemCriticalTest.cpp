#include "shell/SystemCriticalU.h"

#include "platform/KeepAwake.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace {

// Records what would be applied to the operating system.
class RecordingCritical : public tarn::TSystemCritical {
public:
    std::vector<bool> applied;

protected:
    void Apply(bool critical) override { applied.push_back(critical); }
};

TEST(SystemCritical, AppliesOnlyChanges) {
    struct Case {
        const char* what;
        std::vector<bool> writes;
        std::vector<bool> applied;
    };
    const Case cases[] = {
        {"nothing written", {}, {}},
        {"true twice applies once", {true, true}, {true}},
        {"false on a fresh controller", {false}, {}},
        {"each change once", {true, false, false, true, true, false}, {true, false, true, false}},
    };
    for (const Case& c : cases) {
        RecordingCritical critical;
        EXPECT_FALSE(critical.IsCritical());
        for (const bool w : c.writes)
            critical.setIsCritical(w);
        EXPECT_EQ(critical.applied, c.applied) << c.what;
        EXPECT_EQ(critical.IsCritical(), !c.writes.empty() && c.writes.back()) << c.what;
    }
}

TEST(SystemCritical, ShutdownLetsTheComputerSleepAgain) {
    RecordingCritical critical;
    critical.setIsCritical(true);
    critical.Shutdown();
    EXPECT_FALSE(critical.IsCritical());
    EXPECT_EQ(critical.applied, (std::vector<bool>{true, false}));
}

TEST(SystemCritical, OneProcessWideController) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "switching on talks D-Bus, whose Qt thread is not instrumented";
#endif
    // Keep the real controller away from the machine's logind.
    QTemporaryDir dir;
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(dir.filePath("no-bus")));
    tarn::TSystemCritical& global = tarn::SystemCritical();
    EXPECT_EQ(&global, &tarn::SystemCritical());
    EXPECT_FALSE(global.IsCritical());
    global.setIsCritical(true); // no logind here: no effect, no failure
    EXPECT_TRUE(global.IsCritical());
    global.Shutdown();
    EXPECT_FALSE(global.IsCritical());
    EXPECT_FALSE(tarn::platform::KeepAwakeHeld());
}

} // namespace
