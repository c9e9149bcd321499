#pragma once

#include <QString>
#include <QStringView>

// The one written form of a text that holds characters its file cannot carry as they are:
// a byte of a file name that is not UTF-8 (see PathCodec) as "\xHH", any other such
// character (C0 controls, an unpaired surrogate, U+FFFE, U+FFFF) as "\uHHHH", hexadecimal
// digits in upper case. A backslash is doubled where it would otherwise start what reads as
// an escape (before a backslash, an "x", a "u" or an escaped character), and only there, so
// ordinary names, backslashes included, are written exactly as they are, and no two texts
// are written alike. Unescape reverses it exactly.
namespace TextEscape {

enum class Breaks {
    Keep,   // tab, line feed and carriage return as they are: XML and quoted CSV carry them
    Escape, // those too, so a value never leaves its line: text and HTML reports
};

QString Escape(QStringView text, Breaks breaks);
QString Unescape(QStringView text);

} // namespace TextEscape
