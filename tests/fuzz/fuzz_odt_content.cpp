// The content.xml of an OpenDocument text through the document reader of file
// commands: a text within the length limit or a reason, never both.
#include "FuzzEnvironment.h"

#include "OpenFileReader.h"

#include <QBuffer>

using FuzzEnvironment::fail;

extern "C" int LLVMFuzzerTestOneInput(const char* data, size_t size)
{
    if (size > 1024 * 1024)
        return -1;
    QByteArray bytes(data, int(size));
    QBuffer content(&bytes);
    content.open(QIODevice::ReadOnly);
    OpenFileReader reader;
    QString reason;
    const QString text = reader.ReadText(&content, &reason);
    if (!reason.isEmpty() && !text.isEmpty())
        fail(QStringLiteral("a text and a failure at once: ") + reason);
    if (text.size() > BaseFileReader::MaxTextLength)
        fail(QStringLiteral("a text of %1 characters passed the limit").arg(text.size()));
    return 0;
}
