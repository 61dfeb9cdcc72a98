#include "base/Language.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

// Start-up plays sys.ini reads that give the listed values in turn (the last one repeats); every
// read and every showing of the language dialog is logged.
TEST(Language, StartUpDecision)
{
    using D = LanguageDecision;
    // Chinese system, the bytes read, outcome, language, the log.
    const std::tuple<bool, std::vector<uint8_t>, D::Outcome, uint8_t, const char*> cases[] = {
        // clang-format off
        // A non-Chinese system runs in English whatever is stored, without asking.
        {false, {0}, D::English, 2, ""}, {false, {1}, D::English, 2, ""},
        {true, {1}, D::Chinese, 1, "read"}, {true, {2}, D::English, 2, "read"},
        // 3 (wait) and other values start with the built-in texts and keep the byte as read.
        {true, {3}, D::KeepAsRead, 3, "read"}, {true, {9}, D::KeepAsRead, 9, "read"},
        // No language yet: the dialog is shown at most twice.
        {true, {0, 2}, D::English, 2, "read dialog read"},
        {true, {0, 0, 1}, D::Chinese, 1, "read dialog read dialog read"},
        {true, {0}, D::ConfigError, 0, "read dialog read dialog read"},
        // clang-format on
    };
    for (const auto& [chinese, reads, outcome, language, expectedLog] : cases) {
        SCOPED_TRACE(std::string(expectedLog) + (chinese ? " on Chinese" : " on English"));
        size_t next = 0;
        QStringList log;
        const D d = DecideLanguage(
            chinese,
            [&, &reads = reads] {
                log.append(QStringLiteral("read"));
                return reads[std::min(next++, reads.size() - 1)];
            },
            [&] { log.append(QStringLiteral("dialog")); });
        EXPECT_EQ(d.outcome, outcome);
        EXPECT_EQ(d.language, language);
        EXPECT_EQ(log.join(QLatin1Char(' ')), QLatin1String(expectedLog));
        EXPECT_EQ(d.dialogShown, log.count(QStringLiteral("dialog")));
    }
}
