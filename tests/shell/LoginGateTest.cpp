// The login gate's controls, texts, limits and tab switching.
#include "community/LoginGate.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace tarn;

TEST(LoginGate, ControlsCarryTheirTextsAndLimits) {
    TLoginGate gate;
    EXPECT_EQ(gate.TabControlLoginGate->tabText(0), QStringLiteral("Login"));
    EXPECT_EQ(gate.TabControlLoginGate->tabText(1), QStringLiteral("Registry"));
    EXPECT_EQ(gate.TabControlLoginGate->currentWidget(), gate.TabItem2); // as laid out
    EXPECT_TRUE(gate.registryTabActive());

    const std::pair<QLineEdit*, int> limits[] = {
        {gate.EditUsername, 16}, {gate.EditPassword, 16},    {gate.EditPasswordAgain, 16},
        {gate.EditEmail, 255},   {gate.EditEmailAgain, 255},
    };
    for (const auto& [edit, limit] : limits)
        EXPECT_EQ(edit->maxLength(), limit) << edit->objectName().toStdString();
    EXPECT_EQ(gate.EditPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(gate.EditPasswordAgain->echoMode(), QLineEdit::Password);

    EXPECT_EQ(gate.CheckBoxAutoLogin->text(), QStringLiteral("Enable Auto Login?"));
    EXPECT_EQ(gate.CheckBoxAutoLogin->toolTip(),
              QStringLiteral("Auto Log in would save your password and auto log you in next "
                             "time you start TARN."));
    EXPECT_EQ(gate.LabelPWReset->text(), QStringLiteral("Forgot Password?"));
    EXPECT_EQ(gate.LabelPWReset->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(gate.ButtonSubmit->text(), QStringLiteral("Submit"));
    EXPECT_TRUE(gate.ButtonSubmit->isDefault());
    EXPECT_TRUE(gate.LabelHttpResponse->text().isEmpty());
    EXPECT_EQ(gate.TextLGStatus->text(), QStringLiteral("Connecting"));
    EXPECT_FALSE(gate.RectangleLogInStatus->isVisibleTo(&gate));
    EXPECT_EQ(gate.LabelVersion->text(), QStringLiteral("TARN Version: 0.95f"));

    const QStringList hints = {
        QStringLiteral("Username can contain A to Z, a to z, 0 to 9,  and _. Max 16 characters "
                       "long."),
        QStringLiteral("Your password can contain any character and up to 16 long. You would "
                       "need to re-enter your password in the box below too."),
        QStringLiteral("Email Address is optional it use for password reset process. If you "
                       "supply one you would need to re-trype it in the box below too."),
    };
    QStringList found;
    for (QLabel* l : gate.TabItem2->findChildren<QLabel*>())
        found.append(l->text());
    for (const QString& hint : hints)
        EXPECT_TRUE(found.contains(hint)) << hint.toStdString();
}

TEST(LoginGate, SharedControlsFollowTheActiveTabAndClicksSetTheFlags) {
    TLoginGate gate;
    gate.resize(600, 500);
    gate.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gate));
    QTabBar* bar = gate.TabControlLoginGate->tabBar();

    for (QWidget* shared :
         {static_cast<QWidget*>(gate.EditUsername), static_cast<QWidget*>(gate.EditPassword),
          static_cast<QWidget*>(gate.ButtonSubmit)})
        EXPECT_EQ(shared->parentWidget(), gate.TabItem2);

    gate.UseSavedHash = true;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(gate.TabControlLoginGate->currentWidget(), gate.TabItem1);
    EXPECT_FALSE(gate.Registering);
    EXPECT_TRUE(gate.UseSavedHash); // only "Registry" clears it
    for (QWidget* shared :
         {static_cast<QWidget*>(gate.EditUsername), static_cast<QWidget*>(gate.EditPassword),
          static_cast<QWidget*>(gate.ButtonSubmit)})
        EXPECT_EQ(shared->parentWidget(), gate.TabItem1);
    EXPECT_EQ(gate.EditUsername->nextInFocusChain(), gate.EditPassword);
    EXPECT_EQ(gate.EditPassword->nextInFocusChain(), gate.CheckBoxAutoLogin);
    EXPECT_EQ(gate.CheckBoxAutoLogin->nextInFocusChain(), gate.ButtonSubmit);

    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_TRUE(gate.Registering);
    EXPECT_FALSE(gate.UseSavedHash);
    EXPECT_TRUE(gate.registryTabActive());
    EXPECT_EQ(gate.EditPassword->nextInFocusChain(), gate.EditPasswordAgain);
    EXPECT_EQ(gate.EditPasswordAgain->nextInFocusChain(), gate.EditEmail);
    EXPECT_EQ(gate.EditEmail->nextInFocusChain(), gate.EditEmailAgain);
    EXPECT_EQ(gate.EditEmailAgain->nextInFocusChain(), gate.ButtonSubmit);
}

TEST(LoginGate, AbortCrossEndsTheRequestState) {
    TLoginGate gate;
    gate.show();
    gate.ButtonSubmit->setEnabled(false);
    gate.UseSavedHash = true;
    gate.setRequestShown(true);
    EXPECT_TRUE(gate.RectangleLogInStatus->isVisible());

    QTest::mouseClick(gate.RadiantX2, Qt::LeftButton);
    EXPECT_TRUE(gate.LoginAborted);
    EXPECT_FALSE(gate.UseSavedHash);
    EXPECT_TRUE(gate.ButtonSubmit->isEnabled());
    EXPECT_FALSE(gate.RectangleLogInStatus->isVisible());
    EXPECT_EQ(gate.LabelHttpResponse->text(), QStringLiteral("Login Aborted By User Request"));
}
