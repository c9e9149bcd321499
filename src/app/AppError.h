#pragma once

#include <QString>

// A failure a procedure detects itself. It is raised inside a procedure and caught by
// that same procedure's handler, which turns it into a log line and a result code; it
// never crosses a module boundary.
struct AppError {
    int Number = 0;
    QString Description;
    QString Source;
};

// The program's result codes: 1 success, 2 refused after the user was told, 3 failed and
// logged.
enum Result : int { Success = 1, Refused = 2, Failed = 3 };
