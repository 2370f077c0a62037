#pragma once

#include "siteerror.h"
#include "sitefile.h"

#include <QByteArray>
#include <QString>

#include <variant>

namespace kestrin {

// Reads a site file: an INI file of [gateway], [bridge] and [sensor.N]
// sections. The result is the whole file checked, or the first thing wrong
// with it and its line; never a file read in part.
//
// What it takes: UTF-8 text with at most a byte order mark at the start;
// "[section]", "key = value" (whitespace around "=" is free), blank lines,
// and comments that start with # or ; either on a line of their own or after
// whitespace behind a value. A value in double quotes keeps # and ; as they
// are. Anything else is an error: unknown sections and keys, a key or a
// section given twice, a key outside a section, an empty value.
class SiteReader final
{
public:
    using Result = std::variant<SiteFile, SiteError>;

    // Site files are a few dozen lines.
    static constexpr qint64 MaxBytes = 64 * 1024;

    // Messages name the file as `shownName` (the path itself when empty),
    // so that they show the path the user typed.
    static Result read(const QString &path, const QString &shownName = {});
    static Result parse(const QByteArray &bytes, const QString &fileName);
};

} // namespace kestrin
