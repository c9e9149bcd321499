#pragma once

#include <QString>

// Every message box of the program goes through one service, so that the window shows a
// real dialog, the command line prints, and tests answer from a script.
class MessageService {
public:
    enum class Icon { Information, Critical, Question };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct Message {
        QString Text;
        Icon Kind = Icon::Information;
        Buttons Choice = Buttons::Ok;
        Answer Default = Answer::Ok;
        // A second line under the text, smaller: how much a question is about.
        QString Detail;
    };

    virtual ~MessageService() = default;
    // The caption is always "Echofind"; implementations add it.
    virtual Answer Present(const Message& message) = 0;

    Answer Show(const QString& text, Icon icon, Buttons buttons = Buttons::Ok,
                Answer defaultAnswer = Answer::Ok) {
        return Present({text, icon, buttons, defaultAnswer, {}});
    }
    Answer Inform(const QString& text) { return Show(text, Icon::Information); }
    Answer Critical(const QString& text) { return Show(text, Icon::Critical); }
    bool Ask(const QString& text, Answer defaultAnswer = Answer::Yes, const QString& detail = {}) {
        return Present({text, Icon::Question, Buttons::YesNo, defaultAnswer, detail}) ==
               Answer::Yes;
    }
};

// Writes each message to standard error and gives the default answer; for headless use.
class StderrMessageService final : public MessageService {
public:
    Answer Present(const Message& message) override;
};

// The service procedures use when none is passed in. Never null: it starts as a
// StderrMessageService; the window installs its own.
MessageService& Messages();
void SetMessageService(MessageService* service);
