#pragma once

#include "app/MessageService.h"

class QWidget;

// The message service of the windows: a real modal box with the caption "Echofind",
// owned by whichever window is active when it is shown.
class QtMessageService final : public MessageService {
public:
    Answer Present(const Message& message) override;
};
