#pragma once

#include <cstdint>
#include <functional>

// The language decision made at start-up, apart from any window so it can be tested.
struct LanguageDecision
{
    enum Outcome
    {
        Chinese,     // built-in Chinese texts, language 1
        English,     // load the English translation, language 2
        KeepAsRead,  // another value (3 = wait): built-in texts, language left as read
        ConfigError, // no language chosen after the dialog was shown twice
    };
    Outcome outcome = English;
    uint8_t language = 2;
    int dialogShown = 0;
};

// readLanguage reads "lang" from sys.ini (ReadLanguage); showDialog shows the language dialog.
LanguageDecision DecideLanguage(bool chineseSystem, const std::function<uint8_t()>& readLanguage,
                                const std::function<void()>& showDialog);
