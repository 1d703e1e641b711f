#include "app/command_line.h"

namespace qm {

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine line;
    for (const QString& a : arguments) {
        if (a.contains(QStringLiteral("/n~ew")) || a == QStringLiteral("--new")) {
            line.newDocument = true;
            line.documents.clear();
            return line;
        }
    }
    for (const QString& a : arguments)
        if (!a.isEmpty())
            line.documents << a;
    return line;
}

} // namespace qm
