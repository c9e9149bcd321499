#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Linux file names are bytes, not text. A name that is valid UTF-8 becomes its text; each
// byte of a name that is not becomes a lone surrogate U+DC80..U+DCFF, which valid UTF-8
// can never produce. The mapping is therefore exact both ways: Encode(Decode(b)) == b for
// every byte string, so a path can travel through QString from the walk to the action that
// opens, moves or deletes it. Display() is for eyes only and is never acted on.
namespace PathCodec {

QString Decode(QByteArrayView bytes);
QByteArray Encode(QStringView path);

// The path with each byte that is not UTF-8 written as "\xHH", readable in the grid, logs
// and reports. Equal to the path itself for every UTF-8 name.
QString Display(QStringView path);

// Whether the path holds bytes that are not UTF-8 (and so differs from its shown form).
bool HasRawBytes(QStringView path);

} // namespace PathCodec
