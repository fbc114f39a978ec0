#pragma once

// The collector's message boxes go through here: a QMessageBox when there is a display; without
// one the text goes to stderr and a line of errorlog.txt, and questions are answered Yes. Tests
// script the answers.

#include <QString>

#include <functional>

namespace harvester {

class Messages
{
public:
    static void SetHeadless(bool headless);
    static bool Headless();
    // Shows an error box (headless: stderr and errorlog.txt).
    static void Error(const QString &text);
    // A Yes/No question; true for Yes.
    static bool Ask(const QString &text);
    // Replaces the boxes: the hook receives each text and answers the questions.
    static void SetHook(std::function<bool(const QString &)> hook);
};

} // namespace harvester
