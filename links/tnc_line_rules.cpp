#include "links/tnc_line_rules.h"

namespace links {

namespace {
constexpr qsizetype kShortestGated = 21;
constexpr qsizetype kLongestGated = 256;
} // namespace

QByteArray withoutLineEnd(const QByteArray& line)
{
    qsizetype n = line.size();
    while (n > 0 && (line.at(n - 1) == '\r' || line.at(n - 1) == '\n'))
        --n;
    return line.left(n);
}

QByteArray converseText(const QByteArray& bytes)
{
    QByteArray text = bytes;
    text.removeIf([](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\r') || u == 0x7F;
    });
    return text;
}

QByteArray internetCopy(const QByteArray& line)
{
    QByteArray copy = line;
    const qsizetype length = withoutLineEnd(line).size();
    if (copy.contains(":cmd") || !copy.contains('>') || length < kShortestGated || length > kLongestGated)
        return {};
    if (copy.contains(": <UI>:"))
        copy.replace(": <UI>", "");
    if (copy.contains(": <<UI>>:"))
        copy.replace(": <<UI>>", "");
    // A blank in front of the marker ("SRC>DST,PATH <UI>:info", as most TNCs print it) goes
    // with it: servers refuse a path holding a blank.
    for (const char* marker : {" <<UI>>", "<<UI>>", " <UI>", "<UI>"})
        copy.replace(marker, "");
    // No line end may reach the server inside a line: one pass of removing CR LF pairs
    // leaves a pair behind in "\r\r\n\n", and a lone CR or LF ends a line there too.
    copy.removeIf([](char c) { return c == '\r' || c == '\n'; });
    if (copy.contains("TCPIP") || line.contains("TCPXX"))
        return {};
    return copy;
}

QByteArray monitorTimeStamp(const QDateTime& utc)
{
    const QDateTime t = utc.toUTC();
    // Date and time joined by one blank, then two blanks: the field keeps its form.
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + "  ";
}

QByteArray monitorEntry(const QByteArray& line, bool tncCommandMode, const QDateTime& utc)
{
    if (tncCommandMode)
        return line;
    QByteArray text = line;
    text.replace("\r\n", "");
    return monitorTimeStamp(utc) + text + "\r\n";
}

QByteArray sourceOf(const QByteArray& line)
{
    const qsizetype gt = line.indexOf('>');
    return (gt >= 0 ? line.left(gt) : line).trimmed();
}

} // namespace links
