#include "MessageService.h"

#include "PathCodec.h"

#include <cstdio>

MessageService::Answer StderrMessageService::Present(const Message& m) {
    const char* kind = m.Kind == Icon::Critical ? "error" : "note";
    const QString text = m.Detail.isEmpty() ? m.Text : m.Text + u'\n' + m.Detail;
    std::fprintf(stderr, "Echofind %s: %s\n", kind,
                 PathCodec::Display(text).toLocal8Bit().constData());
    if (m.Choice == Buttons::Ok)
        return Answer::Ok;
    return m.Default;
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
