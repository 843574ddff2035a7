#include <gtest/gtest.h>

#include <QString>
#include <vector>

#include "ui/lists/status_rename.h"
#include "ui/lists/status_search.h"

namespace pontiq {
namespace {

using Step = StatusSearchRun::Step;

TEST(StatusSearchRun, DiscoversEveryThirdSecondAndStopsAtTheFiftieth)
{
    StatusSearchRun run;
    EXPECT_EQ(run.Tick(), Step::None);  // no run yet
    EXPECT_EQ(run.Ticks(), 0);

    run.Start();
    std::vector<int> discoveries;
    int stopAt = 0;
    for (int second = 1; second <= 60; ++second) {
        const Step step = run.Tick();
        if (step == Step::DiscoverAndReload) discoveries.push_back(second);
        if (step == Step::Stop) {
            EXPECT_EQ(stopAt, 0) << "stopped twice";
            stopAt = second;
        }
    }
    std::vector<int> expected;
    for (int s = 3; s <= 48; s += 3) expected.push_back(s);
    EXPECT_EQ(discoveries, expected);
    EXPECT_EQ(stopAt, 50);
    EXPECT_FALSE(run.Running());
    EXPECT_EQ(run.Ticks(), 50);
}

TEST(StatusSearchRun, StopInTheMiddleEndsItAndStartBeginsAgainAtZero)
{
    StatusSearchRun run;
    run.Start();
    for (int i = 0; i < 7; ++i) run.Tick();
    run.Stop();
    EXPECT_FALSE(run.Running());
    for (int i = 0; i < 60; ++i) EXPECT_EQ(run.Tick(), Step::None);
    EXPECT_EQ(run.Ticks(), 7);

    run.Start();
    EXPECT_EQ(run.Ticks(), 0);
    EXPECT_EQ(run.Tick(), Step::None);
    EXPECT_EQ(run.Tick(), Step::None);
    EXPECT_EQ(run.Tick(), Step::DiscoverAndReload);
}

TEST(StatusRename, RuleByTypeCode)
{
    for (uint32_t code : {4u, 17u, 261u, 276u}) EXPECT_EQ(NameRuleFor(code), NameRule::A) << code;
    for (uint32_t code : {0u, 1u, 5u, 16u, 21u, 257u, 262u, 275u, 277u, 70000u}) {
        EXPECT_EQ(NameRuleFor(code), NameRule::B) << code;
    }
}

TEST(StatusRename, CheckOfTheEditedName)
{
    using Outcome = RenameCheck::Outcome;
    const QString eleven = QString::fromUtf8("一二三四五六七八九十百");
    struct Case {
        uint32_t type;
        QString oldName;
        QString newName;
        Outcome outcome;
    };
    const Case cases[] = {
        {21, QStringLiteral("gate"), QStringLiteral("gate"), Outcome::Unchanged},
        {21, QStringLiteral("gate"), QString(), Outcome::Empty},
        {4, QStringLiteral("gate"), QString(), Outcome::Empty},
        // 40 ASCII characters pass both character tests; the 32-byte limit refuses them.
        {21, QStringLiteral("gate"), QString(40, QLatin1Char('x')), Outcome::Refused},
        {4, QStringLiteral("gate"), QString(40, QLatin1Char('x')), Outcome::Refused},
        {21, QStringLiteral("gate"), QString(32, QLatin1Char('x')), Outcome::Accepted},
        {21, QStringLiteral("gate"), QStringLiteral("North Gate, #2"), Outcome::Accepted},
        {17, QStringLiteral("gate"), QStringLiteral("North Gate, #2"), Outcome::Refused},
        {17, QStringLiteral("gate"), QStringLiteral("north-gate_2@site"), Outcome::Accepted},
        // 11 ideographs are 33 bytes of UTF-8; 10 and two letters are 32.
        {21, QStringLiteral("gate"), eleven, Outcome::Refused},
        {276, QStringLiteral("gate"), eleven.left(10) + QStringLiteral("ab"), Outcome::Accepted},
        {21, QStringLiteral("gate"), QString::fromUtf8("\xe3\x82\xa2"), Outcome::Refused},      // katakana
        {21, QStringLiteral("gate"), QString::fromUtf8("\xf0\x9f\x93\xa1"), Outcome::Refused},  // emoji
        {21, QStringLiteral("gate"), QString(QChar(0)), Outcome::Refused},
    };
    for (const Case& c : cases) {
        const RenameCheck check = CheckRename(c.oldName, c.newName, c.type);
        EXPECT_EQ(check.outcome, c.outcome) << c.type << " " << c.newName.toStdString();
        EXPECT_EQ(check.rule, NameRuleFor(c.type));
        if (c.outcome == Outcome::Accepted) {
            EXPECT_EQ(check.name, c.newName);
        }
    }
}

TEST(StatusRename, MessagesOfTheTwoRules)
{
    EXPECT_STREQ(
        NameRuleMessage(NameRule::A),
        "Device name maximum allowed 32 bytes, only support combination of Chinese, lowercase letters, 0-9 "
        "numbers");
    EXPECT_STREQ(
        NameRuleMessage(NameRule::B),
        "Device name maximum allowed 32 bytes, only support combination of Chinese, ASCII characters");
}

}  // namespace
}  // namespace pontiq
