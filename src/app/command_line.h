#pragma once
// What the command line asks of a start: a new untitled scene, or documents to open.
#include <QStringList>

namespace qm {

struct CommandLine {
    // "/n~ew" anywhere (or the Unix spelling "--new"): File > New and nothing else.
    bool newDocument = false;
    // Documents, in order: the first opens in this instance, every further one in a new one.
    QStringList documents;

    // arguments: without the program's own name.
    static CommandLine parse(const QStringList& arguments);
};

} // namespace qm
