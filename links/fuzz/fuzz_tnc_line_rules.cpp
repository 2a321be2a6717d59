// Any line from a TNC or a TCP TNC program through the line handler's rules: no crash, and
// the gated copy is never longer than the line and never holds a CR LF pair.
#include "links/tnc_line_rules.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray copy = links::internetCopy(line);
    if (copy.size() > line.size() || copy.contains("\r\n"))
        std::abort();
    const QDateTime t = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    if (!links::monitorEntry(line, false, t).endsWith("\r\n"))
        std::abort();
    links::sourceOf(line);
    return 0;
}
