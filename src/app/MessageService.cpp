#include "MessageService.h"

#include "PathCodec.h"

#include <cstdio>

MessageService::Answer StderrMessageService::Show(const QString& text, Icon icon, Buttons buttons,
                                                  Answer defaultAnswer) {
    const char* kind = icon == Icon::Critical ? "error" : "note";
    std::fprintf(stderr, "Echofind %s: %s\n", kind,
                 PathCodec::Display(text).toLocal8Bit().constData());
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return defaultAnswer;
}

namespace {
StderrMessageService gStderrService;
MessageService* gService = &gStderrService;
} // namespace

MessageService& Messages() {
    return *gService;
}

void SetMessageService(MessageService* service) {
    gService = service ? service : &gStderrService;
}
