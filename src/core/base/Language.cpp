#include "Language.h"

LanguageDecision DecideLanguage(bool chineseSystem, const std::function<uint8_t()>& readLanguage,
                                const std::function<void()>& showDialog)
{
    LanguageDecision decision;
    if (!chineseSystem)
        return decision; // English, language 2

    uint8_t language = readLanguage();
    while (language == 0 && decision.dialogShown < 2) {
        showDialog();
        ++decision.dialogShown;
        language = readLanguage();
    }
    decision.language = language;
    if (language == 0)
        decision.outcome = LanguageDecision::ConfigError;
    else if (language == 1)
        decision.outcome = LanguageDecision::Chinese;
    else if (language == 2)
        decision.outcome = LanguageDecision::English;
    else
        decision.outcome = LanguageDecision::KeepAsRead;
    return decision;
}
