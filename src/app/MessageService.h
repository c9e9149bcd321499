#pragma once

#include <QString>

// Every message box of the program goes through one service, so that the window shows a
// real dialog, the command line prints, and tests answer from a script.
class MessageService {
public:
    enum class Icon { Information, Critical, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~MessageService() = default;
    // The caption is always "Echofind"; implementations add it.
    virtual Answer Show(const QString& text, Icon icon, Buttons buttons = Buttons::Ok,
                        Answer defaultAnswer = Answer::Ok) = 0;

    Answer Inform(const QString& text) { return Show(text, Icon::Information); }
    Answer Critical(const QString& text) { return Show(text, Icon::Critical); }
    bool Ask(const QString& text, Answer defaultAnswer = Answer::Yes) {
        return Show(text, Icon::Question, Buttons::YesNo, defaultAnswer) == Answer::Yes;
    }
};

// Writes each message to standard error and gives the default answer; for headless use.
class StderrMessageService final : public MessageService {
public:
    Answer Show(const QString& text, Icon icon, Buttons buttons, Answer defaultAnswer) override;
};

// The service procedures use when none is passed in. Never null: it starts as a
// StderrMessageService; the window installs its own.
MessageService& Messages();
void SetMessageService(MessageService* service);
