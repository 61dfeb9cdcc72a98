#include "app/Language.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <deque>

namespace {

// Plays the start-up: sys.ini reads give the queued values in turn (the last one repeats), and
// every read and dialog showing is logged.
struct StartUp
{
    std::deque<uint8_t> reads;
    QStringList log;

    LanguageDecision Run(bool chineseSystem)
    {
        return DecideLanguage(
            chineseSystem,
            [this] {
                log.append(QStringLiteral("read"));
                const uint8_t value = reads.front();
                if (reads.size() > 1)
                    reads.pop_front();
                return value;
            },
            [this] { log.append(QStringLiteral("dialog")); });
    }
};

} // namespace

TEST(Language, NonChineseSystemIsEnglishWithoutAsking)
{
    for (const uint8_t stored : {0, 1, 2, 3}) {
        StartUp s{{stored}, {}};
        const LanguageDecision d = s.Run(false);
        EXPECT_EQ(d.outcome, LanguageDecision::English);
        EXPECT_EQ(d.language, 2);
        EXPECT_EQ(d.dialogShown, 0);
        EXPECT_FALSE(s.log.contains(QStringLiteral("dialog")));
    }
}

TEST(Language, ChineseSystemTakesTheStoredLanguage)
{
    StartUp chinese{{1}, {}};
    LanguageDecision d = chinese.Run(true);
    EXPECT_EQ(d.outcome, LanguageDecision::Chinese);
    EXPECT_EQ(d.language, 1);
    EXPECT_EQ(chinese.log, QStringList{"read"});

    StartUp english{{2}, {}};
    d = english.Run(true);
    EXPECT_EQ(d.outcome, LanguageDecision::English);
    EXPECT_EQ(d.language, 2);
    EXPECT_EQ(d.dialogShown, 0);

    // 3 (wait) and other values start with the built-in texts and keep the byte as read.
    for (const uint8_t other : {3, 9}) {
        StartUp s{{other}, {}};
        d = s.Run(true);
        EXPECT_EQ(d.outcome, LanguageDecision::KeepAsRead);
        EXPECT_EQ(d.language, other);
        EXPECT_EQ(d.dialogShown, 0);
    }
}

TEST(Language, NoLanguageAsksAtMostTwice)
{
    StartUp chosenFirst{{0, 2}, {}};
    LanguageDecision d = chosenFirst.Run(true);
    EXPECT_EQ(chosenFirst.log, QStringList({"read", "dialog", "read"}));
    EXPECT_EQ(d.outcome, LanguageDecision::English);
    EXPECT_EQ(d.dialogShown, 1);

    StartUp chosenSecond{{0, 0, 1}, {}};
    d = chosenSecond.Run(true);
    EXPECT_EQ(d.outcome, LanguageDecision::Chinese);
    EXPECT_EQ(d.dialogShown, 2);

    StartUp never{{0}, {}};
    d = never.Run(true);
    EXPECT_EQ(never.log, QStringList({"read", "dialog", "read", "dialog", "read"}));
    EXPECT_EQ(d.outcome, LanguageDecision::ConfigError);
    EXPECT_EQ(d.language, 0);
    EXPECT_EQ(d.dialogShown, 2);
}
