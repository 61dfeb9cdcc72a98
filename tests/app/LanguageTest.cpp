#include "base/Language.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <vector>

// Start-up plays sys.ini reads that give the listed values in turn (the last one repeats); every
// read and every showing of the language dialog is logged.
TEST(Language, StartUpDecision)
{
    using D = LanguageDecision;
    const struct
    {
        bool chineseSystem;
        std::vector<uint8_t> reads;
        D::Outcome outcome;
        uint8_t language;
        const char* log;
    } cases[] = {
        // clang-format off
        // A non-Chinese system runs in English whatever is stored, without asking.
        {false, {0}, D::English, 2, ""}, {false, {1}, D::English, 2, ""}, {false, {3}, D::English, 2, ""},
        {true, {1}, D::Chinese, 1, "read"}, {true, {2}, D::English, 2, "read"},
        // 3 (wait) and other values start with the built-in texts and keep the byte as read.
        {true, {3}, D::KeepAsRead, 3, "read"}, {true, {9}, D::KeepAsRead, 9, "read"},
        // No language yet: the dialog is shown at most twice.
        {true, {0, 2}, D::English, 2, "read dialog read"},
        {true, {0, 0, 1}, D::Chinese, 1, "read dialog read dialog read"},
        {true, {0}, D::ConfigError, 0, "read dialog read dialog read"},
        // clang-format on
    };
    for (const auto& c : cases) {
        size_t next = 0;
        QStringList log;
        const D d = DecideLanguage(
            c.chineseSystem,
            [&] {
                log.append(QStringLiteral("read"));
                return c.reads[std::min(next++, c.reads.size() - 1)];
            },
            [&] { log.append(QStringLiteral("dialog")); });
        const QString expectedLog = QString::fromLatin1(c.log);
        SCOPED_TRACE(expectedLog.toStdString() + (c.chineseSystem ? " on Chinese" : " on English"));
        EXPECT_EQ(d.outcome, c.outcome);
        EXPECT_EQ(d.language, c.language);
        EXPECT_EQ(log.join(QLatin1Char(' ')), expectedLog);
        EXPECT_EQ(d.dialogShown, int(expectedLog.count(QStringLiteral("dialog"))));
    }
}
