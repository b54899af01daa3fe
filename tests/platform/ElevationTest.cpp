#include "platform/Elevation.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

using namespace tarn::platform;

namespace {

TEST(Elevation, ReportsWhenNothingCouldBeStarted) {
    EXPECT_FALSE(RunElevated(QString(), {}));
    if (!QStandardPaths::findExecutable(QStringLiteral("pkexec")).isEmpty())
        GTEST_SKIP() << "pkexec is installed; starting it would ask for a password";
    EXPECT_FALSE(RunElevated(QStringLiteral("true"), {QStringLiteral("--x")}));
}

} // namespace
