#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Folder names on Linux are bytes. The control carries them in QString so that a host
// gets keys it can hand back: valid UTF-8 becomes its text, and every byte that is not
// part of valid UTF-8 becomes the lone surrogate U+DC80+byte, which decoded UTF-8 never
// holds. Encode(Decode(b)) == b for any bytes, so a key always names the real folder.
namespace FileNames {

QString Decode(QByteArrayView bytes);
QByteArray Encode(QStringView path);

// For the eye only: each carried byte written as "\xHH".
QString Display(QStringView path);

} // namespace FileNames
